// linux_acl_store: NFSv4 ACLs on Linux, kept in extended attributes. Which
// attribute serves a file is decided per file system (st_dev) on first use
// and remembered:
//   1. system.nfs4_acl_xdr   OpenZFS datasets with NFSv4 ACLs (numeric XDR)
//   2. system.nfs4_acl       NFSv4 client mounts (RFC 7530 string layout)
//   3. security.nfs4acl_xdr  anywhere else (numeric XDR, Samba's layout;
//                            the kernel does not enforce it)
// A file without the attribute, or on a file system without extended
// attributes, has the trivial ACL of its mode. Symbolic links have no ACL.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/acl_store.h"

// The system calls the store makes, as an interface so that tests can play
// file systems the machine does not have. `link` selects the call that does
// not follow a final symbolic link.
class linux_xattr_calls {
  public:
    virtual ~linux_xattr_calls() = default;
    // stat(2), or lstat(2) for a link: 0, or -1 with errno.
    virtual int stat(const char *path, bool link, struct stat *st);
    // getxattr(2) / lgetxattr(2): the value's size, or -1 with errno.
    virtual ssize_t getxattr(const char *path, bool link, const char *name, void *value,
                             size_t size);
    // setxattr(2) / lsetxattr(2), creating or replacing: 0, or -1 with errno.
    virtual int setxattr(const char *path, bool link, const char *name, const void *value,
                         size_t size);
};

class linux_acl_store final : public acl_store {
  public:
    // Uses `calls` (which must outlive the store), or the real system calls.
    explicit linux_acl_store(linux_xattr_calls *calls = nullptr);

    int get(const char *path, bool link, sys_acl *acl) override;
    int set(const char *path, bool link, const sys_acl &acl) override;
    int get_known(const char *path, bool link, const struct stat &known, sys_acl *acl) override;

  private:
    enum class layout { zfs_xdr, nfs_string, samba_xdr };

    static const char *attribute_name(layout chosen);

    // get() once the status `st` of what is read is known.
    int read(const char *path, bool link, const struct stat &st, sys_acl *acl);

    // Finds (probing once per file system) the attribute that holds the ACL
    // of `path` on device `dev`: 0, or -1 with errno when the probe failed.
    int choose(const char *path, bool link, dev_t dev, layout *chosen);

    linux_xattr_calls real_;
    linux_xattr_calls *calls_;
    std::unordered_map<dev_t, layout> layouts_;
    std::vector<uint8_t> buffer_;  // one attribute value, reused
};
