#include "platform/nfs4_xdr.h"

#include <cerrno>
#include <new>
#include <utility>

#include "platform/nfs4_wire.h"
#include "util/nomem.h"

namespace {

constexpr size_t HEADER_BYTES = 8;  // acl_flags, ace_count
constexpr size_t ACE_BYTES = 20;    // type, flag, iflag, access_mask, who

constexpr uint32_t IFLAG_SPECIAL_WHO = 0x1;
constexpr uint32_t WHO_OWNER = 1;
constexpr uint32_t WHO_GROUP = 2;
constexpr uint32_t WHO_EVERYONE = 3;

void put(std::vector<uint8_t> *blob, uint32_t v) {
    blob->push_back(static_cast<uint8_t>(v >> 24));
    blob->push_back(static_cast<uint8_t>(v >> 16));
    blob->push_back(static_cast<uint8_t>(v >> 8));
    blob->push_back(static_cast<uint8_t>(v));
}

uint32_t get(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

int invalid() {
    errno = EINVAL;
    return -1;
}

}  // namespace

int nfs4_xdr_encode(const sys_acl &acl, std::vector<uint8_t> *blob) {
    return or_enomem<int>(-1, [&]() -> int {
        std::vector<uint8_t> out;
        out.reserve(HEADER_BYTES + acl.size() * ACE_BYTES);
        put(&out, acl.acl_flags);
        put(&out, static_cast<uint32_t>(acl.size()));
        for (const sys_acl_entry &e : acl) {
            nfs4_wire_ace ace;
            if (nfs4_wire_encode(e, &ace) != 0) return -1;
            uint32_t iflag = IFLAG_SPECIAL_WHO, who;
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
                    if (e.id == SYS_ACL_UNDEFINED_ID) return invalid();
                    iflag = 0;
                    who = e.id;
                    break;
                default:
                    return invalid();
            }
            put(&out, ace.type);
            put(&out, ace.flag);
            put(&out, iflag);
            put(&out, ace.mask);
            put(&out, who);
        }
        *blob = std::move(out);
        return 0;
    });
}

int nfs4_xdr_acl_flags(const uint8_t *data, size_t size, uint32_t *flags) {
    if (size < HEADER_BYTES || (data == nullptr)) return invalid();
    // The count must account for every byte: a shorter blob is truncated, a
    // longer one is not what it claims to be.
    size_t count = get(data + 4);
    if (count > (size - HEADER_BYTES) / ACE_BYTES || HEADER_BYTES + count * ACE_BYTES != size)
        return invalid();
    *flags = get(data);
    return 0;
}

int nfs4_xdr_decode(const uint8_t *data, size_t size, sys_acl *acl) {
    uint32_t flags;
    if (nfs4_xdr_acl_flags(data, size, &flags) != 0) return -1;
    size_t count = get(data + 4);
    return or_enomem<int>(-1, [&]() -> int {
        sys_acl out;
        out.reserve(count);
        out.acl_flags = flags;
        for (const uint8_t *p = data + HEADER_BYTES; count > 0; --count, p += ACE_BYTES) {
            nfs4_wire_ace ace;
            ace.type = get(p);
            ace.flag = get(p + 4);
            uint32_t iflag = get(p + 8);
            ace.mask = get(p + 12);
            uint32_t who = get(p + 16);
            sys_acl_entry e;
            bool group;
            if (nfs4_wire_decode(ace, &e, &group) != 0) return -1;
            if (iflag == IFLAG_SPECIAL_WHO) {
                // A group marker on a special principal is harmless; it has
                // been dropped from the flags already.
                switch (who) {
                    case WHO_OWNER:
                        e.tag = SYS_ACL_TAG_USER_OBJ;
                        break;
                    case WHO_GROUP:
                        e.tag = SYS_ACL_TAG_GROUP_OBJ;
                        break;
                    case WHO_EVERYONE:
                        e.tag = SYS_ACL_TAG_EVERYONE;
                        break;
                    default:
                        return invalid();
                }
            } else if (iflag == 0) {
                e.tag = group ? SYS_ACL_TAG_GROUP : SYS_ACL_TAG_USER;
                e.id = who;
            } else {
                return invalid();
            }
            out.push_back(e);
        }
        *acl = std::move(out);
        return 0;
    });
}
