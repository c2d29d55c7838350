// The part of os_at_path that does not depend on the operating system.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/os_at.h"

bool os_at_name_valid(int dirfd, const char *name) {
    if (name == nullptr || *name == '\0') return errno = EINVAL, false;
    if (dirfd == AT_FDCWD) return true;
    if (std::strchr(name, '/') != nullptr) return errno = EINVAL, false;
    if (dirfd < 0) return errno = EBADF, false;
    return true;
}

bool os_at_path::settled(int dirfd, const char *name) {
    if (!os_at_name_valid(dirfd, name)) return true;
    if (dirfd == AT_FDCWD) {
        path_ = name;
        return true;
    }
    return false;
}
