#include "platform/linux_acl_store.h"

#include <fcntl.h>
#include <sys/xattr.h>

#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/nfs4_domain.h"
#include "platform/nfs4_string.h"
#include "platform/nfs4_xdr.h"
#include "platform/os_at.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

constexpr const char *ZFS_XDR_NAME = "system.nfs4_acl_xdr";
constexpr const char *NFS_DACL_NAME = "system.nfs4_dacl";
constexpr const char *NFS_ACL_NAME = "system.nfs4_acl";
constexpr const char *SAMBA_XDR_NAME = "security.nfs4acl_xdr";

// The first read of a value: big enough for ACLs of some 200 entries, small
// enough to cost the kernel nothing to clear. Larger values are read after
// asking for their size.
constexpr size_t FIRST_READ = 4096;

// A value that keeps growing between asking for its size and reading it is
// given up on after this many tries (ERANGE).
constexpr int SIZED_READS = 4;

int fail(int err) {
    errno = err;
    return -1;
}

// One attribute value: in `small` when it fits, else in `large`, which is
// sized to it and goes with this record.
struct attribute_value {
    uint8_t small[FIRST_READ];
    std::unique_ptr<uint8_t[]> large;
    const uint8_t *data = nullptr;
    size_t size = 0;
};

// Reads the value of the attribute `name` of `path` into *value: 0, or -1
// with errno (ENODATA when there is none).
int read_value(linux_xattr_calls &calls, const xattr_object &at, const char *name,
               attribute_value *value) {
    ssize_t got = calls.getxattr(at, name, value->small, sizeof value->small);
    // Too large for the first read: ask for its size and read that much,
    // once more when it grew in between.
    for (int tries = 0; got < 0 && errno == ERANGE && tries < SIZED_READS; ++tries) {
        ssize_t need = calls.getxattr(at, name, nullptr, 0);
        if (need <= 0) {
            got = need;  // an error, or a value emptied in between
            break;
        }
        value->large = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(need));
        got = calls.getxattr(at, name, value->large.get(), static_cast<size_t>(need));
        if (got >= 0) {
            value->data = value->large.get();
            value->size = static_cast<size_t>(got);
            return 0;
        }
    }
    if (got < 0) return -1;
    value->data = value->small;
    value->size = static_cast<size_t>(got);
    return 0;
}

// Sets the ACL-wide flags word that starts the numeric XDR and nfs4_dacl
// layouts.
void put_acl_flags(std::vector<uint8_t> *blob, uint32_t flags) {
    for (size_t i = 0; i < 4 && i < blob->size(); ++i)
        (*blob)[i] = static_cast<uint8_t>(flags >> (24 - 8 * i));
}

bool has_audit_flags(const sys_acl &acl) {
    for (const sys_acl_entry &e : acl)
        if (e.flags & (SYS_ACL_SUCCESSFUL_ACCESS | SYS_ACL_FAILED_ACCESS)) return true;
    return false;
}

bool has_unknown_principal(const sys_acl &acl) {
    for (const sys_acl_entry &e : acl)
        if ((e.tag == SYS_ACL_TAG_USER || e.tag == SYS_ACL_TAG_GROUP) &&
            e.id == SYS_ACL_UNDEFINED_ID)
            return true;
    return false;
}

bool same_domain(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string decimal(bool, uint32_t id) {
    return std::to_string(id);
}

bool id_of_name(bool group, std::string_view name, uint32_t *id) {
    std::string s(name);
    return group ? names_group_id(s.c_str(), id) : names_user_id(s.c_str(), id);
}

}  // namespace

int linux_xattr_calls::stat(const xattr_object &at, struct stat *st) {
    if (at.dirfd != AT_FDCWD) return ::fstatat(at.dirfd, at.path, st, AT_SYMLINK_NOFOLLOW);
    return at.link ? ::lstat(at.path, st) : ::stat(at.path, st);
}

ssize_t linux_xattr_calls::getxattr(const xattr_object &at, const char *name, void *value,
                                    size_t size) {
    if (at.dirfd != AT_FDCWD) return os_getxattr_at(at.dirfd, at.path, name, value, size);
    return at.link ? ::lgetxattr(at.path, name, value, size)
                   : ::getxattr(at.path, name, value, size);
}

int linux_xattr_calls::setxattr(const xattr_object &at, const char *name, const void *value,
                                size_t size) {
    if (at.dirfd != AT_FDCWD) return os_setxattr_at(at.dirfd, at.path, name, value, size);
    return at.link ? ::lsetxattr(at.path, name, value, size, 0)
                   : ::setxattr(at.path, name, value, size, 0);
}

linux_acl_store::linux_acl_store(linux_xattr_calls *calls,
                                 std::function<std::string()> local_domain)
    : calls_(calls ? calls : &real_), domain_source_(std::move(local_domain)) {
    if (!domain_source_) domain_source_ = [] { return nfs4_local_domain(NFS4_IDMAPD_CONF); };
}

const char *linux_acl_store::attribute_name(layout chosen) {
    switch (chosen) {
        case layout::zfs_xdr:
            return ZFS_XDR_NAME;
        case layout::nfs_dacl:
            return NFS_DACL_NAME;
        case layout::nfs_acl:
            return NFS_ACL_NAME;
        case layout::samba_xdr:
            break;
    }
    return SAMBA_XDR_NAME;
}

const std::string &linux_acl_store::local_domain() {
    if (!domain_) {
        int saved = errno;
        domain_ = domain_source_();
        errno = saved;
    }
    return *domain_;
}

int linux_acl_store::choose(const xattr_object &at, dev_t dev, file_system **fs) {
    {
        std::shared_lock reading(file_systems_lock_);
        auto known = file_systems_.find(dev);
        if (known != file_systems_.end()) {
            *fs = &known->second;
            return 0;
        }
    }
    // Probed under the lock, so that one file system is probed once.
    std::lock_guard writing(file_systems_lock_);
    auto known = file_systems_.find(dev);
    if (known != file_systems_.end()) {
        *fs = &known->second;
        return 0;
    }
    // A file system that offers one of the system.* attributes answers for
    // it on every file; everywhere else the call fails with ENOTSUP (or
    // ENODATA), and Samba's attribute is used. An NFS client that offers
    // nfs4_dacl also offers nfs4_acl, which lacks the ACL-wide flags word.
    layout chosen = layout::samba_xdr;
    for (layout candidate : {layout::zfs_xdr, layout::nfs_dacl, layout::nfs_acl}) {
        if (calls_->getxattr(at, attribute_name(candidate), nullptr, 0) >= 0 || errno == ERANGE ||
            errno == E2BIG) {
            chosen = candidate;
            break;
        }
        if (errno != ENOTSUP && errno != ENODATA) return -1;  // not known yet: ask again later
    }
    *fs = &file_systems_.emplace(dev, file_system{chosen}).first->second;
    return 0;
}

int linux_acl_store::get(const char *path, bool link, sys_acl *acl) {
    if (path == nullptr || acl == nullptr) return fail(EINVAL);
    struct stat st;
    const xattr_object at{AT_FDCWD, path, link};
    if (calls_->stat(at, &st) != 0) return -1;
    return read(at, st, acl);
}

int linux_acl_store::get_known(const char *path, bool link, const struct stat &known,
                               sys_acl *acl) {
    if (path == nullptr || acl == nullptr) return fail(EINVAL);
    // lstat(2) describes a link, not what a followed read reaches.
    if (!link && S_ISLNK(known.st_mode)) return get(path, link, acl);
    return read({AT_FDCWD, path, link}, known, acl);
}

int linux_acl_store::get_at(int dirfd, const char *name, const struct stat &known, sys_acl *acl) {
    if (acl == nullptr) return fail(EINVAL);
    if (!os_at_name_valid(dirfd, name)) return -1;
    return read({dirfd, name, true}, known, acl);
}

int linux_acl_store::read(const xattr_object &at, const struct stat &st, sys_acl *acl) {
    fetch(at, st, &own_);
    return decode_fetched(own_, st, acl);
}

int linux_acl_store::fetch(const xattr_object &at, const struct stat &st,
                           sys_acl_fetched *fetched) {
    int result = or_enomem<int>(-1, [&]() -> int {
        if (S_ISLNK(st.st_mode)) return fail(EOPNOTSUPP);
        // Records stay where they are once made: the memo saves the lock
        // of choose() on every fetch but the first on a device.
        const file_system *fs = static_cast<const file_system *>(fetched->memo);
        if (fs == nullptr || fetched->memo_store != this ||
            fetched->memo_dev != static_cast<uint64_t>(st.st_dev)) {
            file_system *chosen;
            if (choose(at, st.st_dev, &chosen) != 0) return -1;
            fs = chosen;
            fetched->memo = fs;
            fetched->memo_store = this;
            fetched->memo_dev = static_cast<uint64_t>(st.st_dev);
        }
        const char *name = attribute_name(fs->chosen);
        // The first read's buffer, given back after one big ACL.
        std::vector<uint8_t> &value = fetched->value;
        if (value.size() != FIRST_READ) {
            value.resize(FIRST_READ);
            value.shrink_to_fit();
        }
        ssize_t got = calls_->getxattr(at, name, value.data(), value.size());
        // Too large for the first read: ask for its size and read that much,
        // once more when it grew in between.
        for (int tries = 0; got < 0 && errno == ERANGE && tries < SIZED_READS; ++tries) {
            ssize_t need = calls_->getxattr(at, name, nullptr, 0);
            if (need <= 0) {
                got = need;  // an error, or a value emptied in between
                break;
            }
            value.resize(static_cast<size_t>(need));
            got = calls_->getxattr(at, name, value.data(), value.size());
        }
        if (got < 0) {
            if (errno != ENODATA && errno != ENOTSUP) return -1;
            fetched->kind = NOTHING_STORED;
            fetched->size = 0;
            return 0;
        }
        fetched->kind = STORED + static_cast<int>(fs->chosen);
        fetched->size = static_cast<size_t>(got);
        return 0;
    });
    fetched->err = result == 0 ? 0 : errno;
    return result;
}

int linux_acl_store::fetch_at(int dirfd, const char *name, const struct stat &known,
                              sys_acl_fetched *fetched) {
    if (!os_at_name_valid(dirfd, name)) {
        fetched->err = errno;
        return -1;
    }
    return fetch({dirfd, name, true}, known, fetched);
}

int linux_acl_store::decode_fetched(const sys_acl_fetched &fetched, const struct stat &st,
                                    sys_acl *acl) {
    if (fetched.err != 0) return fail(fetched.err);
    return or_enomem<int>(-1, [&]() -> int {
        const uint8_t *data = fetched.value.data();
        const size_t size = fetched.size;
        const auto chosen = static_cast<layout>(fetched.kind - STORED);
        if (fetched.kind == NOTHING_STORED) {
            auto trivial = acl_trivial(st.st_mode);
            acl->assign(trivial.begin(), trivial.end());
            acl->acl_flags = 0;
        } else if (chosen == layout::nfs_dacl || chosen == layout::nfs_acl) {
            nfs4_who_resolver names{nullptr, id_of_name, [this](std::string_view domain) {
                                        const std::string &local = local_domain();
                                        return !local.empty() && same_domain(local, domain);
                                    }};
            int decoded = chosen == layout::nfs_dacl ? nfs4_dacl_decode(data, size, names, acl)
                                                     : nfs4_string_decode(data, size, names, acl);
            if (decoded != 0) return -1;
            // A principal without a local id could not be written back.
            if (has_unknown_principal(*acl)) return fail(EINVAL);
        } else if (nfs4_xdr_decode(data, size, acl) != 0) {
            return -1;
        }
        acl->origin = sys_acl_origin{true, static_cast<uint64_t>(st.st_dev),
                                     static_cast<uint64_t>(st.st_ino)};
        return 0;
    });
}

int linux_acl_store::stored_acl_flags(const xattr_object &at, layout chosen, uint32_t *flags) {
    *flags = 0;
    if (chosen == layout::nfs_acl) return 0;  // this layout has no word
    attribute_value value;
    if (read_value(*calls_, at, attribute_name(chosen), &value) != 0)
        return errno == ENODATA || errno == ENOTSUP ? 0 : -1;
    // The entries need not be readable: the word is kept all the same. A
    // value that is no ACL at all has no word to keep.
    int parsed = chosen == layout::nfs_dacl ? nfs4_dacl_acl_flags(value.data, value.size, flags)
                                            : nfs4_xdr_acl_flags(value.data, value.size, flags);
    if (parsed != 0) *flags = 0;
    return 0;
}

int linux_acl_store::encode(layout chosen, const sys_acl &acl, bool names,
                            std::vector<uint8_t> *blob) {
    if (chosen == layout::zfs_xdr || chosen == layout::samba_xdr) return nfs4_xdr_encode(acl, blob);
    nfs4_who_resolver who{decimal, nullptr, nullptr};
    if (names) {
        const std::string &domain = local_domain();
        who.who_of = [&domain](bool group, uint32_t id) {
            const char *name = group ? names_group_name(id) : names_user_name(id);
            return name ? std::string(name) + "@" + domain : std::to_string(id);
        };
    }
    return chosen == layout::nfs_dacl ? nfs4_dacl_encode(acl, who, blob)
                                      : nfs4_string_encode(acl, who, blob);
}

int linux_acl_store::set(const char *path, bool link, const sys_acl &acl) {
    if (path == nullptr) return fail(EINVAL);
    struct stat st;
    const xattr_object at{AT_FDCWD, path, link};
    if (calls_->stat(at, &st) != 0) return -1;
    return write(at, st, acl);
}

int linux_acl_store::set_known(const char *path, bool link, const struct stat &known,
                               const sys_acl &acl) {
    if (path == nullptr) return fail(EINVAL);
    // lstat(2) describes a link, not what a followed write reaches.
    if (!link && S_ISLNK(known.st_mode)) return set(path, link, acl);
    return write({AT_FDCWD, path, link}, known, acl);
}

int linux_acl_store::set_at(int dirfd, const char *name, const struct stat *known,
                            const sys_acl &acl) {
    if (!os_at_name_valid(dirfd, name)) return -1;
    const xattr_object at{dirfd, name, true};
    if (known != nullptr) return write(at, *known, acl);
    struct stat st;
    if (calls_->stat(at, &st) != 0) return -1;
    return write(at, st, acl);
}

int linux_acl_store::write(const xattr_object &at, const struct stat &st, const sys_acl &acl) {
    return or_enomem<int>(-1, [&]() -> int {
        if (S_ISLNK(st.st_mode)) return fail(EOPNOTSUPP);
        file_system *fs;
        if (choose(at, st.st_dev, &fs) != 0) return -1;
        const layout chosen = fs->chosen;
        const char *name = attribute_name(chosen);
        // ZFS would store the entries without them, silently.
        if (chosen == layout::zfs_xdr && has_audit_flags(acl)) return fail(EINVAL);
        const bool nfs = chosen == layout::nfs_dacl || chosen == layout::nfs_acl;
        const bool names = nfs && fs->names_first && !local_domain().empty();
        std::vector<uint8_t> blob;
        if (encode(chosen, acl, names, &blob) != 0) return -1;

        uint32_t acl_flags = acl.acl_flags;
        if (!acl.origin.is(st) && stored_acl_flags(at, chosen, &acl_flags) != 0) return -1;
        const bool has_word = chosen != layout::nfs_acl;
        if (has_word) put_acl_flags(&blob, acl_flags);

        // One call replaces the whole value: a failed write leaves the old
        // ACL as it was.
        if (calls_->setxattr(at, name, blob.data(), blob.size()) == 0) return 0;
        // An NFS server with id mapping refuses decimal ids (and one without
        // it may refuse names): the other form is tried once.
        if (!nfs || errno != EINVAL || local_domain().empty()) return -1;
        std::vector<uint8_t> other;
        if (encode(chosen, acl, !names, &other) != 0) return -1;
        if (has_word) put_acl_flags(&other, acl_flags);
        if (other == blob) return fail(EINVAL);  // no principal to write another way
        if (calls_->setxattr(at, name, other.data(), other.size()) != 0) return -1;
        fs->names_first = !names;
        return 0;
    });
}

acl_store &acl_store_system() {
    static linux_acl_store store;
    return store;
}
