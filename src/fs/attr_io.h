// attr_io: the extended-attribute operations of the commands, over the
// platform's calls. A flags word selects the namespace (user, or system with
// FS_XATTR_SYSTEM) and whether a symbolic link itself is meant
// (FS_XATTR_NOFOLLOW). A null path is the current directory, after the
// current-directory guard; any other path goes to the system unchanged.
//
// The reads follow getxattr's size protocol: a null buffer (or a size of 0)
// asks for the size a read needs, so that callers can read values and name
// lists whole; a buffer too small fails with ERANGE, never with a cut-off
// result. All operations return -1 with errno on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Flag bits (the letters of attr-options: f and S).
inline constexpr int32_t FS_XATTR_NOFOLLOW = 0x0001;
inline constexpr int32_t FS_XATTR_SYSTEM = 0x0200;

// The flags the attribute commands use: 0 at start, set by attr-options and
// kept from one command to the next (they are not part of `config`).
extern int32_t fs_xattr_flags;

// Writes the attribute names of `path` into the `size` bytes at `buffer` as
// consecutive NUL-terminated names. Returns the bytes written (0: no
// attributes), with a null buffer or size 0 the bytes needed, or -1 with
// errno (ERANGE when the names do not fit; ENOSYS when a null path needs an
// unknown current directory).
ssize_t fs_xattr_list(const char *path, char *buffer, size_t size, int32_t flags);

// Reads the value of attribute `name` of `path` into the `size` bytes at
// `buffer`. Returns its length, with a null buffer or size 0 the length
// alone, or -1 with errno (ERANGE when it does not fit).
ssize_t fs_xattr_get(const char *path, const char *name, void *buffer, size_t size, int32_t flags);

// Sets attribute `name` of `path` to the `size` bytes at `value`. Returns 0,
// or -1 with errno.
int fs_xattr_set(const char *path, const char *name, const void *value, size_t size, int32_t flags);

// Removes attribute `name` of `path`. Returns 0, or -1 with errno.
int fs_xattr_delete(const char *path, const char *name, int32_t flags);

// Reads flag letters ('f' FS_XATTR_NOFOLLOW, 'S' FS_XATTR_SYSTEM) into
// *flags, starting from 0 and storing after every letter, so that the
// letters before a bad one stay in force. Returns 0 (an empty or null text
// gives 0), or -1 with EINVAL at the first other character.
int fs_xattr_flags_parse(const char *text, int32_t *flags);
