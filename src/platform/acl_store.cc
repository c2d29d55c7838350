#include "platform/acl_store.h"

#include <cerrno>

#include "platform/os_at.h"
#include "util/nomem.h"

namespace {

// The store a test has swapped in, or null for the system's.
acl_store *swapped_store = nullptr;

// Rights every trivial entry grants whatever the mode says.
constexpr uint32_t OWNER_BASE = SYS_ACL_READ_ATTRIBUTES | SYS_ACL_WRITE_ATTRIBUTES |
                                SYS_ACL_READ_NAMED_ATTRS | SYS_ACL_WRITE_NAMED_ATTRS |
                                SYS_ACL_READ_ACL | SYS_ACL_WRITE_ACL | SYS_ACL_WRITE_OWNER |
                                SYS_ACL_SYNCHRONIZE;
constexpr uint32_t OTHERS_BASE =
    SYS_ACL_READ_ATTRIBUTES | SYS_ACL_READ_NAMED_ATTRS | SYS_ACL_READ_ACL | SYS_ACL_SYNCHRONIZE;

// One triplet of mode bits (rwx in the low three bits) as ACL rights.
uint32_t triplet_rights(unsigned bits) {
    uint32_t perm = 0;
    if (bits & 4) perm |= SYS_ACL_READ_DATA;
    if (bits & 2) perm |= SYS_ACL_WRITE_DATA | SYS_ACL_APPEND_DATA;
    if (bits & 1) perm |= SYS_ACL_EXECUTE;
    return perm;
}

sys_acl_entry allow(uint32_t tag, uint32_t perm) {
    sys_acl_entry e;
    e.tag = tag;
    e.id = 0;
    e.perm = perm;
    e.entry_type = SYS_ACL_ENTRY_TYPE_ALLOW;
    e.flags = 0;
    return e;
}

}  // namespace

int acl_store::get_at(int dirfd, const char *name, const struct stat &known, sys_acl *acl) {
    os_at_path at(dirfd, name);
    return at.ok() ? get_known(at.path(), true, known, acl) : -1;
}

int acl_store::set_at(int dirfd, const char *name, const struct stat *known, const sys_acl &acl) {
    os_at_path at(dirfd, name);
    if (!at.ok()) return -1;
    return known != nullptr ? set_known(at.path(), true, *known, acl) : set(at.path(), true, acl);
}

int acl_store::fetch_at(int dirfd, const char *name, const struct stat &known,
                        sys_acl_fetched *fetched) {
    fetched->err = get_at(dirfd, name, known, &fetched->entries) == 0 ? 0 : errno;
    return fetched->err == 0 ? 0 : -1;
}

int acl_store::decode_fetched(const sys_acl_fetched &fetched, const struct stat &, sys_acl *acl) {
    if (fetched.err != 0) return errno = fetched.err, -1;
    return or_enomem(-1, [&] {
        *acl = fetched.entries;
        return 0;
    });
}

acl_store &acl_store_current() {
    return swapped_store ? *swapped_store : acl_store_system();
}

acl_store *acl_store_use(acl_store *store) {
    acl_store *before = swapped_store ? swapped_store : &acl_store_system();
    swapped_store = store;
    return before;
}

std::array<sys_acl_entry, 3> acl_trivial(mode_t mode) {
    return {allow(SYS_ACL_TAG_USER_OBJ, OWNER_BASE | triplet_rights((mode >> 6) & 7)),
            allow(SYS_ACL_TAG_GROUP_OBJ, OTHERS_BASE | triplet_rights((mode >> 3) & 7)),
            allow(SYS_ACL_TAG_EVERYONE, OTHERS_BASE | triplet_rights(mode & 7))};
}
