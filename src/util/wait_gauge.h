// wait_gauge: tells from timed calls whether they wait (for a disk or a
// server) rather than being answered from memory: once more than half of
// the last few timed calls took a set time or longer. The walk starts its
// read-ahead threads on that, since threads only pay where calls wait.
#pragma once

#include <bit>
#include <chrono>
#include <cstdint>

class wait_gauge {
  public:
    using duration = std::chrono::steady_clock::duration;

    // A call that took `slow` or longer waited; the last `window` calls
    // count (1 to 32).
    wait_gauge(duration slow, unsigned window)
        : slow_(slow),
          window_(window < 1    ? 1
                  : window > 32 ? 32
                                : window) {}

    // Adds one timed call; true when more than half of the last `window`
    // calls waited (calls before the first count as not waiting).
    bool sample(duration took) {
        waited_ = (waited_ << 1) | (took >= slow_ ? 1u : 0u);
        const uint32_t last = window_ == 32 ? ~uint32_t{0} : (uint32_t{1} << window_) - 1;
        return static_cast<unsigned>(std::popcount(waited_ & last)) > window_ / 2;
    }

  private:
    duration slow_;
    unsigned window_;
    uint32_t waited_ = 0;  // one bit per call, the newest lowest: 1 when it waited
};
