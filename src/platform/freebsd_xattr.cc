// Extended attributes on FreeBSD: extattr(2), whose namespace numbers and
// length-prefixed name lists are already the ones of os_xattr.h.
#include <sys/types.h>
// sys/types.h first: the extattr header relies on it.
#include <sys/extattr.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "platform/os_xattr.h"
#include "util/nomem.h"

static_assert(EXTATTR_NAMESPACE_USER == SYS_XATTR_NS_USER &&
              EXTATTR_NAMESPACE_SYSTEM == SYS_XATTR_NS_SYSTEM);

namespace {

int fail(int err) {
    errno = err;
    return -1;
}

bool known_namespace(int ns) {
    return ns == SYS_XATTR_NS_USER || ns == SYS_XATTR_NS_SYSTEM;
}

// Reads a whole list or value with `read(data, nbytes)` into *out, or fails
// with ERANGE when it is longer than `limit`. FreeBSD cuts what does not fit
// the buffer off without an error (some file systems answer ERANGE instead),
// so the read asks for the size, reads into one byte more than that, and
// asks again when the buffer came back full or ERANGE says the thing grew
// in between.
template <class Read>
ssize_t read_whole(Read read, size_t limit, std::vector<char> *out) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        ssize_t need = read(nullptr, 0);
        if (need < 0) return -1;
        if (static_cast<size_t>(need) > limit) return fail(ERANGE);
        out->resize(static_cast<size_t>(need) + 1);
        ssize_t got = read(out->data(), out->size());
        if (got < 0) {
            if (errno == ERANGE) continue;
            return -1;
        }
        if (static_cast<size_t>(got) < out->size()) {
            out->resize(static_cast<size_t>(got));
            return got;
        }
    }
    return fail(ERANGE);  // it keeps growing under our feet
}

// Hands a whole read to the caller's buffer, or ERANGE when it does not fit.
ssize_t deliver(const std::vector<char> &whole, void *buffer, size_t size) {
    if (whole.size() > size) return fail(ERANGE);
    if (!whole.empty()) std::memcpy(buffer, whole.data(), whole.size());
    return static_cast<ssize_t>(whole.size());
}

// The size alone for a null buffer; else the whole list or value in
// `buffer`, or ERANGE when it does not fit.
template <typename Read>
ssize_t read_into(Read read, void *buffer, size_t size) {
    if (buffer == nullptr) return read(nullptr, 0);
    return or_enomem<ssize_t>(-1, [&]() -> ssize_t {
        std::vector<char> whole;
        if (read_whole(read, size, &whole) < 0) return -1;
        return deliver(whole, buffer, size);
    });
}

}  // namespace

ssize_t sys_xattr_list(const char *path, int ns, bool link, void *buffer, size_t size) {
    if (!known_namespace(ns)) return fail(EINVAL);
    auto read = [&](void *data, size_t nbytes) {
        return link ? extattr_list_link(path, ns, data, nbytes)
                    : extattr_list_file(path, ns, data, nbytes);
    };
    return read_into(read, buffer, size);
}

ssize_t sys_xattr_get(const char *path, int ns, bool link, const char *name, void *buffer,
                      size_t size) {
    if (!known_namespace(ns) || name == nullptr) return fail(EINVAL);
    auto read = [&](void *data, size_t nbytes) {
        return link ? extattr_get_link(path, ns, name, data, nbytes)
                    : extattr_get_file(path, ns, name, data, nbytes);
    };
    return read_into(read, buffer, size);
}

int sys_xattr_set(const char *path, int ns, bool link, const char *name, const void *value,
                  size_t size) {
    if (!known_namespace(ns) || name == nullptr) return fail(EINVAL);
    // FreeBSD answers the number of bytes written; callers want 0.
    ssize_t written = link ? extattr_set_link(path, ns, name, value, size)
                           : extattr_set_file(path, ns, name, value, size);
    return written < 0 ? -1 : 0;
}

int sys_xattr_delete(const char *path, int ns, bool link, const char *name) {
    if (!known_namespace(ns) || name == nullptr) return fail(EINVAL);
    return link ? extattr_delete_link(path, ns, name) : extattr_delete_file(path, ns, name);
}
