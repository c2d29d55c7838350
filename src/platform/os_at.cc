// The part of os_at_path that does not depend on the operating system.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/os_at.h"

bool os_at_path::settled(int dirfd, const char *name) {
    if (name == nullptr || *name == '\0') {
        errno = EINVAL;
        return true;
    }
    if (dirfd == AT_FDCWD) {
        path_ = name;
        return true;
    }
    // One component: a '/' would let the lookup pass through links again.
    if (std::strchr(name, '/') != nullptr) {
        errno = EINVAL;
        return true;
    }
    if (dirfd < 0) {
        errno = EBADF;
        return true;
    }
    return false;
}
