// nfs4_string: the string layout of an NFSv4 ACL (RFC 7530 nfsace4 list), as
// the Linux NFSv4 client passes it in system.nfs4_acl. Big-endian 32-bit
// words: ace_count, then per entry type, flag, access_mask and who as an XDR
// string (length, bytes, zero padding to a multiple of 4). who is "OWNER@",
// "GROUP@", "EVERYONE@", or a user or group as "name@domain", a plain name
// or a decimal id; the group marker in flag says which.
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
};

// Encodes `acl` into *blob (replacing its contents). Returns 0, or -1 with
// EINVAL for an entry the layout cannot hold (tags other than owner@,
// group@, everyone@, user and group; a user or group id of -1 or without a
// who text; an unknown entry type, flag or permission bit).
int nfs4_string_encode(const sys_acl &acl, const nfs4_who_resolver &resolver,
                       std::vector<uint8_t> *blob);

// Decodes the `size` bytes at `data` into *acl (replacing its contents),
// reading nothing beyond them. A decimal who is taken as the id itself; a
// name the resolver does not know gives the id SYS_ACL_UNDEFINED_ID.
// Returns 0, or -1 with EINVAL for a blob that is truncated, longer than its
// entries, or holds a value the ACL layer cannot represent (among them
// special principals other than OWNER@, GROUP@ and EVERYONE@).
int nfs4_string_decode(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver,
                       sys_acl *acl);
