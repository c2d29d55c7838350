// Standard output that cannot be written (a full device, a closed
// descriptor) fails the command line with "Writing output" and status 1 in
// every way the program runs; a reader that went away (a closed pipe) is
// no error worth a message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"

namespace {

// Runs the program through the shell with standard output redirected by
// `redirect` (">/dev/full", ">&-"), as `name` (a path to the binary or to a
// link to it, run in `dir`).
process_result run_redirected(const std::string &redirect, const std::vector<std::string> &args,
                              const std::string &input = "", const std::string &dir = "",
                              const std::string &name = vossik_binary()) {
    process_spec spec;
    spec.program = "/bin/sh";
    spec.argv = {"sh", "-c", "exec \"$0\" \"$@\" " + redirect, name};
    spec.argv.insert(spec.argv.end(), args.begin(), args.end());
    spec.input = input;
    spec.cwd = dir;
    return run_process(spec);
}

const std::string program = vossik_binary();
const std::string full = ": Error: Writing output: No space left on device\n";
const std::string closed = ": Error: Writing output: Bad file descriptor\n";

TEST(OutputErrors, SingleCommandsAndScripts) {
    temp_dir dir;
    dir.write("f", "");
    // Larger than stdio's buffer: written past it, and still told why.
    const std::string big(70000, 'x');
    const struct {
        std::string redirect;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string err;
    } cases[] = {
        {">/dev/full", {"echo-text", "hello"}, "", 1, program + " echo-text" + full},
        {">&-", {"echo-text", "hello"}, "", 1, program + " echo-text" + closed},
        {">/dev/full", {"echo-text", big}, "", 1, program + " echo-text" + full},
        {">/dev/full", {"-r", "list-access", dir.path()}, "", 1, program + " list-access" + full},
        // Output of the global options alone: no command names the line.
        {">/dev/full", {"-h"}, "", 1, "Error: Writing output: No space left on device\n"},
        // A warning becomes an error; an error keeps its status and its line.
        {">/dev/full", {"help", "lac"}, "", 1, program + " help" + full},
        {">/dev/full",
         {"list-access", "f", "missing"},
         "",
         1,
         program + " list-access: Error: missing: Accessing: No such file or directory\n" +
             program + " list-access" + full},
        // A script: each line that lost output says so; the last line's
        // status is the exit status.
        {">/dev/full",
         {},
         "echo-text one\ntouch-access f\necho-text two\n",
         1,
         program + " echo-text" + full + program + " echo-text" + full},
        {">/dev/full", {}, "echo-text one\ntouch-access f\n", 0, program + " echo-text" + full},
        {">&-", {}, "list-access f\n", 1, program + " list-access" + closed},
        // Nothing written, nothing lost.
        {">/dev/full", {"touch-access", "f"}, "", 0, ""},
    };
    for (const auto &c : cases) {
        process_result r = run_redirected(c.redirect, c.args, c.input, dir.path());
        EXPECT_EQ(r.err, c.err) << c.redirect << " " << c.args.size() << " " << c.input;
        EXPECT_EQ(r.status, c.status) << c.redirect << " " << c.args.size() << " " << c.input;
    }
}

TEST(OutputErrors, MultiCall) {
    temp_dir dir;
    ASSERT_EQ(symlink(vossik_binary(), dir.file("lac").c_str()), 0);
    process_result r = run_redirected(">/dev/full", {"."}, "", dir.path(), "./lac");
    EXPECT_EQ(r.err, "vossik list-access" + full);
    EXPECT_EQ(r.status, 1);
}

// A line whose output goes to a file of its own: what does not reach the
// file is that line's failure; the next line writes to the pipe again.
TEST(OutputErrors, RedirectedLine) {
    process_result r = run_vossik({}, "echo-text lost >/dev/full\necho-text kept\n");
    EXPECT_EQ(r.err, "vossik echo-text" + full);
    EXPECT_EQ(r.out, "kept\n");
    EXPECT_EQ(r.status, 0);

    r = run_vossik({}, "echo-text kept\nlist-access . >/dev/full\n");
    EXPECT_EQ(r.err, "vossik list-access" + full);
    EXPECT_EQ(r.out, "kept\n");
    EXPECT_EQ(r.status, 1);
}

// A reader that stops early: the write fails with EPIPE (SIGPIPE ignored,
// as by the test itself) or the process ends by SIGPIPE; either way nothing
// is said. The text is more than a pipe holds, and less than one argument
// may be.
TEST(OutputErrors, ClosedPipeStaysQuiet) {
    const std::string big(100000, 'x');
    const struct {
        std::string wrapper;
        int status;
    } cases[] = {
        {"", 0},
        {"env --default-signal=PIPE ", 128 + 13},
    };
    for (const auto &c : cases) {
        process_spec spec;
        spec.program = "/bin/bash";
        spec.argv = {
            "bash",          "-c",        c.wrapper + "\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}",
            vossik_binary(), "echo-text", big};
        process_result r = run_process(spec);
        EXPECT_EQ(r.err, "") << c.wrapper;
        EXPECT_EQ(r.status, c.status) << c.wrapper;
    }
}

}  // namespace
