// ordered_window: a fixed number of jobs, worked on by a pool of threads and
// taken back strictly in the order they were given. The owner that consumes
// them sees each result exactly as if it had done the job itself, in turn;
// the threads only let later jobs run while it works on the earlier ones.
//
// One thread, the owner, pushes jobs and takes results. Worker threads run
// `work` on one job at a time, several at once, each on its own job; `work`
// must touch nothing but its job and its result (no shared caches, no
// configuration, no messages) and must not throw. The owner runs jobs too:
// the oldest one when no worker has started it, and later ones while it
// waits for a worker. With no workers the owner runs each job when it asks
// for the result, so a one-thread run makes its calls in the order it always
// did.
//
// Memory is the window: `capacity` slots, made once; a result keeps its
// storage when its slot is reused. The destructor stops and joins the
// workers whatever jobs are left (a job being worked on is finished first),
// so abandoning the owner's work by an exception needs nothing else. Workers
// start with every signal blocked: signals stay with the owner.
//
// Handing jobs over takes no lock: a job is claimed by one atomic step and
// its end published by another. Threads sleep only when there is nothing to
// do, and are woken only when they sleep, so that a busy window costs no
// system calls of its own.
#pragma once

#include <signal.h>

#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

template <class Job, class Result>
class ordered_window {
  public:
    using work_t = std::function<void(const Job &, Result &)>;

    // `workers` threads (0: none, or later ones by start()) and `capacity`
    // slots (at least 1, rounded up to a power of two). Throws what thread
    // creation or allocation throws.
    ordered_window(unsigned workers, size_t capacity, work_t work)
        : work_(std::move(work)),
          capacity_(std::bit_ceil(capacity > 0 ? capacity : size_t{1})),
          slots_(std::make_unique<slot[]>(capacity_)) {
        start(workers);
    }

    // Starts `workers` more threads, which take up the jobs not started
    // yet. Throws what thread creation throws; the window then works on
    // without threads, every job kept (those a thread had started are
    // finished first).
    void start(unsigned workers) {
        if (workers == 0) return;
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before);
        const size_t had = workers_.size();
        try {
            workers_.reserve(had + workers);
            for (unsigned i = 0; i < workers; i++)
                workers_.emplace_back([this](std::stop_token stop) { serve(stop); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
            for (std::jthread &t : workers_)
                t.request_stop();
            workers_.clear();  // joins
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    ~ordered_window() { stop_workers(); }
    ordered_window(const ordered_window &) = delete;
    ordered_window &operator=(const ordered_window &) = delete;

    size_t capacity() const { return capacity_; }
    // Jobs pushed and not yet popped.
    size_t size() const {
        return static_cast<size_t>(tail_.load(std::memory_order_relaxed) - head_);
    }
    bool empty() const { return size() == 0; }
    bool full() const { return size() == capacity_; }
    bool threaded() const { return !workers_.empty(); }

    // Adds a job at the back; the window must not be full. Workers that
    // sleep see it after wake().
    void push(Job job) {
        const uint64_t tail = tail_.load(std::memory_order_relaxed);
        slot &s = at(tail);
        s.job = std::move(job);
        s.state.store(QUEUED, std::memory_order_relaxed);
        // Publishes the job (to workers started later, their start does).
        tail_.store(tail + 1,
                    workers_.empty() ? std::memory_order_relaxed : std::memory_order_seq_cst);
    }

    // Wakes the workers that sleep, for the jobs pushed since the last
    // call: once for many jobs, since waking costs system calls.
    void wake() {
        if (sleepers_.load(std::memory_order_seq_cst) == 0) return;
        { std::lock_guard lock(sleep_lock_); }
        work_ready_.notify_all();
    }

    // The job at the front, as pushed; the window must not be empty.
    const Job &front_job() const { return at(head_).job; }

    // The result of the oldest job once it is done: run here when no worker
    // has started it, else waited for (running later jobs meanwhile). The
    // window must not be empty.
    Result &front() {
        slot &s = at(head_);
        if (workers_.empty()) {
            // Nobody else runs jobs (threads start on this thread): the
            // counters need no atomic steps, which were a measurable part
            // of a walk without threads.
            if (s.state.load(std::memory_order_relaxed) != DONE) {
                next_.store(head_ + 1, std::memory_order_relaxed);
                work_(s.job, s.result);
                s.state.store(DONE, std::memory_order_relaxed);
            }
            return s.result;
        }
        if (s.state.load(std::memory_order_acquire) == DONE) return s.result;
        uint64_t oldest = head_;
        if (next_.compare_exchange_strong(oldest, head_ + 1, std::memory_order_acq_rel)) {
            run(head_);
            return s.result;
        }
        wait_done(head_);
        return s.result;
    }

    // Drops the oldest job; its result must not be used any more.
    void pop() {
        at(head_).state.store(FREE, std::memory_order_relaxed);
        ++head_;
    }

    // Drops every job, waiting for those being worked on: afterwards no
    // worker touches anything a job refers to.
    void clear() {
        const uint64_t tail = tail_.load(std::memory_order_relaxed);
        // Nothing more starts; the jobs before `claimed` have been started.
        const uint64_t claimed = next_.exchange(tail, std::memory_order_acq_rel);
        for (uint64_t i = head_; i < claimed; ++i)
            wait_done(i);
        for (; head_ != tail; ++head_)
            at(head_).state.store(FREE, std::memory_order_relaxed);
    }

  private:
    enum state_t { FREE, QUEUED, DONE };
    struct slot {
        Job job{};
        Result result{};
        std::atomic<int> state{FREE};
    };

    slot &at(uint64_t index) { return slots_[index & (capacity_ - 1)]; }
    const slot &at(uint64_t index) const { return slots_[index & (capacity_ - 1)]; }

    void run(uint64_t index) {
        slot &s = at(index);
        work_(s.job, s.result);
        s.state.store(DONE, std::memory_order_seq_cst);
    }

    // Claims the next job not started yet, if any: its number in *index.
    bool claim(uint64_t *index) {
        uint64_t n = next_.load(std::memory_order_acquire);
        while (n < tail_.load(std::memory_order_acquire)) {
            if (next_.compare_exchange_weak(n, n + 1, std::memory_order_acq_rel)) {
                *index = n;
                return true;
            }
        }
        return false;
    }

    // Owner: until job `index` is done, runs the jobs nobody has started,
    // then spins a little, then sleeps until the worker that has it says it
    // is done.
    void wait_done(uint64_t index) {
        slot &s = at(index);
        for (int spins = 0; s.state.load(std::memory_order_acquire) != DONE;) {
            uint64_t n;
            if (claim(&n)) {
                run(n);
                continue;
            }
            if (++spins < SPINS) continue;
            std::unique_lock lock(owner_lock_);
            awaited_.store(index, std::memory_order_seq_cst);
            owner_woken_.wait(lock,
                              [&] { return s.state.load(std::memory_order_seq_cst) == DONE; });
            awaited_.store(NONE, std::memory_order_relaxed);
        }
    }

    void serve(std::stop_token stop) {
        for (int idle_spins = 0;;) {
            uint64_t n;
            if (claim(&n)) {
                idle_spins = 0;
                run(n);
                // Only the job the owner sleeps for wakes it.
                if (awaited_.load(std::memory_order_seq_cst) == n) {
                    { std::lock_guard lock(owner_lock_); }
                    owner_woken_.notify_one();
                }
                continue;
            }
            // New jobs often come soon (the next directory): a short look
            // before sleeping saves a sleep and a wake-up.
            if (++idle_spins < SPINS) continue;
            idle_spins = 0;
            std::unique_lock lock(sleep_lock_);
            sleepers_.fetch_add(1, std::memory_order_seq_cst);
            bool go = work_ready_.wait(lock, stop, [&] {
                return next_.load(std::memory_order_seq_cst) <
                       tail_.load(std::memory_order_seq_cst);
            });
            sleepers_.fetch_sub(1, std::memory_order_seq_cst);
            if (!go) return;
        }
    }

    void stop_workers() {
        if (threaded()) clear();
        for (std::jthread &t : workers_)
            t.request_stop();
        workers_.clear();  // joins
    }

    // Polls of a job's end before the owner sleeps.
    static constexpr int SPINS = 200;

    work_t work_;
    const size_t capacity_;
    std::unique_ptr<slot[]> slots_;
    // Jobs [head_, tail_) are in the window, [next_, tail_) not started.
    // Monotonic counters; a job's slot is its number modulo the capacity.
    // head_ and tail_ change on the owner's thread only.
    uint64_t head_ = 0;
    std::atomic<uint64_t> next_{0}, tail_{0};
    std::mutex sleep_lock_;
    std::condition_variable_any work_ready_;
    std::atomic<int> sleepers_{0};
    std::mutex owner_lock_;
    std::condition_variable owner_woken_;
    // The job the owner sleeps for, or NONE.
    static constexpr uint64_t NONE = UINT64_MAX;
    std::atomic<uint64_t> awaited_{NONE};
    // Last: the threads are joined before anything they use is destroyed.
    std::vector<std::jthread> workers_;
};
