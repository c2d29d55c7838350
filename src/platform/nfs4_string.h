// nfs4_string: the string layout of an NFSv4 ACL (RFC 7530 nfsace4 list), as
// the Linux NFSv4 client passes it in system.nfs4_acl, and the same list
// after an acl_flags word as in system.nfs4_dacl (RFC 8881 nfsacl41).
// Big-endian 32-bit words: ace_count, then per entry type, flag,
// access_mask and who as an XDR string (length, bytes, zero padding to a
// multiple of 4). who is "OWNER@", "GROUP@", "EVERYONE@", or a user or
// group as "name@domain", a plain name or a decimal id; the group marker in
// flag says which.
// Pure functions: names and ids are mapped by a resolver the caller passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/acl_store.h"

struct nfs4_who_resolver {
    // The who text for a named user (group false) or group with this id;
    // an empty text when there is none.
    std::function<std::string(bool group, uint32_t id)> who_of;
    // The id of a user or group name (the who text before its last '@');
    // false when the name is unknown.
    std::function<bool(bool group, std::string_view name, uint32_t *id)> id_of;
    // True when a who's domain (the text after its last '@') is the local
    // one, whose names id_of may look up; others give SYS_ACL_UNDEFINED_ID.
    // Not given: every domain is.
    std::function<bool(std::string_view domain)> domain_is_local = nullptr;
};

// Encodes the entries of `acl` into *blob (replacing its contents; this
// layout has no acl_flags word). Returns 0, or -1 with EINVAL for an entry
// the layout cannot hold (tags other than owner@, group@, everyone@, user
// and group; a user or group id of -1 or without a who text; an unknown
// entry type, flag or permission bit).
int nfs4_string_encode(const sys_acl &acl, const nfs4_who_resolver &resolver,
                       std::vector<uint8_t> *blob);

// Decodes the `size` bytes at `data` into *acl (replacing all of it; no
// acl_flags, and the origin is for the caller), reading nothing beyond
// them. A decimal who is taken as the id itself; a name the resolver does
// not know, or of another domain, gives the id SYS_ACL_UNDEFINED_ID.
// Returns 0, or -1 with EINVAL for a blob that is truncated, longer than its
// entries, or holds a value the ACL layer cannot represent (among them
// special principals other than OWNER@, GROUP@ and EVERYONE@).
int nfs4_string_decode(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver,
                       sys_acl *acl);

// nfs4_string_encode with `acl`'s acl_flags word in front (system.nfs4_dacl).
int nfs4_dacl_encode(const sys_acl &acl, const nfs4_who_resolver &resolver,
                     std::vector<uint8_t> *blob);

// nfs4_string_decode of what follows the acl_flags word, which goes to
// acl->acl_flags.
int nfs4_dacl_decode(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver,
                     sys_acl *acl);

// Reads only the acl_flags word of a system.nfs4_dacl value into *flags,
// whatever its entries hold. Returns 0, or -1 with EINVAL when the list
// after the word does not fill the value exactly.
int nfs4_dacl_acl_flags(const uint8_t *data, size_t size, uint32_t *flags);
