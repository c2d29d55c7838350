// When timed calls count as waiting: more than half of the last few took the
// set time or longer, older ones forgotten.
#include "util/wait_gauge.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono_literals;

// Feeds "s" (slow: 50 us, the limit itself), "f" (fast: 49 us) and "w"
// (very slow) calls; returns after which call (1-based) the gauge first said
// yes, or 0.
size_t first_yes(const std::string &calls, unsigned window) {
    wait_gauge gauge(50us, window);
    for (size_t i = 0; i < calls.size(); i++) {
        auto took = calls[i] == 'f' ? 49us : calls[i] == 's' ? 50us : 5000us;
        if (gauge.sample(took)) return i + 1;
    }
    return 0;
}

TEST(WaitGauge, MoreThanHalfOfTheLastCallsMustWait) {
    const struct {
        const char *calls;
        unsigned window;
        size_t yes_after;
    } cases[] = {
        {"ffffffffffffffffffffffffffffffff", 16, 0},  // answered from memory
        {"sssssssss", 16, 9},                         // 9 of 16: yes at once
        {"ssssssss", 16, 0},                          // 8 of 16 is half, no more
        {"sfsfsfsfsfsfsfsfsfsfsfsf", 16, 0},          // every other one
        {"wwwwwwwwffffffffffffffffwwwwwwww", 16, 0},  // the first eight are forgotten
        {"ffwffwwfwwfwwwfw", 16, 16},                 // the ninth slow one of sixteen
        {"fffffffffffffffffffffffffffffff"
         "sssssssss",
         16, 40},
        {"s", 1, 1},
        {"fs", 2, 0},
        {"ss", 2, 2},
        {"sssssssssssssssss", 32, 17},  // windows up to 32 calls
    };
    for (const auto &c : cases) {
        EXPECT_EQ(first_yes(c.calls, c.window), c.yes_after) << c.calls << " / " << c.window;
    }
}

}  // namespace
