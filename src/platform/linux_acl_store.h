// linux_acl_store: NFSv4 ACLs on Linux, kept in extended attributes. Which
// attribute serves a file is decided per file system (st_dev) on first use
// and remembered:
//   1. system.nfs4_acl_xdr   ZFS datasets with NFSv4 ACLs (numeric XDR)
//   2. system.nfs4_dacl      NFSv4 client mounts that offer it (string
//                            layout after the ACL-wide flags word), else
//      system.nfs4_acl       the string layout alone (RFC 7530)
//   3. security.nfs4acl_xdr  anywhere else (numeric XDR, Samba's layout;
//                            the kernel does not enforce it)
// A file without the attribute, or on a file system without extended
// attributes, has the trivial ACL of its mode. Symbolic links have no ACL.
//
// Writes keep the object's ACL-wide flags word (see acl_store::set), read
// from the attribute when the ACL given was not read from the same object.
// The ZFS attribute refuses the audit flags (ZFS would drop them). NFS
// principals are written as decimal ids; a server that refuses them (EINVAL)
// gets name@domain once more, where the local NFSv4 domain is known. An NFS
// principal read that has no local id (a name of another domain, or one the
// databases do not know) fails the read with EINVAL: it could not be
// written back.
//
// Reads ask for 4 KiB first, which holds nearly every ACL, and for the
// value's size only when that is too small; nothing stays allocated.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/acl_store.h"

// What the store's calls reach: `path` as typed, the link itself when `link`
// is true; or, with `dirfd` an open directory, the object `path` (one name)
// itself in that directory.
struct xattr_object {
    int dirfd;
    const char *path;
    bool link;
};

// The system calls the store makes, as an interface so that tests can play
// file systems the machine does not have. `link` selects the call that does
// not follow a final symbolic link.
class linux_xattr_calls {
  public:
    virtual ~linux_xattr_calls() = default;
    // stat(2), or lstat(2) for a link: 0, or -1 with errno.
    virtual int stat(const xattr_object &at, struct stat *st);
    // getxattr(2) / lgetxattr(2): the value's size, or -1 with errno.
    virtual ssize_t getxattr(const xattr_object &at, const char *name, void *value, size_t size);
    // setxattr(2) / lsetxattr(2), creating or replacing: 0, or -1 with errno.
    virtual int setxattr(const xattr_object &at, const char *name, const void *value, size_t size);
};

class linux_acl_store final : public acl_store {
  public:
    // Uses `calls` (which must outlive the store), or the real system calls;
    // and `local_domain` for the local NFSv4 domain (asked once, when an NFS
    // principal first needs it; empty: unknown), or
    // nfs4_local_domain(NFS4_IDMAPD_CONF).
    explicit linux_acl_store(linux_xattr_calls *calls = nullptr,
                             std::function<std::string()> local_domain = nullptr);

    int get(const char *path, bool link, sys_acl *acl) override;
    int set(const char *path, bool link, const sys_acl &acl) override;
    int get_known(const char *path, bool link, const struct stat &known, sys_acl *acl) override;
    int set_known(const char *path, bool link, const struct stat &known,
                  const sys_acl &acl) override;
    int get_at(int dirfd, const char *name, const struct stat &known, sys_acl *acl) override;
    int set_at(int dirfd, const char *name, const struct stat *known, const sys_acl &acl) override;

    // Fetching makes the attribute calls alone; the probe of a new file
    // system is shared under a lock. Decoding (which may look names up)
    // stays with the caller's thread.
    bool fetches_concurrently() const override { return true; }
    int fetch_at(int dirfd, const char *name, const struct stat &known,
                 sys_acl_fetched *fetched) override;
    int decode_fetched(const sys_acl_fetched &fetched, const struct stat &known,
                       sys_acl *acl) override;

  private:
    enum class layout { zfs_xdr, nfs_dacl, nfs_acl, samba_xdr };

    // What the store has learnt about one file system.
    struct file_system {
        layout chosen;
        bool names_first = false;  // an NFS server that took name@domain, not decimal ids
    };

    static const char *attribute_name(layout chosen);

    // get() once the status `st` of what is read is known.
    int read(const xattr_object &at, const struct stat &st, sys_acl *acl);

    // The system calls of read(), into *fetched: 0, or -1 with errno (kept
    // in fetched->err too). Safe on several threads at once.
    int fetch(const xattr_object &at, const struct stat &st, sys_acl_fetched *fetched);

    // set() once the status `st` of what is written is known.
    int write(const xattr_object &at, const struct stat &st, const sys_acl &acl);

    // Finds (probing once per file system) what holds the ACL of `path` on
    // device `dev`: 0, or -1 with errno when the probe failed. Safe on
    // several threads at once; the record found stays where it is.
    int choose(const xattr_object &at, dev_t dev, file_system **fs);

    // What a fetch found: nothing stored (the trivial ACL of the mode), or
    // a value of the layout `kind - STORED`.
    static constexpr int NOTHING_STORED = 0, STORED = 1;

    // The ACL-wide flags word of the ACL stored for `path`: 0 where nothing
    // (readable as an ACL) is stored. 0, or -1 with errno.
    int stored_acl_flags(const xattr_object &at, layout chosen, uint32_t *flags);

    // Encodes `acl` in the layout `chosen`, NFS principals as name@domain
    // when `names` is true (decimal ids where there is no name), else as
    // decimal ids. 0, or -1 with errno.
    int encode(layout chosen, const sys_acl &acl, bool names, std::vector<uint8_t> *blob);

    // The local NFSv4 domain, found on first use; empty when unknown.
    const std::string &local_domain();

    linux_xattr_calls real_;
    linux_xattr_calls *calls_;
    std::function<std::string()> domain_source_;
    std::optional<std::string> domain_;
    std::shared_mutex file_systems_lock_;
    std::unordered_map<dev_t, file_system> file_systems_;
    sys_acl_fetched own_;  // read()'s, on the program's own thread
};
