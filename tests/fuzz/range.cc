// Fuzz target: the reader of position lists. A list it builds must be
// ascending, disjoint and non-touching, its length and walks must agree
// with its nodes, and the cursor must stop inside the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "edit/range.h"
#include "fuzz_check.h"

namespace {

void check_list(const range_t *list, int ranges) {
    FUZZ_CHECK(ranges >= 1);
    FUZZ_CHECK(list != nullptr);
    int nodes = 0;
    std::int64_t positions = 0;
    bool to_end = false;  // a range reaches "$" from below: as long as can be
    for (const range_t *node = list; node; node = node->next, nodes++) {
        FUZZ_CHECK(node->magic == RANGE_MAGIC);
        FUZZ_CHECK(node->low <= node->high);
        if (node->next) FUZZ_CHECK(std::int64_t{node->high} + 1 < node->next->low);
        positions += std::int64_t{node->high} - node->low + 1;
        to_end = to_end || (node->high == RANGE_END && node->low != RANGE_END);
    }
    FUZZ_CHECK(nodes <= ranges);

    std::int64_t length = range_len(list);
    FUZZ_CHECK(length == (to_end || positions > RANGE_END ? RANGE_END : positions));

    // A walk from either end starts on the list's first or last position
    // (unless the list holds the walk's start itself: "5--2147483648").
    if (list->low == RANGE_WALK_START) return;
    std::int32_t p = RANGE_WALK_START;
    FUZZ_CHECK(range_next(list, &p) == 1);
    FUZZ_CHECK(p == list->low);
    std::int32_t last = 0;
    FUZZ_CHECK(range_last(list, &last) == 1);
    p = RANGE_WALK_START;
    FUZZ_CHECK(range_prev(list, &p) == 1);
    FUZZ_CHECK(p == last);

    // A short walk forward only climbs.
    p = RANGE_WALK_START;
    std::int32_t before = 0;
    for (int step = 0; step < 64 && range_next(list, &p) == 1; step++) {
        if (step > 0) FUZZ_CHECK(p > before);
        before = p;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    const char *cursor = text.c_str();
    range_t *list = nullptr;
    int ranges = range_from_text(&list, &cursor);
    if (ranges >= 0) {
        FUZZ_CHECK(cursor >= text.c_str() && cursor <= text.c_str() + text.size());
        if (ranges == 0) FUZZ_CHECK(cursor == text.c_str());
    } else {
        FUZZ_CHECK(cursor == text.c_str());
    }
    if (ranges > 0) check_list(list, ranges);
    if (list) FUZZ_CHECK(range_free(&list) == 0);
    return 0;
}
