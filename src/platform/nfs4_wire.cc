#include "platform/nfs4_wire.h"

#include <array>
#include <cerrno>
#include <cstddef>

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

// The permission words translated a byte (or a few bits) at a time by table:
// a loop over the fourteen bits ran for every entry of every ACL read.
constexpr uint32_t WIRE_BITS = [] {
    uint32_t all = 0;
    for (const perm_bit &b : PERM_BITS)
        all |= b.wire;
    return all;
}();
constexpr uint32_t LAYER_BITS = [] {
    uint32_t all = 0;
    for (const perm_bit &b : PERM_BITS)
        all |= b.layer;
    return all;
}();
// The wire bits lie in bits 0-8 and 16-20, the layer's in bits 0-15.
static_assert((WIRE_BITS & ~0x1F01FFu) == 0 && (LAYER_BITS & ~0xFFFFu) == 0);

// For every value of the bits of one side from bit `shift` up (as many as
// the table has entries), the bits they stand for on the other side.
template <size_t N>
constexpr std::array<uint32_t, N> translation(bool to_layer, unsigned shift) {
    std::array<uint32_t, N> out{};
    for (size_t v = 0; v < N; ++v)
        for (const perm_bit &b : PERM_BITS) {
            const uint32_t from = to_layer ? b.wire : b.layer;
            if ((static_cast<uint64_t>(v) << shift) & from) out[v] |= to_layer ? b.layer : b.wire;
        }
    return out;
}
constexpr auto WIRE_LOW = translation<512>(true, 0);    // wire bits 0-8
constexpr auto WIRE_HIGH = translation<32>(true, 16);   // wire bits 16-20
constexpr auto LAYER_LOW = translation<256>(false, 0);  // layer bits 0-7
constexpr auto LAYER_HIGH = translation<256>(false, 8);

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
    if (e.perm & ~LAYER_BITS) return invalid();
    const uint32_t mask = LAYER_LOW[e.perm & 0xFFu] | LAYER_HIGH[(e.perm >> 8) & 0xFFu];
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
    if (ace.mask & ~WIRE_BITS) return invalid();
    const uint32_t perm = WIRE_LOW[ace.mask & 0x1FFu] | WIRE_HIGH[(ace.mask >> 16) & 0x1Fu];
    e->entry_type = static_cast<uint16_t>(SYS_ACL_ENTRY_TYPE_ALLOW << ace.type);
    e->flags = static_cast<uint16_t>(ace.flag & KNOWN_FLAGS);
    e->perm = perm;
    *group = (ace.flag & NFS4_ACE_IDENTIFIER_GROUP) != 0;
    return 0;
}
