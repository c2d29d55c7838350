#include "edit/engine.h"

#include <gtest/gtest.h>
#include <regex.h>

#include <cerrno>
#include <string>
#include <vector>

#include "base/config.h"
#include "gacl/text_in.h"
#include "gacl/vocab.h"

namespace {

gacl_entry_t_struct entry_of(const char *text) {
    gacl_entry_t_struct e{};
    std::string scratch = text;
    EXPECT_EQ(gacl_entry_from_text_np(scratch.data(), &e, 0), 0) << text;
    return e;
}

std::vector<int> positions_of(const range_t *list) {
    std::vector<int> out;
    std::int32_t p = RANGE_WALK_START;
    while (list && range_next(list, &p) == 1)
        out.push_back(p);
    return out;
}

range_ptr positions(const char *text) {
    range_t *list = nullptr;
    const char *cursor = text;
    EXPECT_GE(range_from_text(&list, &cursor), 0) << text;
    return range_ptr(list);
}

struct compiled {
    regex_t re;
    explicit compiled(const char *pattern) { EXPECT_EQ(regcomp(&re, pattern, REG_EXTENDED), 0); }
    ~compiled() { regfree(&re); }
};

TEST(EditEngine, EntryMatching) {
    struct {
        const char *entry;
        const char *match;
        int op;
        int expected;
    } cases[] = {
        // '+': every permission of the match entry; '-': none of them;
        // '=': exactly them; no operator: permissions not compared.
        {"user:bob:rw", "user:bob:r", '+', 1},
        {"user:bob:w", "user:bob:r", '+', 0},
        {"user:bob:w", "user:bob:r", '-', 1},
        {"user:bob:rw", "user:bob:r", '-', 0},
        {"user:bob:r", "user:bob:r", '=', 1},
        {"user:bob:rw", "user:bob:r", '=', 0},
        {"user:bob:w", "user:bob:r", 0, 1},
        {"owner@:rwx", "owner@:rw", '+', 1},
        // Principal, entry type and flags must agree whatever the operator.
        {"user:alice:r", "user:bob:r", 0, 0},
        {"group:devs:r", "user:bob:r", 0, 0},  // gid 1001 is uid 1001
        {"group:devs:r", "group:devs:", 0, 1},
        {"user:bob:r:fd", "user:bob:r", 0, 0},
        {"user:bob:r:I", "user:bob:r", '+', 0},
        {"user:bob:r::deny", "user:bob:r", 0, 0},
        {"user:bob:r::deny", "user:bob:r::deny", '=', 1},
        {"group@:r", "everyone@:r", 0, 0},
    };
    for (const auto &c : cases) {
        gacl_entry_t_struct e = entry_of(c.entry), m = entry_of(c.match);
        EXPECT_EQ(acecr_entry_matches(&e, &m, c.op), c.expected)
            << c.entry << " against " << c.match << " op " << static_cast<char>(c.op ? c.op : '0');
    }
    gacl_entry_t_struct m = entry_of("owner@:r");
    EXPECT_EQ(acecr_entry_matches(nullptr, &m, 0), -1);
}

class EditSelection : public testing::Test {
  protected:
    gacl_ptr acl{gacl_from_text(
        "owner@:rw,user:bob:r,user:alice:rw,user:bob:w,user:bob:r:fd,group@:r::deny")};
};

TEST_F(EditSelection, ByEntry) {
    ASSERT_TRUE(acl);
    gacl_entry_t_struct bob_r = entry_of("user:bob:r");
    EXPECT_EQ(positions_of(acecr_select_entries(nullptr, &bob_r, '+', acl.get()).get()),
              std::vector<int>({1}));
    EXPECT_EQ(positions_of(acecr_select_entries(nullptr, &bob_r, '-', acl.get()).get()),
              std::vector<int>({3}));
    EXPECT_EQ(positions_of(acecr_select_entries(nullptr, &bob_r, 0, acl.get()).get()),
              std::vector<int>({1, 3}));
    // Only the named positions are examined.
    EXPECT_EQ(
        positions_of(acecr_select_entries(positions("2-$").get(), &bob_r, 0, acl.get()).get()),
        std::vector<int>({3}));
    gacl_entry_t_struct carol = entry_of("user:carol:r");
    EXPECT_EQ(acecr_select_entries(nullptr, &carol, 0, acl.get()), nullptr);
}

TEST_F(EditSelection, ByPattern) {
    compiled named("^user:");
    EXPECT_EQ(positions_of(acecr_select_regex(nullptr, &named.re, 1, acl.get()).get()),
              std::vector<int>({1, 2, 3, 4}));
    EXPECT_EQ(positions_of(acecr_select_regex(nullptr, &named.re, -1, acl.get()).get()),
              std::vector<int>({0, 5}));
    // The pattern sees the full text form: flags and type included.
    compiled inheriting("fd-----:allow$");
    EXPECT_EQ(positions_of(acecr_select_regex(nullptr, &inheriting.re, 1, acl.get()).get()),
              std::vector<int>({4}));
    compiled none("^nothing");
    EXPECT_EQ(acecr_select_regex(nullptr, &none.re, 1, acl.get()), nullptr);
}

TEST_F(EditSelection, PositionsBeyondTheLastEntry) {
    gacl_ptr three(gacl_from_text("user:bob:r,user:bob:r,user:bob:r"));
    gacl_entry_t_struct bob = entry_of("user:bob:r");
    compiled any(".");
    // 5-$ names no entry but the last one ("$").
    EXPECT_EQ(
        positions_of(acecr_select_entries(positions("5-$").get(), &bob, 0, three.get()).get()),
        std::vector<int>({2}));
    EXPECT_EQ(
        positions_of(acecr_select_regex(positions("5-$").get(), &any.re, 1, three.get()).get()),
        std::vector<int>({2}));
    EXPECT_EQ(
        positions_of(acecr_select_regex(positions("1,7-9").get(), &any.re, 1, three.get()).get()),
        std::vector<int>({1}));
    // A signed end reaches below 0, where no entry is.
    EXPECT_EQ(
        positions_of(acecr_select_regex(positions("1--5").get(), &any.re, 1, three.get()).get()),
        std::vector<int>({0, 1}));
}

TEST(EditEngine, ReplaceEntry) {
    gacl_ptr acl(gacl_from_text("owner@:rwx"));
    ASSERT_TRUE(acl);
    acecr_t req;
    req.entry = std::make_unique<gacl_entry_t_struct>(entry_of("user:bob:rw:fd:deny"));
    ASSERT_EQ(acecr_replace_entry(&req, &acl->entries[0]), 1);
    const gacl_entry_t_struct &e = acl->entries[0];
    EXPECT_EQ(e.tag, GACL_TAG_TYPE_USER);
    EXPECT_EQ(e.id, 1001u);
    EXPECT_STREQ(e.name, "bob");
    EXPECT_EQ(e.perms, GACL_PERM_READ_DATA | GACL_PERM_WRITE_DATA);
    EXPECT_EQ(e.flags, GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT);
    EXPECT_EQ(e.entry_type, GACL_ENTRY_TYPE_DENY);

    acecr_t without;
    errno = 0;
    EXPECT_EQ(acecr_replace_entry(&without, &acl->entries[0]), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(acl->entries[0].tag, GACL_TAG_TYPE_USER);
}

class EditPrint : public testing::Test {
  protected:
    void TearDown() override { config = config_t{}; }
    std::string print(const char *path, int position, bool numbered, int *result) {
        testing::internal::CaptureStdout();
        *result = acecr_print_entry(path, acl.get(), position, numbered);
        std::fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
    gacl_ptr acl{gacl_from_text("owner@:rw,user:bob:r")};
};

TEST_F(EditPrint, Columns) {
    int rc = 0;
    EXPECT_EQ(print("dir/file", 1, false, &rc),
              "dir/file            \tuser:bob:r-------------:-------:allow\n");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(print("f", 0, true, &rc),
              "f                   \t0   \towner@:rw------------:-------:allow\n");
    // Long paths are not cut.
    EXPECT_EQ(print("a-path-longer-than-twenty", 1, true, &rc),
              "a-path-longer-than-twenty\t1   \tuser:bob:r-------------:-------:allow\n");
    config.no_prefix = 1;
    EXPECT_EQ(print("f", 1, true, &rc), "1   \tuser:bob:r-------------:-------:allow\n");
    EXPECT_EQ(print("f", 0, false, &rc), "owner@:rw------------:-------:allow\n");
}

TEST_F(EditPrint, NoEntryPrintsNothing) {
    int rc = 0;
    for (int position : {2, -1, RANGE_END}) {
        EXPECT_EQ(print("f", position, true, &rc), "") << position;
        EXPECT_EQ(rc, -1) << position;
    }
}

}  // namespace
