// Ctrl-C: the handler notes it, cancel_point and failing reports end the
// command with status 130 and no message.
#include "base/cancel.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "base/report.h"

namespace {

int abandoned_with(void (*work)()) {
    try {
        work();
    } catch (const command_abandoned &a) {
        return a.status;
    }
    return 0;
}

TEST(Cancel, CtrlCEndsTheCommandQuietlyAtItsNextPoint) {
    cancel_install();
    cancel_clear();
    EXPECT_EQ(abandoned_with(cancel_point), 0);

    ASSERT_EQ(std::raise(SIGINT), 0);  // the process lives on
    EXPECT_TRUE(cancel_requested());
    EXPECT_EQ(abandoned_with(cancel_point), CANCEL_STATUS);

    // A failure after Ctrl-C is most likely the interrupted call: it ends
    // the command as cancelled, without its line. Information still shows.
    testing::internal::CaptureStderr();
    EXPECT_EQ(abandoned_with([] { report(1, EINTR, "script: Reading"); }), CANCEL_STATUS);
    EXPECT_EQ(abandoned_with([] { report(-1, 0, "a warning"); }), CANCEL_STATUS);
    EXPECT_EQ(report_on("vossik", 1, EINTR, "display"), 1);
    EXPECT_EQ(abandoned_with([] { report(0, 0, "still said"); }), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Info: still said\n");

    cancel_clear();
    EXPECT_FALSE(cancel_requested());
    EXPECT_EQ(abandoned_with(cancel_point), 0);
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace
