// ordered_window: a fixed number of jobs, worked on by a pool of threads and
// taken back strictly in the order they were given. The owner that consumes
// them sees each result exactly as if it had done the job itself, in turn;
// the threads only let later jobs run while it works on the earlier ones.
//
// One thread, the owner, pushes jobs and takes results. Worker threads run
// `work` on one job at a time, several at once, each on its own job; `work`
// must touch nothing but its job and its result (no shared caches, no
// configuration, no messages) and must not throw. With no workers the owner
// runs each job itself when it asks for the result, so a one-thread run
// makes its calls in the order it always did.
//
// Memory is the window: `capacity` slots, made once; a result keeps its
// storage when its slot is reused. The destructor stops and joins the
// workers whatever jobs are left (a job being worked on is finished first),
// so abandoning the owner's work by an exception needs nothing else. Workers
// start with every signal blocked: signals stay with the owner.
#pragma once

#include <signal.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

template <class Job, class Result>
class ordered_window {
  public:
    using work_t = std::function<void(const Job &, Result &)>;

    // `workers` threads (0: none) and `capacity` slots (at least 1). Throws
    // what thread creation or allocation throws.
    ordered_window(unsigned workers, size_t capacity, work_t work)
        : work_(std::move(work)), slots_(capacity > 0 ? capacity : 1) {
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before);
        try {
            workers_.reserve(workers);
            for (unsigned i = 0; i < workers; i++)
                workers_.emplace_back([this](std::stop_token stop) { serve(stop); });
        } catch (...) {
            pthread_sigmask(SIG_SETMASK, &before, nullptr);
            stop_workers();
            throw;
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    ~ordered_window() { stop_workers(); }
    ordered_window(const ordered_window &) = delete;
    ordered_window &operator=(const ordered_window &) = delete;

    size_t capacity() const { return slots_.size(); }
    // Jobs pushed and not yet popped.
    size_t size() const { return static_cast<size_t>(tail_ - head_); }
    bool empty() const { return head_ == tail_; }
    bool full() const { return size() == capacity(); }
    bool threaded() const { return !workers_.empty(); }

    // Adds a job at the back; the window must not be full.
    void push(Job job) {
        slot &s = at(tail_);
        if (!threaded()) {
            s.job = std::move(job);
            s.state = QUEUED;
            ++tail_;
            return;
        }
        {
            std::lock_guard lock(mutex_);
            s.job = std::move(job);
            s.state = QUEUED;
            ++tail_;
        }
        work_ready_.notify_one();
    }

    // The job at the front, as pushed; the window must not be empty.
    const Job &front_job() const { return at(head_).job; }

    // The result of the oldest job, once it is done: waits for the worker
    // that has it, or runs it here when no worker has started it. The window
    // must not be empty.
    Result &front() {
        slot &s = at(head_);
        if (!threaded()) {
            if (s.state == QUEUED) {
                work_(s.job, s.result);
                s.state = DONE;
            }
            return s.result;
        }
        std::unique_lock lock(mutex_);
        if (s.state == QUEUED && next_ == head_) {
            // Nobody has it yet: doing it here beats waiting for a wake-up.
            ++next_;
            s.state = WORKING;
            lock.unlock();
            work_(s.job, s.result);
            lock.lock();
            s.state = DONE;
            return s.result;
        }
        done_.wait(lock, [&] { return s.state == DONE; });
        return s.result;
    }

    // Drops the oldest job; its result must not be used any more.
    void pop() {
        if (!threaded()) {
            at(head_).state = FREE;
            ++head_;
            return;
        }
        std::lock_guard lock(mutex_);
        at(head_).state = FREE;
        ++head_;
    }

    // Drops every job, waiting for those being worked on: afterwards no
    // worker touches anything a job refers to.
    void clear() {
        if (!threaded()) {
            for (; head_ != tail_; ++head_)
                at(head_).state = FREE;
            return;
        }
        std::unique_lock lock(mutex_);
        next_ = tail_;  // nothing more starts
        done_.wait(lock, [&] {
            for (uint64_t i = head_; i != tail_; ++i)
                if (at(i).state == WORKING) return false;
            return true;
        });
        for (; head_ != tail_; ++head_)
            at(head_).state = FREE;
    }

  private:
    enum state_t { FREE, QUEUED, WORKING, DONE };
    struct slot {
        Job job{};
        Result result{};
        state_t state = FREE;
    };

    slot &at(uint64_t index) { return slots_[index % slots_.size()]; }
    const slot &at(uint64_t index) const { return slots_[index % slots_.size()]; }

    void serve(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!work_ready_.wait(lock, stop, [&] { return next_ != tail_; })) return;
            slot &s = at(next_++);
            s.state = WORKING;
            lock.unlock();
            work_(s.job, s.result);
            lock.lock();
            s.state = DONE;
            done_.notify_all();
        }
    }

    void stop_workers() {
        if (threaded()) {
            std::lock_guard lock(mutex_);
            next_ = tail_;  // jobs not started stay so
        }
        for (std::jthread &t : workers_)
            t.request_stop();
        workers_.clear();  // joins
    }

    work_t work_;
    std::vector<slot> slots_;
    // Jobs [head_, tail_) are in the window; [next_, tail_) not started yet.
    // Monotonic counters; a job's slot is its number modulo the capacity.
    uint64_t head_ = 0, next_ = 0, tail_ = 0;
    std::mutex mutex_;
    std::condition_variable_any work_ready_;
    std::condition_variable done_;
    // Last: the threads are joined before anything they use is destroyed.
    std::vector<std::jthread> workers_;
};
