#include "platform/freebsd_acl_store.h"
#include "util/nomem.h"

#include <sys/types.h>
// sys/types.h first: the ACL header relies on it.
#include <sys/acl.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <new>

// sys_acl_entry carries FreeBSD's own numbers, so fields pass unchanged.
static_assert(ACL_UNDEFINED_TAG == SYS_ACL_TAG_UNDEFINED && ACL_USER_OBJ == SYS_ACL_TAG_USER_OBJ &&
              ACL_USER == SYS_ACL_TAG_USER && ACL_GROUP_OBJ == SYS_ACL_TAG_GROUP_OBJ &&
              ACL_GROUP == SYS_ACL_TAG_GROUP && ACL_MASK == SYS_ACL_TAG_MASK &&
              ACL_OTHER == SYS_ACL_TAG_OTHER && ACL_EVERYONE == SYS_ACL_TAG_EVERYONE);
static_assert(ACL_ENTRY_TYPE_ALLOW == SYS_ACL_ENTRY_TYPE_ALLOW &&
              ACL_ENTRY_TYPE_DENY == SYS_ACL_ENTRY_TYPE_DENY &&
              ACL_ENTRY_TYPE_AUDIT == SYS_ACL_ENTRY_TYPE_AUDIT &&
              ACL_ENTRY_TYPE_ALARM == SYS_ACL_ENTRY_TYPE_ALARM);
static_assert(ACL_UNDEFINED_ID == SYS_ACL_UNDEFINED_ID);
static_assert(sizeof(uid_t) == sizeof(uint32_t) && sizeof(gid_t) == sizeof(uint32_t));

namespace {

// Every NFSv4 permission and flag; the library answers for one at a time.
constexpr acl_perm_t PERMS[] = {ACL_READ_DATA,        ACL_WRITE_DATA,        ACL_APPEND_DATA,
                                ACL_READ_NAMED_ATTRS, ACL_WRITE_NAMED_ATTRS, ACL_EXECUTE,
                                ACL_DELETE_CHILD,     ACL_READ_ATTRIBUTES,   ACL_WRITE_ATTRIBUTES,
                                ACL_DELETE,           ACL_READ_ACL,          ACL_WRITE_ACL,
                                ACL_WRITE_OWNER,      ACL_SYNCHRONIZE};
constexpr acl_flag_t FLAGS[] = {
    ACL_ENTRY_FILE_INHERIT, ACL_ENTRY_DIRECTORY_INHERIT, ACL_ENTRY_NO_PROPAGATE_INHERIT,
    ACL_ENTRY_INHERIT_ONLY, ACL_ENTRY_SUCCESSFUL_ACCESS, ACL_ENTRY_FAILED_ACCESS,
    ACL_ENTRY_INHERITED};

static_assert(SYS_ACL_READ_DATA == ACL_READ_DATA && SYS_ACL_EXECUTE == ACL_EXECUTE &&
              SYS_ACL_SYNCHRONIZE == ACL_SYNCHRONIZE && SYS_ACL_INHERITED == ACL_ENTRY_INHERITED);

int fail(int err) {
    errno = err;
    return -1;
}

// Releases what the library handed out (an ACL, a qualifier). errno is kept:
// the cause of a failure must survive the cleanup on the way out.
void release(void *obj) {
    int saved = errno;
    acl_free(obj);
    errno = saved;
}

struct qualifier_release {
    void operator()(void *q) const { release(q); }
};
using qualifier_ptr = std::unique_ptr<void, qualifier_release>;

// Owns a system ACL. The handle is a plain member because
// acl_create_entry_np takes it by address and may replace it.
class sys_acl_owner {
  public:
    explicit sys_acl_owner(acl_t acl) : acl_(acl) {}
    ~sys_acl_owner() {
        if (acl_ != nullptr) release(acl_);
    }
    sys_acl_owner(const sys_acl_owner &) = delete;
    sys_acl_owner &operator=(const sys_acl_owner &) = delete;

    acl_t get() const { return acl_; }
    acl_t *address() { return &acl_; }

  private:
    acl_t acl_;
};

int read_entry(acl_entry_t entry, sys_acl_entry *out) {
    acl_tag_t tag;
    if (acl_get_tag_type(entry, &tag) != 0) return -1;
    out->tag = tag;
    // Only user and group entries have a qualifier; asking others fails.
    out->id = SYS_ACL_UNDEFINED_ID;
    if (tag == ACL_USER || tag == ACL_GROUP) {
        qualifier_ptr q(acl_get_qualifier(entry));
        if (!q) return -1;
        out->id = tag == ACL_USER ? *static_cast<const uid_t *>(q.get())
                                  : *static_cast<const gid_t *>(q.get());
    }
    acl_permset_t permset;
    if (acl_get_permset(entry, &permset) != 0) return -1;
    out->perm = 0;
    for (acl_perm_t perm : PERMS) {
        int has = acl_get_perm_np(permset, perm);
        if (has < 0) return -1;
        if (has) out->perm |= perm;
    }
    acl_flagset_t flagset;
    if (acl_get_flagset_np(entry, &flagset) != 0) return -1;
    out->flags = 0;
    for (acl_flag_t flag : FLAGS) {
        int has = acl_get_flag_np(flagset, flag);
        if (has < 0) return -1;
        if (has) out->flags = static_cast<uint16_t>(out->flags | flag);
    }
    acl_entry_type_t type;
    if (acl_get_entry_type_np(entry, &type) != 0) return -1;
    out->entry_type = type;
    return 0;
}

// Every bit of the words is handed to the library, which refuses those it
// does not know (EINVAL) rather than this store dropping them unseen.
int write_entry(acl_entry_t entry, const sys_acl_entry &in) {
    if (acl_set_tag_type(entry, in.tag) != 0) return -1;
    if (in.tag == ACL_USER) {
        uid_t uid = in.id;
        if (acl_set_qualifier(entry, &uid) != 0) return -1;
    } else if (in.tag == ACL_GROUP) {
        gid_t gid = in.id;
        if (acl_set_qualifier(entry, &gid) != 0) return -1;
    }
    acl_permset_t permset;
    if (acl_get_permset(entry, &permset) != 0 || acl_clear_perms(permset) != 0) return -1;
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((in.perm & bit) != 0 && acl_add_perm(permset, bit) != 0) return -1;
    }
    if (acl_set_permset(entry, permset) != 0) return -1;
    acl_flagset_t flagset;
    if (acl_get_flagset_np(entry, &flagset) != 0 || acl_clear_flags_np(flagset) != 0) return -1;
    for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1) {
        if ((in.flags & bit) != 0 && acl_add_flag_np(flagset, static_cast<acl_flag_t>(bit)) != 0)
            return -1;
    }
    if (acl_set_flagset_np(entry, flagset) != 0) return -1;
    return acl_set_entry_type_np(entry, in.entry_type);
}

}  // namespace

int freebsd_acl_store::get(const char *path, bool link, sys_acl *acl) {
    if (path == nullptr || acl == nullptr) return fail(EINVAL);
    sys_acl_owner sys(link ? acl_get_link_np(path, ACL_TYPE_NFS4)
                           : acl_get_file(path, ACL_TYPE_NFS4));
    if (sys.get() == nullptr) return -1;
    return or_enomem<int>(-1, [&]() -> int {
        acl->clear();
        acl->acl_flags = 0;
        acl->origin = {};  // no word to keep: nothing to tell apart
        acl_entry_t entry;
        int more = acl_get_entry(sys.get(), ACL_FIRST_ENTRY, &entry);
        for (; more == 1; more = acl_get_entry(sys.get(), ACL_NEXT_ENTRY, &entry)) {
            sys_acl_entry e;
            if (read_entry(entry, &e) != 0) return -1;
            acl->push_back(e);
        }
        return more == 0 ? 0 : -1;
    });
}

int freebsd_acl_store::set(const char *path, bool link, const sys_acl &acl) {
    if (path == nullptr) return fail(EINVAL);
    // The library and the kernel decide how many entries they take.
    if (acl.size() > INT_MAX) return fail(ENOMEM);
    sys_acl_owner sys(acl_init(static_cast<int>(acl.size())));
    if (sys.get() == nullptr) return -1;
    for (size_t i = 0; i < acl.size(); ++i) {
        acl_entry_t entry;
        // A failure here releases the partly built ACL (the owner's
        // destructor); nothing has reached the file yet.
        if (acl_create_entry_np(sys.address(), &entry, static_cast<int>(i)) != 0) return -1;
        if (write_entry(entry, acl[i]) != 0) return -1;
    }
    return link ? acl_set_link_np(path, ACL_TYPE_NFS4, sys.get())
                : acl_set_file(path, ACL_TYPE_NFS4, sys.get());
}

acl_store &acl_store_system() {
    static freebsd_acl_store store;
    return store;
}
