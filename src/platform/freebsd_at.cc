// Objects below a directory descriptor on FreeBSD, which has no names for
// descriptors: the verified directory becomes the current directory for
// the one call, and the call gets the bare name.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os_at.h"

namespace {

#ifdef O_SEARCH
constexpr int HOME_FLAGS = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int HOME_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

}  // namespace

os_at_path::os_at_path(int dirfd, const char *name) {
    if (settled(dirfd, name)) return;
    home_ = open(".", HOME_FLAGS);
    if (home_ < 0) return;
    if (fchdir(dirfd) != 0) {
        int err = errno;
        close(home_);
        home_ = -1;
        errno = err;
        return;
    }
    path_ = name;
}

os_at_path::~os_at_path() {
    if (home_ < 0) return;
    int saved = errno;
    if (fchdir(home_) != 0) {
        // Every later relative path would name something else: better to
        // stop than to go on in the wrong directory.
        std::fprintf(stderr, "vossik: cannot return to the current directory: %s\n",
                     std::strerror(errno));
        std::abort();
    }
    close(home_);
    errno = saved;
}
