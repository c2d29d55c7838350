#include "gacl/text_in.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "gacl/sort.h"
#include "gacl/text_out.h"
#include "gacl/vocab.h"

// Runs against the fixture database: "shared" is a user (1500) and a group
// (1600), "alice" a user and a group (1000), uid 1001 (bob) equals gid 1001
// (devs), 4242 is no id at all.

namespace {

constexpr gacl_perm_t RWX = GACL_PERM_READ_DATA | GACL_PERM_WRITE_DATA | GACL_PERM_EXECUTE;
constexpr gacl_perm_t R = GACL_PERM_READ_DATA;
constexpr gacl_flag_t FD = GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT;
constexpr uint32_t NOID = 0xFFFFFFFFu;
constexpr int RELAXED = GACL_TEXT_RELAXED;

struct Parsed {
    int result;
    int error;
    gacl_entry_t_struct entry;
};

// Parses a copy of `text` into a zeroed entry, or into `start` when given.
Parsed parse(const std::string &text, int options, const gacl_entry_t_struct *start = nullptr) {
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    Parsed p{0, 0, {}};
    if (start != nullptr) p.entry = *start;
    errno = 0;
    p.result = gacl_entry_from_text_np(buf.data(), &p.entry, options);
    p.error = errno;
    return p;
}

}  // namespace

TEST(EntryFromText, AcceptedForms) {
    struct {
        const char *text;
        int options;
        gacl_tag_t tag;
        uint32_t id;
        const char *name;
        gacl_perm_t perms;
        gacl_flag_t flags;
        gacl_entry_type_t type;
    } cases[] = {
        // Principals with a prefix: names and numbers, both resolved.
        {"user:root:rwx", 0, GACL_TAG_TYPE_USER, 0, "root", RWX, 0, 0},
        {"u:root:rwx", 0, GACL_TAG_TYPE_USER, 0, "root", RWX, 0, 0},
        {"user:0:rwx", 0, GACL_TAG_TYPE_USER, 0, "root", RWX, 0, 0},
        {"user:1001x:r", 0, GACL_TAG_TYPE_USER, 1001, "bob", R, 0, 0},
        {"user:+1001:r", 0, GACL_TAG_TYPE_USER, 1001, "bob", R, 0, 0},
        {"user:shared:r", 0, GACL_TAG_TYPE_USER, 1500, "shared", R, 0, 0},
        {"user:verylongusername:r", 0, GACL_TAG_TYPE_USER, 1234, "verylongusername", R, 0, 0},
        {"group:shared:r", 0, GACL_TAG_TYPE_GROUP, 1600, "shared", R, 0, 0},
        {"g:1001:r", 0, GACL_TAG_TYPE_GROUP, 1001, "devs", R, 0, 0},
        {"group:devs:r", 0, GACL_TAG_TYPE_GROUP, 1001, "devs", R, 0, 0},
        {"user:bob", 0, GACL_TAG_TYPE_USER, 1001, "bob", 0, 0, 0},
        // Relaxed: unknown ids keep their number, unknown names get id -1.
        {"user:4242:r", RELAXED, GACL_TAG_TYPE_USER, 4242, "4242", R, 0, 0},
        {"user:-2:r", RELAXED, GACL_TAG_TYPE_USER, 4294967294u, "-2", R, 0, 0},
        {"user:4294967294:r", RELAXED, GACL_TAG_TYPE_USER, 4294967294u, "-2", R, 0, 0},
        {"group:4242:r", RELAXED, GACL_TAG_TYPE_GROUP, 4242, "4242", R, 0, 0},
        {"user:nosuch:r", RELAXED, GACL_TAG_TYPE_USER, NOID, "nosuch", R, 0, 0},
        {"group:nosuch:r", RELAXED, GACL_TAG_TYPE_GROUP, NOID, "nosuch", R, 0, 0},
        {"user:bob:r", RELAXED, GACL_TAG_TYPE_USER, 1001, "bob", R, 0, 0},
        // Bare principals: only a user, or only a group; the text stays.
        {"bob:rwx", 0, GACL_TAG_TYPE_USER, 1001, "bob", RWX, 0, 0},
        {"devs:r", 0, GACL_TAG_TYPE_GROUP, 1001, "devs", R, 0, 0},
        {"1002:r", 0, GACL_TAG_TYPE_USER, 1002, "1002", R, 0, 0},
        {"100:r", 0, GACL_TAG_TYPE_GROUP, 100, "100", R, 0, 0},
        {"verylongusername:r", RELAXED, GACL_TAG_TYPE_USER, 1234, "verylongusername", R, 0, 0},
        {"nosuchname:r", RELAXED, GACL_TAG_TYPE_UNKNOWN, NOID, "nosuchname", R, 0, 0},
        {"4242:r", RELAXED, GACL_TAG_TYPE_UNKNOWN, 4242, "4242", R, 0, 0},  // the number stays
        // Special principals.
        {"owner@:", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 0},
        {"group@:r", 0, GACL_TAG_TYPE_GROUP_OBJ, NOID, "group@", R, 0, 0},
        {"everyone@:r", 0, GACL_TAG_TYPE_EVERYONE, NOID, "everyone@", R, 0, 0},
        // Permission sets and letters.
        {"owner@:read", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_READ_SET, 0, 0},
        {"owner@:read_set", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_READ_SET, 0, 0},
        {"owner@:write", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_WRITE_SET, 0, 0},
        {"owner@:write_set", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_WRITE_SET, 0, 0},
        {"owner@:modify", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_MODIFY_SET, 0, 0},
        {"owner@:modify_set", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_MODIFY_SET, 0,
         0},
        {"owner@:all", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_FULL_SET, 0, 0},
        {"owner@:full_set", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_FULL_SET, 0, 0},
        {"owner@:empty", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 0},
        {"owner@:empty_set", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 0},
        {"owner@:socCoWRAadDpxwr", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_FULL_SET, 0,
         0},
        {"owner@:r-x-", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0x0009, 0, 0},
        // "none" alone denies everything; with a type word it is no permission.
        {"owner@:none", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_FULL_SET, 0, 1},
        {"owner@:none:allow", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 0},
        {"owner@:none:fd", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", GACL_PERM_FULL_SET, FD, 1},
        {"owner@:none::audit", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 2},
        // Flag and type fields.
        {"owner@:rwx:allow", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, 0, 0},
        {"owner@:rwx:deny", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, 0, 1},
        {"owner@:rwx:fd", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, FD, 0},
        {"owner@:rwx:f-d", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, FD, 0},
        {"owner@:rwx:fdinSFI:alarm", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, GACL_FLAG_ALL,
         3},
        {"group@:r:S:audit", 0, GACL_TAG_TYPE_GROUP_OBJ, NOID, "group@", R,
         GACL_FLAG_SUCCESSFUL_ACCESS, 2},
        {"owner@:rwx::deny", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, 0, 1},
        {"owner@:rwx:", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", RWX, 0, 0},
        {"owner@::fd", 0, GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, FD, 0},
    };
    for (const auto &c : cases) {
        Parsed p = parse(c.text, c.options);
        ASSERT_EQ(p.result, 0) << c.text << ": " << std::strerror(p.error);
        EXPECT_EQ(p.entry.tag, c.tag) << c.text;
        EXPECT_EQ(p.entry.id, c.id) << c.text;
        EXPECT_STREQ(p.entry.name, c.name) << c.text;
        EXPECT_EQ(p.entry.perms, c.perms) << c.text;
        EXPECT_EQ(p.entry.flags, c.flags) << c.text;
        EXPECT_EQ(p.entry.entry_type, c.type) << c.text;
    }
}

TEST(EntryFromText, EmptyFieldsKeepWhatTheEntryHad) {
    gacl_entry_t_struct start{};
    start.perms = GACL_PERM_WRITE_ACL;
    start.flags = GACL_FLAG_INHERIT_ONLY;
    start.entry_type = GACL_ENTRY_TYPE_ALARM;

    Parsed p = parse("owner@:rwx::deny", 0, &start);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.entry.perms, RWX) << "letters replace the word";
    EXPECT_EQ(p.entry.flags, GACL_FLAG_INHERIT_ONLY) << "empty flag field";
    EXPECT_EQ(p.entry.entry_type, GACL_ENTRY_TYPE_DENY);

    p = parse("owner@::fd", 0, &start);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.entry.perms, GACL_PERM_WRITE_ACL) << "empty permission field";
    EXPECT_EQ(p.entry.flags, FD);
    EXPECT_EQ(p.entry.entry_type, GACL_ENTRY_TYPE_ALLOW) << "no type word: allow";

    p = parse("owner@:", 0, &start);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.entry.perms, GACL_PERM_WRITE_ACL);
    EXPECT_EQ(p.entry.flags, 0) << "no flag field at all: flags 0";

    p = parse("owner@:r:audit", 0, &start);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.entry.flags, 0) << "a type word alone: flags 0";
}

TEST(EntryFromText, RefusedForms) {
    const std::string name255(255, 'x'), name256(256, 'x');
    struct {
        std::string text;
        int options;
        int error;
    } cases[] = {
        // Unknown principals, strict.
        {"user:4242:r", 0, EINVAL},
        {"user:-2:r", 0, EINVAL},
        {"user:nosuch:r", 0, EINVAL},
        {"group:nosuch:r", 0, EINVAL},
        {"group:4242:r", 0, EINVAL},
        {"nosuchname:r", 0, EINVAL},
        {"Owner@:r", 0, EINVAL},  // words are case-sensitive
        {"user::r", 0, EINVAL},
        // A bare name or number that is both a user and a group.
        {"shared:r", 0, EINVAL},
        {"shared:r", RELAXED, EINVAL},
        {"alice:r", 0, EINVAL},
        {"alice:r", RELAXED, EINVAL},
        {"1001:rwx", 0, EINVAL},
        {"1001:rwx", RELAXED, EINVAL},
        {"1000:r", RELAXED, EINVAL},
        // A number too large for an id is not wrapped into someone else's.
        {"user:4294968297:r", RELAXED, EINVAL},
        {"user:-2147483649:r", RELAXED, EINVAL},
        {"4294968297:r", RELAXED, EINVAL},
        // Structure.
        {"owner@", 0, EINVAL},
        {"owner@", RELAXED, EINVAL},
        {"", 0, EINVAL},
        {"owner@:readx", 0, EINVAL},  // 'e' is no permission letter
        {"owner@:Read", 0, EINVAL},
        {"owner@:r w", 0, EINVAL},
        {"owner@:rwx:fd:deny:x", 0, EINVAL},
        {"owner@:rwx:fd:", 0, EINVAL},
        {"owner@:rwx:allow:", 0, EINVAL},
        {"owner@:rwx:Allow", 0, EINVAL},
        {"owner@:rwx:fx", 0, EINVAL},
        {"owner@:rwx:fd:permit", 0, EINVAL},
        {"owner@:rwx::", 0, EINVAL},
        // Names longer than the 255 characters of the name field.
        {"user:" + name256 + ":r", RELAXED, ENOMEM},
        {"user:" + name256 + ":r", 0, ENOMEM},
        {name256 + ":r", RELAXED, ENOMEM},
    };
    for (const auto &c : cases) {
        Parsed p = parse(c.text, c.options);
        EXPECT_EQ(p.result, -1) << c.text << (c.options ? " (relaxed)" : "");
        EXPECT_EQ(p.error, c.error) << c.text << (c.options ? " (relaxed)" : "");
    }
    Parsed longest = parse("user:" + name255 + ":r", RELAXED);
    EXPECT_EQ(longest.result, 0);
    EXPECT_EQ(std::strlen(longest.entry.name), 255u);

    gacl_entry_t_struct e{};
    char text[] = "owner@:r";
    EXPECT_EQ(gacl_entry_from_text_np(nullptr, &e, 0), -1);
    EXPECT_EQ(gacl_entry_from_text_np(text, nullptr, 0), -1);
}

TEST(AclFromText, Separators) {
    const char text[] = "owner@:rw:allow,group@:r:allow";
    gacl_ptr acl(gacl_from_text(text));
    ASSERT_TRUE(acl);
    EXPECT_STREQ(text, "owner@:rw:allow,group@:r:allow") << "the text is not modified";
    EXPECT_EQ(acl->type, 0);
    EXPECT_EQ(acl->count, 2);
    EXPECT_EQ(acl->cursor, 0);
    EXPECT_EQ(acl->capacity, 2);
    EXPECT_EQ(acl->entries[0].tag, GACL_TAG_TYPE_USER_OBJ);
    EXPECT_EQ(acl->entries[1].tag, GACL_TAG_TYPE_GROUP_OBJ);

    gacl_ptr mixed(gacl_from_text("owner@:r group@:r\teveryone@:r\nuser:bob:r\rg:devs:w"));
    ASSERT_TRUE(mixed);
    ASSERT_EQ(mixed->count, 5);
    EXPECT_EQ(mixed->entries[3].id, 1001u);
    EXPECT_EQ(mixed->entries[4].tag, GACL_TAG_TYPE_GROUP);
}

TEST(AclFromText, FailuresAreEinval) {
    const std::string name256(256, 'x');
    const std::string texts[] = {
        "owner@:rw:allow, group@:r:allow",  // two separators in a row
        "owner@:rw:allow\n",
        ",owner@:r",
        "",
        "owner@:r,nosuchname:r",
        "owner@:r,shared:r",
        "user:" + name256 + ":r",  // ENOMEM underneath
    };
    for (const auto &t : texts) {
        errno = 0;
        EXPECT_EQ(gacl_from_text(t.c_str()), nullptr) << t;
        EXPECT_EQ(errno, EINVAL) << t;
    }
    errno = 0;
    EXPECT_EQ(gacl_from_text(nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

// Every reason is shown end to end by the set-access tests; here: which
// entry is named, whatever the separators, and the entry form's reason.
TEST(AclFromText, NamesTheFailingEntryAndWhy) {
    const struct {
        const char *text;
        int item;
        const char *entry;
        const char *reason;
    } cases[] = {
        {"owner@:r\tgroup@:r\nuser:nosuch:r,everyone@:r", 3, "user:nosuch:r",
         "unknown user \"nosuch\""},
        {"owner@:r,\r", 2, "", "empty entry (entries are separated by one comma or blank)"},
        {"owner@:r group@:rw:fd:audit:x", 2, "group@:rw:fd:audit:x", "too many \":\" fields"},
        {"u:bob:r,g:1001:r,shared:r", 3, "shared:r",
         "\"shared\" is both a user and a group: write user:shared or group:shared"},
    };
    for (const auto &c : cases) {
        gacl_text_error_t why;
        EXPECT_EQ(gacl_from_text(c.text, &why), nullptr) << c.text;
        EXPECT_EQ(why.item, c.item) << c.text;
        EXPECT_EQ(why.text, c.entry) << c.text;
        EXPECT_EQ(why.reason, c.reason) << c.text;
    }

    // Relaxed reading excuses unknown names, not a name that is both.
    std::string reason;
    char both[] = "alice:r";
    gacl_entry_t_struct entry{};
    EXPECT_EQ(gacl_entry_from_text_np(both, &entry, RELAXED, &reason), -1);
    EXPECT_EQ(reason, "\"alice\" is both a user and a group: write user:alice or group:alice");
}

TEST(AclFromText, RoomFromCommasAndUpToTheLimit) {
    auto joined = [](int n, const char *sep) {
        std::string s;
        for (int i = 0; i < n; i++)
            s += std::string(i ? sep : "") + "everyone@:r";
        return s;
    };
    gacl_ptr commas(gacl_from_text(joined(200, ",").c_str()));
    ASSERT_TRUE(commas);
    EXPECT_EQ(commas->capacity, 200);
    EXPECT_EQ(commas->count, 200);

    // Other separators make no room in advance: the ACL grows.
    gacl_ptr spaces(gacl_from_text(joined(GACL_MAX_ENTRIES, " ").c_str()));
    ASSERT_TRUE(spaces);
    EXPECT_EQ(spaces->count, GACL_MAX_ENTRIES);
    for (const char *sep : {" ", ","}) {
        errno = 0;
        EXPECT_EQ(gacl_from_text(joined(GACL_MAX_ENTRIES + 1, sep).c_str()), nullptr) << sep;
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(TextRoundTrip, CompactAndFullReadBackAsTheSameEntry) {
    auto make = [](gacl_tag_t tag, uint32_t id, const char *name, gacl_perm_t perms,
                   gacl_flag_t flags, gacl_entry_type_t type) {
        gacl_entry_t_struct e{};
        e.tag = tag;
        e.id = id;
        std::snprintf(e.name, sizeof e.name, "%s", name);
        e.perms = perms;
        e.flags = flags;
        e.entry_type = type;
        return e;
    };
    const gacl_entry_t_struct entries[] = {
        make(GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0xF6F8, 0, 0),
        make(GACL_TAG_TYPE_USER_OBJ, NOID, "owner@", 0, 0, 0),
        make(GACL_TAG_TYPE_GROUP_OBJ, NOID, "group@", GACL_PERM_READ_SET, FD, 1),
        make(GACL_TAG_TYPE_EVERYONE, NOID, "everyone@", GACL_PERM_FULL_SET, GACL_FLAG_ALL, 2),
        make(GACL_TAG_TYPE_EVERYONE, NOID, "everyone@", 0, GACL_FLAG_FAILED_ACCESS, 3),
        make(GACL_TAG_TYPE_USER, 1001, "bob", GACL_PERM_WRITE_DATA, 0, 0),
        make(GACL_TAG_TYPE_USER, 1001, "bob", GACL_PERM_WRITE_DATA, 0, 1),
        make(GACL_TAG_TYPE_USER, 1001, "bob", GACL_PERM_WRITE_DATA, FD, 1),
        make(GACL_TAG_TYPE_USER, 1001, "bob", GACL_PERM_WRITE_DATA, FD, 0),
        make(GACL_TAG_TYPE_USER, 1500, "shared", GACL_PERM_DELETE, GACL_FLAG_INHERITED, 0),
        make(GACL_TAG_TYPE_USER, 1234, "verylongusername", GACL_PERM_DELETE_CHILD, 0, 0),
        make(GACL_TAG_TYPE_GROUP, 1600, "shared", GACL_PERM_MODIFY_SET, GACL_FLAG_INHERIT_ONLY, 0),
        make(GACL_TAG_TYPE_GROUP, 1001, "devs", R, GACL_FLAG_NO_PROPAGATE_INHERIT, 1),
    };
    for (const auto &e : entries) {
        for (int options : {0, GACL_TEXT_COMPACT}) {
            char text[GACL_ENTRY_TEXT_SIZE];
            ASSERT_GT(gacl_entry_to_text_np(&e, text, sizeof text, options), 0);
            const std::string shown = text;
            gacl_entry_t_struct back{};
            ASSERT_EQ(gacl_entry_from_text_np(text, &back, 0), 0) << shown;
            EXPECT_EQ(gacl_entry_match_np(&e, &back), 1) << shown;
            EXPECT_STREQ(back.name, e.name) << shown;
        }
    }

    // A whole ACL, through the compact form (the aligned lines begin with
    // blanks, which the ACL reader takes as separators).
    gacl_ptr acl(gacl_init(0));
    for (const auto &src : entries) {
        gacl_t h = acl.get();
        gacl_entry_t e = nullptr;
        ASSERT_EQ(gacl_create_entry_np(&h, &e, -1), 0);
        *e = src;
    }
    gacl_text_ptr text(gacl_to_text_np(acl.get(), nullptr, GACL_TEXT_COMPACT));
    ASSERT_TRUE(text);
    gacl_ptr back(gacl_from_text(text.get()));
    ASSERT_TRUE(back) << text.get();
    EXPECT_EQ(gacl_match_np(acl.get(), back.get()), 1) << text.get();
}
