// acl_store: the operating system's side of NFSv4 ACLs. The ACL layer needs
// only two operations per path, read the ACL as an ordered list of system
// entries and replace it by such a list; this header is their contract.
//
// Entries use FreeBSD's numbering on every system, so that the layer above
// passes tags, ids, permission words and flag words through unchanged. Each
// operating system has one implementation (linux_*.cc, freebsd_*.cc); tests
// swap in their own with acl_store_use().
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Tags (the values of FreeBSD's ACL tags).
constexpr uint32_t SYS_ACL_TAG_UNDEFINED = 0;
constexpr uint32_t SYS_ACL_TAG_USER_OBJ = 1;   // owner@
constexpr uint32_t SYS_ACL_TAG_USER = 2;       // named user, id = uid
constexpr uint32_t SYS_ACL_TAG_GROUP_OBJ = 4;  // group@
constexpr uint32_t SYS_ACL_TAG_GROUP = 8;      // named group, id = gid
constexpr uint32_t SYS_ACL_TAG_MASK = 16;      // POSIX.1e only
constexpr uint32_t SYS_ACL_TAG_OTHER = 32;     // POSIX.1e only
constexpr uint32_t SYS_ACL_TAG_EVERYONE = 64;  // everyone@

// Entry types.
constexpr uint16_t SYS_ACL_ENTRY_TYPE_ALLOW = 0x0100;
constexpr uint16_t SYS_ACL_ENTRY_TYPE_DENY = 0x0200;
constexpr uint16_t SYS_ACL_ENTRY_TYPE_AUDIT = 0x0400;
constexpr uint16_t SYS_ACL_ENTRY_TYPE_ALARM = 0x0800;

// The id of entries that have none, and of principals that do not exist.
constexpr uint32_t SYS_ACL_UNDEFINED_ID = 0xFFFFFFFF;

// Permission bits (the ACL layer's values).
constexpr uint32_t SYS_ACL_EXECUTE = 0x0001;
constexpr uint32_t SYS_ACL_READ_DATA = 0x0008;
constexpr uint32_t SYS_ACL_WRITE_DATA = 0x0010;
constexpr uint32_t SYS_ACL_APPEND_DATA = 0x0020;
constexpr uint32_t SYS_ACL_READ_NAMED_ATTRS = 0x0040;
constexpr uint32_t SYS_ACL_WRITE_NAMED_ATTRS = 0x0080;
constexpr uint32_t SYS_ACL_DELETE_CHILD = 0x0100;
constexpr uint32_t SYS_ACL_READ_ATTRIBUTES = 0x0200;
constexpr uint32_t SYS_ACL_WRITE_ATTRIBUTES = 0x0400;
constexpr uint32_t SYS_ACL_DELETE = 0x0800;
constexpr uint32_t SYS_ACL_READ_ACL = 0x1000;
constexpr uint32_t SYS_ACL_WRITE_ACL = 0x2000;
constexpr uint32_t SYS_ACL_WRITE_OWNER = 0x4000;
constexpr uint32_t SYS_ACL_SYNCHRONIZE = 0x8000;

// Flag bits (the ACL layer's values; 0x0040 is no flag).
constexpr uint16_t SYS_ACL_FILE_INHERIT = 0x0001;
constexpr uint16_t SYS_ACL_DIRECTORY_INHERIT = 0x0002;
constexpr uint16_t SYS_ACL_NO_PROPAGATE_INHERIT = 0x0004;
constexpr uint16_t SYS_ACL_INHERIT_ONLY = 0x0008;
constexpr uint16_t SYS_ACL_SUCCESSFUL_ACCESS = 0x0010;
constexpr uint16_t SYS_ACL_FAILED_ACCESS = 0x0020;
constexpr uint16_t SYS_ACL_INHERITED = 0x0080;

// One entry of a system NFSv4 ACL, with FreeBSD's field widths.
struct sys_acl_entry {
    uint32_t tag = SYS_ACL_TAG_UNDEFINED;
    uint32_t id = SYS_ACL_UNDEFINED_ID;  // uid or gid for user and group entries
    uint32_t perm = 0;
    uint16_t entry_type = SYS_ACL_ENTRY_TYPE_ALLOW;
    uint16_t flags = 0;

    bool operator==(const sys_acl_entry &) const = default;
};

// ACL-wide flags of the stored NFSv4 ACL (its acl_flags word).
constexpr uint32_t SYS_ACL_FLAG_AUTO_INHERIT = 0x1;
constexpr uint32_t SYS_ACL_FLAG_PROTECTED = 0x2;  // Windows' "inheritance disabled"
constexpr uint32_t SYS_ACL_FLAG_DEFAULTED = 0x4;

// The object a system ACL was read from, by device and inode.
struct sys_acl_origin {
    bool known = false;  // false for an ACL not read from an object
    uint64_t dev = 0;
    uint64_t ino = 0;

    // True when the ACL was read from the object whose status is `st`.
    bool is(const struct stat &st) const {
        return known && dev == static_cast<uint64_t>(st.st_dev) &&
               ino == static_cast<uint64_t>(st.st_ino);
    }
};

// A system ACL: its entries in ACL order (the vector itself, so that code
// that handles only entries treats it as one), and the ACL-wide flags word.
// The word belongs to the object, not to the entries: a store writes the
// given word only back to the object it was read from (`origin`) and keeps
// the target's own stored word everywhere else. == compares the entries.
struct sys_acl : std::vector<sys_acl_entry> {
    using std::vector<sys_acl_entry>::vector;

    uint32_t acl_flags = 0;  // SYS_ACL_FLAG_* and whatever else the store keeps there
    sys_acl_origin origin;
};

// One object's stored ACL as acl_store::fetch_at() brought it, for
// decode_fetched() to turn into entries later, on the thread that uses
// them. What the fields hold is the store's own business; a record can be
// fetched into again and keeps its buffer.
struct sys_acl_fetched {
    int err = 0;                 // 0, or the errno of the failed fetch
    int kind = 0;                // the store's: what was found
    std::vector<uint8_t> value;  // the stored value, in its first `size` bytes
    size_t size = 0;
    sys_acl entries;  // what the default fetch_at() read
    // The store's memo of what it learnt for the device of the last fetch
    // made with this record (a record is used by one thread at a time).
    const void *memo_store = nullptr;
    uint64_t memo_dev = 0;
    const void *memo = nullptr;
};

// The system's ACLs, as one small interface so that tests can put a fake or
// fault-injecting store in place of the real one.
class acl_store {
  public:
    virtual ~acl_store() = default;

    // Reads the NFSv4 ACL of `path` into *acl (its final symbolic link
    // followed, or the link itself when `link` is true), with the ACL-wide
    // flags word where the store keeps one (else 0) and the object it came
    // from. Returns 0, or -1 with errno (EOPNOTSUPP where the object can
    // have no such ACL, EINVAL for a stored ACL that cannot be read); *acl
    // is unspecified on failure.
    virtual int get(const char *path, bool link, sys_acl *acl) = 0;

    // Replaces the NFSv4 ACL of `path` (or of the link itself) by `acl`, all
    // at once, keeping the object's ACL-wide flags word: acl.acl_flags when
    // `acl` was read from this object, else the word the object's stored
    // ACL has (0 where nothing is stored). Returns 0, or -1 with errno
    // (EOPNOTSUPP where the object can have no such ACL, EINVAL for entries
    // the store cannot hold, the store's own errno for more entries than it
    // takes); a failed write leaves the old ACL in place.
    virtual int set(const char *path, bool link, const sys_acl &acl) = 0;

    // As get(), for a path whose lstat(2) status `known` the caller has just
    // read: a store may use it rather than asking the system again, which
    // keeps a recursive listing at one status call per object. The default
    // asks again.
    virtual int get_known(const char *path, bool link, const struct stat &known, sys_acl *acl) {
        (void)known;
        return get(path, link, acl);
    }

    // As set(), for a path whose lstat(2) status `known` the caller has just
    // read, so that a recursive write too costs one status call per object.
    // The default asks again.
    virtual int set_known(const char *path, bool link, const struct stat &known,
                          const sys_acl &acl) {
        (void)known;
        return set(path, link, acl);
    }

    // As get_known() for the object `name` itself (a final symbolic link not
    // followed) in the directory open as `dirfd`, reached through the
    // descriptor so that no change to the directory's ancestors can send the
    // read elsewhere (os_at.h). With AT_FDCWD, `name` is a path as typed.
    // `known` is the object's lstat status. The default hands the name of
    // os_at_path to get_known().
    virtual int get_at(int dirfd, const char *name, const struct stat &known, sys_acl *acl);

    // As set() for the object `name` itself in the directory open as `dirfd`
    // (AT_FDCWD: `name` is a path as typed), reached as get_at() reaches it;
    // `known` is the object's lstat status, or null for the store to take
    // it. The default hands the name of os_at_path to set_known() or set().
    virtual int set_at(int dirfd, const char *name, const struct stat *known, const sys_acl &acl);

    // True when fetch_at() may run on several threads at once, while the
    // program's own thread goes on using the store. The default: false.
    virtual bool fetches_concurrently() const { return false; }

    // The system calls of get_at() alone, into *fetched, so that a thread
    // of a walk's read-ahead can make them: 0, or -1 with errno (also kept
    // in fetched->err). The default runs get_at() whole.
    virtual int fetch_at(int dirfd, const char *name, const struct stat &known,
                         sys_acl_fetched *fetched);

    // The rest of get_at(): the ACL of the object of status `known` from
    // what fetch_at() brought for it. 0, or -1 with errno (the fetch's own
    // when it failed).
    virtual int decode_fetched(const sys_acl_fetched &fetched, const struct stat &known,
                               sys_acl *acl);
};

// Returns the store of the running operating system (defined once per OS).
acl_store &acl_store_system();

// Returns the store in use: the system's unless a test has swapped one in.
acl_store &acl_store_current();

// Makes `store` the store in use (null: the system's again) and returns the
// one used before. For tests; the program never calls it.
acl_store *acl_store_use(acl_store *store);

// Returns the trivial ACL of the permission bits of `mode`: allow entries for
// owner@, group@ and everyone@ (ids 0, no flags) with the always-granted
// attribute, ACL and synchronize rights plus read, write/append and execute
// as the mode's three permission triplets grant them.
std::array<sys_acl_entry, 3> acl_trivial(mode_t mode);
