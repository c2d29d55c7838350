// The in-memory ACL model: ACL objects, their entries, and the operations on
// them, shaped after the POSIX.1e ACL interface with the FreeBSD NFSv4
// extensions (names ending in _np).
//
// Conventions of the whole layer:
// - Operations return 0 (or a count) on success and -1 with errno on failure;
//   those that hand out an object return it, or nullptr with errno.
// - EINVAL: a bad argument, or a handle that is not a live object of this
//   layer. ENOMEM: an ACL that is full, or memory exhausted.
// - ACL, text and qualifier objects are released with gacl_free, never with
//   the allocator. Releasing an object twice writes
//   "*** gacl_free(%p): Freeing already freed object" to standard error and
//   aborts; releasing anything else fails with EINVAL and releases nothing.
//   C++ code holds them in gacl_ptr / gacl_text_ptr / gacl_qualifier_ptr.
// - Entry, permset and flagset handles point into their ACL object. They stay
//   valid until an entry is inserted (which may move every entry) or one is
//   deleted at or before their position, or the ACL is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using gacl_type_t = int32_t;        // system ACL type the ACL was read as (0: not read)
using gacl_tag_t = uint32_t;        // whom an entry is for
using gacl_entry_type_t = int32_t;  // allow, deny, audit, alarm
using gacl_perm_t = uint32_t;       // permission bits (vocab.h)
using gacl_flag_t = uint16_t;       // inheritance and audit flag bits (vocab.h)

inline constexpr gacl_type_t GACL_TYPE_NFS4 = 4;

// Tags; the numbers are those of the FreeBSD ACL tags.
inline constexpr gacl_tag_t GACL_TAG_TYPE_UNKNOWN =
    0;  // a bare name that is neither user nor group
inline constexpr gacl_tag_t GACL_TAG_TYPE_USER_OBJ = 1;   // owner@
inline constexpr gacl_tag_t GACL_TAG_TYPE_USER = 2;       // user:NAME, id = uid
inline constexpr gacl_tag_t GACL_TAG_TYPE_GROUP_OBJ = 4;  // group@
inline constexpr gacl_tag_t GACL_TAG_TYPE_GROUP = 8;      // group:NAME, id = gid
inline constexpr gacl_tag_t GACL_TAG_TYPE_MASK = 16;      // POSIX.1e mask (foreign styles only)
inline constexpr gacl_tag_t GACL_TAG_TYPE_OTHER = 32;     // POSIX.1e other (foreign styles only)
inline constexpr gacl_tag_t GACL_TAG_TYPE_EVERYONE = 64;  // everyone@

inline constexpr gacl_entry_type_t GACL_ENTRY_TYPE_ALLOW = 0;
inline constexpr gacl_entry_type_t GACL_ENTRY_TYPE_DENY = 1;
inline constexpr gacl_entry_type_t GACL_ENTRY_TYPE_AUDIT = 2;
inline constexpr gacl_entry_type_t GACL_ENTRY_TYPE_ALARM = 3;

// Entry ids of gacl_get_entry.
inline constexpr int GACL_FIRST_ENTRY = 0;
inline constexpr int GACL_NEXT_ENTRY = 1;

// The id of a user or group entry whose principal is unknown.
inline constexpr uint32_t GACL_UNDEFINED_ID = 0xFFFFFFFFu;

// Size of the name field, the NUL included (255 usable characters).
inline constexpr int GACL_NAME_SIZE = 256;

// The most entries an ACL holds: more than any store takes (the stores
// decide what they accept).
inline constexpr int GACL_MAX_ENTRIES = 4096;

// Kind words of the objects this layer hands out, and the marker a release
// leaves behind.
inline constexpr uint32_t GACL_KIND_ACL = 0x1532f2d1u;
inline constexpr uint32_t GACL_KIND_TEXT = 0x1532f2d2u;
inline constexpr uint32_t GACL_KIND_QUALIFIER = 0x1532f2d3u;
inline constexpr uint32_t GACL_KIND_RELEASED = 0xdeadbeefu;

// One ACL entry. A new entry is all zero: tag 0, id 0, empty name, no
// permissions, no flags, type allow. Callers may also keep plain records
// (zero them with `gacl_entry_t_struct e{};`), e.g. for the text parser.
struct gacl_entry_t_struct {
    gacl_tag_t tag;
    uint32_t id;                // uid or gid for user and group entries
    char name[GACL_NAME_SIZE];  // principal text: user/group name (or the id in
                                // decimal), "owner@", "group@", "everyone@"
    gacl_perm_t perms;
    gacl_flag_t flags;
    gacl_entry_type_t entry_type;
};

// The object an ACL was read from, by device and inode.
struct gacl_origin_t {
    bool known;  // false for an ACL not read from an object
    uint64_t dev;
    uint64_t ino;
};

// The ACL object. Other modules read `count` (and `entries[i]` for
// i < count) directly; everything else changes only through the operations.
//
// acl_flags is the ACL-wide flags word of the stored ACL it was read from
// (0x1 auto-inherit, 0x2 protected, 0x4 defaulted). It belongs to that
// object (`origin`), not to the entries: a write keeps it only when it goes
// back to the same object, and any other object keeps its own. Copies
// (gacl_dup, sort, merge) carry both along.
struct gacl_t_struct {
    gacl_type_t type;              // GACL_TYPE_NFS4 when read from the system, else 0
    int32_t count;                 // entries in use, 0..GACL_MAX_ENTRIES
    int32_t capacity;              // entry slots allocated, count..GACL_MAX_ENTRIES
    int32_t cursor;                // next entry of gacl_get_entry(GACL_NEXT_ENTRY)
    gacl_entry_t_struct *entries;  // capacity slots, in ACL order
    uint32_t acl_flags;            // as stored for `origin`; 0 when not read
    gacl_origin_t origin;
};

using gacl_t = gacl_t_struct *;
using gacl_entry_t = gacl_entry_t_struct *;
using gacl_permset_t = gacl_perm_t *;  // the perms word of one entry
using gacl_flagset_t = gacl_flag_t *;  // the flags word of one entry

// New empty ACL: type 0, count 0, cursor 0, no origin, with room for
// `count` entries (at most GACL_MAX_ENTRIES; below 0 counts as 0). It grows
// as entries are added. nullptr with ENOMEM when memory runs out.
gacl_t gacl_init(int count);

// Releases an ACL, text or qualifier object of this layer. nullptr: 0. A
// second release aborts the program (message above); anything else: EINVAL.
// Leaves errno untouched on success.
int gacl_free(void *obj);

// New ACL text object holding a copy of the `length` characters at `text`
// and a NUL; released with gacl_free. The text forms make theirs with it.
// nullptr with ENOMEM when memory runs out.
char *gacl_new_text_np(const char *text, size_t length);

// Independent copy: same type, count, entries, acl_flags and origin, room
// for its entries, cursor 0. EINVAL when `acl` is not a live ACL; ENOMEM.
gacl_t gacl_dup(gacl_t acl);

// Inserts a zeroed entry at `pos` (below 0 or beyond count: appends) and
// hands it back in *entry; *acl stays the same object. ENOMEM when the ACL
// holds GACL_MAX_ENTRIES or memory runs out (nothing changes); EINVAL for
// null pointers or a dead ACL.
int gacl_create_entry_np(gacl_t *acl, gacl_entry_t *entry, int pos);

// Removes the entry at `pos` (0 <= pos < count), the later ones move forward.
// The cursor is not adjusted. EINVAL otherwise.
int gacl_delete_entry_np(gacl_t acl, int pos);

// Iteration with the ACL's one cursor. GACL_FIRST_ENTRY restarts it. Returns
// 1 with *entry set while entries remain, 0 at the end (entry untouched).
// EINVAL for another entry id or a dead ACL.
int gacl_get_entry(gacl_t acl, int entry_id, gacl_entry_t *entry);

// Positions the cursor at `pos` (0..count). Below count: hands back that
// entry, moves the cursor past it, returns 1. At count: returns 0. EINVAL
// for other positions or a dead ACL.
int gacl_get_entry_np(gacl_t acl, int pos, gacl_entry_t *entry);

// Copies the whole record, name included. EINVAL when either is null or
// both are the same entry.
int gacl_copy_entry(gacl_entry_t dest, const gacl_entry_t_struct *src);

// Tag accessors; the setter takes any value and leaves id and name alone.
int gacl_get_tag_type(const gacl_entry_t_struct *entry, gacl_tag_t *tag);
int gacl_set_tag_type(gacl_entry_t entry, gacl_tag_t tag);

// User and group entries only: a new qualifier object holding the id,
// released with gacl_free. EINVAL for other tags or a null entry; ENOMEM.
uint32_t *gacl_get_qualifier(const gacl_entry_t_struct *entry);
// User and group entries only: sets the id from *id; the name is left as it
// was. EINVAL for other tags or null arguments.
int gacl_set_qualifier(gacl_entry_t entry, const uint32_t *id);

// Handles to an entry's perms and flags words; the setters copy the word
// behind the handle into the entry. EINVAL for null arguments.
int gacl_get_permset(gacl_entry_t entry, gacl_permset_t *permset);
int gacl_set_permset(gacl_entry_t entry, gacl_permset_t permset);
int gacl_get_flagset_np(gacl_entry_t entry, gacl_flagset_t *flagset);
int gacl_set_flagset_np(gacl_entry_t entry, gacl_flagset_t flagset);

// Entry type accessors; the setter takes any value. EINVAL for null arguments.
int gacl_get_entry_type_np(const gacl_entry_t_struct *entry, gacl_entry_type_t *type);
int gacl_set_entry_type_np(gacl_entry_t entry, gacl_entry_type_t type);

// 1 when any of `perm` is set in the word, else 0; -1 with EINVAL for null.
int gacl_get_perm_np(const gacl_perm_t *permset, gacl_perm_t perm);
// 1 when any of `flag` is set in the word, else 0; -1 with EINVAL for null.
int gacl_get_flag_np(const gacl_flag_t *flagset, gacl_flag_t flag);

// Clear the word / OR bits in / clear bits. EINVAL for a null handle.
int gacl_clear_flags_np(gacl_flagset_t flagset);
int gacl_add_flag_np(gacl_flagset_t flagset, gacl_flag_t flag);
int gacl_delete_flag_np(gacl_flagset_t flagset, gacl_flag_t flag);

// Owning handles for C++ callers: the deleter calls gacl_free and keeps
// errno as it was, so a failure path can release and still report its own
// error. Hand an object to C-style code with .get(); take one back with
// gacl_ptr(gacl_dup(...)) etc.
struct gacl_deleter {
    void operator()(void *obj) const noexcept;
};
using gacl_ptr = std::unique_ptr<gacl_t_struct, gacl_deleter>;
using gacl_text_ptr = std::unique_ptr<char, gacl_deleter>;
using gacl_qualifier_ptr = std::unique_ptr<uint32_t, gacl_deleter>;
