#include "util/ordered_window.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Jobs take uneven times, so that later ones often finish first.
void uneven_pause(int job) {
    if (job % 5 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50 * (job % 3 + 1)));
}

TEST(OrderedWindow, ResultsComeBackInPushOrderEachJobRunOnce) {
    // Workers from the start, or started half way with jobs waiting.
    const struct { unsigned workers, later; } cases[] = {{0, 0}, {1, 0}, {4, 0}, {0, 3}, {1, 2}};
    for (auto [workers, later] : cases) {
        SCOPED_TRACE(testing::Message() << workers << " then " << later);
        constexpr int JOBS = 600;
        std::vector<std::atomic<int>> runs(JOBS);
        ordered_window<int, long> window(workers, 8, [&](const int &job, long &result) {
            uneven_pause(job);
            runs[static_cast<size_t>(job)]++;
            result = static_cast<long>(job) * job;
        });
        int pushed = 0;
        std::vector<long> seen;
        while (pushed < JOBS || !window.empty()) {
            while (pushed < JOBS && !window.full())
                window.push(pushed++);
            if (later > 0 && pushed >= JOBS / 2) {
                window.start(later);
                later = 0;
                EXPECT_TRUE(window.threaded());
            }
            window.wake();
            EXPECT_LE(window.size(), window.capacity());
            int job = window.front_job();
            EXPECT_EQ(window.front(), static_cast<long>(job) * job);
            seen.push_back(window.front());
            window.pop();
        }
        ASSERT_EQ(seen.size(), static_cast<size_t>(JOBS));
        for (int i = 0; i < JOBS; i++) {
            EXPECT_EQ(seen[static_cast<size_t>(i)], static_cast<long>(i) * i);
            EXPECT_EQ(runs[static_cast<size_t>(i)].load(), 1) << "job " << i;
        }
    }
}

TEST(OrderedWindow, WithoutWorkersEachJobRunsOnTheOwnerWhenItsResultIsAsked) {
    std::vector<int> calls;
    std::thread::id owner = std::this_thread::get_id();
    ordered_window<int, int> window(0, 4, [&](const int &job, int &result) {
        EXPECT_EQ(std::this_thread::get_id(), owner);
        calls.push_back(job);
        result = job + 100;
    });
    EXPECT_FALSE(window.threaded());
    window.push(1);
    window.push(2);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(window.front(), 101);
    EXPECT_EQ(window.front(), 101);  // asked twice, run once
    EXPECT_EQ(calls, std::vector<int>{1});
    window.pop();
    window.clear();  // job 2 dropped unrun
    EXPECT_TRUE(window.empty());
    window.push(3);
    EXPECT_EQ(window.front(), 103);
    EXPECT_EQ(calls, (std::vector<int>{1, 3}));
}

TEST(OrderedWindow, ClearWaitsForRunningJobsAndTheWindowCanBeUsedAgain) {
    std::atomic<int> active{0};
    ordered_window<int, int> window(3, 6, [&](const int &job, int &result) {
        active++;
        std::this_thread::sleep_for(200us);
        result = -job;
        active--;
    });
    for (int round = 0; round < 20; round++) {
        for (int i = 0; i < 6; i++)
            window.push(i);
        window.wake();
        if (round % 2 == 1) {
            EXPECT_EQ(window.front(), 0);
        }
        window.clear();
        // Whatever the directory a job referred to, it may go now.
        EXPECT_EQ(active.load(), 0);
        EXPECT_TRUE(window.empty());
    }
    window.push(7);
    EXPECT_EQ(window.front(), -7);
}

TEST(OrderedWindow, AbandoningTheOwnerStopsTheWorkersAndNoJobRunsAfterwards) {
    std::atomic<int> started{0};
    std::atomic<bool> gone{false};
    std::atomic<bool> late{false};
    try {
        ordered_window<int, int> window(2, 16, [&](const int &, int &result) {
            if (gone) late = true;
            started++;
            std::this_thread::sleep_for(1ms);
            result = 0;
        });
        for (int i = 0; i < 16; i++)
            window.push(i);
        window.wake();
        window.front();
        throw std::runtime_error("abandoned");
    } catch (const std::runtime_error &) {
        gone = true;
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(late.load());
    EXPECT_LT(started.load(), 16);  // the jobs not started stayed so
}

TEST(OrderedWindow, WorkersRunWithSignalsBlockedAndTheOwnerKeepsItsMask) {
    sigset_t before;
    pthread_sigmask(SIG_SETMASK, nullptr, &before);
    ASSERT_EQ(sigismember(&before, SIGINT), 0);
    std::atomic<int> blocked{-1};
    std::thread::id owner = std::this_thread::get_id();
    {
        ordered_window<int, int> window(1, 2, [&](const int &, int &result) {
            sigset_t mask;
            pthread_sigmask(SIG_SETMASK, nullptr, &mask);
            if (std::this_thread::get_id() != owner) blocked = sigismember(&mask, SIGINT);
            result = 0;
        });
        // Only a worker may run it: the owner waits until the worker has.
        window.push(1);
        window.wake();
        for (int tries = 0; tries < 2000 && blocked.load() < 0; tries++)
            std::this_thread::sleep_for(1ms);
        window.front();
    }
    EXPECT_EQ(blocked.load(), 1);
    sigset_t after;
    pthread_sigmask(SIG_SETMASK, nullptr, &after);
    EXPECT_EQ(sigismember(&after, SIGINT), 0);
}

}  // namespace
