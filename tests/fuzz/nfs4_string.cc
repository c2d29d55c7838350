// Fuzz target: the string layout of the NFS client (system.nfs4_acl). A
// blob the decoder accepts must encode, with decimal ids and with
// name@domain, and both encodings must decode to the same ACL. The one
// documented exception: a name that is not known locally reads as id -1,
// and such an entry is refused on write.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    sys_acl first;
    if (nfs4_string_decode(data, size, NAMED, &first) != 0) return 0;
    bool unknown = std::any_of(first.begin(), first.end(), [](const sys_acl_entry &e) {
        return (e.tag == SYS_ACL_TAG_USER || e.tag == SYS_ACL_TAG_GROUP) &&
               e.id == SYS_ACL_UNDEFINED_ID;
    });

    for (const nfs4_who_resolver *resolver : {&DECIMAL, &NAMED}) {
        std::vector<uint8_t> blob;
        int encoded = nfs4_string_encode(first, *resolver, &blob);
        if (unknown) {
            FUZZ_CHECK(encoded != 0);
            continue;
        }
        FUZZ_CHECK(encoded == 0);
        sys_acl again;
        FUZZ_CHECK(nfs4_string_decode(blob.data(), blob.size(), *resolver, &again) == 0);
        FUZZ_CHECK(again == first);
    }
    return 0;
}
