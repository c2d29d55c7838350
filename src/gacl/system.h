// system: moves ACLs between the file system and the in-memory model. The
// only part of the program that reaches the system's ACLs (through the
// platform's ACL store); everything above sees gacl objects only.
//
// NFSv4 ACLs only: the type argument must be GACL_TYPE_NFS4, any other type
// fails with EINVAL. Failures return null or -1 with errno: the store's own
// (EOPNOTSUPP for a symbolic link itself, ENOENT, EACCES, ...) or the ones
// named below. Nothing is printed.
#pragma once

#include <sys/stat.h>

#include "gacl/acl.h"
#include "platform/acl_store.h"

// Reads the ACL of the file at `path` (a final symbolic link followed) into
// a new ACL of type `type`, for the caller to release, with the stored
// ACL-wide flags word and the object as its origin. Names: "owner@",
// "group@", "everyone@", the user or group name, or the id in decimal when
// it has none. Null with ENOMEM for more than GACL_MAX_ENTRIES entries or a
// name longer than 255 characters, EINVAL for POSIX.1e (mask, other) or
// untagged entries and unknown entry types, EOVERFLOW for a user or group
// entry with the id 4294967295 (-1, which no write takes back).
gacl_t gacl_get_file(const char *path, gacl_type_t type);

// The same for `path` itself when it is a symbolic link.
gacl_t gacl_get_link_np(const char *path, gacl_type_t type);

// Reads the ACL of `path` itself, whose lstat(2) status the caller holds in
// `st`: gacl_get_link_np for a symbolic link, gacl_get_file otherwise, without
// asking the system for the status again. Null with EINVAL for a null `st`.
gacl_t gacl_get_path_np(const char *path, gacl_type_t type, const struct stat *st);

// Reads the ACL of the object `name` itself (a final symbolic link not
// followed) in the directory open as `dirfd`, reached through the descriptor
// so that a change to the directory's ancestors cannot redirect the read.
// With AT_FDCWD `name` is a path, resolved as typed up to its last
// component. `st` is the object's lstat(2) status, which the caller holds:
// a symbolic link fails with the store's EOPNOTSUPP. Null with EINVAL for a
// null `st`; otherwise as gacl_get_file.
gacl_t gacl_get_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st);

// An object's ACL fetched ahead of its use: gacl_fetch_at_np makes the
// system calls of gacl_get_at_np, on any thread where
// gacl_fetch_concurrent_np allows it; gacl_get_fetched_np does the rest on
// the thread that uses the ACL (names are looked up there). A record can be
// fetched into again; it keeps its buffer.
struct gacl_fetched {
    sys_acl_fetched stored;
};

// True when gacl_fetch_at_np may run on several threads at once, beside the
// program's own (the store in use allows it).
bool gacl_fetch_concurrent_np();

// The system calls of gacl_get_at_np for `name` in `dirfd`, whose lstat(2)
// status `st` the caller holds, into *fetched: 0, or -1 with errno (EINVAL
// for a null argument; the failure is kept in *fetched too).
int gacl_fetch_at_np(int dirfd, const char *name, const struct stat *st, gacl_fetched *fetched);

// The ACL that gacl_get_at_np would have read, from what gacl_fetch_at_np
// fetched for the object of status `st`: a new ACL, or null with errno (the
// fetch's own when it failed).
gacl_t gacl_get_fetched_np(const gacl_fetched *fetched, gacl_type_t type, const struct stat *st);

// Replaces the ACL of the file at `path` (a final symbolic link followed) by
// `acl`, which stays the caller's; an ACL without entries is written as an
// empty ACL. The file keeps its ACL-wide flags word: acl->acl_flags when
// `acl` was read from the same file, else the word stored there. 0, or -1
// with EINVAL for an entry without a tag or with a tag other than owner@,
// user, group@, group and everyone@, a user or group id of -1, or an entry
// type outside allow, deny, audit and alarm (the file is then left as it
// was).
int gacl_set_file(const char *path, gacl_type_t type, gacl_t acl);

// The same for `path` itself when it is a symbolic link.
int gacl_set_link_np(const char *path, gacl_type_t type, gacl_t acl);

// Replaces the ACL of the object `name` itself in the directory open as
// `dirfd` (AT_FDCWD: `name` is a path), reached as gacl_get_at_np reaches
// it, by `acl`. `st` is the object's lstat(2) status when the caller holds
// it (the store then asks for none), else null. 0, or -1 as gacl_set_file.
int gacl_set_at_np(int dirfd, const char *name, gacl_type_t type, gacl_t acl,
                   const struct stat *st = nullptr);

// Replaces the ACL of the file at `path` (a final symbolic link followed) by
// the trivial ACL of its permission bits, keeping its ACL-wide flags word.
// An empty path is ".". 0 or -1.
int gacl_delete_file_np(const char *path, gacl_type_t type);

// The same for `path` itself (its own permission bits) when it is a link.
int gacl_delete_link_np(const char *path, gacl_type_t type);

// Replaces the ACL of the object `name` itself in the directory open as
// `dirfd` (AT_FDCWD: `name` is a path) by the trivial ACL of the permission
// bits in `st`, the object's lstat(2) status. 0, or -1 (EINVAL for a null
// `st`).
int gacl_delete_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st);

// Stores 1 in *trivial when every entry of `acl` is for owner@, group@ or
// everyone@ (or there are none), else 0. 0, or -1 with EINVAL for a null or
// dead ACL or a null result pointer, ENOSYS for an ACL with entries that is
// not of type GACL_TYPE_NFS4 (nothing stored). Restarts the ACL's cursor.
int gacl_is_trivial_np(gacl_t acl, int *trivial);
