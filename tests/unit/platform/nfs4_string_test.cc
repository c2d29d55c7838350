#include "platform/nfs4_string.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "unit/platform/acl_bytes.h"

namespace {

// An XDR string: length, bytes, zero padding to a multiple of four.
bytes text(const std::string &s) {
    bytes b = words({static_cast<uint32_t>(s.size())});
    b.insert(b.end(), s.begin(), s.end());
    b.insert(b.end(), (4 - s.size() % 4) % 4, 0);
    return b;
}

constexpr uint32_t NO_ID = SYS_ACL_UNDEFINED_ID;
constexpr uint16_t ALLOW = SYS_ACL_ENTRY_TYPE_ALLOW, DENY = SYS_ACL_ENTRY_TYPE_DENY,
                   AUDIT = SYS_ACL_ENTRY_TYPE_AUDIT, ALARM = SYS_ACL_ENTRY_TYPE_ALARM;

// A small fixed directory: user alice 1000, group devs 1001.
const nfs4_who_resolver resolver{[](bool group, uint32_t id) -> std::string {
                                     if (!group && id == 1000) return "alice@example.org";
                                     if (group && id == 1001) return "devs@example.org";
                                     return std::to_string(id);
                                 },
                                 [](bool group, std::string_view name, uint32_t *id) {
                                     if (!group && name == "alice") return *id = 1000, true;
                                     if (group && name == "devs") return *id = 1001, true;
                                     return false;
                                 }};

int decode_exact(const bytes &blob, size_t size, sys_acl *acl) {
    auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
    std::copy(blob.begin(), blob.begin() + static_cast<long>(size), copy.get());
    return nfs4_string_decode(copy.get(), size, resolver, acl);
}

struct string_case {
    const char *what;
    sys_acl acl;
    bytes blob;
};

// ace_count, then per entry type, flag, access_mask and who.
std::vector<string_case> cases() {
    return {
        {"empty", {}, words({0})},
        {"special principals, the four types",
         {entry(SYS_ACL_TAG_USER_OBJ, NO_ID, 0xFFF9, ALLOW, 0xBF),
          entry(SYS_ACL_TAG_GROUP_OBJ, NO_ID, SYS_ACL_READ_DATA, DENY),
          entry(SYS_ACL_TAG_EVERYONE, NO_ID, SYS_ACL_EXECUTE, AUDIT, SYS_ACL_SUCCESSFUL_ACCESS),
          entry(SYS_ACL_TAG_EVERYONE, NO_ID, SYS_ACL_WRITE_OWNER, ALARM, SYS_ACL_FAILED_ACCESS)},
         words({4, 0, 0xBF, 0x001F01FF}) + text("OWNER@") + words({1, 0, 0x1}) + text("GROUP@") +
             words({2, 0x10, 0x20}) + text("EVERYONE@") + words({3, 0x20, 0x00080000}) +
             text("EVERYONE@")},
        {"named user and named group",
         {entry(SYS_ACL_TAG_USER, 1000, SYS_ACL_READ_DATA, ALLOW),
          entry(SYS_ACL_TAG_GROUP, 1001, SYS_ACL_WRITE_DATA, DENY, SYS_ACL_DIRECTORY_INHERIT),
          entry(SYS_ACL_TAG_USER, 4242, SYS_ACL_DELETE_CHILD, ALLOW)},
         words({3, 0, 0, 1}) + text("alice@example.org") + words({1, 0x42, 2}) +
             text("devs@example.org") + words({0, 0, 0x40}) + text("4242")},
    };
}

TEST(Nfs4String, EncodesAndDecodesByteExact) {
    for (const string_case &c : cases()) {
        SCOPED_TRACE(c.what);
        bytes blob{0xEE};
        ASSERT_EQ(nfs4_string_encode(c.acl, resolver, &blob), 0);
        EXPECT_EQ(blob, c.blob);
        sys_acl back{entry(99, 9, 9, 9)};
        ASSERT_EQ(decode_exact(c.blob, c.blob.size(), &back), 0);
        EXPECT_EQ(back, c.acl);
    }
}

TEST(Nfs4String, DecodesTheFormsServersSend) {
    const struct {
        const char *who;
        uint32_t flag;
        uint32_t tag, id;
    } forms[] = {
        {"alice", 0, SYS_ACL_TAG_USER, 1000},
        {"devs@other.domain", 0x40, SYS_ACL_TAG_GROUP, 1001},
        {"1500", 0, SYS_ACL_TAG_USER, 1500},
        {"1600@example.org", 0x40, SYS_ACL_TAG_GROUP, 1600},
        {"ghost@example.org", 0, SYS_ACL_TAG_USER, NO_ID},      // unknown: id -1
        {"alice@example.org", 0x40, SYS_ACL_TAG_GROUP, NO_ID},  // no such group
        {"4294967295", 0, SYS_ACL_TAG_USER, NO_ID},
        {"GROUP@", 0x40, SYS_ACL_TAG_GROUP_OBJ, NO_ID},  // marker on group@ dropped
    };
    for (const auto &f : forms) {
        SCOPED_TRACE(f.who);
        bytes blob = words({1, 0, f.flag, 1}) + text(f.who);
        sys_acl acl;
        ASSERT_EQ(decode_exact(blob, blob.size(), &acl), 0);
        EXPECT_EQ(acl, sys_acl{entry(f.tag, f.id, SYS_ACL_READ_DATA, ALLOW)});
    }
}

TEST(Nfs4String, RefusesEveryTruncationWithoutReadingBeyond) {
    const bytes blob = cases()[2].blob;
    for (size_t size = 0; size < blob.size(); ++size) {
        SCOPED_TRACE(size);
        sys_acl acl;
        errno = 0;
        EXPECT_EQ(decode_exact(blob, size, &acl), -1);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(Nfs4String, RefusesOversizedAndInconsistentBlobs) {
    const bytes owner = words({0, 0, 1}) + text("OWNER@");
    const struct {
        const char *what;
        bytes blob;
    } bad[] = {
        {"trailing bytes", words({1}) + owner + words({0})},
        {"count 0 with an entry", words({0}) + owner},
        {"count beyond the blob", words({0xFFFFFFFF}) + owner},
        {"who longer than the blob", words({1, 0, 0, 1, 0xFFFFFFFF, 0})},
        {"who without its padding", words({1, 0, 0, 1, 6}) + bytes{'O', 'W', 'N', 'E', 'R', '@'}},
        {"empty who", words({1, 0, 0, 1}) + text("")},
        {"who with a NUL", words({1, 0, 0, 1}) + text(std::string("al\0ce", 5))},
        {"domain without a name", words({1, 0, 0, 1}) + text("@example.org")},
        {"other special principal", words({1, 0, 0, 1}) + text("INTERACTIVE@")},
        {"type 4", words({1, 4, 0, 1}) + text("OWNER@")},
        {"unknown flag bit", words({1, 0, 0x100, 1}) + text("OWNER@")},
        {"wire bit without a permission", words({1, 0, 0, 0x400}) + text("OWNER@")},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        sys_acl acl;
        errno = 0;
        EXPECT_EQ(decode_exact(b.blob, b.blob.size(), &acl), -1);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(Nfs4String, RefusesEntriesTheLayoutCannotHold) {
    const nfs4_who_resolver nameless{[](bool, uint32_t) { return std::string(); }, nullptr};
    const struct {
        const char *what;
        sys_acl_entry e;
        const nfs4_who_resolver &r;
    } bad[] = {
        {"user -1", entry(SYS_ACL_TAG_USER, NO_ID, 1, ALLOW), resolver},
        {"group -1", entry(SYS_ACL_TAG_GROUP, NO_ID, 1, ALLOW), resolver},
        {"user without a who text", entry(SYS_ACL_TAG_USER, 5, 1, ALLOW), nameless},
        {"mask", entry(SYS_ACL_TAG_MASK, NO_ID, 1, ALLOW), resolver},
        {"tag 0", entry(SYS_ACL_TAG_UNDEFINED, 0, 1, ALLOW), resolver},
        {"type 0x300", entry(SYS_ACL_TAG_USER_OBJ, 0, 1, 0x300), resolver},
        {"permission bit 0x4", entry(SYS_ACL_TAG_USER_OBJ, 0, 0x4, ALLOW), resolver},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        bytes blob{1};
        errno = 0;
        EXPECT_EQ(nfs4_string_encode({b.e}, b.r, &blob), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(blob, bytes{1});
    }
}

// system.nfs4_dacl: the same list after the ACL-wide flags word.
TEST(Nfs4Dacl, EncodesAndDecodesByteExactWithTheWordFirst) {
    for (const string_case &c : cases()) {
        SCOPED_TRACE(c.what);
        sys_acl acl = c.acl;
        acl.acl_flags = 0x3;
        bytes blob{0xEE};
        ASSERT_EQ(nfs4_dacl_encode(acl, resolver, &blob), 0);
        EXPECT_EQ(blob, words({0x3}) + c.blob);
        sys_acl back{entry(99, 9, 9, 9)};
        ASSERT_EQ(nfs4_dacl_decode(blob.data(), blob.size(), resolver, &back), 0);
        EXPECT_EQ(back, c.acl);
        EXPECT_EQ(back.acl_flags, 0x3u);
        // The plain layout has no word to carry.
        ASSERT_EQ(nfs4_string_encode(acl, resolver, &blob), 0);
        EXPECT_EQ(blob, c.blob);
    }
}

TEST(Nfs4Dacl, RefusesEveryTruncationAndReadsTheWordOfUnreadableEntries) {
    const bytes blob = words({0x2}) + cases()[2].blob;
    for (size_t size = 0; size < blob.size(); ++size) {
        SCOPED_TRACE(size);
        auto copy = std::make_unique<uint8_t[]>(size ? size : 1);
        std::copy(blob.begin(), blob.begin() + static_cast<long>(size), copy.get());
        sys_acl acl;
        uint32_t word = 0xEE;
        errno = 0;
        EXPECT_EQ(nfs4_dacl_decode(copy.get(), size, resolver, &acl), -1);
        EXPECT_EQ(errno, EINVAL);
        errno = 0;
        EXPECT_EQ(nfs4_dacl_acl_flags(copy.get(), size, &word), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(word, 0xEEu);
    }
    uint32_t word = 0;
    ASSERT_EQ(nfs4_dacl_acl_flags(blob.data(), blob.size(), &word), 0);
    EXPECT_EQ(word, 0x2u);
    // Entries this program cannot read still have their word.
    const bytes odd = words({0x1, 1, 9, 0xFFFF, 0xFFFFFFFF}) + text("INTERACTIVE@");
    sys_acl acl;
    EXPECT_EQ(nfs4_dacl_decode(odd.data(), odd.size(), resolver, &acl), -1);
    ASSERT_EQ(nfs4_dacl_acl_flags(odd.data(), odd.size(), &word), 0);
    EXPECT_EQ(word, 0x1u);
}

// Names of another NFSv4 domain belong to another system's users: they are
// not looked up in the local databases.
TEST(Nfs4String, OnlyNamesOfTheLocalDomainAreLookedUp) {
    nfs4_who_resolver local = resolver;
    local.domain_is_local = [](std::string_view domain) { return domain == "example.org"; };
    const struct {
        const char *who;
        uint32_t flag;
        uint32_t tag, id;
    } forms[] = {
        {"alice@example.org", 0, SYS_ACL_TAG_USER, 1000},
        {"devs@example.org", 0x40, SYS_ACL_TAG_GROUP, 1001},
        {"alice@other.org", 0, SYS_ACL_TAG_USER, NO_ID},
        {"alice", 0, SYS_ACL_TAG_USER, 1000},  // no domain: a local name
        {"1500@other.org", 0, SYS_ACL_TAG_USER, 1500},
    };
    for (const auto &f : forms) {
        SCOPED_TRACE(f.who);
        bytes blob = words({1, 0, f.flag, 1}) + text(f.who);
        sys_acl acl;
        ASSERT_EQ(nfs4_string_decode(blob.data(), blob.size(), local, &acl), 0);
        EXPECT_EQ(acl, sys_acl{entry(f.tag, f.id, SYS_ACL_READ_DATA, ALLOW)});
    }
}

}  // namespace
