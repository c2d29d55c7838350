#include "platform/linux_acl_store.h"

#include <sys/xattr.h>

#include <cerrno>
#include <new>
#include <string>

#include "platform/nfs4_string.h"
#include "platform/nfs4_xdr.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

constexpr const char *ZFS_XDR_NAME = "system.nfs4_acl_xdr";
constexpr const char *NFS_STRING_NAME = "system.nfs4_acl";
constexpr const char *SAMBA_XDR_NAME = "security.nfs4acl_xdr";

// The kernel's limit on one attribute value (XATTR_SIZE_MAX): a buffer of
// this size reads any ACL in one call.
constexpr size_t VALUE_MAX = 65536;

int fail(int err) {
    errno = err;
    return -1;
}

// Principals of the NFS client's layout. Names are looked up through the
// program's cache; ids are written as decimal numbers, which servers accept
// from AUTH_SYS clients and which need no NFSv4 domain.
const nfs4_who_resolver &nfs_resolver() {
    static const nfs4_who_resolver resolver{[](bool, uint32_t id) { return std::to_string(id); },
                                            [](bool group, std::string_view name, uint32_t *id) {
                                                std::string s(name);
                                                return group ? names_group_id(s.c_str(), id)
                                                             : names_user_id(s.c_str(), id);
                                            }};
    return resolver;
}

}  // namespace

int linux_xattr_calls::stat(const char *path, bool link, struct stat *st) {
    return link ? ::lstat(path, st) : ::stat(path, st);
}

ssize_t linux_xattr_calls::getxattr(const char *path, bool link, const char *name, void *value,
                                    size_t size) {
    return link ? ::lgetxattr(path, name, value, size) : ::getxattr(path, name, value, size);
}

int linux_xattr_calls::setxattr(const char *path, bool link, const char *name, const void *value,
                                size_t size) {
    return link ? ::lsetxattr(path, name, value, size, 0) : ::setxattr(path, name, value, size, 0);
}

linux_acl_store::linux_acl_store(linux_xattr_calls *calls) : calls_(calls ? calls : &real_) {}

const char *linux_acl_store::attribute_name(layout chosen) {
    switch (chosen) {
        case layout::zfs_xdr:
            return ZFS_XDR_NAME;
        case layout::nfs_string:
            return NFS_STRING_NAME;
        case layout::samba_xdr:
            break;
    }
    return SAMBA_XDR_NAME;
}

int linux_acl_store::choose(const char *path, bool link, dev_t dev, layout *chosen) {
    auto known = layouts_.find(dev);
    if (known != layouts_.end()) {
        *chosen = known->second;
        return 0;
    }
    // A file system that offers one of the system.* attributes answers for
    // it on every file; everywhere else the call fails with ENOTSUP (or
    // ENODATA), and Samba's attribute is used.
    *chosen = layout::samba_xdr;
    for (layout candidate : {layout::zfs_xdr, layout::nfs_string}) {
        if (calls_->getxattr(path, link, attribute_name(candidate), nullptr, 0) >= 0 ||
            errno == ERANGE || errno == E2BIG) {
            *chosen = candidate;
            break;
        }
        if (errno != ENOTSUP && errno != ENODATA) return -1;  // not known yet: ask again later
    }
    layouts_.emplace(dev, *chosen);
    return 0;
}

int linux_acl_store::get(const char *path, bool link, sys_acl *acl) {
    if (path == nullptr || acl == nullptr) return fail(EINVAL);
    struct stat st;
    if (calls_->stat(path, link, &st) != 0) return -1;
    return read(path, link, st, acl);
}

int linux_acl_store::get_known(const char *path, bool link, const struct stat &known,
                               sys_acl *acl) {
    if (path == nullptr || acl == nullptr) return fail(EINVAL);
    // lstat(2) describes a link, not what a followed read reaches.
    if (!link && S_ISLNK(known.st_mode)) return get(path, link, acl);
    return read(path, link, known, acl);
}

int linux_acl_store::read(const char *path, bool link, const struct stat &st, sys_acl *acl) {
    return or_enomem<int>(-1, [&]() -> int {
        if (S_ISLNK(st.st_mode)) return fail(EOPNOTSUPP);
        layout chosen;
        if (choose(path, link, st.st_dev, &chosen) != 0) return -1;
        const char *name = attribute_name(chosen);
        buffer_.resize(VALUE_MAX);
        ssize_t size = calls_->getxattr(path, link, name, buffer_.data(), buffer_.size());
        if (size < 0) {
            if (errno != ENODATA && errno != ENOTSUP) return -1;
            auto trivial = acl_trivial(st.st_mode);
            acl->assign(trivial.begin(), trivial.end());
            return 0;
        }
        if (chosen == layout::nfs_string)
            return nfs4_string_decode(buffer_.data(), static_cast<size_t>(size), nfs_resolver(),
                                      acl);
        return nfs4_xdr_decode(buffer_.data(), static_cast<size_t>(size), acl);
    });
}

int linux_acl_store::set(const char *path, bool link, const sys_acl &acl) {
    if (path == nullptr) return fail(EINVAL);
    if (acl.size() > SYS_ACL_MAX_ENTRIES) return fail(EINVAL);
    return or_enomem<int>(-1, [&]() -> int {
        struct stat st;
        if (calls_->stat(path, link, &st) != 0) return -1;
        if (S_ISLNK(st.st_mode)) return fail(EOPNOTSUPP);
        layout chosen;
        if (choose(path, link, st.st_dev, &chosen) != 0) return -1;
        std::vector<uint8_t> blob;
        int encoded = chosen == layout::nfs_string ? nfs4_string_encode(acl, nfs_resolver(), &blob)
                                                   : nfs4_xdr_encode(acl, &blob);
        if (encoded != 0) return -1;
        const char *name = attribute_name(chosen);
        // One call replaces the whole value: a failed write leaves the old
        // ACL as it was.
        return calls_->setxattr(path, link, name, blob.data(), blob.size());
    });
}

acl_store &acl_store_system() {
    static linux_acl_store store;
    return store;
}
