// acl_io: the system binding's ACL reads and writes behind the
// current-directory guard. A null path first needs a known current
// directory (else ENOSYS and a null or -1 result); every path is then passed
// on unchanged to the gacl_* operation of the same name. The *_at_np forms
// take an object below a directory descriptor (AT_FDCWD: a path), where a
// null name with AT_FDCWD is the current directory behind the guard.
#pragma once

#include <sys/stat.h>

#include "gacl/acl.h"
#include "gacl/system.h"

// gacl_get_file behind the guard: a new ACL, or null with errno.
gacl_t fs_acl_get_file(const char *path, gacl_type_t type);

// gacl_get_link_np behind the guard: a new ACL, or null with errno.
gacl_t fs_acl_get_link_np(const char *path, gacl_type_t type);

// gacl_get_path_np behind the guard: a new ACL, or null with errno.
gacl_t fs_acl_get_path_np(const char *path, gacl_type_t type, const struct stat *st);

// gacl_set_file behind the guard: 0, or -1 with errno.
int fs_acl_set_file(const char *path, gacl_type_t type, gacl_t acl);

// gacl_set_link_np behind the guard: 0, or -1 with errno.
int fs_acl_set_link_np(const char *path, gacl_type_t type, gacl_t acl);

// gacl_delete_file_np behind the guard: 0, or -1 with errno.
int fs_acl_delete_file_np(const char *path, gacl_type_t type);

// gacl_delete_link_np behind the guard: 0, or -1 with errno.
int fs_acl_delete_link_np(const char *path, gacl_type_t type);

// gacl_get_at_np behind the guard: a new ACL, or null with errno.
gacl_t fs_acl_get_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st);

// gacl_set_at_np behind the guard: 0, or -1 with errno.
int fs_acl_set_at_np(int dirfd, const char *name, gacl_type_t type, gacl_t acl,
                     const struct stat *st = nullptr);

// gacl_delete_at_np behind the guard: 0, or -1 with errno.
int fs_acl_delete_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st);

// gacl_fetch_at_np for an object below a directory descriptor (any thread
// where gacl_fetch_concurrent_np allows it): 0, or -1 with errno.
int fs_acl_fetch_at_np(int dirfd, const char *name, const struct stat *st, gacl_fetched *fetched);

// gacl_get_fetched_np: a new ACL, or null with errno.
gacl_t fs_acl_get_fetched_np(const gacl_fetched *fetched, gacl_type_t type, const struct stat *st);
