// Objects below a directory descriptor on Linux: /proc/self/fd/<dirfd> is
// the directory the descriptor holds, whatever has happened to its path
// since it was opened, and the name after it is looked up in that
// directory alone.
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
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

namespace {

// The kernel's numbers (6.13 on; every architecture but alpha shares them),
// where the C library does not know them yet.
#if !defined(SYS_setxattrat) && !defined(__alpha__)
#define SYS_setxattrat 463
#endif
#if !defined(SYS_getxattrat) && !defined(__alpha__)
#define SYS_getxattrat 464
#endif

// The argument block of the *xattrat calls.
struct xattr_args {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
};

// The kernel's call `number` on `name` itself in `dirfd`: its result, or -1
// with errno (ENOSYS where this build knows no such call).
long xattrat(long number, int dirfd, const char *name, const char *attribute, const void *value,
             size_t size) {
    if (number < 0) return errno = ENOSYS, -1;
    if (size > UINT32_MAX) return errno = E2BIG, -1;
    xattr_args args{reinterpret_cast<uintptr_t>(value), static_cast<uint32_t>(size), 0};
    return syscall(number, dirfd, name, AT_SYMLINK_NOFOLLOW, attribute, &args, sizeof args);
}

#ifdef SYS_getxattrat
constexpr long GETXATTRAT = SYS_getxattrat;
#else
constexpr long GETXATTRAT = -1;
#endif
#ifdef SYS_setxattrat
constexpr long SETXATTRAT = SYS_setxattrat;
#else
constexpr long SETXATTRAT = -1;
#endif

// Set once a call showed that this kernel (or the sandbox around it) lacks
// the at-calls, so that later calls go to procfs at once.
std::atomic<bool> at_calls_missing{false};

// Whether a failed at-call means "not here": ENOSYS from an older kernel, or
// EPERM from a sandbox that refuses calls it does not know. A true EPERM
// is answered the same by the procfs call, which then reports it.
bool at_call_missing(int err) {
    return err == ENOSYS || err == EPERM;
}

// One attribute call on `name` itself in `dirfd`: `at_call()` where the
// kernel has it, else `path_call(path)` with the procfs name (or the name as
// typed for AT_FDCWD). The at-call is given up for good once procfs answers
// where it was refused.
template <typename AtCall, typename PathCall>
long below_descriptor(int dirfd, const char *name, AtCall at_call, PathCall path_call) {
    if (!os_at_name_valid(dirfd, name)) return -1;
    int refused = 0;
    if (dirfd != AT_FDCWD && !at_calls_missing.load(std::memory_order_relaxed)) {
        long done = at_call();
        if (done >= 0 || !at_call_missing(errno)) return done;
        refused = errno;
    }
    os_at_path at(dirfd, name);
    if (!at.ok()) return -1;
    long again = path_call(at.path());
    if (refused != 0 && (again >= 0 || errno != refused))
        at_calls_missing.store(true, std::memory_order_relaxed);
    return again;
}

}  // namespace

ssize_t os_getxattr_at(int dirfd, const char *name, const char *attribute, void *value,
                       size_t size) {
    // A buffer larger than the call can say is as good as the largest it can.
    const size_t asked = size > UINT32_MAX ? UINT32_MAX : size;
    return below_descriptor(
        dirfd, name, [&] { return xattrat(GETXATTRAT, dirfd, name, attribute, value, asked); },
        [&](const char *path) { return lgetxattr(path, attribute, value, size); });
}

int os_setxattr_at(int dirfd, const char *name, const char *attribute, const void *value,
                   size_t size) {
    long done = below_descriptor(
        dirfd, name, [&] { return xattrat(SETXATTRAT, dirfd, name, attribute, value, size); },
        [&](const char *path) { return lsetxattr(path, attribute, value, size, 0); });
    return done == 0 ? 0 : -1;
}
