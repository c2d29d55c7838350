#include "edit/range.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ranges = std::vector<std::pair<int, int>>;

constexpr int END = RANGE_END;

Ranges nodes_of(const range_t *list) {
    Ranges out;
    for (; list; list = list->next)
        out.emplace_back(list->low, list->high);
    return out;
}

// Owns a list for the length of a test.
struct List {
    range_t *head = nullptr;
    ~List() {
        if (head) range_free(&head);
    }
};

std::vector<int> walk_forward(const range_t *list) {
    std::vector<int> out;
    std::int32_t p = RANGE_WALK_START;
    while (range_next(list, &p) == 1)
        out.push_back(p);
    return out;
}

std::vector<int> walk_backward(const range_t *list) {
    std::vector<int> out;
    std::int32_t p = RANGE_WALK_START;
    while (range_prev(list, &p) == 1)
        out.push_back(p);
    return out;
}

struct TextCase {
    const char *text;
    int result;        // -1 failure, else number of ranges read
    Ranges nodes;      // the list afterwards
    const char *rest;  // text left at the cursor (the whole text on failure)
};

void PrintTo(const TextCase &c, std::ostream *os) {
    *os << '"' << c.text << '"';
}

class RangeText : public testing::TestWithParam<TextCase> {};

TEST_P(RangeText, ReadsPositions) {
    const TextCase &c = GetParam();
    List list;
    const char *cursor = c.text;
    errno = 0;
    int result = range_from_text(&list.head, &cursor);
    if (c.result < 0) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(errno, EINVAL);
    } else {
        EXPECT_EQ(result, c.result);
    }
    EXPECT_EQ(nodes_of(list.head), c.nodes);
    EXPECT_STREQ(cursor, c.rest);
    if (c.result < 0) {
        EXPECT_EQ(cursor, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, RangeText,
    testing::Values(TextCase{"1-3,5", 2, {{1, 3}, {5, 5}}, ""},
                    TextCase{"5,1-3", 2, {{1, 3}, {5, 5}}, ""}, TextCase{"3-1", 1, {{1, 3}}, ""},
                    TextCase{"1-3,2-6", 2, {{1, 6}}, ""}, TextCase{"1,3-5,2-4", 3, {{1, 5}}, ""},
                    TextCase{"2-$", 1, {{2, END}}, ""}, TextCase{"$", 1, {{END, END}}, ""},
                    TextCase{"$-5", 1, {{5, END}}, ""}, TextCase{"3-+2", 1, {{3, 5}}, ""},
                    TextCase{"0x10", 1, {{16, 16}}, ""}, TextCase{"010", 1, {{8, 8}}, ""},
                    TextCase{"1-010", 1, {{1, 10}}, ""}, TextCase{"5--2", 1, {{-2, 5}}, ""},
                    TextCase{"1 ,2", 2, {{1, 2}}, ""}, TextCase{"1, 2", 1, {{1, 1}}, " 2"},
                    TextCase{"1-3 p", 1, {{1, 3}}, "p"}, TextCase{"p 1", 0, {}, "p 1"},
                    TextCase{"", 0, {}, ""}, TextCase{" 1", 0, {}, " 1"},
                    TextCase{"1 -3", 1, {{1, 1}}, "-3"}, TextCase{"3- 5 d", 1, {{3, 5}}, "d"},
                    TextCase{"0x", 1, {{0, 0}}, "x"}, TextCase{"08", 1, {{0, 0}}, "8"},
                    TextCase{"1-0x5", 1, {{0, 1}}, "x5"}, TextCase{"$5", 1, {{END, END}}, "5"},
                    // A count past the last position means "to the end"; it never wraps
                    // round to the lowest positions.
                    TextCase{"$-+1", 1, {{END, END}}, ""},
                    TextCase{"5-+99999999999999999999", 1, {{5, END}}, ""},
                    // A missing number after "-" or "+" fails; the cursor stays put.
                    TextCase{"3-x", -1, {}, "3-x"}, TextCase{"3-", -1, {}, "3-"},
                    TextCase{"3-+x", -1, {}, "3-+x"}, TextCase{"3-+", -1, {}, "3-+"},
                    TextCase{"1,3-x", -1, {{1, 1}}, "1,3-x"}));

// Numbers fit a position or fail: none wraps round to a small position
// (4294967296 would be 0, the first entry).
INSTANTIATE_TEST_SUITE_P(
    NumbersBeyondPositions, RangeText,
    testing::Values(TextCase{"2147483647", 1, {{END, END}}, ""},
                    TextCase{"0x7fffffff-1", 1, {{1, END}}, ""},
                    TextCase{"1--2147483648", 1, {{-END - 1, 1}}, ""},
                    TextCase{"4294967296", -1, {}, "4294967296"},
                    TextCase{"4294967297", -1, {}, "4294967297"},
                    TextCase{"2147483648", -1, {}, "2147483648"},
                    TextCase{"0x100000000", -1, {}, "0x100000000"},
                    TextCase{"040000000000", -1, {}, "040000000000"},
                    TextCase{"99999999999999999999999", -1, {}, "99999999999999999999999"},
                    TextCase{"1-4294967296", -1, {}, "1-4294967296"},
                    TextCase{"1-2147483648", -1, {}, "1-2147483648"},
                    TextCase{"1--2147483649", -1, {}, "1--2147483649"},
                    TextCase{"1,4294967297", -1, {{1, 1}}, "1,4294967297"}));

TEST(RangeText, AddsToAnExistingList) {
    List list;
    ASSERT_EQ(range_add(&list.head, 7, 9), 0);
    const char *cursor = "1-3";
    EXPECT_EQ(range_from_text(&list.head, &cursor), 1);
    EXPECT_EQ(nodes_of(list.head), (Ranges{{1, 3}, {7, 9}}));
}

TEST(RangeText, MissingArguments) {
    List list;
    const char *cursor = nullptr;
    errno = 0;
    EXPECT_EQ(range_from_text(&list.head, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(range_from_text(&list.head, &cursor), -1);
    EXPECT_EQ(errno, EINVAL);
    const char *text = "1";
    cursor = text;
    errno = 0;
    EXPECT_EQ(range_from_text(nullptr, &cursor), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(cursor, text);
}

struct AddCase {
    const char *name;
    Ranges before;
    std::pair<int, int> added;
    Ranges after;
};

class RangeAdd : public testing::TestWithParam<AddCase> {};

TEST_P(RangeAdd, KeepsNodesDisjointAndApart) {
    const AddCase &c = GetParam();
    List list;
    for (auto [lo, hi] : c.before)
        ASSERT_EQ(range_add(&list.head, lo, hi), 0);
    ASSERT_EQ(nodes_of(list.head), c.before) << "setup";
    EXPECT_EQ(range_add(&list.head, c.added.first, c.added.second), 0);
    EXPECT_EQ(nodes_of(list.head), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeAdd,
    testing::Values(AddCase{"into_empty", {}, {4, 2}, {{2, 4}}},
                    AddCase{"covering", {{5, 6}}, {1, 10}, {{1, 10}}},
                    AddCase{"touching_above", {{1, 3}}, {4, 4}, {{1, 4}}},
                    AddCase{"touching_below", {{5, 6}}, {3, 4}, {{3, 6}}},
                    AddCase{"already_there", {{1, 6}}, {2, 3}, {{1, 6}}},
                    AddCase{"gap_before", {{5, 6}}, {1, 3}, {{1, 3}, {5, 6}}},
                    AddCase{"gap_between", {{1, 1}, {5, 5}}, {3, 3}, {{1, 1}, {3, 3}, {5, 5}}},
                    AddCase{"gap_after", {{1, 1}}, {3, 3}, {{1, 1}, {3, 3}}},
                    AddCase{"bridging_many",
                            {{1, 1}, {3, 3}, {5, 5}, {7, 7}, {10, 10}},
                            {2, 6},
                            {{1, 7}, {10, 10}}},
                    AddCase{"extending_into_next", {{1, 2}, {6, 8}}, {3, 5}, {{1, 8}}},
                    AddCase{"low_below_and_absorbing", {{3, 4}, {6, 7}}, {1, 9}, {{1, 9}}},
                    AddCase{"end_is_stored", {{1, 2}}, {5, END}, {{1, 2}, {5, END}}},
                    // One past RANGE_END is not the lowest position: no wrap.
                    AddCase{"end_then_lowest",
                            {{END, END}},
                            {-END - 1, -END - 1},
                            {{-END - 1, -END - 1}, {END, END}}},
                    AddCase{"lowest_then_end",
                            {{-END - 1, -END - 1}},
                            {END, END},
                            {{-END - 1, -END - 1}, {END, END}}},
                    AddCase{"next_to_end", {{END, END}}, {END - 1, END - 1}, {{END - 1, END}}}),
    [](const testing::TestParamInfo<AddCase> &info) { return std::string(info.param.name); });

TEST(RangeAdd, MissingListAddress) {
    errno = 0;
    EXPECT_EQ(range_add(nullptr, 1, 2), -1);
    EXPECT_EQ(errno, ENOMEM);
}

TEST(RangeWalk, ForwardsAndBackwards) {
    List list;
    const char *cursor = "1-3,5";
    ASSERT_EQ(range_from_text(&list.head, &cursor), 2);
    EXPECT_EQ(range_len(list.head), 4);
    EXPECT_EQ(walk_forward(list.head), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(walk_backward(list.head), (std::vector<int>{5, 3, 2, 1}));
    std::int32_t p = 0;
    EXPECT_EQ(range_last(list.head, &p), 1);
    EXPECT_EQ(p, 5);
}

TEST(RangeWalk, StopsAtTheEndWithoutWrapping) {
    List list;
    ASSERT_EQ(range_add(&list.head, END - 1, END), 0);
    ASSERT_EQ(range_add(&list.head, 0, 0), 0);
    EXPECT_EQ(walk_forward(list.head), (std::vector<int>{0, END - 1, END}));
    EXPECT_EQ(walk_backward(list.head), (std::vector<int>{END, END - 1, 0}));
    std::int32_t p = END;
    EXPECT_EQ(range_next(list.head, &p), 0);
    EXPECT_EQ(p, END);
    p = 0;
    EXPECT_EQ(range_prev(list.head, &p), 0);
    EXPECT_EQ(p, 0);
}

TEST(RangeLen, CountsPositionsAndEnd) {
    struct {
        const char *text;
        int len;
    } cases[] = {{"1-3,5", 4}, {"2-$", END}, {"$", 1}, {"0,$", 2}, {"1-3,$-7", END}, {"5--2", 8}};
    for (const auto &c : cases) {
        List list;
        const char *cursor = c.text;
        ASSERT_GE(range_from_text(&list.head, &cursor), 1) << c.text;
        EXPECT_EQ(range_len(list.head), c.len) << c.text;
    }
}

TEST(RangeEmpty, OperationsFailWithEinval) {
    std::int32_t p = 0;
    range_t *empty = nullptr;
    auto expect_einval = [](int result, const char *what) {
        EXPECT_EQ(result, -1) << what;
        EXPECT_EQ(errno, EINVAL) << what;
    };
    errno = 0;
    expect_einval(range_len(nullptr), "len");
    errno = 0;
    expect_einval(range_next(nullptr, &p), "next");
    errno = 0;
    expect_einval(range_prev(nullptr, &p), "prev");
    errno = 0;
    expect_einval(range_last(nullptr, &p), "last");
    errno = 0;
    expect_einval(range_free(&empty), "free empty");
    errno = 0;
    expect_einval(range_free(nullptr), "free missing");

    List list;
    ASSERT_EQ(range_add(&list.head, 1, 1), 0);
    errno = 0;
    expect_einval(range_next(list.head, nullptr), "next without p");
    errno = 0;
    expect_einval(range_prev(list.head, nullptr), "prev without p");
    errno = 0;
    expect_einval(range_last(list.head, nullptr), "last without p");
}

TEST(RangeFree, EmptiesTheList) {
    range_t *list = nullptr;
    ASSERT_EQ(range_add(&list, 1, 2), 0);
    ASSERT_EQ(range_add(&list, 5, 6), 0);
    EXPECT_EQ(range_free(&list), 0);
    EXPECT_EQ(list, nullptr);
}

// The abort lines carry the node's address, so the expected text is built
// for each node and matched whole.
std::string exactly(const char *format, const void *node, unsigned magic = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, node, magic);
    std::string re = "^";
    for (const char *c = line; *c; ++c) {
        if (std::string("\\^$.|?*+()[]{}").find(*c) != std::string::npos) re += '\\';
        re += *c;
    }
    return re;
}

using RangeDeathTest = testing::Test;

TEST_F(RangeDeathTest, BadMagicAborts) {
    range_t bad{0x12345678, 1, 2, nullptr};
    const void *at = &bad;
    range_t *head = &bad;
    std::int32_t p = RANGE_WALK_START;
    EXPECT_DEATH(range_add(&head, 5, 5),
                 exactly("*** range_add(%p): Invalid magic (0x%08x)\n", at, 0x12345678));
    EXPECT_DEATH(range_len(&bad),
                 exactly("*** range_len(%p): Invalid magic (0x%08x)\n", at, 0x12345678));
    EXPECT_DEATH(range_next(&bad, &p),
                 exactly("*** range_next(%p): Invalid magic (0x%08x)\n", at, 0x12345678));
    EXPECT_DEATH(range_prev(&bad, &p),
                 exactly("*** range_prev(%p): Invalid magic (0x%08x)\n", at, 0x12345678));
    EXPECT_DEATH(range_last(&bad, &p),
                 exactly("*** range_last(%p): Invalid magic (0x%08x)\n", at, 0x12345678));
    EXPECT_DEATH(range_free(&head),
                 exactly("*** range_free(%p): Invalid magic=0x%08x\n", at, 0x12345678));
}

TEST_F(RangeDeathTest, BadNodeFurtherDownTheChainAborts) {
    range_t bad{0, 9, 9, nullptr};
    range_t *head = nullptr;
    ASSERT_EQ(range_add(&head, 1, 1), 0);
    head->next = &bad;
    EXPECT_DEATH(range_add(&head, 20, 20),
                 exactly("*** range_add(%p): Invalid magic (0x%08x)\n", &bad, 0));
    EXPECT_DEATH(range_len(head), exactly("*** range_len(%p): Invalid magic (0x%08x)\n", &bad, 0));
    head->next = nullptr;
    range_free(&head);
}

TEST_F(RangeDeathTest, ReleasedNodeAborts) {
    range_t *head = nullptr;
    ASSERT_EQ(range_add(&head, 1, 3), 0);
    range_t *stale = head;
    const void *at = stale;
    ASSERT_EQ(range_free(&head), 0);
    std::int32_t p = RANGE_WALK_START;
    EXPECT_DEATH(range_free(&stale), exactly("*** range_free(%p): Double free\n", at));
    EXPECT_DEATH(range_len(stale),
                 exactly("*** range_len(%p): Invalid magic (0x%08x)\n", at, RANGE_FREED));
    EXPECT_DEATH(range_next(stale, &p),
                 exactly("*** range_next(%p): Invalid magic (0x%08x)\n", at, RANGE_FREED));
    EXPECT_DEATH(range_add(&stale, 7, 7),
                 exactly("*** range_add(%p): Invalid magic (0x%08x)\n", at, RANGE_FREED));
}

TEST_F(RangeDeathTest, NodeAbsorbedByAMergeIsReleased) {
    range_t *head = nullptr;
    ASSERT_EQ(range_add(&head, 1, 1), 0);
    ASSERT_EQ(range_add(&head, 5, 5), 0);
    range_t *absorbed = head->next;
    const void *at = absorbed;
    ASSERT_EQ(range_add(&head, 2, 4), 0);
    ASSERT_EQ(nodes_of(head), (Ranges{{1, 5}}));
    EXPECT_DEATH(range_free(&absorbed), exactly("*** range_free(%p): Double free\n", at));
    range_free(&head);
}

}  // namespace
