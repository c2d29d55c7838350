// Start-up: global options, one command line, multi-call by invocation name,
// and exit statuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include "shell_listing.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace {

TEST(Startup, InvalidGlobalOptionEndsWithStatus1) {
    process_result r = run_vossik({"-x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: -x: Invalid option\n");

    // An ambiguous long option is a warning that abandons the start-up with
    // its own status.
    r = run_vossik({"--no", "echo-text", "x"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Warning: --no: Multiple options matches\n");
}

// Every option that takes a value, refused: one line naming the option, the
// value and why; status 1 before the command word, 255 after it (1 where
// the option's handler ends the command itself, as attr-options does).
TEST(Startup, RejectedOptionValuesSayWhy) {
    const std::string styles =
        " (default, standard, brief, verbose, csv, samba, icacls, solaris, primos)\n";
    const std::string letters = " (p c d b f l s w, + adds, - removes)\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"-v", "-S", "foo", "lac", "x"}, 1, "Error: --style=foo: Unknown style" + styles},
        {{"lac", "-SBrief", "x"},
         255,
         "vossik list-access: Error: --style=Brief: Unknown style" + styles},
        {{"lac", "-S"}, 255, "vossik list-access: Error: --style: Missing value\n"},
        {{"lac", "-t", "z", "x"},
         255,
         "vossik list-access: Error: --type=z: Unknown file type letter 'z'" + letters},
        {{"-t+d-d", "lac"}, 1, "Error: --type=+d-d: No file type left\n"},
        {{"--debug=x", "lac"}, 1, "Error: --debug=x: Not a number of 0 or more\n"},
        {{"lac", "--print=-2", "x"},
         255,
         "vossik list-access: Error: --print=-2: Not a number of 0 or more\n"},
        {{"lac", "--recurse=all", "x"},
         255,
         "vossik list-access: Error: --recurse=all: Not a number\n"},
        {{"--depth=", "lac"}, 1, "Error: --depth=: Not a number\n"},
        {{"lac", "--verbose=2", "x"},
         255,
         "vossik list-access: Error: --verbose=2: Takes no value\n"},
        {{"list-attribute", "-Xq", "x"},
         1,
         "vossik list-attribute: Error: --attr-options=q: Unknown letter 'q' (f, S, or - alone)\n"},
        {{"list-attribute", "-X"},
         255,
         "vossik list-attribute: Error: --attr-options: Missing value\n"},
        {{"edit-access", "--execute"},
         255,
         "vossik edit-access: Error: --execute: Missing value\n"},
        {{"edit-access", "-E"}, 255, "vossik edit-access: Error: --file: Missing value\n"},
        // A request text that does not parse: the reader's lines.
        {{"edit-access", "-e", "1 /x/ 7", "x"},
         255,
         "vossik edit-access: Error: 7: Invalid ACL Entry\n"
         "vossik edit-access: Error: 1 /x/ 7: request 1 \"1 /x/ 7\": no action letter at \"7\"\n"
         "acecr_from_text: error-catched\n"},
    };
    for (const auto &c : cases) {
        process_result r = run_vossik(c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(Startup, HelpOptionListsCommands) {
    process_result r = run_vossik({"-h"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, listing::all_commands);
    EXPECT_EQ(r.err, "");

    r = run_vossik({"lac", "-h"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::list_access + listing::global_options);
    EXPECT_EQ(r.err, "");

    r = run_vossik({"list-attribute", "?"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::list_attribute + listing::global_options +
                         listing::attr_option);
}

TEST(Startup, CommandWordsMustNameOneCommand) {
    const struct {
        const char *word;
        const char *err;
    } cases[] = {
        {"list", "Error: list: Nonunique command\n"},
        {"l-", "Error: l-: Unknown command\n"},
        {"ec", "Error: ec: Nonunique command\n"},
        {"frobnicate", "Error: frobnicate: Unknown command\n"},
    };
    for (const auto &c : cases) {
        process_result r = run_vossik({c.word, "-x"});
        EXPECT_EQ(r.status, 1) << c.word;
        EXPECT_EQ(r.out, "") << c.word;
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(Startup, OneCommandLineRunsAndExits) {
    process_result r = run_vossik({"-v", "echo-t", "a", "-b", "--", "c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a -b -- c\n") << "options end at the first operand";

    r = run_vossik({"echo-text", "-v", "--", "-x"});
    EXPECT_EQ(r.out, "-x\n");

    r = run_vossik({"echo-text", "-x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik echo-text: Error: -x: Invalid option\n");
}

TEST(Startup, ExitCommandStatuses) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char *err;
    } cases[] = {
        {{"exit-command", "3"}, 3, ""},
        {{"exit-command", "7abc"}, 7, ""},
        {{"exit-command", " -1"}, 255, ""},
        {{"exit-command"}, 0, ""},
        {{"exit-command", "4", "ignored"}, 4, ""},
        {{"exit-command", "x"}, 1, "vossik exit-command: Error: x: Invalid exit code\n"},
    };
    for (const auto &c : cases) {
        process_result r = run_vossik(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.err, c.err);
    }
}

// Multi-call: the program started through a link named after a command.
class MultiCall : public testing::Test {
  protected:
    process_result run_link(const std::string &name, const std::vector<std::string> &args) {
        std::string link = dir.file(name);
        if (access(link.c_str(), F_OK) != 0) {
            EXPECT_EQ(symlink(vossik_binary(), link.c_str()), 0);
        }
        process_spec spec;
        spec.program = link;
        spec.argv = {link};
        spec.argv.insert(spec.argv.end(), args.begin(), args.end());
        return run_process(spec);
    }
    temp_dir dir;
};

TEST_F(MultiCall, LinkNameIsTheCommand) {
    process_result r = run_link("lac", {"-h"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::list_access + listing::global_options);

    r = run_link("echo-text", {"-v", "hello", "world"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "hello world\n");
    EXPECT_EQ(r.err, "");

    r = run_link("exc", {"x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik exit-command: Error: x: Invalid exit code\n");
}

TEST_F(MultiCall, UnknownLinkName) {
    process_result r = run_link("foo", {"a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error: foo: Unknown command\n");

    // No interactive mode under a command's name, even without arguments.
    r = run_link("ec", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: ec: Nonunique command\n");
}

TEST_F(MultiCall, ProgramNameWithDirectoryIsStillVossik) {
    process_result r = run_vossik_as(dir.path() + "/vossik", {"-x"});
    EXPECT_EQ(r.err, "Error: -x: Invalid option\n");
    r = run_vossik_as(dir.path() + "/vossik", {"echo-text", "-x"});
    EXPECT_EQ(r.err, dir.path() + "/vossik echo-text: Error: -x: Invalid option\n")
        << "the prefix is the program's word 0 unchanged";
}

}  // namespace
