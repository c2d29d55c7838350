// Fuzz target: the XDR layout that ZFS and Samba store. A blob the decoder
// accepts must encode, the encoding must decode to the same ACL with the
// same ACL-wide flags word, and encoding that again must give the same
// bytes: whatever vossik can read from this store it can write back
// unchanged. Reading the flags word alone agrees with the decoder. The one exception is the id
// 4294967295 (-1, "no such user or group"), which the layout cannot take
// back; the ACL layer refuses such an ACL when it reads it.
#include <algorithm>
#include <vector>

#include "fuzz_check.h"
#include "platform/nfs4_xdr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    sys_acl first;
    if (nfs4_xdr_decode(data, size, &first) != 0) return 0;
    uint32_t flags = 0;
    FUZZ_CHECK(nfs4_xdr_acl_flags(data, size, &flags) == 0);
    FUZZ_CHECK(flags == first.acl_flags);
    bool undefined = std::any_of(first.begin(), first.end(), [](const sys_acl_entry &e) {
        return (e.tag == SYS_ACL_TAG_USER || e.tag == SYS_ACL_TAG_GROUP) &&
               e.id == SYS_ACL_UNDEFINED_ID;
    });

    std::vector<uint8_t> blob;
    int encoded = nfs4_xdr_encode(first, &blob);
    if (undefined) {
        FUZZ_CHECK(encoded != 0);
        return 0;
    }
    FUZZ_CHECK(encoded == 0);
    sys_acl again;
    FUZZ_CHECK(nfs4_xdr_decode(blob.data(), blob.size(), &again) == 0);
    FUZZ_CHECK(again == first);
    FUZZ_CHECK(again.acl_flags == first.acl_flags);

    std::vector<uint8_t> blob_again;
    FUZZ_CHECK(nfs4_xdr_encode(again, &blob_again) == 0);
    FUZZ_CHECK(blob_again == blob);
    return 0;
}
