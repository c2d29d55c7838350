// Objects below a directory descriptor on Linux: /proc/self/fd/<dirfd> is
// the directory the descriptor holds, whatever has happened to its path
// since it was opened, and the name after it is looked up in that
// directory alone.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/os_at.h"

os_at_path::os_at_path(int dirfd, const char *name) {
    if (settled(dirfd, name)) return;
    // Built by hand: snprintf was a tenth of a recursive listing's work.
    // settled() leaves only dirfd >= 0 here.
    static constexpr char prefix[] = "/proc/self/fd/";
    char digits[16];
    size_t ndigits = 0;
    auto value = static_cast<unsigned>(dirfd);
    do {
        digits[ndigits++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    size_t name_len = std::strlen(name);
    size_t total = sizeof prefix - 1 + ndigits + 1 + name_len;
    if (total >= sizeof built_) {
        errno = ENAMETOOLONG;
        return;
    }
    char *p = built_;
    std::memcpy(p, prefix, sizeof prefix - 1);
    p += sizeof prefix - 1;
    while (ndigits > 0)
        *p++ = digits[--ndigits];
    *p++ = '/';
    std::memcpy(p, name, name_len + 1);
    path_ = built_;
}

os_at_path::~os_at_path() = default;
