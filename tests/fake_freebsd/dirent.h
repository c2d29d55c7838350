// The fake FreeBSD's <dirent.h>: the system's own, plus getdents(2), which
// FreeBSD declares here and Linux's C library does not. fake_freebsd.cc
// serves it from the real directory (Linux's struct dirent has the fields
// FreeBSD's code reads: d_reclen, d_type, d_name).
#ifndef FAKE_FREEBSD_DIRENT_H
#define FAKE_FREEBSD_DIRENT_H

// #include_next is how a stand-in header reaches the one it stands in for.
#pragma GCC system_header
#include_next <dirent.h>

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

ssize_t getdents(int fd, char *buf, size_t nbytes);

#ifdef __cplusplus
}
#endif

#endif
