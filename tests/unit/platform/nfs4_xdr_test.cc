#include "platform/nfs4_xdr.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

#include "unit/platform/acl_bytes.h"

namespace {

constexpr uint32_t NO_ID = SYS_ACL_UNDEFINED_ID;
constexpr uint16_t ALLOW = SYS_ACL_ENTRY_TYPE_ALLOW, DENY = SYS_ACL_ENTRY_TYPE_DENY,
                   AUDIT = SYS_ACL_ENTRY_TYPE_AUDIT, ALARM = SYS_ACL_ENTRY_TYPE_ALARM;

// Decodes from a heap copy of exactly `size` bytes, so that AddressSanitizer
// catches any read beyond the blob.
int decode_exact(const bytes &blob, size_t size, sys_acl *acl) {
    auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
    std::copy(blob.begin(), blob.begin() + static_cast<long>(size), copy.get());
    return nfs4_xdr_decode(copy.get(), size, acl);
}

struct xdr_case {
    const char *what;
    sys_acl acl;
    bytes blob;
};

// Each ACL with its stored bytes: acl_flags, ace_count, then per entry
// type, flag, iflag, access_mask, who.
std::vector<xdr_case> cases() {
    return {
        {"empty", {}, words({0, 0})},
        {"special principals, the four types",
         {entry(SYS_ACL_TAG_USER_OBJ, NO_ID, 0x0019, ALLOW),
          entry(SYS_ACL_TAG_GROUP_OBJ, NO_ID, SYS_ACL_READ_ACL, DENY),
          entry(SYS_ACL_TAG_EVERYONE, NO_ID, SYS_ACL_SYNCHRONIZE, AUDIT, SYS_ACL_SUCCESSFUL_ACCESS),
          entry(SYS_ACL_TAG_EVERYONE, NO_ID, SYS_ACL_DELETE, ALARM, SYS_ACL_FAILED_ACCESS)},
         words({0, 4,                          //
                0, 0x00, 1, 0x00000023, 1,     // owner@ rwx allow
                1, 0x00, 1, 0x00020000, 2,     // group@ read_acl deny
                2, 0x10, 1, 0x00100000, 3,     // everyone@ audit success
                3, 0x20, 1, 0x00010000, 3})},  // everyone@ alarm failure
        {"named user and named group with the group marker",
         {entry(SYS_ACL_TAG_USER, 1000, SYS_ACL_READ_DATA, ALLOW),
          entry(SYS_ACL_TAG_GROUP, 1001, SYS_ACL_WRITE_DATA, DENY,
                SYS_ACL_FILE_INHERIT | SYS_ACL_INHERITED),
          entry(SYS_ACL_TAG_USER, 4294967294u, 0, ALLOW)},
         words({0, 3,                          //
                0, 0x00, 0, 0x00000001, 1000,  //
                1, 0xC1, 0, 0x00000002, 1001,  //
                0, 0x00, 0, 0x00000000, 4294967294u})},
        {"every permission and every flag",
         {entry(SYS_ACL_TAG_USER_OBJ, NO_ID, 0xFFF9, ALLOW, 0x00BF),
          entry(SYS_ACL_TAG_GROUP, 20, 0xFFF9, ALLOW, 0x00BF)},
         words({0, 2,                       //
                0, 0xBF, 1, 0x001F01FF, 1,  //
                0, 0xFF, 0, 0x001F01FF, 20})},
    };
}

TEST(Nfs4Xdr, EncodesAndDecodesByteExact) {
    for (const xdr_case &c : cases()) {
        SCOPED_TRACE(c.what);
        bytes blob{0xEE};
        ASSERT_EQ(nfs4_xdr_encode(c.acl, &blob), 0);
        EXPECT_EQ(blob, c.blob);
        sys_acl back{entry(99, 9, 9, 9)};
        ASSERT_EQ(decode_exact(c.blob, c.blob.size(), &back), 0);
        EXPECT_EQ(back, c.acl);
    }
}

TEST(Nfs4Xdr, EachPermissionBitHasItsWireBit) {
    const std::pair<uint32_t, uint32_t> bits[] = {
        {0x0008, 0x00000001}, {0x0010, 0x00000002}, {0x0020, 0x00000004}, {0x0040, 0x00000008},
        {0x0080, 0x00000010}, {0x0001, 0x00000020}, {0x0100, 0x00000040}, {0x0200, 0x00000080},
        {0x0400, 0x00000100}, {0x0800, 0x00010000}, {0x1000, 0x00020000}, {0x2000, 0x00040000},
        {0x4000, 0x00080000}, {0x8000, 0x00100000}};
    for (auto [layer, wire] : bits) {
        SCOPED_TRACE(layer);
        sys_acl acl{entry(SYS_ACL_TAG_USER, 7, layer, ALLOW)};
        bytes blob;
        ASSERT_EQ(nfs4_xdr_encode(acl, &blob), 0);
        EXPECT_EQ(blob, words({0, 1, 0, 0, 0, wire, 7}));
        sys_acl back;
        ASSERT_EQ(nfs4_xdr_decode(blob.data(), blob.size(), &back), 0);
        EXPECT_EQ(back, acl);
    }
}

TEST(Nfs4Xdr, DecodingToleratesWhatWritersMayAdd) {
    // A group marker on group@ is dropped.
    bytes blob = words({0, 1, 0, 0x41, 1, 0x1, 2});
    sys_acl acl;
    ASSERT_EQ(nfs4_xdr_decode(blob.data(), blob.size(), &acl), 0);
    EXPECT_EQ(acl, sys_acl{entry(SYS_ACL_TAG_GROUP_OBJ, NO_ID, SYS_ACL_READ_DATA, ALLOW,
                                 SYS_ACL_FILE_INHERIT)});
}

TEST(Nfs4Xdr, TheAclWideWordGoesBothWaysAsItIs) {
    for (uint32_t word : {0x0u, 0x2u, 0x7u, 0x12345678u}) {
        SCOPED_TRACE(word);
        sys_acl acl{entry(SYS_ACL_TAG_USER, 1000, SYS_ACL_READ_DATA, ALLOW)};
        acl.acl_flags = word;
        bytes blob;
        ASSERT_EQ(nfs4_xdr_encode(acl, &blob), 0);
        EXPECT_EQ(blob, words({word, 1, 0, 0, 0, 1, 1000}));
        sys_acl back;
        back.acl_flags = 0xEE;
        back.origin.known = true;
        ASSERT_EQ(decode_exact(blob, blob.size(), &back), 0);
        EXPECT_EQ(back.acl_flags, word);
        EXPECT_FALSE(back.origin.known) << "the caller says where it came from";
        uint32_t only = 0xEE;
        ASSERT_EQ(nfs4_xdr_acl_flags(blob.data(), blob.size(), &only), 0);
        EXPECT_EQ(only, word);
    }
}

TEST(Nfs4Xdr, TheWordAloneNeedsOnlyAConsistentLength) {
    // Entries this program cannot read still have their word.
    bytes unreadable = words({0x2, 1, 9, 0xFFFF, 7, 0xFFFFFFFF, 0});
    uint32_t word = 0;
    ASSERT_EQ(nfs4_xdr_acl_flags(unreadable.data(), unreadable.size(), &word), 0);
    EXPECT_EQ(word, 0x2u);
    sys_acl acl;
    EXPECT_EQ(nfs4_xdr_decode(unreadable.data(), unreadable.size(), &acl), -1);
    for (const bytes &bad : {words({0x2}), words({0x2, 1}), words({0x2, 0, 0})}) {
        errno = 0;
        word = 0xEE;
        EXPECT_EQ(nfs4_xdr_acl_flags(bad.data(), bad.size(), &word), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(word, 0xEEu);
    }
}

TEST(Nfs4Xdr, RefusesEveryTruncationWithoutReadingBeyond) {
    const bytes blob = cases()[1].blob;
    for (size_t size = 0; size < blob.size(); ++size) {
        SCOPED_TRACE(size);
        sys_acl acl;
        errno = 0;
        EXPECT_EQ(decode_exact(blob, size, &acl), -1);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(Nfs4Xdr, RefusesOversizedAndInconsistentBlobs) {
    const bytes ace = words({0, 0, 1, 1, 1});  // owner@ allow read_data
    const struct {
        const char *what;
        bytes blob;
    } bad[] = {
        {"trailing bytes", words({0, 1}) + ace + words({0})},
        {"count 0 with an entry", words({0, 0}) + ace},
        {"count beyond the blob", words({0, 0xFFFFFFFF}) + ace},
        {"count that overflows a size", words({0, 0x0CCCCCCD}) + ace},
        {"odd length", words({0, 1}) + ace + bytes{0}},
        {"type 4", words({0, 1, 4, 0, 1, 1, 1})},
        {"special who 0", words({0, 1, 0, 0, 1, 1, 0})},
        {"special who 4", words({0, 1, 0, 0, 1, 1, 4})},
        {"unknown iflag", words({0, 1, 0, 0, 2, 1, 1000})},
        {"unknown flag bit", words({0, 1, 0, 0x100, 1, 1, 1})},
        {"wire bit without a permission", words({0, 1, 0, 0, 1, 0x200, 1})},
        {"high wire bit", words({0, 1, 0, 0, 1, 0x80000000, 1})},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        sys_acl acl;
        errno = 0;
        EXPECT_EQ(decode_exact(b.blob, b.blob.size(), &acl), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    errno = 0;
    sys_acl acl;
    EXPECT_EQ(nfs4_xdr_decode(nullptr, 8, &acl), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(Nfs4Xdr, RefusesEntriesTheLayoutCannotHold) {
    const struct {
        const char *what;
        sys_acl_entry e;
    } bad[] = {
        {"tag 0", entry(SYS_ACL_TAG_UNDEFINED, 0, 1, ALLOW)},
        {"mask", entry(SYS_ACL_TAG_MASK, NO_ID, 1, ALLOW)},
        {"other", entry(SYS_ACL_TAG_OTHER, NO_ID, 1, ALLOW)},
        {"tag 3", entry(3, 0, 1, ALLOW)},
        {"user -1", entry(SYS_ACL_TAG_USER, NO_ID, 1, ALLOW)},
        {"group -1", entry(SYS_ACL_TAG_GROUP, NO_ID, 1, ALLOW)},
        {"type 0", entry(SYS_ACL_TAG_USER_OBJ, 0, 1, 0)},
        {"type 0x300", entry(SYS_ACL_TAG_USER_OBJ, 0, 1, 0x300)},
        {"type 0x1000", entry(SYS_ACL_TAG_USER_OBJ, 0, 1, 0x1000)},
        {"permission bit 0x2", entry(SYS_ACL_TAG_USER_OBJ, 0, 0x2, ALLOW)},
        {"permission bit 0x10000", entry(SYS_ACL_TAG_USER_OBJ, 0, 0x10000, ALLOW)},
        {"flag 0x40 (the group marker)", entry(SYS_ACL_TAG_USER, 5, 1, ALLOW, 0x40)},
        {"flag 0x100", entry(SYS_ACL_TAG_USER_OBJ, 0, 1, ALLOW, 0x100)},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        bytes blob{1, 2, 3};
        errno = 0;
        EXPECT_EQ(nfs4_xdr_encode({entry(SYS_ACL_TAG_EVERYONE, 0, 1, ALLOW), b.e}, &blob), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(blob, (bytes{1, 2, 3}));  // untouched on failure
    }
}

}  // namespace
