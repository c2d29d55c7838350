// The change texts of rename-access. Names come from the fixture database:
// users alice 1000, bob 1001, carol 1002, shared 1500; groups wheel 10,
// staff 20, users 100, alice 1000, devs 1001, shared 1600.
#include "commands/rename.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gacl/acl.h"

// Found by the vector comparison, so not in the anonymous namespace.
bool operator==(const rename_pair_t &a, const rename_pair_t &b) {
    return a.tag == b.tag && a.old_id == b.old_id && a.new_id == b.new_id;
}

namespace {

constexpr int32_t U = GACL_TAG_TYPE_USER, G = GACL_TAG_TYPE_GROUP;

struct pair_case {
    const char *text;
    std::vector<rename_pair_t> pairs;
};

std::vector<rename_pair_t> parse(const std::string &text, int *result) {
    auto list = std::make_unique<rename_list_t>();
    *result = rename_list_parse(text.c_str(), list.get());
    return {list->pairs, list->pairs + list->count};
}

TEST(RenameListParse, ValidTexts) {
    const pair_case cases[] = {
        {"", {}},
        {",,,", {}},
        {"user:1001:1002", {{U, 1001, 1002}}},
        {"u:bob:carol", {{U, 1001, 1002}}},
        {"group:staff:wheel", {{G, 20, 10}}},
        {"g:100:wheel", {{G, 100, 10}}},
        {"group:staff:0", {{G, 20, 0}}},
        {"group: 7x:-3", {{G, 7, -3}}},  // sscanf-like numbers
        {"x:1:2", {}},                   // unknown kind: ignored
        {"bob:1002", {{U, 1001, 1002}}},
        {"staff:wheel", {{G, 20, 10}}},
        {"bob:carol", {{U, 1001, 1002}}},
        {"4242:carol", {{U, 4242, 1002}}},  // the kind follows the named side
        {"4242:wheel", {{G, 4242, 10}}},
        {",u:1:2,,g:3:4,", {{U, 1, 2}, {G, 3, 4}}},
        {"u:1:2,u:1:3", {{U, 1, 2}, {U, 1, 3}}},
        {"u:1:2:3", {{U, 1, 2}}},  // the rest of the item is the new value
        // Ids are 32 bits wide: 4294967294 and -2 are the same id.
        {"u:4294967294:-2147483648", {{U, -2, INT32_MIN}}},
    };
    for (const pair_case &c : cases) {
        int result = -2;
        std::vector<rename_pair_t> pairs = parse(c.text, &result);
        EXPECT_EQ(result, 0) << c.text;
        EXPECT_TRUE(pairs == c.pairs) << c.text;
    }
}

TEST(RenameListParse, InvalidTexts) {
    const char *cases[] = {
        "bob",            // no ":"
        "u:1:2,nothing",  // one bad item spoils the text
        "1001:1002",      // no name, no kind
        "bob:staff",      // user with group
        "staff:bob",      // group with user
        "shared:1",       // shared is a user and a group
        "bob:shared",     //
        "alice:bob",      // alice is a user and a group
        "bob:nosuch",     // new value neither name nor number
        "nosuch:bob",     //
        "u:nosuch:1",     //
        "g:1:nosuch",     //
        "u::1",           //
        // Beyond 32 bits: refused, not cut to some other id.
        "u:bob:99999999999",  //
        "4294967296:bob",     //
    };
    for (const char *text : cases) {
        int result = 0;
        parse(text, &result);
        EXPECT_EQ(result, -1) << text;
    }
}

TEST(RenameListParse, AtMost1024Pairs) {
    std::string text;
    for (int i = 0; i < RENAME_LIST_MAX; i++)
        text += "u:" + std::to_string(i) + ":1,";
    int result = -2;
    EXPECT_EQ(parse(text, &result).size(), static_cast<size_t>(RENAME_LIST_MAX));
    EXPECT_EQ(result, 0);
    // Ignored items do not count; one pair more does.
    parse(text + "x:1:2", &result);
    EXPECT_EQ(result, 0);
    parse(text + "g:1:2", &result);
    EXPECT_EQ(result, -1);
}

}  // namespace
