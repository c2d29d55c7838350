#include "fs/acl_io.h"

#include <fcntl.h>

#include <cerrno>

#include "fs/path.h"
#include "gacl/system.h"

namespace {

// True when the path may be used: given, or null with a known current
// directory.
bool guard(const char *path) {
    return path != nullptr || fs_need_cwd() == 0;
}

// The name an *_at_np operation uses: "." for a null name relative to the
// current directory once the guard knows it; null (errno set) otherwise.
const char *guard_at(int dirfd, const char *name) {
    if (name != nullptr) return name;
    if (dirfd != AT_FDCWD) return errno = EINVAL, nullptr;
    return fs_need_cwd() == 0 ? "." : nullptr;
}

}  // namespace

gacl_t fs_acl_get_file(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_get_file(path, type) : nullptr;
}

gacl_t fs_acl_get_link_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_get_link_np(path, type) : nullptr;
}

gacl_t fs_acl_get_path_np(const char *path, gacl_type_t type, const struct stat *st) {
    return guard(path) ? gacl_get_path_np(path, type, st) : nullptr;
}

int fs_acl_set_file(const char *path, gacl_type_t type, gacl_t acl) {
    return guard(path) ? gacl_set_file(path, type, acl) : -1;
}

int fs_acl_set_link_np(const char *path, gacl_type_t type, gacl_t acl) {
    return guard(path) ? gacl_set_link_np(path, type, acl) : -1;
}

int fs_acl_delete_file_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_delete_file_np(path, type) : -1;
}

int fs_acl_delete_link_np(const char *path, gacl_type_t type) {
    return guard(path) ? gacl_delete_link_np(path, type) : -1;
}

gacl_t fs_acl_get_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st) {
    const char *n = guard_at(dirfd, name);
    return n != nullptr ? gacl_get_at_np(dirfd, n, type, st) : nullptr;
}

int fs_acl_set_at_np(int dirfd, const char *name, gacl_type_t type, gacl_t acl,
                     const struct stat *st) {
    const char *n = guard_at(dirfd, name);
    return n != nullptr ? gacl_set_at_np(dirfd, n, type, acl, st) : -1;
}

int fs_acl_delete_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st) {
    const char *n = guard_at(dirfd, name);
    return n != nullptr ? gacl_delete_at_np(dirfd, n, type, st) : -1;
}

int fs_acl_fetch_at_np(int dirfd, const char *name, const struct stat *st, gacl_fetched *fetched) {
    // Only objects below a descriptor: the current directory's guard is
    // not for other threads.
    if (dirfd == AT_FDCWD || name == nullptr) return errno = EINVAL, -1;
    return gacl_fetch_at_np(dirfd, name, st, fetched);
}

gacl_t fs_acl_get_fetched_np(const gacl_fetched *fetched, gacl_type_t type, const struct stat *st) {
    return gacl_get_fetched_np(fetched, type, st);
}
