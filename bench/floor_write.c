/* The write floor: the least a recursive ACL write must do. A physical nftw
 * walk (its status call per object), one lgetxattr of the stored ACL (a
 * store must read the old value to keep its ACL-wide flags word) and one
 * lsetxattr of the new value per object that is not a symbolic link.
 * vossik set-access -r is measured against this.
 *
 *   vossik_floor_write <tree> <directory> <file>
 *
 * Directories get the stored ACL of <directory>, everything else that of
 * <file>: let vossik set-access write those two first, so that both sides
 * write the same bytes. */
#define _GNU_SOURCE
#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>

static const char ATTRIBUTE[] = "security.nfs4acl_xdr";

struct blob {
    char data[65536];
    size_t size;
};

static struct blob dir_acl, file_acl;
static long objects;

static int load(const char *path, struct blob *out) {
    ssize_t n = lgetxattr(path, ATTRIBUTE, out->data, sizeof out->data);
    if (n < 0) {
        perror(path);
        return -1;
    }
    out->size = (size_t)n;
    return 0;
}

static int visit(const char *path, const struct stat *st, int flag, struct FTW *ftw) {
    (void)ftw;
    objects++;
    if (flag == FTW_NS || flag == FTW_DNR) {
        fprintf(stderr, "vossik_floor_write: %s: cannot be read\n", path);
        return 1;
    }
    if (S_ISLNK(st->st_mode)) return 0; /* links have no ACL */
    char old[4096];
    if (lgetxattr(path, ATTRIBUTE, old, sizeof old) < 0 && errno != ENODATA && errno != ERANGE) {
        perror(path);
        return 1;
    }
    const struct blob *acl = S_ISDIR(st->st_mode) ? &dir_acl : &file_acl;
    if (lsetxattr(path, ATTRIBUTE, acl->data, acl->size, 0) != 0) {
        perror(path);
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s <tree> <directory> <file>\n", argv[0]);
        return 2;
    }
    if (load(argv[2], &dir_acl) != 0 || load(argv[3], &file_acl) != 0) return 1;
    if (nftw(argv[1], visit, 64, FTW_PHYS) != 0) return 1;
    printf("%ld objects written\n", objects);
    return 0;
}
