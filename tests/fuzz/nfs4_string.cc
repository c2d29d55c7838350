// Fuzz target: the string layouts of the NFS client, system.nfs4_acl and
// system.nfs4_dacl (the same list after an ACL-wide flags word); each input
// goes to both decoders. A blob a decoder accepts must encode, with decimal
// ids and with name@domain, and both encodings must decode to the same ACL
// (and flags word). The one documented exception: a name that is not known
// locally reads as id -1, and such an entry is refused on write.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/nfs4_string.h"

namespace {

struct principal {
    bool group;
    std::string_view name;
    uint32_t id;
};

// A small fixed directory, so that the target does not depend on the
// machine's databases.
constexpr principal DIRECTORY[] = {
    {false, "root", 0}, {false, "alice", 1000}, {false, "bob", 1001},
    {true, "root", 0},  {true, "staff", 20},    {true, "devs", 1001},
};

bool id_of(bool group, std::string_view name, uint32_t *id) {
    for (const principal &p : DIRECTORY) {
        if (p.group == group && p.name == name) {
            *id = p.id;
            return true;
        }
    }
    return false;
}

std::string decimal(bool, uint32_t id) {
    return std::to_string(id);
}

std::string named(bool group, uint32_t id) {
    for (const principal &p : DIRECTORY)
        if (p.group == group && p.id == id) return std::string(p.name) + "@example.test";
    return std::to_string(id);
}

const nfs4_who_resolver DECIMAL{decimal, id_of};
const nfs4_who_resolver NAMED{named, id_of};

using decoder = int (*)(const uint8_t *, size_t, const nfs4_who_resolver &, sys_acl *);
using encoder = int (*)(const sys_acl &, const nfs4_who_resolver &, std::vector<uint8_t> *);

void check_layout(const uint8_t *data, size_t size, decoder decode, encoder encode) {
    sys_acl first;
    if (decode(data, size, NAMED, &first) != 0) return;
    bool unknown = std::any_of(first.begin(), first.end(), [](const sys_acl_entry &e) {
        return (e.tag == SYS_ACL_TAG_USER || e.tag == SYS_ACL_TAG_GROUP) &&
               e.id == SYS_ACL_UNDEFINED_ID;
    });

    for (const nfs4_who_resolver *resolver : {&DECIMAL, &NAMED}) {
        std::vector<uint8_t> blob;
        int encoded = encode(first, *resolver, &blob);
        if (unknown) {
            FUZZ_CHECK(encoded != 0);
            continue;
        }
        FUZZ_CHECK(encoded == 0);
        sys_acl again;
        FUZZ_CHECK(decode(blob.data(), blob.size(), *resolver, &again) == 0);
        FUZZ_CHECK(again == first);
        FUZZ_CHECK(again.acl_flags == first.acl_flags);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    check_layout(data, size, nfs4_string_decode, nfs4_string_encode);
    check_layout(data, size, nfs4_dacl_decode, nfs4_dacl_encode);

    // The flags word alone reads as the decoder reads it.
    sys_acl acl;
    if (nfs4_dacl_decode(data, size, NAMED, &acl) == 0) {
        uint32_t flags = 0;
        FUZZ_CHECK(nfs4_dacl_acl_flags(data, size, &flags) == 0);
        FUZZ_CHECK(flags == acl.acl_flags);
    }
    return 0;
}
