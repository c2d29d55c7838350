#include "platform/nfs4_string.h"

#include <cerrno>
#include <new>
#include <utility>

#include "platform/nfs4_wire.h"
#include "util/nomem.h"

namespace {

constexpr size_t MIN_ACE_BYTES = 16;  // type, flag, access_mask, who length

constexpr std::string_view WHO_OWNER = "OWNER@";
constexpr std::string_view WHO_GROUP = "GROUP@";
constexpr std::string_view WHO_EVERYONE = "EVERYONE@";

void put(std::vector<uint8_t> *blob, uint32_t v) {
    blob->push_back(static_cast<uint8_t>(v >> 24));
    blob->push_back(static_cast<uint8_t>(v >> 16));
    blob->push_back(static_cast<uint8_t>(v >> 8));
    blob->push_back(static_cast<uint8_t>(v));
}

void put_string(std::vector<uint8_t> *blob, std::string_view s) {
    put(blob, static_cast<uint32_t>(s.size()));
    blob->insert(blob->end(), s.begin(), s.end());
    blob->insert(blob->end(), (4 - s.size() % 4) % 4, 0);
}

uint32_t get(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

int invalid() {
    errno = EINVAL;
    return -1;
}

// A decimal id: digits only, below SYS_ACL_UNDEFINED_ID.
bool decimal_id(std::string_view s, uint32_t *id) {
    if (s.empty() || s.size() > 10) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v >= SYS_ACL_UNDEFINED_ID) return false;
    *id = static_cast<uint32_t>(v);
    return true;
}

// Fills the tag and id of *e from a who text; -1 with EINVAL when the text
// names no principal the ACL layer has.
int decode_who(std::string_view who, bool group, const nfs4_who_resolver &resolver,
               sys_acl_entry *e) {
    if (who == WHO_OWNER) {
        e->tag = SYS_ACL_TAG_USER_OBJ;
    } else if (who == WHO_GROUP) {
        e->tag = SYS_ACL_TAG_GROUP_OBJ;
    } else if (who == WHO_EVERYONE) {
        e->tag = SYS_ACL_TAG_EVERYONE;
    } else {
        size_t at = who.rfind('@');
        std::string_view name = who.substr(0, at);
        // "INTERACTIVE@", "NETWORK@", ... have nothing after the '@'.
        if (name.empty() || at == who.size() - 1) return invalid();
        if (name.find('\0') != std::string_view::npos) return invalid();
        e->tag = group ? SYS_ACL_TAG_GROUP : SYS_ACL_TAG_USER;
        e->id = SYS_ACL_UNDEFINED_ID;
        // A name of another domain is another system's user, whatever a
        // local user of that name is called.
        auto local = [&] {
            return at == std::string_view::npos || !resolver.domain_is_local ||
                   resolver.domain_is_local(who.substr(at + 1));
        };
        uint32_t id;
        if (decimal_id(name, &id) ||
            (resolver.id_of && local() && resolver.id_of(group, name, &id)))
            e->id = id;
    }
    return 0;
}

// Appends the nfsace4 list of `acl` to *out.
int encode_list(const sys_acl &acl, const nfs4_who_resolver &resolver, std::vector<uint8_t> *out) {
    put(out, static_cast<uint32_t>(acl.size()));
    for (const sys_acl_entry &e : acl) {
        nfs4_wire_ace ace;
        if (nfs4_wire_encode(e, &ace) != 0) return -1;
        std::string named;
        std::string_view who;
        switch (e.tag) {
            case SYS_ACL_TAG_USER_OBJ:
                who = WHO_OWNER;
                break;
            case SYS_ACL_TAG_GROUP_OBJ:
                who = WHO_GROUP;
                break;
            case SYS_ACL_TAG_EVERYONE:
                who = WHO_EVERYONE;
                break;
            case SYS_ACL_TAG_USER:
            case SYS_ACL_TAG_GROUP:
                if (e.id == SYS_ACL_UNDEFINED_ID || !resolver.who_of) return invalid();
                named = resolver.who_of(e.tag == SYS_ACL_TAG_GROUP, e.id);
                if (named.empty()) return invalid();
                who = named;
                break;
            default:
                return invalid();
        }
        put(out, ace.type);
        put(out, ace.flag);
        put(out, ace.mask);
        put_string(out, who);
    }
    return 0;
}

// Walks the nfsace4 list that fills the `size` bytes at `data`, handing
// each entry's wire values and who text to `each` (which returns 0 or -1).
// -1 with EINVAL when the list does not fill the bytes exactly.
template <typename Each>
int walk_list(const uint8_t *data, size_t size, Each &&each) {
    if (size < 4 || data == nullptr) return invalid();
    size_t count = get(data);
    size_t pos = 4;
    // Every entry takes at least MIN_ACE_BYTES: a larger count cannot be
    // true, and must not size an allocation.
    if (count > (size - pos) / MIN_ACE_BYTES) return invalid();
    for (; count > 0; --count) {
        if (size - pos < MIN_ACE_BYTES) return invalid();
        nfs4_wire_ace ace;
        ace.type = get(data + pos);
        ace.flag = get(data + pos + 4);
        ace.mask = get(data + pos + 8);
        size_t length = get(data + pos + 12);
        pos += MIN_ACE_BYTES;
        size_t padded = length + (4 - length % 4) % 4;
        if (length > size - pos || padded > size - pos) return invalid();
        std::string_view who(reinterpret_cast<const char *>(data + pos), length);
        pos += padded;
        if (each(ace, who) != 0) return -1;
    }
    return pos == size ? 0 : invalid();
}

// Decodes the nfsace4 list that fills the `size` bytes at `data` into *acl
// (entries only).
int decode_list(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver, sys_acl *acl) {
    if (size >= 4 && data != nullptr) {
        size_t count = get(data);
        if (count <= (size - 4) / MIN_ACE_BYTES) acl->reserve(count);
    }
    return walk_list(data, size, [&](const nfs4_wire_ace &ace, std::string_view who) {
        sys_acl_entry e;
        bool group;
        if (nfs4_wire_decode(ace, &e, &group) != 0) return -1;
        if (decode_who(who, group, resolver, &e) != 0) return -1;
        acl->push_back(e);
        return 0;
    });
}

}  // namespace

int nfs4_string_encode(const sys_acl &acl, const nfs4_who_resolver &resolver,
                       std::vector<uint8_t> *blob) {
    return or_enomem<int>(-1, [&]() -> int {
        std::vector<uint8_t> out;
        if (encode_list(acl, resolver, &out) != 0) return -1;
        *blob = std::move(out);
        return 0;
    });
}

int nfs4_string_decode(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver,
                       sys_acl *acl) {
    return or_enomem<int>(-1, [&]() -> int {
        sys_acl out;
        if (decode_list(data, size, resolver, &out) != 0) return -1;
        *acl = std::move(out);
        return 0;
    });
}

int nfs4_dacl_encode(const sys_acl &acl, const nfs4_who_resolver &resolver,
                     std::vector<uint8_t> *blob) {
    return or_enomem<int>(-1, [&]() -> int {
        std::vector<uint8_t> out;
        put(&out, acl.acl_flags);
        if (encode_list(acl, resolver, &out) != 0) return -1;
        *blob = std::move(out);
        return 0;
    });
}

int nfs4_dacl_decode(const uint8_t *data, size_t size, const nfs4_who_resolver &resolver,
                     sys_acl *acl) {
    if (size < 4 || data == nullptr) return invalid();
    return or_enomem<int>(-1, [&]() -> int {
        sys_acl out;
        if (decode_list(data + 4, size - 4, resolver, &out) != 0) return -1;
        out.acl_flags = get(data);
        *acl = std::move(out);
        return 0;
    });
}

int nfs4_dacl_acl_flags(const uint8_t *data, size_t size, uint32_t *flags) {
    if (size < 4 || data == nullptr) return invalid();
    if (walk_list(data + 4, size - 4, [](const nfs4_wire_ace &, std::string_view) { return 0; }) !=
        0)
        return -1;
    *flags = get(data);
    return 0;
}
