// A stand-in for FreeBSD's <sys/extattr.h> on systems that do not have it:
// the extattr(2) calls with FreeBSD's signatures and namespace numbers,
// implemented in memory by fake_freebsd.cc (the file descriptor
// variants are left out: the program does not use them).
#ifndef FAKE_FREEBSD_SYS_EXTATTR_H
#define FAKE_FREEBSD_SYS_EXTATTR_H

#include <limits.h>
#include <sys/types.h>

#define EXTATTR_NAMESPACE_EMPTY 0x00000000
#define EXTATTR_NAMESPACE_USER 0x00000001
#define EXTATTR_NAMESPACE_SYSTEM 0x00000002

#define EXTATTR_MAXNAMELEN NAME_MAX

#ifdef __cplusplus
extern "C" {
#endif

int extattr_delete_file(const char *path, int attrnamespace, const char *attrname);
int extattr_delete_link(const char *path, int attrnamespace, const char *attrname);
ssize_t extattr_get_file(const char *path, int attrnamespace, const char *attrname, void *data,
                         size_t nbytes);
ssize_t extattr_get_link(const char *path, int attrnamespace, const char *attrname, void *data,
                         size_t nbytes);
ssize_t extattr_list_file(const char *path, int attrnamespace, void *data, size_t nbytes);
ssize_t extattr_list_link(const char *path, int attrnamespace, void *data, size_t nbytes);
ssize_t extattr_set_file(const char *path, int attrnamespace, const char *attrname,
                         const void *data, size_t nbytes);
ssize_t extattr_set_link(const char *path, int attrnamespace, const char *attrname,
                         const void *data, size_t nbytes);

#ifdef __cplusplus
}
#endif

#endif
