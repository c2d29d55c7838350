// Objects below a directory descriptor on Linux: /proc/self/fd/<dirfd> is
// the directory the descriptor holds, whatever has happened to its path
// since it was opened, and the name after it is looked up in that
// directory alone.
#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os_at.h"

os_at_path::os_at_path(int dirfd, const char *name) {
    if (settled(dirfd, name)) return;
    int n = std::snprintf(built_, sizeof built_, "/proc/self/fd/%d/%s", dirfd, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof built_) {
        errno = ENAMETOOLONG;
        return;
    }
    path_ = built_;
}

os_at_path::~os_at_path() = default;
