// report(): the message line and the abandonment of a command.
#include "base/report.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "gacl/text_in.h"

namespace {

struct report_case {
    const char *name;  // current name, or null
    int status;
    int err;
    const char *expected;
};

TEST(Report, WritesOneLineAndAbandonsOnNonZeroStatus) {
    const report_case cases[] = {
        {nullptr, 0, 0, "Info: x: hello\n"},
        {"vossik", -1, 0, "vossik: Warning: x: hello\n"},
        {"vossik list-access", 1, ENOENT,
         "vossik list-access: Error: x: hello: No such file or directory\n"},
        {"vossik", 7, 0, "vossik: Error: x: hello\n"},
    };
    for (const auto &c : cases) {
        current_name_set(c.name);
        testing::internal::CaptureStderr();
        int thrown = 0;
        errno = EACCES;
        try {
            EXPECT_EQ(report(c.status, c.err, "%s: %s", "x", "hello"), 0);
        } catch (const command_abandoned &a) {
            thrown = a.status;
        }
        EXPECT_EQ(errno, EACCES) << "report keeps errno";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
        EXPECT_EQ(thrown, c.status);
    }
    current_name_set(nullptr);
}

TEST(Report, ReportOnWritesUnderItsPrefixAndGoesOn) {
    current_name_set("vossik list-access");
    testing::internal::CaptureStderr();
    errno = EACCES;
    EXPECT_EQ(report_on("vossik", 1, ENOENT, "%s: Unable", "f"), 1);  // no throw
    EXPECT_EQ(report_on(nullptr, -1, 0, "%s", "plain"), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vossik: Error: f: Unable: No such file or directory\nWarning: plain\n");
    current_name_set(nullptr);
}

// The second line after a text that did not parse; a text that failed
// before any item was read (memory) gets none, never an "item 0".
TEST(Report, ParseErrorNamesTheItemOrNothing) {
    const struct {
        gacl_text_error_t why;
        const char *expected;
    } cases[] = {
        {{2, "u:x:r", "unknown user \"x\""},
         "vossik set-access: Error: a,u:x:r: entry 2 \"u:x:r\": unknown user \"x\"\n"},
        {{}, ""},
    };
    current_name_set("vossik set-access");
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        int thrown = 0;
        try {
            report_parse_error("a,u:x:r", "entry", c.why);
        } catch (const command_abandoned &a) {
            thrown = a.status;
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
        EXPECT_EQ(thrown, 1);
    }
    current_name_set(nullptr);
}

TEST(Report, CurrentNameIsACopy) {
    std::string name = "vossik echo-text";
    current_name_set(name.c_str());
    name = "changed";
    EXPECT_STREQ(current_name_get(), "vossik echo-text");
    current_name_set(nullptr);
    EXPECT_EQ(current_name_get(), nullptr);
}

TEST(Report, FlushesStandardOutputFirst) {
    // Both streams go to one file, as on a terminal: what stdio holds for
    // standard output must come before the message.
    std::fflush(stdout);
    FILE *shared = std::tmpfile();
    ASSERT_NE(shared, nullptr);
    int saved_out = dup(1), saved_err = dup(2);
    dup2(fileno(shared), 1);
    dup2(fileno(shared), 2);
    std::printf("pending ");
    report(0, 0, "note");
    std::fflush(stdout);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(saved_out);
    close(saved_err);

    std::rewind(shared);
    char buf[64] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, shared);
    std::fclose(shared);
    EXPECT_EQ(std::string(buf, n), "pending Info: note\n");
}

}  // namespace
