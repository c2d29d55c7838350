#include "gacl/acl.h"
#include "util/nomem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>

namespace {

int invalid() {
    errno = EINVAL;
    return -1;
}

// Room an ACL made for `requested` entries gets: what it will hold, no more.
int room_for(int requested) {
    return requested < 0 ? 0 : requested > GACL_MAX_ENTRIES ? GACL_MAX_ENTRIES : requested;
}

// Slots allocated but not cleared: an entry is cleared when it is created.
std::unique_ptr<gacl_entry_t_struct[]> new_slots(int count) {
    if (count == 0) return nullptr;
    return std::make_unique_for_overwrite<gacl_entry_t_struct[]>(static_cast<size_t>(count));
}

// --- registry -------------------------------------------------------------
//
// Every object handed out is recorded under its handle, with its kind word.
// A release turns the record into the released marker instead of dropping
// it, so a second release is recognised without touching freed memory; a
// handle the registry has never seen is foreign. A new object at a reused
// address simply takes over the record.
//
// Handles are stored complemented: the registry must not make a leaked
// object look reachable to the leak checker. The handle of each kind is the
// start of its allocation (ACL header, text buffer, qualifier word), so the
// kind word is all it takes to give the memory back.

struct Record {
    uint32_t kind;
};

uintptr_t hide(const void *p) {
    return ~reinterpret_cast<uintptr_t>(p);
}

// The records, and the one found or made last: a caller works on one object
// for a while (an ACL is filled, walked, rendered), so most look-ups ask for
// it again and need no hashing. The remembered pointer stays good because
// nodes of an unordered_map never move on rehashing and records are never
// erased (a release only marks its record).
struct Registry {
    std::unordered_map<uintptr_t, Record> records;
    uintptr_t last_key = 0;
    Record *last = nullptr;

    // The record of a handle, or null for one never seen.
    Record *find(const void *handle) {
        uintptr_t key = hide(handle);
        if (last != nullptr && key == last_key) return last;
        auto it = records.find(key);
        if (it == records.end()) return nullptr;
        last_key = key;
        last = &it->second;
        return last;
    }

    // Records `kind` under the handle (a reused address takes over its old
    // record). Throws std::bad_alloc, leaving the registry as it was.
    void record(const void *handle, uint32_t kind) {
        uintptr_t key = hide(handle);
        Record *rec = &records[key];
        rec->kind = kind;
        last_key = key;
        last = rec;
    }
};

// Never destroyed: an owning handle that outlives main (a static) may still
// release its object during exit.
Registry &registry() {
    alignas(Registry) static unsigned char storage[sizeof(Registry)];
    static Registry *reg = ::new (storage) Registry();
    return *reg;
}

// Records the object under its handle and takes over its ownership: from
// here on gacl_free releases it. nullptr with ENOMEM (object destroyed) when
// the record cannot be made.
template <typename T>
auto *adopt(std::unique_ptr<T> object, uint32_t kind) {
    auto recorded = or_enomem(false, [&] {
        registry().record(object.get(), kind);
        return true;
    });
    return recorded ? object.release() : nullptr;  // owned through the registry until gacl_free
}

uint32_t kind_of(const void *handle) {
    if (handle == nullptr) return 0;
    const Record *rec = registry().find(handle);
    return rec == nullptr ? 0 : rec->kind;
}

bool live_acl(const gacl_t_struct *acl) {
    return kind_of(acl) == GACL_KIND_ACL;
}

// Gives the memory of a live object back, by its kind.
void destroy(void *handle, uint32_t kind) {
    switch (kind) {
        case GACL_KIND_ACL: {
            // The header owns its slot array.
            std::unique_ptr<gacl_t_struct> acl(static_cast<gacl_t_struct *>(handle));
            std::unique_ptr<gacl_entry_t_struct[]>(acl->entries).reset();
            break;
        }
        case GACL_KIND_TEXT:
            std::unique_ptr<char[]>(static_cast<char *>(handle)).reset();
            break;
        case GACL_KIND_QUALIFIER:
            std::unique_ptr<uint32_t>(static_cast<uint32_t *>(handle)).reset();
            break;
        default:
            break;
    }
}

}  // namespace

int gacl_free(void *obj) {
    if (obj == nullptr) return 0;
    Record *rec = registry().find(obj);
    if (rec == nullptr) return invalid();
    uint32_t kind = rec->kind;
    if (kind == GACL_KIND_RELEASED) {
        std::fflush(stdout);
        std::fprintf(stderr, "*** gacl_free(%p): Freeing already freed object\n", obj);
        std::abort();
    }
    rec->kind = GACL_KIND_RELEASED;
    destroy(obj, kind);
    return 0;
}

void gacl_deleter::operator()(void *obj) const noexcept {
    int saved = errno;
    gacl_free(obj);
    errno = saved;
}

char *gacl_new_text_np(const char *text, size_t length) {
    if (text == nullptr && length != 0) {
        invalid();
        return nullptr;
    }
    return or_enomem<char *>(nullptr, [&]() -> char * {
        auto buffer = std::make_unique_for_overwrite<char[]>(length + 1);
        if (length != 0) std::memcpy(buffer.get(), text, length);
        buffer[length] = '\0';
        return adopt(std::move(buffer), GACL_KIND_TEXT);
    });
}

// --- ACL objects ----------------------------------------------------------

namespace {

gacl_t new_acl(int requested) {
    int capacity = room_for(requested);
    return or_enomem<gacl_t>(nullptr, [&]() -> gacl_t {
        auto slots = new_slots(capacity);
        auto acl = std::make_unique<gacl_t_struct>();
        acl->capacity = capacity;
        acl->entries = slots.get();
        gacl_t handle = adopt(std::move(acl), GACL_KIND_ACL);
        if (handle != nullptr) slots.release();  // now the header's, freed by gacl_free
        return handle;
    });
}

// Makes room for one more entry: doubles the slots (up to the limit) and
// moves the entries there. -1 with ENOMEM when memory runs out (the ACL
// stays as it was).
int grow(gacl_t acl) {
    int capacity = acl->capacity < 4 ? 4 : acl->capacity;
    capacity = capacity > GACL_MAX_ENTRIES / 2 ? GACL_MAX_ENTRIES : capacity * 2;
    return or_enomem(-1, [&] {
        auto slots = new_slots(capacity);
        if (acl->count > 0)
            std::memcpy(slots.get(), acl->entries,
                        static_cast<size_t>(acl->count) * sizeof(gacl_entry_t_struct));
        std::unique_ptr<gacl_entry_t_struct[]> old(acl->entries);
        acl->entries = slots.release();
        acl->capacity = capacity;
        return 0;
    });
}

}  // namespace

gacl_t gacl_init(int count) {
    return new_acl(count);
}

gacl_t gacl_dup(gacl_t acl) {
    if (!live_acl(acl)) {
        invalid();
        return nullptr;
    }
    gacl_t copy = new_acl(acl->count);
    if (copy == nullptr) return nullptr;
    copy->type = acl->type;
    copy->count = acl->count;
    if (acl->count > 0)
        std::memcpy(copy->entries, acl->entries,
                    static_cast<size_t>(acl->count) * sizeof(gacl_entry_t_struct));
    copy->acl_flags = acl->acl_flags;
    copy->origin = acl->origin;
    return copy;
}

int gacl_create_entry_np(gacl_t *acl_p, gacl_entry_t *entry_p, int pos) {
    if (acl_p == nullptr || entry_p == nullptr || !live_acl(*acl_p)) return invalid();
    gacl_t acl = *acl_p;
    if (acl->count >= GACL_MAX_ENTRIES) {
        errno = ENOMEM;
        return -1;
    }
    if (acl->count >= acl->capacity && grow(acl) != 0) return -1;
    int p = (pos < 0 || pos > acl->count) ? acl->count : pos;
    std::memmove(&acl->entries[p + 1], &acl->entries[p],
                 static_cast<size_t>(acl->count - p) * sizeof(gacl_entry_t_struct));
    acl->entries[p] = gacl_entry_t_struct{};
    acl->count++;
    *entry_p = &acl->entries[p];
    return 0;
}

int gacl_delete_entry_np(gacl_t acl, int pos) {
    if (!live_acl(acl) || pos < 0 || pos >= acl->count) return invalid();
    std::memmove(&acl->entries[pos], &acl->entries[pos + 1],
                 static_cast<size_t>(acl->count - pos - 1) * sizeof(gacl_entry_t_struct));
    acl->count--;
    return 0;
}

int gacl_get_entry(gacl_t acl, int entry_id, gacl_entry_t *entry_p) {
    if (!live_acl(acl) || entry_p == nullptr) return invalid();
    if (entry_id == GACL_FIRST_ENTRY) {
        acl->cursor = 0;
    } else if (entry_id != GACL_NEXT_ENTRY) {
        return invalid();
    }
    // The cursor is public; never let a stray value lead outside the array.
    if (acl->cursor < 0 || acl->cursor >= acl->count) return 0;
    *entry_p = &acl->entries[acl->cursor++];
    return 1;
}

int gacl_get_entry_np(gacl_t acl, int pos, gacl_entry_t *entry_p) {
    if (!live_acl(acl) || entry_p == nullptr || pos < 0 || pos > acl->count) return invalid();
    acl->cursor = pos;
    if (pos == acl->count) return 0;
    *entry_p = &acl->entries[acl->cursor++];
    return 1;
}

// --- entries --------------------------------------------------------------

int gacl_copy_entry(gacl_entry_t dest, const gacl_entry_t_struct *src) {
    if (dest == nullptr || src == nullptr || dest == src) return invalid();
    *dest = *src;
    return 0;
}

int gacl_get_tag_type(const gacl_entry_t_struct *entry, gacl_tag_t *tag) {
    if (entry == nullptr || tag == nullptr) return invalid();
    *tag = entry->tag;
    return 0;
}

int gacl_set_tag_type(gacl_entry_t entry, gacl_tag_t tag) {
    if (entry == nullptr) return invalid();
    entry->tag = tag;
    return 0;
}

namespace {

bool has_qualifier(const gacl_entry_t_struct *entry) {
    return entry->tag == GACL_TAG_TYPE_USER || entry->tag == GACL_TAG_TYPE_GROUP;
}

}  // namespace

uint32_t *gacl_get_qualifier(const gacl_entry_t_struct *entry) {
    if (entry == nullptr || !has_qualifier(entry)) {
        invalid();
        return nullptr;
    }
    return or_enomem<uint32_t *>(nullptr, [&]() -> uint32_t * {
        return adopt(std::make_unique<uint32_t>(entry->id), GACL_KIND_QUALIFIER);
    });
}

int gacl_set_qualifier(gacl_entry_t entry, const uint32_t *id) {
    if (entry == nullptr || id == nullptr || !has_qualifier(entry)) return invalid();
    entry->id = *id;
    return 0;
}

int gacl_get_permset(gacl_entry_t entry, gacl_permset_t *permset) {
    if (entry == nullptr || permset == nullptr) return invalid();
    *permset = &entry->perms;
    return 0;
}

int gacl_set_permset(gacl_entry_t entry, gacl_permset_t permset) {
    if (entry == nullptr || permset == nullptr) return invalid();
    entry->perms = *permset;
    return 0;
}

int gacl_get_flagset_np(gacl_entry_t entry, gacl_flagset_t *flagset) {
    if (entry == nullptr || flagset == nullptr) return invalid();
    *flagset = &entry->flags;
    return 0;
}

int gacl_set_flagset_np(gacl_entry_t entry, gacl_flagset_t flagset) {
    if (entry == nullptr || flagset == nullptr) return invalid();
    entry->flags = *flagset;
    return 0;
}

int gacl_get_entry_type_np(const gacl_entry_t_struct *entry, gacl_entry_type_t *type) {
    if (entry == nullptr || type == nullptr) return invalid();
    *type = entry->entry_type;
    return 0;
}

int gacl_set_entry_type_np(gacl_entry_t entry, gacl_entry_type_t type) {
    if (entry == nullptr) return invalid();
    entry->entry_type = type;
    return 0;
}

int gacl_get_perm_np(const gacl_perm_t *permset, gacl_perm_t perm) {
    if (permset == nullptr) return invalid();
    return (*permset & perm) != 0 ? 1 : 0;
}

int gacl_get_flag_np(const gacl_flag_t *flagset, gacl_flag_t flag) {
    if (flagset == nullptr) return invalid();
    return (*flagset & flag) != 0 ? 1 : 0;
}

int gacl_clear_flags_np(gacl_flagset_t flagset) {
    if (flagset == nullptr) return invalid();
    *flagset = 0;
    return 0;
}

int gacl_add_flag_np(gacl_flagset_t flagset, gacl_flag_t flag) {
    if (flagset == nullptr) return invalid();
    *flagset = static_cast<gacl_flag_t>(*flagset | flag);
    return 0;
}

int gacl_delete_flag_np(gacl_flagset_t flagset, gacl_flag_t flag) {
    if (flagset == nullptr) return invalid();
    *flagset = static_cast<gacl_flag_t>(*flagset & ~flag);
    return 0;
}
