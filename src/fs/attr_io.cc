// Extended-attribute operations over the platform's calls.
#include "fs/attr_io.h"

#include <cerrno>
#include <cstring>

#include "fs/path.h"
#include "platform/os_xattr.h"

int32_t fs_xattr_flags = 0;

namespace {

int ns_of(int32_t flags) {
    return (flags & FS_XATTR_SYSTEM) != 0 ? SYS_XATTR_NS_SYSTEM : SYS_XATTR_NS_USER;
}

bool link_of(int32_t flags) {
    return (flags & FS_XATTR_NOFOLLOW) != 0;
}

// The path handed to the system: a null path is the current directory, once
// the guard knows it; null after a failed guard.
const char *resolve(const char *path) {
    if (path != nullptr) return path;
    return fs_need_cwd() == 0 ? "." : nullptr;
}

}  // namespace

ssize_t fs_xattr_list(const char *path, char *buffer, size_t size, int32_t flags) {
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    if (buffer == nullptr) size = 0;
    // Each length byte becomes the terminating NUL of its name, so the list
    // needs as many bytes in either layout and converts in place.
    ssize_t n = sys_xattr_list(p, ns_of(flags), link_of(flags), size == 0 ? nullptr : buffer, size);
    if (n <= 0 || size == 0) return n;
    size_t used = static_cast<size_t>(n);
    for (size_t pos = 0; pos < used;) {
        size_t len = static_cast<unsigned char>(buffer[pos]);
        if (pos + 1 + len > used) return errno = EINVAL, -1;  // a list that lies
        std::memmove(buffer + pos, buffer + pos + 1, len);
        buffer[pos + len] = '\0';
        pos += len + 1;
    }
    return n;
}

ssize_t fs_xattr_get(const char *path, const char *name, void *buffer, size_t size, int32_t flags) {
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    if (size == 0) buffer = nullptr;
    return sys_xattr_get(p, ns_of(flags), link_of(flags), name, buffer, size);
}

int fs_xattr_set(const char *path, const char *name, const void *value, size_t size,
                 int32_t flags) {
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    return sys_xattr_set(p, ns_of(flags), link_of(flags), name, value, size);
}

int fs_xattr_delete(const char *path, const char *name, int32_t flags) {
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    return sys_xattr_delete(p, ns_of(flags), link_of(flags), name);
}

int fs_xattr_flags_parse(const char *text, int32_t *flags) {
    if (flags == nullptr) return errno = EINVAL, -1;
    int32_t value = 0;
    *flags = value;
    for (const char *c = text ? text : ""; *c != '\0'; ++c) {
        switch (*c) {
            case 'f':
                value |= FS_XATTR_NOFOLLOW;
                break;
            case 'S':
                value |= FS_XATTR_SYSTEM;
                break;
            default:
                errno = EINVAL;
                return -1;
        }
        *flags = value;
    }
    return 0;
}
