#include "edit/range.h"
#include "util/nomem.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <unordered_map>

namespace {

// Owns every node. A released node's memory is given back, but its address
// stays known as released, so a stale pointer is recognised without reading
// freed memory. An address is forgotten as released only when the allocator
// hands it out again for a new node. Releasing allocates nothing.
class NodeRegistry {
  public:
    enum class State { foreign, live, released };

    range_t *make(std::int32_t low, std::int32_t high, range_t *next) noexcept {
        return or_enomem<range_t *>(nullptr, [&]() -> range_t * {
            auto node = std::make_unique<range_t>(range_t{RANGE_MAGIC, low, high, next});
            range_t *raw = node.get();
            auto [slot, added] = nodes_.try_emplace(raw, nullptr);
            (void)added;
            slot->second = std::move(node);
            return raw;
        });
    }

    State state(const range_t *node) const {
        auto it = nodes_.find(node);
        if (it == nodes_.end()) return State::foreign;
        return it->second ? State::live : State::released;
    }

    void release(range_t *node) {
        node->magic = RANGE_FREED;
        auto it = nodes_.find(node);
        // A node this module did not allocate keeps its stamp and is left to
        // whoever made it.
        if (it != nodes_.end()) it->second.reset();
    }

  private:
    std::unordered_map<const range_t *, std::unique_ptr<range_t>> nodes_;
};

// Never destroyed: lists held by other objects may still be released by
// their destructors while the program exits.
NodeRegistry &registry() {
    static NodeRegistry *const nodes = std::make_unique<NodeRegistry>().release();
    return *nodes;
}

std::uint32_t magic_of(const range_t *node) {
    if (registry().state(node) == NodeRegistry::State::released) return RANGE_FREED;
    return node->magic;
}

[[noreturn]] void die_invalid(const char *op, const range_t *node, std::uint32_t magic) {
    std::fflush(stdout);
    std::fprintf(stderr, "*** %s(%p): Invalid magic (0x%08x)\n", op,
                 static_cast<const void *>(node), static_cast<unsigned>(magic));
    std::abort();
}

void check(const range_t *node, const char *op) {
    std::uint32_t magic = magic_of(node);
    if (magic != RANGE_MAGIC) die_invalid(op, node, magic);
}

// Position arithmetic is done in 64 bits so that "one past RANGE_END" never
// wraps around to the smallest position.
bool touches_below(std::int64_t high, std::int64_t low) {
    return high + 1 >= low;
}

void absorb_followers(range_t *node) {
    while (node->next) {
        range_t *follower = node->next;
        check(follower, "range_add");
        if (!touches_below(node->high, follower->low)) break;
        if (follower->high > node->high) node->high = follower->high;
        node->next = follower->next;
        registry().release(follower);
    }
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Anything read beyond this is out of every position's range; reading stops
// growing there, so that no number wraps round to a small position.
constexpr std::uint64_t DIGITS_LIMIT = std::uint64_t{1} << 32;

// Reads digits of the base; a value beyond DIGITS_LIMIT is kept as that.
// Returns the end of the digits (s itself when there are none).
const char *read_digits(const char *s, int base, std::uint64_t *value) {
    std::uint64_t v = 0;
    for (; digit_value(*s) < base; ++s) {
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit_value(*s));
        if (v > DIGITS_LIMIT) v = DIGITS_LIMIT;
    }
    *value = v;
    return s;
}

// Range start at s (a digit or "$"): "0x" hexadecimal, leading "0" octal,
// otherwise decimal. nullptr for a number beyond the last position.
const char *read_start(const char *s, std::int32_t *start) {
    if (*s == '$') {
        *start = RANGE_END;
        return s + 1;
    }
    std::uint64_t v = 0;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && digit_value(s[2]) < 16) {
        s = read_digits(s + 2, 16, &v);
    } else if (s[0] == '0') {
        s = read_digits(s, 8, &v);
    } else {
        s = read_digits(s, 10, &v);
    }
    if (v > static_cast<std::uint64_t>(RANGE_END)) return nullptr;
    *start = static_cast<std::int32_t>(v);
    return s;
}

// Range end after the "-": "$", "+n" (start + n, never beyond RANGE_END) or
// a signed decimal number after optional white space. nullptr when the
// number is missing or does not fit a position.
const char *read_end(const char *s, std::int32_t start, std::int32_t *end) {
    if (*s == '$') {
        *end = RANGE_END;
        return s + 1;
    }
    if (*s == '+' && is_digit(s[1])) {
        const char *after = s + 1;
        std::int64_t n = 0;
        // Saturate: any count that reaches past RANGE_END means "to the end".
        for (; is_digit(*after); ++after) {
            n = n * 10 + (*after - '0');
            if (n > RANGE_END) n = static_cast<std::int64_t>(RANGE_END) + 1;
        }
        std::int64_t sum = static_cast<std::int64_t>(start) + n;
        *end = sum > RANGE_END ? RANGE_END : static_cast<std::int32_t>(sum);
        return after;
    }
    if (*s == '+') return nullptr;
    while (is_space(*s))
        ++s;
    bool negative = false;
    if (*s == '-' || *s == '+') negative = *s++ == '-';
    if (!is_digit(*s)) return nullptr;
    std::uint64_t v = 0;
    s = read_digits(s, 10, &v);
    std::int64_t value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    if (value > RANGE_END || value < RANGE_WALK_START) return nullptr;
    *end = static_cast<std::int32_t>(value);
    return s;
}

}  // namespace

int range_add(range_t **list, std::int32_t a, std::int32_t b) {
    if (!list) {
        errno = ENOMEM;
        return -1;
    }
    std::int32_t lo = a < b ? a : b;
    std::int32_t hi = a < b ? b : a;
    range_t **link = list;
    for (range_t *node = *list; node; link = &node->next, node = node->next) {
        check(node, "range_add");
        bool contains_lo = node->low <= lo && lo <= node->high;
        if (contains_lo || static_cast<std::int64_t>(node->high) + 1 == lo) {
            if (hi > node->high) node->high = hi;
            absorb_followers(node);
            return 0;
        }
        if (lo < node->low && touches_below(hi, node->low)) {
            node->low = lo;
            if (hi > node->high) node->high = hi;
            absorb_followers(node);
            return 0;
        }
        if (!touches_below(hi, node->low)) {
            range_t *fresh = registry().make(lo, hi, node);
            if (!fresh) return -1;
            *link = fresh;
            return 0;
        }
    }
    range_t *fresh = registry().make(lo, hi, nullptr);
    if (!fresh) return -1;
    *link = fresh;
    return 0;
}

void range_deleter::operator()(range_t *list) const noexcept {
    int saved = errno;
    if (list) range_free(&list);
    errno = saved;
}

int range_free(range_t **list) {
    if (!list || !*list) {
        errno = EINVAL;
        return -1;
    }
    range_t *node = *list;
    while (node) {
        std::uint32_t magic = magic_of(node);
        if (magic == RANGE_FREED) {
            std::fflush(stdout);
            std::fprintf(stderr, "*** range_free(%p): Double free\n",
                         static_cast<const void *>(node));
            std::abort();
        }
        if (magic != RANGE_MAGIC) {
            std::fflush(stdout);
            std::fprintf(stderr, "*** range_free(%p): Invalid magic=0x%08x\n",
                         static_cast<const void *>(node), static_cast<unsigned>(magic));
            std::abort();
        }
        range_t *next = node->next;
        registry().release(node);
        node = next;
    }
    *list = nullptr;
    return 0;
}

int range_len(const range_t *list) {
    if (!list) {
        errno = EINVAL;
        return -1;
    }
    std::int64_t total = 0;
    for (const range_t *node = list; node; node = node->next) {
        check(node, "range_len");
        if (node->high == RANGE_END) {
            if (node->low != RANGE_END) return RANGE_END;
            total += 1;
        } else {
            total += static_cast<std::int64_t>(node->high) - node->low + 1;
        }
    }
    // Lists reaching far into negative positions could count past the
    // largest result; they are as good as unbounded.
    return total > RANGE_END ? RANGE_END : static_cast<int>(total);
}

int range_next(const range_t *list, std::int32_t *p) {
    if (!list || !p) {
        errno = EINVAL;
        return -1;
    }
    for (const range_t *node = list; node; node = node->next) {
        check(node, "range_next");
        if (node->low <= *p && *p <= node->high) {
            if (*p < node->high) {
                ++*p;
                return 1;
            }
            if (!node->next) return 0;
            check(node->next, "range_next");
            *p = node->next->low;
            return 1;
        }
    }
    *p = list->low;
    return 1;
}

int range_prev(const range_t *list, std::int32_t *p) {
    if (!list || !p) {
        errno = EINVAL;
        return -1;
    }
    const range_t *before = nullptr;
    const range_t *last = nullptr;
    for (const range_t *node = list; node; before = node, node = node->next) {
        check(node, "range_prev");
        if (node->low <= *p && *p <= node->high) {
            if (*p > node->low) {
                --*p;
                return 1;
            }
            if (!before) return 0;
            *p = before->high;
            return 1;
        }
        last = node;
    }
    *p = last->high;
    return 1;
}

int range_last(const range_t *list, std::int32_t *p) {
    if (!list || !p) {
        errno = EINVAL;
        return -1;
    }
    const range_t *last = list;
    for (const range_t *node = list; node; node = node->next) {
        check(node, "range_last");
        last = node;
    }
    *p = last->high;
    return 1;
}

int range_from_text(range_t **list, const char **cursor) {
    if (!cursor || !*cursor) {
        errno = EINVAL;
        return -1;
    }
    if (!list) {
        errno = ENOMEM;
        return -1;
    }
    const char *s = *cursor;
    int ranges = 0;
    for (;;) {
        if (!is_digit(*s) && *s != '$') break;
        std::int32_t start = 0;
        s = read_start(s, &start);
        if (!s) {
            errno = EINVAL;
            return -1;
        }
        std::int32_t end = start;
        if (*s == '-') {
            s = read_end(s + 1, start, &end);
            if (!s) {
                errno = EINVAL;
                return -1;
            }
        }
        if (range_add(list, start, end) < 0) {
            errno = EINVAL;
            return -1;
        }
        ++ranges;
        while (is_space(*s))
            ++s;
        if (*s != ',') break;
        ++s;
    }
    *cursor = s;
    return ranges;
}
