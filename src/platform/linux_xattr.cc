// Extended attributes on Linux: the user namespace is the "user." prefix,
// the system namespace "trusted."; names of other prefixes are not ours.
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/os_xattr.h"
#include "util/nomem.h"

namespace {

const char *prefix_of(int ns) {
    switch (ns) {
        case SYS_XATTR_NS_USER:
            return "user.";
        case SYS_XATTR_NS_SYSTEM:
            return "trusted.";
        default:
            return nullptr;
    }
}

// The system's name of attribute `name` in `ns`; false with EINVAL for an
// unknown namespace or a null name.
bool system_name(int ns, const char *name, std::string *out) {
    const char *prefix = prefix_of(ns);
    if (prefix == nullptr || name == nullptr) {
        errno = EINVAL;
        return false;
    }
    *out = prefix;
    *out += name;
    return true;
}

// Reads the system's whole name list (NUL-terminated names) into *raw. The
// list may grow between asking its size and reading it; then ask again.
ssize_t read_raw_list(const char *path, bool link, std::string *raw) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        ssize_t need = link ? llistxattr(path, nullptr, 0) : listxattr(path, nullptr, 0);
        if (need <= 0) {
            raw->clear();
            return need;
        }
        raw->resize(static_cast<size_t>(need));
        ssize_t got = link ? llistxattr(path, raw->data(), raw->size())
                           : listxattr(path, raw->data(), raw->size());
        if (got >= 0) {
            raw->resize(static_cast<size_t>(got));
            return got;
        }
        if (errno != ERANGE) return -1;
    }
    errno = ERANGE;
    return -1;
}

}  // namespace

ssize_t sys_xattr_list(const char *path, int ns, bool link, void *buffer, size_t size) {
    const char *prefix = prefix_of(ns);
    if (prefix == nullptr) return errno = EINVAL, -1;
    size_t prefix_len = std::strlen(prefix);
    return or_enomem<ssize_t>(-1, [&]() -> ssize_t {
        std::string raw;
        if (read_raw_list(path, link, &raw) < 0) return -1;

        // First pass: the size of our list; second pass: write it.
        auto walk = [&](auto &&emit) {
            for (size_t pos = 0; pos < raw.size();) {
                const char *name = raw.c_str() + pos;
                size_t len = std::strlen(name);
                pos += len + 1;
                if (len <= prefix_len || std::strncmp(name, prefix, prefix_len) != 0) continue;
                size_t short_len = len - prefix_len;
                if (short_len > SYS_XATTR_NAME_MAX)
                    continue;  // cannot be listed with a length byte
                emit(name + prefix_len, short_len);
            }
        };
        size_t need = 0;
        walk([&](const char *, size_t len) { need += 1 + len; });
        if (buffer == nullptr) return static_cast<ssize_t>(need);
        if (need > size) return errno = ERANGE, -1;

        auto *out = static_cast<unsigned char *>(buffer);
        walk([&](const char *name, size_t len) {
            *out++ = static_cast<unsigned char>(len);
            std::memcpy(out, name, len);
            out += len;
        });
        return static_cast<ssize_t>(need);
    });
}

ssize_t sys_xattr_get(const char *path, int ns, bool link, const char *name, void *buffer,
                      size_t size) {
    return or_enomem<ssize_t>(-1, [&]() -> ssize_t {
        std::string full;
        if (!system_name(ns, name, &full)) return -1;
        if (buffer == nullptr) size = 0;
        ssize_t n = link ? lgetxattr(path, full.c_str(), buffer, size)
                         : getxattr(path, full.c_str(), buffer, size);
        // With a size of 0 Linux answers the length even for a real buffer.
        if (buffer != nullptr && size == 0 && n > 0) return errno = ERANGE, -1;
        return n;
    });
}

int sys_xattr_set(const char *path, int ns, bool link, const char *name, const void *value,
                  size_t size) {
    return or_enomem<int>(-1, [&]() -> int {
        std::string full;
        if (!system_name(ns, name, &full)) return -1;
        return link ? lsetxattr(path, full.c_str(), value, size, 0)
                    : setxattr(path, full.c_str(), value, size, 0);
    });
}

int sys_xattr_delete(const char *path, int ns, bool link, const char *name) {
    return or_enomem<int>(-1, [&]() -> int {
        std::string full;
        if (!system_name(ns, name, &full)) return -1;
        return link ? lremovexattr(path, full.c_str()) : removexattr(path, full.c_str());
    });
}
