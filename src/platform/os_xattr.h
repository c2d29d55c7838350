// os_xattr: the operating system's side of extended attributes. Four calls over
// a path (or a symbolic link itself) and a namespace, with FreeBSD's
// namespace numbers on every system and errno-style failures. Each operating
// system has one implementation (linux_xattr.cc, freebsd_xattr.cc).
//
// The calls that read follow getxattr's size protocol: a null buffer asks for
// the size that a read needs; a buffer too small for what there is fails with
// ERANGE instead of delivering a cut-off result. Attribute names are given
// and listed without any prefix of the system's own naming.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Namespaces (FreeBSD's numbers for the user and system namespaces).
constexpr int SYS_XATTR_NS_USER = 1;
constexpr int SYS_XATTR_NS_SYSTEM = 2;

// The longest attribute name a list can carry (its length is one byte).
constexpr size_t SYS_XATTR_NAME_MAX = 255;

// Lists the attribute names of `path` (the link itself when `link` is true)
// in namespace `ns` into the `size` bytes at `buffer`, as FreeBSD lists them:
// each name preceded by a one-byte length, not terminated. Returns the bytes
// written (0: no attributes), with a null buffer the bytes the list needs, or
// -1 with errno (ERANGE when the list does not fit, EINVAL for another ns).
ssize_t sys_xattr_list(const char *path, int ns, bool link, void *buffer, size_t size);

// Reads the value of attribute `name` into the `size` bytes at `buffer`.
// Returns the value's length, with a null buffer the length alone, or -1
// with errno (ERANGE when the value does not fit; the system's "no such
// attribute" error, ENODATA on Linux and ENOATTR on FreeBSD, when absent).
ssize_t sys_xattr_get(const char *path, int ns, bool link, const char *name, void *buffer,
                      size_t size);

// Creates or replaces attribute `name` with the `size` bytes at `value`.
// Returns 0, or -1 with errno.
int sys_xattr_set(const char *path, int ns, bool link, const char *name, const void *value,
                  size_t size);

// Removes attribute `name`. Returns 0, or -1 with errno (as sys_xattr_get
// when absent).
int sys_xattr_delete(const char *path, int ns, bool link, const char *name);
