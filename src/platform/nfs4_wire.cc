#include "platform/nfs4_wire.h"

#include <cerrno>

namespace {

struct perm_bit {
    uint32_t layer;
    uint32_t wire;
};

constexpr perm_bit PERM_BITS[] = {
    {SYS_ACL_READ_DATA, 0x00000001},         {SYS_ACL_WRITE_DATA, 0x00000002},
    {SYS_ACL_APPEND_DATA, 0x00000004},       {SYS_ACL_READ_NAMED_ATTRS, 0x00000008},
    {SYS_ACL_WRITE_NAMED_ATTRS, 0x00000010}, {SYS_ACL_EXECUTE, 0x00000020},
    {SYS_ACL_DELETE_CHILD, 0x00000040},      {SYS_ACL_READ_ATTRIBUTES, 0x00000080},
    {SYS_ACL_WRITE_ATTRIBUTES, 0x00000100},  {SYS_ACL_DELETE, 0x00010000},
    {SYS_ACL_READ_ACL, 0x00020000},          {SYS_ACL_WRITE_ACL, 0x00040000},
    {SYS_ACL_WRITE_OWNER, 0x00080000},       {SYS_ACL_SYNCHRONIZE, 0x00100000},
};

// The flag bits are the same on both sides.
constexpr uint32_t KNOWN_FLAGS =
    SYS_ACL_FILE_INHERIT | SYS_ACL_DIRECTORY_INHERIT | SYS_ACL_NO_PROPAGATE_INHERIT |
    SYS_ACL_INHERIT_ONLY | SYS_ACL_SUCCESSFUL_ACCESS | SYS_ACL_FAILED_ACCESS | SYS_ACL_INHERITED;

int invalid() {
    errno = EINVAL;
    return -1;
}

}  // namespace

int nfs4_wire_encode(const sys_acl_entry &e, nfs4_wire_ace *ace) {
    uint32_t type;
    switch (e.entry_type) {
        case SYS_ACL_ENTRY_TYPE_ALLOW:
            type = NFS4_ACE_ALLOWED;
            break;
        case SYS_ACL_ENTRY_TYPE_DENY:
            type = NFS4_ACE_DENIED;
            break;
        case SYS_ACL_ENTRY_TYPE_AUDIT:
            type = NFS4_ACE_AUDIT;
            break;
        case SYS_ACL_ENTRY_TYPE_ALARM:
            type = NFS4_ACE_ALARM;
            break;
        default:
            return invalid();
    }
    // Anything else in the flag word would be stored as a meaning nobody
    // gave it (0x40 would even turn the principal into a group).
    if (e.flags & ~KNOWN_FLAGS) return invalid();
    uint32_t mask = 0, rest = e.perm;
    for (const perm_bit &b : PERM_BITS) {
        if (rest & b.layer) mask |= b.wire;
        rest &= ~b.layer;
    }
    if (rest) return invalid();
    ace->type = type;
    ace->flag = e.flags | (e.tag == SYS_ACL_TAG_GROUP ? NFS4_ACE_IDENTIFIER_GROUP : 0);
    ace->mask = mask;
    return 0;
}

int nfs4_wire_decode(const nfs4_wire_ace &ace, sys_acl_entry *e, bool *group) {
    if (ace.type > NFS4_ACE_ALARM) return invalid();
    if (ace.flag & ~(KNOWN_FLAGS | NFS4_ACE_IDENTIFIER_GROUP)) return invalid();
    // Bits the ACL layer has no permission for are refused rather than
    // dropped, so that a later write cannot lose them unnoticed.
    uint32_t perm = 0, rest = ace.mask;
    for (const perm_bit &b : PERM_BITS) {
        if (rest & b.wire) perm |= b.layer;
        rest &= ~b.wire;
    }
    if (rest) return invalid();
    e->entry_type = static_cast<uint16_t>(SYS_ACL_ENTRY_TYPE_ALLOW << ace.type);
    e->flags = static_cast<uint16_t>(ace.flag & KNOWN_FLAGS);
    e->perm = perm;
    *group = (ace.flag & NFS4_ACE_IDENTIFIER_GROUP) != 0;
    return 0;
}
