#include "gacl/text_out.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "gacl/vocab.h"

namespace {

gacl_entry_t_struct make(gacl_tag_t tag, uint32_t id, const char *name, gacl_perm_t perms,
                         gacl_flag_t flags = 0, gacl_entry_type_t type = GACL_ENTRY_TYPE_ALLOW) {
    gacl_entry_t_struct e{};
    e.tag = tag;
    e.id = id;
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.perms = perms;
    e.flags = flags;
    e.entry_type = type;
    return e;
}

// The owner@ permissions of a 0644 file: rw-p--aARWcCos.
constexpr gacl_perm_t kOwner644 = 0xF6F8;
constexpr gacl_perm_t W = GACL_PERM_WRITE_DATA;
constexpr gacl_flag_t FD = GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT;

std::string render(const gacl_entry_t_struct &e, int options) {
    char buf[GACL_ENTRY_TEXT_SIZE];
    int n = gacl_entry_to_text_np(&e, buf, sizeof buf, options);
    if (n < 0) return "<error>";
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(buf));
    return buf;
}

gacl_ptr make_acl(const std::vector<gacl_entry_t_struct> &entries) {
    gacl_ptr acl(gacl_init(static_cast<int>(entries.size())));
    for (const auto &src : entries) {
        gacl_t h = acl.get();
        gacl_entry_t e = nullptr;
        EXPECT_EQ(gacl_create_entry_np(&h, &e, -1), 0);
        *e = src;
    }
    return acl;
}

std::string render_acl(gacl_t acl, int options) {
    ssize_t len = -1;
    gacl_text_ptr text(gacl_to_text_np(acl, &len, options));
    if (!text) return "<error>";
    EXPECT_EQ(static_cast<size_t>(len), std::strlen(text.get()));
    return text.get();
}

}  // namespace

TEST(EntryToText, Forms) {
    const gacl_entry_t_struct owner = make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", kOwner644);
    const gacl_entry_t_struct bob = make(GACL_TAG_TYPE_USER, 1001, "bob", W);
    const int C = GACL_TEXT_COMPACT, ID = GACL_TEXT_APPEND_ID;
    struct {
        gacl_entry_t_struct entry;
        int options;
        const char *text;
    } cases[] = {
        {owner, 0, "owner@:rw-p--aARWcCos:-------:allow"},
        {owner, C, "owner@:rwpaARWcCos"},
        {owner, GACL_TEXT_FIXED_WIDTH, "owner@:rw-p--aARWcCos:-------:allow"},
        // Compact leaves out exactly the fields that read back as defaults.
        {bob, C, "user:bob:w"},
        {make(GACL_TAG_TYPE_USER, 1001, "bob", W, 0, GACL_ENTRY_TYPE_DENY), C, "user:bob:w::deny"},
        {make(GACL_TAG_TYPE_USER, 1001, "bob", W, FD, GACL_ENTRY_TYPE_DENY), C,
         "user:bob:w:fd:deny"},
        {make(GACL_TAG_TYPE_USER, 1001, "bob", W, FD), C, "user:bob:w:fd"},
        {make(GACL_TAG_TYPE_USER, 1001, "bob", W, 0x0040), C, "user:bob:w"},  // no known flag
        {make(GACL_TAG_TYPE_USER, 1001, "bob", W, 0x0040), 0,
         "user:bob:-w------------:-------:allow"},
        // No permissions.
        {make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0), 0, "owner@:--------------:-------:allow"},
        {make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0), C, "owner@:"},
        // Canonical letter order puts delete_child before delete.
        {make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_DELETE), 0,
         "everyone@:-----d--------:-------:allow"},
        {make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_DELETE_CHILD), 0,
         "everyone@:----D---------:-------:allow"},
        {make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0xFFFF), 0,
         "everyone@:rwxpDdaARWcCos:-------:allow"},  // stray bits are not shown
        // Each flag, in the order f d i n S F I.
        {make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0, GACL_FLAG_ALL), 0,
         "group@:--------------:fdinSFI:allow"},
        {make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0, GACL_FLAG_INHERIT_ONLY), C, "group@::i"},
        {make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0, GACL_FLAG_NO_PROPAGATE_INHERIT), 0,
         "group@:--------------:---n---:allow"},
        {make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0, GACL_FLAG_NO_PROPAGATE_INHERIT), C,
         "group@::n"},
        {make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0,
              GACL_FLAG_INHERITED | GACL_FLAG_FILE_INHERIT),
         C, "group@::fI"},
        // Each type.
        {make(GACL_TAG_TYPE_GROUP, 20, "staff", GACL_PERM_READ_DATA, GACL_FLAG_SUCCESSFUL_ACCESS,
              GACL_ENTRY_TYPE_AUDIT),
         0, "group:staff:r-------------:----S--:audit"},
        {make(GACL_TAG_TYPE_GROUP, 20, "staff", GACL_PERM_READ_DATA, GACL_FLAG_FAILED_ACCESS,
              GACL_ENTRY_TYPE_ALARM),
         C, "group:staff:r:F:alarm"},
        {make(GACL_TAG_TYPE_GROUP, 20, "staff", GACL_PERM_READ_DATA, 0, GACL_ENTRY_TYPE_DENY), 0,
         "group:staff:r-------------:-------:deny"},
        // Tags without a prefix print their name field.
        {make(GACL_TAG_TYPE_MASK, 0, "mask@", GACL_PERM_READ_DATA), C, "mask@:r"},
        {make(GACL_TAG_TYPE_UNKNOWN, 0xFFFFFFFF, "nosuchname", GACL_PERM_READ_DATA), C,
         "nosuchname:r"},
        // The id comment, in both forms; signed like the names of unknown ids.
        {bob, ID, "user:bob:-w------------:-------:allow\t# uid=1001"},
        {bob, ID | C, "user:bob:w\t# uid=1001"},
        {make(GACL_TAG_TYPE_GROUP, 1001, "devs", W), ID | C, "group:devs:w\t# gid=1001"},
        {make(GACL_TAG_TYPE_USER, 4294967294u, "-2", W), ID | C, "user:-2:w\t# uid=-2"},
        {owner, ID | C, "owner@:rwpaARWcCos"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(render(c.entry, c.options), c.text) << c.text;
}

TEST(EntryToText, Failures) {
    char buf[64];
    gacl_entry_t_struct bad_type = make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0, 0, 4);
    errno = 0;
    EXPECT_EQ(gacl_entry_to_text_np(&bad_type, buf, sizeof buf, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    bad_type.entry_type = -1;
    EXPECT_EQ(gacl_entry_to_text_np(&bad_type, buf, sizeof buf, 0), -1);
    errno = 0;
    EXPECT_EQ(gacl_entry_to_text_np(nullptr, buf, sizeof buf, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    bad_type.entry_type = GACL_ENTRY_TYPE_ALLOW;
    EXPECT_EQ(gacl_entry_to_text_np(&bad_type, nullptr, 64, 0), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(EntryToText, StaysInsideTheBuffer) {
    const gacl_entry_t_struct bob = make(GACL_TAG_TYPE_USER, 1001, "bob", W, FD);
    const std::string full = "user:bob:-w------------:fd-----:allow";
    for (size_t size = 0; size <= full.size() + 1; size++) {
        std::vector<char> buf(size + 8, '#');
        errno = 0;
        int n = gacl_entry_to_text_np(&bob, buf.data(), size, 0);
        if (size > full.size()) {
            EXPECT_EQ(n, static_cast<int>(full.size()));
            EXPECT_EQ(std::string(buf.data()), full);
        } else {
            EXPECT_EQ(n, -1) << size;
            EXPECT_EQ(errno, ENOMEM) << "a text that does not fit is reported";
        }
        for (size_t i = size; i < buf.size(); i++)
            ASSERT_EQ(buf[i], '#') << size;
    }

    // A hand-made record whose name fills the field without a NUL.
    gacl_entry_t_struct unterminated = make(GACL_TAG_TYPE_USER, 1, "", 0);
    std::memset(unterminated.name, 'n', sizeof unterminated.name);
    char buf[GACL_ENTRY_TEXT_SIZE];
    int n = gacl_entry_to_text_np(&unterminated, buf, sizeof buf, GACL_TEXT_COMPACT);
    EXPECT_EQ(n, 5 + 256 + 1);
}

TEST(AclToText, AlignmentColumn) {
    const gacl_entry_t_struct owner = make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", kOwner644);
    const gacl_entry_t_struct group = make(GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0x9248);
    const gacl_entry_t_struct everyone = make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0x9248);
    gacl_ptr trivial = make_acl({owner, group, everyone});
    // Widest principal everyone@ (9) + 8: the colons stand in column 17.
    EXPECT_EQ(render_acl(trivial.get(), 0),
              "           owner@:rw-p--aARWcCos:-------:allow\n"
              "           group@:r-----a-R-c--s:-------:allow\n"
              "        everyone@:r-----a-R-c--s:-------:allow\n");
    EXPECT_EQ(render_acl(trivial.get(), GACL_TEXT_FIXED_WIDTH),
              "            owner@:rw-p--aARWcCos:-------:allow\n"
              "            group@:r-----a-R-c--s:-------:allow\n"
              "         everyone@:r-----a-R-c--s:-------:allow\n");

    // user:alexander is 5 + 9 wide, so the column is 22; the comment of
    // APPEND_ID does not move it.
    gacl_ptr named = make_acl({owner, make(GACL_TAG_TYPE_USER, 1005, "alexander", W),
                               make(GACL_TAG_TYPE_GROUP, 20, "staff", 0)});
    EXPECT_EQ(render_acl(named.get(), GACL_TEXT_APPEND_ID),
              "                owner@:rw-p--aARWcCos:-------:allow\n"
              "        user:alexander:-w------------:-------:allow\t# uid=1005\n"
              "           group:staff:--------------:-------:allow\t# gid=20\n");

    // A principal without a fixed text puts the column at 7; longer ones
    // start at the margin.
    gacl_ptr unknown = make_acl(
        {owner, make(GACL_TAG_TYPE_UNKNOWN, 0xFFFFFFFF, "nosuchname", GACL_PERM_READ_DATA)});
    EXPECT_EQ(render_acl(unknown.get(), 0),
              " owner@:rw-p--aARWcCos:-------:allow\n"
              "nosuchname:r-------------:-------:allow\n");

    // A colon inside a name is the one that is aligned (group:c:d is 9
    // wide, the column 17).
    gacl_ptr colon = make_acl(
        {owner, make(GACL_TAG_TYPE_USER, 7, "a:b", W), make(GACL_TAG_TYPE_GROUP, 8, "c:d", 0)});
    EXPECT_EQ(render_acl(colon.get(), 0),
              "           owner@:rw-p--aARWcCos:-------:allow\n"
              "           user:a:b:-w------------:-------:allow\n"
              "          group:c:d:--------------:-------:allow\n");
    gacl_ptr leading = make_acl({make(GACL_TAG_TYPE_UNKNOWN, 0, ":x", 0)});
    EXPECT_EQ(render_acl(leading.get(), 0), "       :x:--------------:-------:allow\n");
}

TEST(AclToText, CompactAndEmpty) {
    gacl_ptr acl = make_acl({make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", kOwner644),
                             make(GACL_TAG_TYPE_USER, 1001, "bob", W, FD, GACL_ENTRY_TYPE_DENY),
                             make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0)});
    EXPECT_EQ(render_acl(acl.get(), GACL_TEXT_COMPACT),
              "owner@:rwpaARWcCos,user:bob:w:fd:deny,everyone@:");
    EXPECT_EQ(acl->cursor, 3) << "the walk uses the ACL's cursor";

    gacl_ptr empty(gacl_init(0));
    EXPECT_EQ(render_acl(empty.get(), 0), "");
    EXPECT_EQ(render_acl(empty.get(), GACL_TEXT_COMPACT), "");
}

TEST(AclToText, LargeAclsAreNotCut) {
    // Far beyond the 2048 bytes a fixed text buffer would hold.
    std::vector<gacl_entry_t_struct> entries;
    for (uint32_t i = 0; i < 300; i++) {
        char name[16];
        std::snprintf(name, sizeof name, "u%u", 10000 + i);
        entries.push_back(make(GACL_TAG_TYPE_USER, 10000 + i, name, GACL_PERM_FULL_SET));
    }
    gacl_ptr acl = make_acl(entries);
    ASSERT_EQ(acl->capacity, 300);
    // Widest principal user:u10000 (11) + 8: eight blanks before each.
    const std::string line = "        user:u10299:rwxpDdaARWcCos:-------:allow\n";
    std::string text = render_acl(acl.get(), 0);
    EXPECT_EQ(text.size(), 300 * line.size());
    EXPECT_EQ(text.substr(text.size() - line.size()), line);
    std::string compact = render_acl(acl.get(), GACL_TEXT_COMPACT);
    EXPECT_EQ(compact.size(), 300 * std::strlen("user:u10000:rwxpDdaARWcCos") + 299);
}

TEST(AclToText, Failures) {
    gacl_ptr acl = make_acl({make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0),
                             make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0, 0, 7)});
    ssize_t len = 99;
    errno = 0;
    EXPECT_EQ(gacl_to_text_np(acl.get(), &len, 0), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(len, 99) << "no length for a failed text";

    errno = 0;
    EXPECT_EQ(gacl_to_text_np(nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(errno, EINVAL);

    // The length pointer is optional.
    gacl_ptr ok = make_acl({make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0)});
    gacl_text_ptr text(gacl_to_text_np(ok.get(), nullptr, GACL_TEXT_COMPACT));
    ASSERT_TRUE(text);
    EXPECT_STREQ(text.get(), "owner@:");
}

TEST(AclToText, AppendsToABuffer) {
    gacl_ptr acl = make_acl({make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", kOwner644),
                             make(GACL_TAG_TYPE_USER, 1001, "bob", W)});
    for (int options : {0, GACL_TEXT_COMPACT, GACL_TEXT_FIXED_WIDTH | GACL_TEXT_APPEND_ID}) {
        std::string out = "before\n";
        EXPECT_EQ(gacl_append_text_np(acl.get(), &out, options), 0);
        EXPECT_EQ(out, "before\n" + render_acl(acl.get(), options)) << options;
    }

    // A failure leaves the buffer as it was, though entries were rendered.
    gacl_ptr bad = make_acl({make(GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0),
                             make(GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0, 0, 7)});
    std::string out = "kept";
    errno = 0;
    EXPECT_EQ(gacl_append_text_np(bad.get(), &out, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(out, "kept");
    errno = 0;
    EXPECT_EQ(gacl_append_text_np(nullptr, &out, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(gacl_append_text_np(acl.get(), nullptr, 0), -1);
    EXPECT_EQ(errno, EINVAL);
}
