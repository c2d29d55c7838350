#include "gacl/system.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/acl_store.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

int fail(int err) {
    errno = err;
    return -1;
}

// The principal text of an entry read from the system, written into its
// name field; -1 with errno when the entry cannot be represented or its
// name does not fit.
// The special principals' names, padded to one block each: copied whole, a
// fixed-size copy costs less than one of a length found at run time, which
// showed in profiles of listings.
struct fixed_name {
    char text[16];
};
constexpr fixed_name OWNER_NAME{"owner@"}, GROUP_NAME{"group@"}, EVERYONE_NAME{"everyone@"};

int name_entry(gacl_entry_t e) {
    const fixed_name *fixed = nullptr;
    const char *name = nullptr;
    char number[16];
    switch (e->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
            fixed = &OWNER_NAME;
            break;
        case GACL_TAG_TYPE_GROUP_OBJ:
            fixed = &GROUP_NAME;
            break;
        case GACL_TAG_TYPE_EVERYONE:
            fixed = &EVERYONE_NAME;
            break;
        case GACL_TAG_TYPE_USER:
        case GACL_TAG_TYPE_GROUP:
            name = e->tag == GACL_TAG_TYPE_USER ? names_user_name(e->id) : names_group_name(e->id);
            if (name == nullptr) {
                // Ids are shown as the signed numbers FreeBSD prints: 4294967294 is -2.
                std::snprintf(number, sizeof number, "%d", static_cast<int32_t>(e->id));
                name = number;
            }
            break;
        case GACL_TAG_TYPE_UNKNOWN:
        case GACL_TAG_TYPE_MASK:
        case GACL_TAG_TYPE_OTHER:
            return fail(EINVAL);
        default:
            name = "";  // a tag this program does not know: kept, without a name
            break;
    }
    static_assert(sizeof(fixed_name) <= GACL_NAME_SIZE);
    if (fixed != nullptr) {
        std::memcpy(e->name, fixed->text, sizeof fixed->text);
        return 0;
    }
    size_t length = std::strlen(name);
    if (length >= GACL_NAME_SIZE) return fail(ENOMEM);
    // Terminated, the rest left as it is: names are read up to their end,
    // and clearing the whole field showed in profiles of listings.
    std::memcpy(e->name, name, length + 1);
    return 0;
}

// Where a read or write goes: a path (a final link followed unless `link`),
// or a name below a directory descriptor (never followed).
struct target {
    const char *path;
    bool link;
    int dirfd = AT_FDCWD;
    bool at = false;

    static target named(const char *path, bool link) { return {path, link}; }
    static target below(int dirfd, const char *name) { return {name, true, dirfd, true}; }
};

int store_get(const target &t, const struct stat *known, sys_acl *entries) {
    acl_store &store = acl_store_current();
    if (t.at) return store.get_at(t.dirfd, t.path, *known, entries);
    return known != nullptr ? store.get_known(t.path, t.link, *known, entries)
                            : store.get(t.path, t.link, entries);
}

int store_set(const target &t, const struct stat *known, const sys_acl &entries) {
    acl_store &store = acl_store_current();
    if (t.at) return store.set_at(t.dirfd, t.path, known, entries);
    return known != nullptr ? store.set_known(t.path, t.link, *known, entries)
                            : store.set(t.path, t.link, entries);
}

// A new ACL of `type` holding the entries a store read.
gacl_t to_gacl(const sys_acl &entries, gacl_type_t type) {
    // More entries than an ACL holds fail here with ENOMEM.
    if (entries.size() > static_cast<size_t>(GACL_MAX_ENTRIES)) return errno = ENOMEM, nullptr;
    gacl_ptr acl(gacl_init(static_cast<int>(entries.size())));
    if (!acl) return nullptr;
    if (static_cast<size_t>(acl->capacity) < entries.size()) return errno = ENOMEM, nullptr;
    acl->type = type;
    acl->acl_flags = entries.acl_flags;
    acl->origin = gacl_origin_t{entries.origin.known, entries.origin.dev, entries.origin.ino};
    for (const sys_acl_entry &s : entries) {
        // An id that could not be written back is refused here rather than
        // on the first write: -1 stands for "no such user or group".
        if ((s.tag == SYS_ACL_TAG_USER || s.tag == SYS_ACL_TAG_GROUP) &&
            s.id == SYS_ACL_UNDEFINED_ID)
            return errno = EOVERFLOW, nullptr;
        // Filled in place, every field written once: an entry made by
        // gacl_create_entry_np is cleared first, which showed in profiles
        // of listings.
        gacl_entry_t e = &acl->entries[acl->count];
        e->tag = s.tag;
        e->id = s.id;
        if (name_entry(e) != 0) return nullptr;
        e->perms = s.perm;
        e->flags = s.flags;
        switch (s.entry_type) {
            case SYS_ACL_ENTRY_TYPE_ALLOW:
                e->entry_type = GACL_ENTRY_TYPE_ALLOW;
                break;
            case SYS_ACL_ENTRY_TYPE_DENY:
                e->entry_type = GACL_ENTRY_TYPE_DENY;
                break;
            case SYS_ACL_ENTRY_TYPE_AUDIT:
                e->entry_type = GACL_ENTRY_TYPE_AUDIT;
                break;
            case SYS_ACL_ENTRY_TYPE_ALARM:
                e->entry_type = GACL_ENTRY_TYPE_ALARM;
                break;
            default:
                return errno = EINVAL, nullptr;
        }
        acl->count++;
    }
    return acl.release();
}

gacl_t read_acl(const target &t, gacl_type_t type, const struct stat *known) {
    if (type != GACL_TYPE_NFS4) return errno = EINVAL, nullptr;
    sys_acl entries;
    if (store_get(t, known, &entries) != 0) return nullptr;
    return to_gacl(entries, type);
}

// `known`: the object's status when the caller holds it, else null.
int write_acl(const target &t, gacl_type_t type, gacl_t acl, const struct stat *known) {
    return or_enomem<int>(-1, [&]() -> int {
        sys_acl entries;
        gacl_entry_t e;
        int more = gacl_get_entry(acl, GACL_FIRST_ENTRY, &e);
        if (more < 0) return -1;
        entries.reserve(static_cast<size_t>(acl->count));
        entries.acl_flags = acl->acl_flags;
        entries.origin = sys_acl_origin{acl->origin.known, acl->origin.dev, acl->origin.ino};
        for (; more == 1; more = gacl_get_entry(acl, GACL_NEXT_ENTRY, &e)) {
            switch (e->tag) {
                case GACL_TAG_TYPE_USER:
                case GACL_TAG_TYPE_GROUP:
                    if (e->id == GACL_UNDEFINED_ID) return fail(EINVAL);  // no such user or group
                    break;
                case GACL_TAG_TYPE_USER_OBJ:
                case GACL_TAG_TYPE_GROUP_OBJ:
                case GACL_TAG_TYPE_EVERYONE:
                    break;
                default:
                    return fail(EINVAL);  // untagged, POSIX.1e, or unknown
            }
            if (e->entry_type < GACL_ENTRY_TYPE_ALLOW || e->entry_type > GACL_ENTRY_TYPE_ALARM)
                return fail(EINVAL);
            sys_acl_entry s;
            s.tag = e->tag;
            s.id = e->id;
            s.perm = e->perms;
            s.flags = e->flags;
            s.entry_type = static_cast<uint16_t>(SYS_ACL_ENTRY_TYPE_ALLOW << e->entry_type);
            entries.push_back(s);
        }
        if (more < 0) return -1;
        if (type != GACL_TYPE_NFS4) return fail(EINVAL);
        return store_set(t, known, entries);
    });
}

// Writes the trivial ACL of the mode in `st`, the status of the object written.
int write_trivial(const target &t, gacl_type_t type, const struct stat &st) {
    gacl_ptr acl(gacl_init(3));
    if (!acl) return -1;
    for (const sys_acl_entry &s : acl_trivial(st.st_mode)) {
        gacl_t raw = acl.get();
        gacl_entry_t e;
        if (gacl_create_entry_np(&raw, &e, -1) != 0) return -1;
        e->tag = s.tag;
        e->id = s.id;
        e->perms = s.perm;
        e->flags = s.flags;
        e->entry_type = GACL_ENTRY_TYPE_ALLOW;
    }
    return write_acl(t, type, acl.get(), &st);
}

int delete_acl(const char *path, gacl_type_t type, bool link) {
    if (path == nullptr) return fail(EINVAL);
    // The mode of the object whose ACL is replaced: the link's own for the
    // link variant, the target's when a final link is followed (the link's
    // own 0777 would hand everyone full access to the target).
    struct stat st;
    const char *p = *path == '\0' ? "." : path;
    if ((link ? lstat(p, &st) : stat(p, &st)) != 0) return -1;
    return write_trivial(target::named(path, link), type, st);
}

}  // namespace

gacl_t gacl_get_file(const char *path, gacl_type_t type) {
    return read_acl(target::named(path, false), type, nullptr);
}

gacl_t gacl_get_link_np(const char *path, gacl_type_t type) {
    return read_acl(target::named(path, true), type, nullptr);
}

gacl_t gacl_get_path_np(const char *path, gacl_type_t type, const struct stat *st) {
    if (st == nullptr) return errno = EINVAL, nullptr;
    return read_acl(target::named(path, S_ISLNK(st->st_mode)), type, st);
}

gacl_t gacl_get_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st) {
    if (st == nullptr) return errno = EINVAL, nullptr;
    return read_acl(target::below(dirfd, name), type, st);
}

bool gacl_fetch_concurrent_np() {
    return acl_store_current().fetches_concurrently();
}

int gacl_fetch_at_np(int dirfd, const char *name, const struct stat *st, gacl_fetched *fetched) {
    if (st == nullptr || fetched == nullptr) return fail(EINVAL);
    return acl_store_current().fetch_at(dirfd, name, *st, &fetched->stored);
}

gacl_t gacl_get_fetched_np(const gacl_fetched *fetched, gacl_type_t type, const struct stat *st) {
    if (fetched == nullptr || st == nullptr || type != GACL_TYPE_NFS4)
        return errno = EINVAL, nullptr;
    sys_acl entries;
    if (acl_store_current().decode_fetched(fetched->stored, *st, &entries) != 0) return nullptr;
    return to_gacl(entries, type);
}

int gacl_set_file(const char *path, gacl_type_t type, gacl_t acl) {
    return write_acl(target::named(path, false), type, acl, nullptr);
}

int gacl_set_link_np(const char *path, gacl_type_t type, gacl_t acl) {
    return write_acl(target::named(path, true), type, acl, nullptr);
}

int gacl_set_at_np(int dirfd, const char *name, gacl_type_t type, gacl_t acl,
                   const struct stat *st) {
    return write_acl(target::below(dirfd, name), type, acl, st);
}

int gacl_delete_file_np(const char *path, gacl_type_t type) {
    return delete_acl(path, type, false);
}

int gacl_delete_link_np(const char *path, gacl_type_t type) {
    return delete_acl(path, type, true);
}

int gacl_delete_at_np(int dirfd, const char *name, gacl_type_t type, const struct stat *st) {
    if (st == nullptr) return fail(EINVAL);
    return write_trivial(target::below(dirfd, name), type, *st);
}

int gacl_is_trivial_np(gacl_t acl, int *trivial) {
    if (acl == nullptr || trivial == nullptr) return fail(EINVAL);
    gacl_entry_t e;
    int more = gacl_get_entry(acl, GACL_FIRST_ENTRY, &e);
    if (more < 0) return -1;
    if (more == 0) {
        *trivial = 1;  // no entries: trivial whatever the type
        return 0;
    }
    if (acl->type != GACL_TYPE_NFS4) return fail(ENOSYS);
    int result = 1;
    for (; more == 1; more = gacl_get_entry(acl, GACL_NEXT_ENTRY, &e)) {
        if (e->tag != GACL_TAG_TYPE_USER_OBJ && e->tag != GACL_TAG_TYPE_GROUP_OBJ &&
            e->tag != GACL_TAG_TYPE_EVERYONE)
            result = 0;
    }
    if (more < 0) return -1;
    *trivial = result;
    return 0;
}
