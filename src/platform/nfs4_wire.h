// nfs4_wire: the NFSv4 wire values of an ACL entry's type, flags and access
// mask (RFC 7530), shared by the stored layouts of nfs4_xdr and nfs4_string.
// The principal is encoded differently by each layout and is left to them.
#pragma once

#include <cstdint>

#include "platform/acl_store.h"

// Wire entry types.
constexpr uint32_t NFS4_ACE_ALLOWED = 0;
constexpr uint32_t NFS4_ACE_DENIED = 1;
constexpr uint32_t NFS4_ACE_AUDIT = 2;
constexpr uint32_t NFS4_ACE_ALARM = 3;

// Wire flag that marks a group principal; no flag of the ACL layer.
constexpr uint32_t NFS4_ACE_IDENTIFIER_GROUP = 0x40;

// Type, flag and access mask of one entry on the wire.
struct nfs4_wire_ace {
    uint32_t type = 0;
    uint32_t flag = 0;
    uint32_t mask = 0;
};

// Converts the type, flags and permissions of `e` to wire values, adding the
// group marker for named groups. Returns 0, or -1 with EINVAL when one of
// them has a value or bit the wire cannot carry.
int nfs4_wire_encode(const sys_acl_entry &e, nfs4_wire_ace *ace);

// Converts wire values into the type, flags and permissions of *e (its tag
// and id stay). The group marker is removed from the flags and reported in
// *group. Returns 0, or -1 with EINVAL for an unknown type, flag or mask bit.
int nfs4_wire_decode(const nfs4_wire_ace &ace, sys_acl_entry *e, bool *group);
