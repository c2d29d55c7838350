// The interactive loop: scripts piped on standard input, and a person at a
// terminal (banner, prompts, completion).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "base/version.h"
#include "support/process.h"
#include "support/pty.h"
#include "support/tempdir.h"

namespace {

process_result run_script(const temp_dir &dir, const std::string &script,
                          std::vector<std::string> env = {}) {
    process_spec spec;
    spec.program = vossik_binary();
    spec.argv = {"vossik"};
    spec.input = script;
    spec.cwd = dir.path();
    spec.env = std::move(env);
    return run_process(spec);
}

bool exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

TEST(PipedScript, CommentsEscapesVariablesAndRedirections) {
    temp_dir dir;
    dir.write("in.txt", "from the input file\n");
    dir.write("keep.txt", "precious\n");
    process_result r = run_script(dir,
                                  "# a comment\n"
                                  "echo-text one\n"
                                  "   # a comment > keep.txt\n"
                                  "\n"
                                  "!echo from the shell\n"
                                  "echo-text ${GREETING}! \"$GREETING\" '${GREETING}' $% >out.txt\n"
                                  "echo-text back on the pipe\n"
                                  "!cat <in.txt\n"
                                  "nonesuch >failed.txt\n"
                                  "echo-text after the failure\n"
                                  "echo-text spaced > spaced.txt\n"
                                  "echo-text 'a>b'\n"
                                  "echo-text last",
                                  {"GREETING=hi there"});
    EXPECT_EQ(r.out,
              "one\n"
              "from the shell\n"
              "back on the pipe\n"
              "from the input file\n"
              "after the failure\n"
              "spaced\n"
              "last\n");
    EXPECT_EQ(r.err, "vossik: Error: nonesuch: Unknown command\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(dir.read("out.txt"), "hi there! hi there ${GREETING} %\n");
    EXPECT_EQ(dir.read("keep.txt"), "precious\n") << "a comment redirects nothing";
    EXPECT_TRUE(exists(dir.file("failed.txt")));
    EXPECT_EQ(dir.read("failed.txt"), "");
    EXPECT_FALSE(exists(dir.file("spaced.txt")));
    EXPECT_EQ(dir.read("b'"), "a\n") << "the last '>' redirects, quotes or not";
}

TEST(PipedScript, RedirectionThatCannotBeOpened) {
    temp_dir dir;
    process_result r = run_script(dir,
                                  "echo-text lost >no-such-dir/out.txt\n"
                                  "echo-text lost <missing.txt\n"
                                  "echo-text still running\n"
                                  "echo-text both >ok.txt <missing.txt\n"
                                  "echo-text to the pipe\n"
                                  "echo-text x <missing.txt\n");
    EXPECT_EQ(r.out, "still running\nto the pipe\n");
    EXPECT_EQ(r.err,
              "vossik: Error: no-such-dir/out.txt: Redirecting output: No such file or directory\n"
              "vossik: Error: missing.txt: Redirecting input: No such file or directory\n"
              "vossik: Error: missing.txt: Redirecting input: No such file or directory\n"
              "vossik: Error: missing.txt: Redirecting input: No such file or directory\n");
    EXPECT_EQ(r.status, 1) << "the failed redirection is the last line's status";
    EXPECT_EQ(dir.read("ok.txt"), "") << "the command on the line did not run";
}

TEST(PipedScript, RedirectionWhenStandardOutputStartsClosed) {
    // A file opened for the line takes the closed descriptor's number; the
    // line's output must still reach it, and later lines must not.
    temp_dir dir;
    process_spec spec;
    spec.program = "/bin/sh";
    spec.argv = {"sh", "-c", "exec \"$0\" >&-", vossik_binary()};
    spec.input = "echo-text saved >out.txt\necho-text nowhere\n";
    spec.cwd = dir.path();
    process_result r = run_process(spec);
    EXPECT_EQ(dir.read("out.txt"), "saved\n");
    // The last line's output had nowhere to go, and says so.
    EXPECT_EQ(r.err, std::string(vossik_binary()) +
                         " echo-text: Error: Writing output: Bad file descriptor\n");
    EXPECT_EQ(r.status, 1);
}

TEST(PipedScript, ExitStatusIsTheLastLines) {
    temp_dir dir;
    const struct {
        const char *script;
        int status;
    } cases[] = {
        {"", 0},
        {"!false\n", 1},
        {"!exit 3\n", 3},
        {"!kill -9 $$\n", 128 + 9},
        {"!false\n# a comment keeps the status\n\n", 1},
        {"nonesuch\necho-text ok\n", 0},
        {"echo-text ok\nnonesuch\n", 1},
        {"help lac\n", 255},
        {"--no\n", 1},
        {"echo-text --no\n", 255},
        {"exit-command x\necho-text goes on\n", 0},
        {"exit-command 5\necho-text not reached\n", 5},
    };
    for (const auto &c : cases) {
        process_result r = run_script(dir, c.script);
        EXPECT_EQ(r.status, c.status) << c.script;
        EXPECT_EQ(r.out.find("not reached"), std::string::npos);
    }
}

TEST(PipedScript, ExitCommandWithRedirectedOutputKeepsTheOutput) {
    temp_dir dir;
    process_result r = run_script(dir, "echo-text saved >out.txt\nexit-command 2 >out2.txt\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(dir.read("out.txt"), "saved\n");
    EXPECT_TRUE(exists(dir.file("out2.txt")));
}

// A person at a terminal.
TEST(Terminal, BannerPromptsAndStatus) {
    temp_dir dir;
    pty_process term({"vossik"}, dir.path());
    ASSERT_TRUE(term.wait_for("[VOSSIK, v" VOSSIK_VERSION));
    ASSERT_TRUE(term.wait_for("]\r\n\r\nINTERACTIVE MODE (type 'help' for information)\r\n> "));

    term.send("nonesuch\r");
    ASSERT_TRUE(term.wait_for("vossik: Error: nonesuch: Unknown command\r\n! "));
    term.send("  # a comment\r");
    ASSERT_TRUE(term.wait_for("# a comment\r\n! ")) << "a comment keeps the prompt";
    term.send("echo-text fine\r");
    ASSERT_TRUE(term.wait_for("fine\r\n> "));
    term.send("help lac\r");
    ASSERT_TRUE(term.wait_for("Display usage\r\n"));
    ASSERT_TRUE(term.wait_for("? "));

    // Output redirected to a file, then back to the terminal.
    term.send("echo-text into the file >out.txt\r");
    ASSERT_TRUE(term.wait_for("\r\n> "));
    term.send("echo-text visible\r");
    ASSERT_TRUE(term.wait_for("visible\r\n> "));
    EXPECT_EQ(dir.read("out.txt"), "into the file\n");

    // A failing command with redirected output: the error reaches the
    // terminal and so does the next prompt.
    term.send("nonesuch >err.txt\r");
    ASSERT_TRUE(term.wait_for("vossik: Error: nonesuch: Unknown command\r\n! "));
    term.send("echo-text seen\r");
    ASSERT_TRUE(term.wait_for("seen\r\n> "));

    term.send("\x04");  // end of input
    EXPECT_EQ(term.wait_exit(), 0);
    EXPECT_EQ(term.output().find("into the file\r\n"), std::string::npos);
}

TEST(Terminal, EndOfInputExitsWithTheLastStatus) {
    pty_process term;
    ASSERT_TRUE(term.wait_for("> "));
    term.send("nonesuch\r");
    ASSERT_TRUE(term.wait_for("! "));
    term.send("\x04");
    EXPECT_EQ(term.wait_exit(), 1);
}

TEST(Terminal, TabCompletesCommandsAndOptions) {
    pty_process term;
    ASSERT_TRUE(term.wait_for("> "));
    term.send("echo-t\t");
    ASSERT_TRUE(term.wait_for("echo-text "));
    term.send("--st\t");
    ASSERT_TRUE(term.wait_for("--style="));
    term.send("csv done\r");
    ASSERT_TRUE(term.wait_for("csv done\r\ndone\r\n> ")) << term.pending();
    EXPECT_NE(term.output().find("echo-text --style=csv done"), std::string::npos)
        << "no blank after an option that takes a value";
    term.send("exit-command 4\r");
    EXPECT_EQ(term.wait_exit(), 4);
}

// A tree whose listing is far larger than a terminal holds unread, so a
// listing of it is still running (waiting for the terminal) when the test
// presses Ctrl-C.
void big_tree(const temp_dir &dir, const std::string &name) {
    ASSERT_EQ(mkdir(dir.file(name).c_str(), 0755), 0);
    // Enough that a listing with read-ahead threads is still running when
    // the test's Ctrl-C comes, on a loaded machine too.
    for (int i = 0; i < 20000; ++i)
        dir.write(name + "/f" + std::to_string(i), "");
}

TEST(Terminal, CtrlCDropsTheLineBeingTyped) {
    pty_process term;
    ASSERT_TRUE(term.wait_for("> "));
    term.send("nonesuch\r");
    ASSERT_TRUE(term.wait_for("! "));
    term.send("echo-text partly typed");
    ASSERT_TRUE(term.wait_for("typed"));
    term.send("\x03");
    ASSERT_TRUE(term.wait_for("^C\r\n! ")) << "a fresh prompt; the status is kept";
    term.send("echo-text next\r");
    ASSERT_TRUE(term.wait_for("next\r\n> "));
    EXPECT_EQ(term.output().find("partly typed\r\n"), std::string::npos) << "did not run";
    term.send("\x04");
    EXPECT_EQ(term.wait_exit(), 0);
}

// Ctrl-C ends the running command as abandoned (status 130), and the session
// goes on where it was: directory, settings and variables.
TEST(Terminal, CtrlCCancelsTheRunningCommand) {
    temp_dir dir;
    big_tree(dir, "big");
    pty_process term({"vossik"}, dir.path());
    ASSERT_TRUE(term.wait_for("> "));
    term.send("config style=csv\r");
    ASSERT_TRUE(term.wait_for("\r\n> "));
    term.send("change-directory big\r");
    ASSERT_TRUE(term.wait_for("\r\n> "));
    term.send("get-access A=f0\r");
    ASSERT_TRUE(term.wait_for("\r\n> "));

    for (int round = 0; round < 2; ++round) {
        // -k goes on after failures, not after Ctrl-C.
        const std::string line = round == 0 ? "list-access -r ." : "list-access -rk .";
        term.send(line + "\r");
        ASSERT_TRUE(term.wait_for(line + "\r\n"));
        // The empty line between two objects: the listing runs (a Ctrl-C
        // that came before the command started would drop the line).
        ASSERT_TRUE(term.wait_for("\r\n\r\n"));
        term.send("\x03");
        ASSERT_TRUE(term.wait_for("\r\n! ")) << "cancelled, with an error status";
        if (round == 1) break;

        term.send("print-work-directory\r");
        ASSERT_TRUE(term.wait_for(dir.path() + "/big\r\n> "));
        term.send("config\r");
        ASSERT_TRUE(
            term.wait_for("Style:              CSV\r\n  Keep Going:         No\r\n"
                          "  Jobs:               Auto\r\n> "));
        term.send("echo-text ${A}\r");
        ASSERT_TRUE(term.wait_for("owner@:"));
        ASSERT_TRUE(term.wait_for("\r\n> "));
    }
    term.send("\x04");
    EXPECT_EQ(term.wait_exit(), 130);
    EXPECT_EQ(term.output().find("Error"), std::string::npos) << "no message";
}

// A single command line keeps the usual Ctrl-C: it ends the program.
TEST(Terminal, CtrlCEndsASingleCommand) {
    temp_dir dir;
    big_tree(dir, "big");
    pty_process term({"vossik", "list-access", "-r", "big"}, dir.path());
    ASSERT_TRUE(term.wait_for("# file: "));
    term.send("\x03");
    EXPECT_EQ(term.wait_exit(), 128 + SIGINT);
}

TEST(Terminal, NoBannerWhenInputIsNotATerminal) {
    temp_dir dir;
    process_result r = run_script(dir, "echo-text only this\n");
    EXPECT_EQ(r.out, "only this\n");
    EXPECT_EQ(r.err, "");
}

}  // namespace
