// Range lists: sets of ACL entry positions held as an ascending chain of
// disjoint, non-touching closed ranges.
//
// A list is a pointer to its first node; the empty list is nullptr. Nodes
// are created by range_add/range_from_text and released by range_free only.
// Every operation checks the magic word of the nodes it visits and aborts the
// process with a "*** range_<op>(%p): ..." line on a bad or released node.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr std::uint32_t RANGE_MAGIC = 0x7b4a34f1;
inline constexpr std::uint32_t RANGE_FREED = 0xdeaddead;
// The position written "$": the last entry, whatever the ACL's length.
inline constexpr std::int32_t RANGE_END = 2147483647;
// Start value for walks: no node contains it, so the first range_next (or
// range_prev) yields the first (or last) position of the list.
inline constexpr std::int32_t RANGE_WALK_START = -2147483647 - 1;

struct range_t {
    std::uint32_t magic;
    std::int32_t low;
    std::int32_t high;
    range_t *next;
};

// Adds the positions a..b (either order), merging with overlapping or
// touching nodes. 0, or -1 with ENOMEM (missing list address, no memory; the
// list is then unchanged).
int range_add(range_t **list, std::int32_t a, std::int32_t b);

// Releases every node and empties the list. 0, or -1 with EINVAL for a
// missing address or an empty list.
int range_free(range_t **list);

// Number of positions; RANGE_END when a range reaches RANGE_END from below.
// -1 with EINVAL for the empty list.
int range_len(const range_t *list);

// Moves *p to the next (range_next) or previous (range_prev) position of the
// list: 1 when moved, 0 when *p was the last (first) position, -1 with EINVAL
// for the empty list or a missing p. A *p outside every node moves to the
// first (last) position.
int range_next(const range_t *list, std::int32_t *p);
int range_prev(const range_t *list, std::int32_t *p);

// Sets *p to the highest position of the list: 1, or -1 with EINVAL for the
// empty list or a missing p.
int range_last(const range_t *list, std::int32_t *p);

// Reads position text at *cursor ("1-3,5", "$", "2-$", "3-+2", "0x10", ...),
// adds each range to *list and advances *cursor past what it read. Returns
// the number of ranges read (0 when the text does not start with a
// position), or -1 with *cursor unchanged: EINVAL for a missing cursor or
// text, a number missing after "-" or "+", a number that is no position (a
// start above RANGE_END, an end outside the signed 32-bit range: numbers
// never wrap round to small positions), or a failed addition; ENOMEM for a
// missing list address. Ranges read before a failure stay in the list.
int range_from_text(range_t **list, const char **cursor);

// Owning handle for C++ holders of a list: releases the whole list and
// leaves errno as it was.
struct range_deleter {
    void operator()(range_t *list) const noexcept;
};
using range_ptr = std::unique_ptr<range_t, range_deleter>;
