// run_command: defaults before every command and the error line of a
// command that fails with a positive status.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/config.h"
#include "base/report.h"
#include "shell/registry.h"

namespace {

int32_t verbose_seen = -1;

int failing(int, char **) {
    verbose_seen = config.verbose;
    errno = ENOENT;
    return 2;
}

int warning(int, char **) {
    verbose_seen = config.verbose;
    return -4;
}

const command_t fail_command = {"fail-now", failing, nullptr, "", "Fails"};
const command_t warn_command = {"warn-only", warning, nullptr, "", "Warns"};
const command_t *const test_commands[] = {&fail_command, &warn_command, nullptr};

class RunCommand : public testing::Test {
  protected:
    static void SetUpTestSuite() { command_register(&command_registry, test_commands); }
    void SetUp() override {
        program_info.name = "vossik";
        config_defaults = config_t{};
        config_defaults.verbose = 3;
        config = config_t{};
        config.verbose = 9;  // left over from an earlier command
    }
    void TearDown() override { config_defaults = config_t{}; }
};

TEST_F(RunCommand, PositiveStatusGetsTheErrorLine) {
    char w0[] = "fn", w1[] = "-v", w2[] = "arg";
    char *argv[] = {w0, w1, w2, nullptr};
    testing::internal::CaptureStderr();
    int abandoned = 0;
    try {
        run_command(3, argv);
    } catch (const command_abandoned &a) {
        abandoned = a.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vossik fail-now: Error: fn: No such file or directory\n");
    EXPECT_EQ(abandoned, 2);
    EXPECT_EQ(verbose_seen, 4) << "defaults restored, then the command's own -v";
    EXPECT_EQ(config_defaults.verbose, 3);
}

TEST_F(RunCommand, NegativeStatusIsReturnedQuietly) {
    char w0[] = "warn";
    char *argv[] = {w0, nullptr};
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_command(1, argv), -4);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(verbose_seen, 3);
}

}  // namespace
