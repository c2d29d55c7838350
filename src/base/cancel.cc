// Ctrl-C in the interactive mode.
#include "base/cancel.h"

#include <signal.h>

#include <atomic>

#include "base/report.h"

namespace {

// Written by the handler, read between objects, possibly by other threads
// than the one the signal interrupted: a lock-free atomic is safe for both.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void note_interrupt(int) {
    interrupted.store(true, std::memory_order_relaxed);
}

}  // namespace

void cancel_install() {
    struct sigaction action {};
    action.sa_handler = note_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read must give up
    // Fails only for a signal number that is no signal.
    sigaction(SIGINT, &action, nullptr);
}

bool cancel_requested() {
    return interrupted.load(std::memory_order_relaxed);
}

void cancel_clear() {
    interrupted.store(false, std::memory_order_relaxed);
}

void cancel_point() {
    if (cancel_requested()) throw command_abandoned{CANCEL_STATUS};
}
