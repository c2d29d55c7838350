// freebsd_acl_store: NFSv4 ACLs on FreeBSD, through the C library's acl(3)
// calls with ACL_TYPE_NFS4. The kernel keeps and enforces the ACLs; this
// store only translates between its entries and sys_acl_entry (whose
// numbering is FreeBSD's own), and passes the library's errno through
// unchanged (EOPNOTSUPP on file systems without NFSv4 ACLs and for
// symbolic links, EINVAL for an ACL the kernel refuses, ...).
#pragma once

#include "platform/acl_store.h"

class freebsd_acl_store final : public acl_store {
  public:
    // acl_get_file / acl_get_link_np, then each entry's tag, qualifier (user
    // and group entries only; others get SYS_ACL_UNDEFINED_ID), permissions,
    // flags and entry type.
    int get(const char *path, bool link, sys_acl *acl) override;

    // acl_init, one acl_create_entry_np and its setters per entry, then
    // acl_set_file / acl_set_link_np; the library's limit on entries
    // (ACL_MAX_ENTRIES) fails with its errno. FreeBSD keeps no ACL-wide
    // flags word: acl.acl_flags is not used.
    int set(const char *path, bool link, const sys_acl &acl) override;
};
