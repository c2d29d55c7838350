// nfs4_xdr: the numeric XDR layout of an NFSv4 ACL, as OpenZFS stores it in
// system.nfs4_acl_xdr and Samba in security.nfs4acl_xdr. Big-endian 32-bit
// words: acl_flags, ace_count, then per entry type, flag, iflag,
// access_mask and who (iflag 1: who is 1 owner@, 2 group@, 3 everyone@;
// otherwise a uid, or a gid when flag has the group marker).
// Pure functions: no system calls, no global state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/acl_store.h"

// Encodes `acl`, its acl_flags word first, into *blob (replacing its
// contents). Returns 0, or -1 with EINVAL for an entry the layout cannot
// hold (a tag other than owner@, group@, everyone@, user and group; a user
// or group id of -1; an unknown entry type, flag or permission bit).
int nfs4_xdr_encode(const sys_acl &acl, std::vector<uint8_t> *blob);

// Decodes the `size` bytes at `data` into *acl (replacing all of it; the
// origin is for the caller to fill in), reading nothing beyond them.
// Returns 0, or -1 with EINVAL for a blob that is truncated, longer than its
// entries, or holds a value the ACL layer cannot represent.
int nfs4_xdr_decode(const uint8_t *data, size_t size, sys_acl *acl);

// Reads only the acl_flags word of the `size` bytes at `data` into *flags,
// whatever the entries hold: an ACL whose entries cannot be read still has
// a word to keep when it is replaced. Returns 0, or -1 with EINVAL when the
// length does not match the entry count.
int nfs4_xdr_acl_flags(const uint8_t *data, size_t size, uint32_t *flags);
