// Helpers of the tests that check stored ACL bytes: big-endian words, byte
// strings joined with +, system entries in one call, and the value of the
// default store's attribute as read straight from the file.
#pragma once

#include <sys/types.h>
#include <sys/xattr.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/acl_store.h"

using bytes = std::vector<uint8_t>;

inline bytes words(std::initializer_list<uint32_t> ws) {
    bytes b;
    for (uint32_t w : ws)
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<uint8_t>(w >> shift));
    return b;
}

inline bytes operator+(bytes a, const bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline sys_acl_entry entry(uint32_t tag, uint32_t id, uint32_t perm,
                           uint16_t type = SYS_ACL_ENTRY_TYPE_ALLOW, uint16_t flags = 0) {
    sys_acl_entry e;
    e.tag = tag;
    e.id = id;
    e.perm = perm;
    e.entry_type = type;
    e.flags = flags;
    return e;
}

// The bytes of security.nfs4acl_xdr on `path`, empty when it has none.
inline bytes stored(const std::string &path) {
    bytes value(65536);
    ssize_t n = getxattr(path.c_str(), "security.nfs4acl_xdr", value.data(), value.size());
    if (n < 0) return {};
    value.resize(static_cast<size_t>(n));
    return value;
}
