/* A passthrough FUSE file system that mirrors a source directory and waits a
 * fixed time before every call that is a round trip to the server on NFS:
 * look-up and status, the attribute calls, each directory read, open, and
 * the metadata changes. Data reads and writes are not delayed. The kernel
 * caches nothing (entry, attribute and negative timeouts 0, no readdirplus),
 * so every run pays the latency, and many requests are served at once, so
 * that concurrent callers overlap their waits as concurrent RPCs do.
 *
 *   vossik_slow_fs [-f] [--delay=USEC] [--threads=N] <source> <mountpoint>
 *
 * --delay is in microseconds (200); --threads bounds the threads serving
 * requests (64). Without -f it returns once the file system is mounted and
 * goes on in the background. SIGTERM, SIGINT or SIGHUP unmount it; so does
 * umount or fusermount3 -u. Needs root (or fuse access) to mount. */
#define _GNU_SOURCE
#define FUSE_USE_VERSION 314
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

static char source[PATH_MAX];
static size_t source_len;
static long delay_usec = 200;

/* The round trip: a sleep, so that concurrent requests overlap. */
static void round_trip(void) {
    struct timespec left = {delay_usec / 1000000, (delay_usec % 1000000) * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

/* The source path of a path below the mount point ("/" is the source). */
static int real_path(const char *path, char *out) {
    size_t n = strlen(path);
    if (source_len + n + 1 > PATH_MAX) return -ENAMETOOLONG;
    memcpy(out, source, source_len);
    memcpy(out + source_len, path, n + 1);
    return 0;
}

#define REAL(var, path)                  \
    char var[PATH_MAX];                  \
    do {                                 \
        int err_ = real_path(path, var); \
        if (err_ != 0) return err_;      \
    } while (0)

static int result(int rc) {
    return rc < 0 ? -errno : rc;
}

/* Objects made through the mount belong to the caller, not to the server. */
static int own(const char *real) {
    struct fuse_context *ctx = fuse_get_context();
    if (geteuid() != 0 || ctx == NULL) return 0;
    return result(lchown(real, ctx->uid, ctx->gid));
}

static void *slow_init(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    conn->want &= ~(unsigned)(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO |
                              FUSE_CAP_CACHE_SYMLINKS | FUSE_CAP_POSIX_ACL);
    if (conn->capable & FUSE_CAP_PARALLEL_DIROPS) conn->want |= FUSE_CAP_PARALLEL_DIROPS;
    cfg->entry_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->kernel_cache = 0;
    cfg->auto_cache = 0;
    cfg->use_ino = 1;
    cfg->hard_remove = 1;
    cfg->nullpath_ok = 1;
    return NULL;
}

static int slow_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    round_trip();
    if (fi != NULL) return result(fstat((int)fi->fh, st));
    REAL(real, path);
    return result(lstat(real, st));
}

static int slow_access(const char *path, int mask) {
    round_trip();
    REAL(real, path);
    return result(faccessat(AT_FDCWD, real, mask, AT_SYMLINK_NOFOLLOW));
}

static int slow_readlink(const char *path, char *buf, size_t size) {
    round_trip();
    REAL(real, path);
    ssize_t n = readlink(real, buf, size - 1);
    if (n < 0) return -errno;
    buf[n] = '\0';
    return 0;
}

static int slow_mknod(const char *path, mode_t mode, dev_t rdev) {
    round_trip();
    REAL(real, path);
    int rc = S_ISFIFO(mode) ? mkfifo(real, mode) : mknod(real, mode, rdev);
    return rc < 0 ? -errno : own(real);
}

static int slow_mkdir(const char *path, mode_t mode) {
    round_trip();
    REAL(real, path);
    return mkdir(real, mode) < 0 ? -errno : own(real);
}

static int slow_symlink(const char *target, const char *path) {
    round_trip();
    REAL(real, path);
    return symlink(target, real) < 0 ? -errno : own(real);
}

static int slow_unlink(const char *path) {
    round_trip();
    REAL(real, path);
    return result(unlink(real));
}

static int slow_rmdir(const char *path) {
    round_trip();
    REAL(real, path);
    return result(rmdir(real));
}

static int slow_rename(const char *from, const char *to, unsigned int flags) {
    round_trip();
    REAL(real_from, from);
    REAL(real_to, to);
    return result(renameat2(AT_FDCWD, real_from, AT_FDCWD, real_to, flags));
}

static int slow_link(const char *from, const char *to) {
    round_trip();
    REAL(real_from, from);
    REAL(real_to, to);
    return result(link(real_from, real_to));
}

static int slow_chmod(const char *path, mode_t mode, struct fuse_file_info *fi) {
    round_trip();
    if (fi != NULL) return result(fchmod((int)fi->fh, mode));
    REAL(real, path);
    return result(chmod(real, mode));
}

static int slow_chown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi) {
    round_trip();
    if (fi != NULL) return result(fchown((int)fi->fh, uid, gid));
    REAL(real, path);
    return result(lchown(real, uid, gid));
}

static int slow_truncate(const char *path, off_t size, struct fuse_file_info *fi) {
    round_trip();
    if (fi != NULL) return result(ftruncate((int)fi->fh, size));
    REAL(real, path);
    return result(truncate(real, size));
}

static int slow_utimens(const char *path, const struct timespec tv[2], struct fuse_file_info *fi) {
    round_trip();
    if (fi != NULL) return result(futimens((int)fi->fh, tv));
    REAL(real, path);
    return result(utimensat(AT_FDCWD, real, tv, AT_SYMLINK_NOFOLLOW));
}

static int slow_open(const char *path, struct fuse_file_info *fi) {
    round_trip();
    REAL(real, path);
    int fd = open(real, fi->flags);
    if (fd < 0) return -errno;
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_create(const char *path, mode_t mode, struct fuse_file_info *fi) {
    round_trip();
    REAL(real, path);
    int fd = open(real, fi->flags, mode);
    if (fd < 0) return -errno;
    int rc = own(real);
    if (rc != 0) {
        close(fd);
        return rc;
    }
    fi->fh = (uint64_t)fd;
    return 0;
}

static int slow_read(const char *path, char *buf, size_t size, off_t off,
                     struct fuse_file_info *fi) {
    (void)path;
    ssize_t n = pread((int)fi->fh, buf, size, off);
    return n < 0 ? -errno : (int)n;
}

static int slow_write(const char *path, const char *buf, size_t size, off_t off,
                      struct fuse_file_info *fi) {
    (void)path;
    ssize_t n = pwrite((int)fi->fh, buf, size, off);
    return n < 0 ? -errno : (int)n;
}

static int slow_statfs(const char *path, struct statvfs *st) {
    round_trip();
    REAL(real, path);
    return result(statvfs(real, st));
}

static int slow_release(const char *path, struct fuse_file_info *fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int slow_fsync(const char *path, int datasync, struct fuse_file_info *fi) {
    (void)path;
    round_trip();
    return result(datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh));
}

/* The attribute calls act on the object itself, a symbolic link too. The
 * errors (ENODATA, ERANGE, ENOTSUP, EPERM) are the source's own. */
static int slow_setxattr(const char *path, const char *name, const char *value, size_t size,
                         int flags) {
    round_trip();
    REAL(real, path);
    return result(lsetxattr(real, name, value, size, flags));
}

static int slow_getxattr(const char *path, const char *name, char *value, size_t size) {
    round_trip();
    REAL(real, path);
    ssize_t n = lgetxattr(real, name, value, size);
    return n < 0 ? -errno : (int)n;
}

static int slow_listxattr(const char *path, char *list, size_t size) {
    round_trip();
    REAL(real, path);
    ssize_t n = llistxattr(real, list, size);
    return n < 0 ? -errno : (int)n;
}

static int slow_removexattr(const char *path, const char *name) {
    round_trip();
    REAL(real, path);
    return result(lremovexattr(real, name));
}

struct dir_handle {
    DIR *dir;
    struct dirent *entry;  // read but not yet handed to the kernel
    off_t offset;          // where the next readdir call starts
};

static int slow_opendir(const char *path, struct fuse_file_info *fi) {
    round_trip();
    REAL(real, path);
    struct dir_handle *d = calloc(1, sizeof *d);
    if (d == NULL) return -ENOMEM;
    d->dir = opendir(real);
    if (d->dir == NULL) {
        int err = errno;
        free(d);
        return -err;
    }
    fi->fh = (uint64_t)(uintptr_t)d;
    return 0;
}

/* Each call is one round trip, filling what fits of the kernel's buffer and
 * going on from the offset the kernel hands back. */
static int slow_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)path;
    (void)flags;
    round_trip();
    struct dir_handle *d = (struct dir_handle *)(uintptr_t)fi->fh;
    if (offset != d->offset) {
        seekdir(d->dir, offset);
        d->entry = NULL;
        d->offset = offset;
    }
    for (;;) {
        if (d->entry == NULL) {
            errno = 0;
            d->entry = readdir(d->dir);
            if (d->entry == NULL) return errno != 0 ? -errno : 0;
        }
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = d->entry->d_ino;
        st.st_mode = (mode_t)DTTOIF(d->entry->d_type);
        off_t next = telldir(d->dir);
        if (fill(buf, d->entry->d_name, &st, next, 0) != 0) return 0;
        d->entry = NULL;
        d->offset = next;
    }
}

static int slow_releasedir(const char *path, struct fuse_file_info *fi) {
    (void)path;
    struct dir_handle *d = (struct dir_handle *)(uintptr_t)fi->fh;
    closedir(d->dir);
    free(d);
    return 0;
}

static const struct fuse_operations slow_ops = {
    .init = slow_init,
    .getattr = slow_getattr,
    .access = slow_access,
    .readlink = slow_readlink,
    .mknod = slow_mknod,
    .mkdir = slow_mkdir,
    .symlink = slow_symlink,
    .unlink = slow_unlink,
    .rmdir = slow_rmdir,
    .rename = slow_rename,
    .link = slow_link,
    .chmod = slow_chmod,
    .chown = slow_chown,
    .truncate = slow_truncate,
    .utimens = slow_utimens,
    .open = slow_open,
    .create = slow_create,
    .read = slow_read,
    .write = slow_write,
    .statfs = slow_statfs,
    .release = slow_release,
    .fsync = slow_fsync,
    .setxattr = slow_setxattr,
    .getxattr = slow_getxattr,
    .listxattr = slow_listxattr,
    .removexattr = slow_removexattr,
    .opendir = slow_opendir,
    .readdir = slow_readdir,
    .releasedir = slow_releasedir,
};

static int usage(const char *prog) {
    fprintf(stderr, "usage: %s [-f] [--delay=USEC] [--threads=N] <source> <mountpoint>\n", prog);
    return 2;
}

/* A whole decimal number in [min, max], or -1. */
static long number(const char *text, long min, long max) {
    char *end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return -1;
    return v;
}

int main(int argc, char **argv) {
    int foreground = 0;
    long threads = 64;
    const char *paths[2];
    int npaths = 0;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (strcmp(a, "-f") == 0) {
            foreground = 1;
        } else if (strncmp(a, "--delay=", 8) == 0) {
            delay_usec = number(a + 8, 0, 60L * 1000 * 1000);
            if (delay_usec < 0) return usage(argv[0]);
        } else if (strncmp(a, "--threads=", 10) == 0) {
            threads = number(a + 10, 1, 4096);
            if (threads < 0) return usage(argv[0]);
        } else if (a[0] == '-' || npaths == 2) {
            return usage(argv[0]);
        } else {
            paths[npaths++] = a;
        }
    }
    if (npaths != 2) return usage(argv[0]);
    // The server may change directory when it goes to the background.
    if (realpath(paths[0], source) == NULL) {
        fprintf(stderr, "%s: %s: %s\n", argv[0], paths[0], strerror(errno));
        return 1;
    }
    if (strcmp(source, "/") == 0) source[0] = '\0';
    source_len = strlen(source);

    char *fuse_argv[] = {argv[0], "-o", "fsname=slow_fs,subtype=slow_fs", NULL};
    struct fuse_args args = FUSE_ARGS_INIT(3, fuse_argv);
    struct fuse *fuse = fuse_new(&args, &slow_ops, sizeof slow_ops, NULL);
    struct fuse_loop_config *config = fuse_loop_cfg_create();
    if (fuse == NULL || config == NULL) return 1;
    // As many idle threads as threads: none made and ended per burst.
    fuse_loop_cfg_set_max_threads(config, (unsigned)threads);
    fuse_loop_cfg_set_idle_threads(config, (unsigned)threads);
    // The default timer slack (50 us) would lengthen every wait by a quarter;
    // the serving threads inherit this one.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    int status = 1;
    if (fuse_mount(fuse, paths[1]) == 0) {
        struct fuse_session *se = fuse_get_session(fuse);
        if (fuse_set_signal_handlers(se) == 0) {
            // A stop by signal comes back as the signal's number: no failure.
            if (fuse_daemonize(foreground) == 0) status = fuse_loop_mt(fuse, config) < 0;
            fuse_remove_signal_handlers(se);
        }
        fuse_unmount(fuse);
    }
    fuse_loop_cfg_destroy(config);
    fuse_destroy(fuse);
    fuse_opt_free_args(&args);
    return status;
}
