/* The read floor: the least a recursive ACL listing must do. A physical
 * nftw walk (its status call per object) and one lgetxattr of the stored
 * ACL per object that is not a symbolic link, nothing decoded or printed.
 * vossik list-access -r is measured against this.
 *
 *   vossik_floor_read <tree>
 *
 * Prints the objects walked and how many had a stored ACL. */
#define _GNU_SOURCE
#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>

static const char ATTRIBUTE[] = "security.nfs4acl_xdr";

static long objects, with_acl;

/* 4 KiB holds any ACL of up to about 200 entries; a larger one is read by
 * asking its size first, as a careful reader would. */
static int read_acl(const char *path) {
    char small[4096];
    ssize_t n = lgetxattr(path, ATTRIBUTE, small, sizeof small);
    if (n < 0 && errno == ERANGE) {
        ssize_t need = lgetxattr(path, ATTRIBUTE, NULL, 0);
        if (need < 0) return -1;
        char *big = malloc((size_t)need);
        if (big == NULL) return -1;
        n = lgetxattr(path, ATTRIBUTE, big, (size_t)need);
        free(big);
    }
    if (n >= 0) {
        with_acl++;
        return 0;
    }
    return errno == ENODATA || errno == ENOTSUP ? 0 : -1;
}

static int visit(const char *path, const struct stat *st, int flag, struct FTW *ftw) {
    (void)ftw;
    objects++;
    if (flag == FTW_NS || flag == FTW_DNR) {
        fprintf(stderr, "vossik_floor_read: %s: cannot be read\n", path);
        return 1;
    }
    if (S_ISLNK(st->st_mode)) return 0; /* links have no ACL */
    if (read_acl(path) != 0) {
        perror(path);
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <tree>\n", argv[0]);
        return 2;
    }
    if (nftw(argv[1], visit, 64, FTW_PHYS) != 0) return 1;
    printf("%ld objects, %ld with an ACL\n", objects, with_acl);
    return 0;
}
