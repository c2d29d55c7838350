// The shell's own commands: version, config, help and echo-text.
#include <gtest/gtest.h>

#include <regex>

#include "shell_listing.h"
#include "support/process.h"

namespace {

std::string configuration(int verbose = 0, const std::string &depth = "0",
                          const std::string &style = "Default", const std::string &keep = "No",
                          const std::string &jobs = "Auto") {
    return "CONFIGURATION:\n"
           "  Debug Level:        0\n"
           "  Verbosity Level:    " +
           std::to_string(verbose) +
           "\n"
           "  Force Mode:         No\n"
           "  Sort Mode:          No\n"
           "  Merge Mode:         No\n"
           "  Relaxed Mode:       No\n"
           "  Recurse Mode:       No\n"
           "  Recurse Max Depth:  " +
           depth +
           "\n"
           "  Print Level:        0\n"
           "  Update:             Yes\n"
           "  Prefix:             Yes\n"
           "  Style:              " +
           style +
           "\n"
           "  Keep Going:         " +
           keep +
           "\n"
           "  Jobs:               " +
           jobs + "\n";
}

TEST(Version, BannerAndBuildTime) {
    process_result r = run_vossik({"version", "ignored"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::regex expected(
        "\\[VOSSIK, v1\\.16\\.2[^\\n]*\\]\\n\\n[^\\n]+\\n"
        "Built:   [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d\\n[^\\n]+\\n");
    EXPECT_TRUE(std::regex_match(r.out, expected)) << r.out;
}

TEST(Config, ShowsTheConfigurationInForce) {
    EXPECT_EQ(run_vossik({"config"}).out, configuration());
    EXPECT_EQ(run_vossik({"-v", "config"}).out, configuration(1));
    EXPECT_EQ(run_vossik({"config", "-vv", "-S", "csv"}).out, configuration(2, "0", "CSV"));
    EXPECT_EQ(run_vossik({"-r", "config"}).out, configuration(0, "No Limit"));
    EXPECT_EQ(run_vossik({"-r", "-d", "-d3", "config"}).out, configuration(0, "3"));
    // Depths add up to the largest depth and stay there.
    EXPECT_EQ(run_vossik({"-d", "2147483647", "-d", "1", "config"}).out,
              configuration(0, "2147483647"));

    process_result r = run_vossik({"-fsmRnNk", "-D2", "-p", "3", "-Sprimos", "-j", "3", "config"});
    EXPECT_EQ(r.out,
              "CONFIGURATION:\n"
              "  Debug Level:        2\n"
              "  Verbosity Level:    0\n"
              "  Force Mode:         Yes\n"
              "  Sort Mode:          Yes\n"
              "  Merge Mode:         Yes\n"
              "  Relaxed Mode:       Yes\n"
              "  Recurse Mode:       No\n"
              "  Recurse Max Depth:  0\n"
              "  Print Level:        3\n"
              "  Update:             No\n"
              "  Prefix:             No\n"
              "  Style:              PRIMOS\n"
              "  Keep Going:         Yes\n"
              "  Jobs:               3\n");
}

TEST(Config, SavesDefaultsForTheRestOfTheRun) {
    process_result r = run_vossik({},
                                  "config -v\n"
                                  "config\n"
                                  "config verbose depth=2\n"
                                  "config\n"
                                  "config depth=x\n"
                                  "config style=foo\n"
                                  "config\n"
                                  "config style=csv\n"
                                  "config -r\n"
                                  "config -d\n");
    EXPECT_EQ(r.err,
              "vossik config: Error: --depth=x: Not a number\n"
              "vossik config: Error: --style=foo: Unknown style (default, standard, brief, "
              "verbose, csv, samba, icacls, solaris, primos)\n");
    EXPECT_EQ(r.out, configuration(1) + configuration(1) + configuration(2, "2") +
                         configuration(2, "2") + configuration(2, "No Limit", "CSV") +
                         configuration(2, "0", "CSV"))
        << "depth=x and style=foo changed nothing; -r then -d gives 0";
    EXPECT_EQ(r.status, 0);

    r = run_vossik({}, "config depth=3 verbose=1\nconfig\n");
    EXPECT_EQ(r.out, configuration()) << "a rejected word keeps the earlier ones from lasting";

    r = run_vossik({}, "config depth=x\nconfig nosuch\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err,
              "vossik config: Error: --depth=x: Not a number\n"
              "vossik config: Error: nosuch: Invalid option\n");

    r = run_vossik({}, "config keep\nconfig\nconfig --keep-going\nconfig\n");
    EXPECT_EQ(r.out, configuration(0, "0", "Default", "Yes") +
                         configuration(0, "0", "Default", "Yes") +
                         configuration(0, "0", "Default", "Yes"));
    EXPECT_EQ(r.status, 0);

    // -j takes a number: alone, or below 0, it changes nothing.
    r = run_vossik({}, "config jobs=1\nconfig\nconfig -j4\nconfig -j\nconfig --jobs=-1\nconfig\n");
    EXPECT_EQ(r.out, configuration(0, "0", "Default", "No", "1") +
                         configuration(0, "0", "Default", "No", "4") +
                         configuration(0, "0", "Default", "No", "4"));
    r = run_vossik({"config", "--jobs=x"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 255);
}

TEST(Config, HelpAsAConfigWordListsTheTypedCommand) {
    process_result r = run_vossik({}, "conf help\nconfig\n");
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::config + listing::global_options + configuration());
}

const std::string details =
    "\nDETAILS:\n"
    "  All options & commands may be abbreviated as long as they are unique.\n"
    "  For option & command names consisting of multiple 'parts' (list-access)\n"
    "  the name may be abbreviated using characters from each part, for example:\n"
    "    -n / -no / --nu     = --no-update\n"
    "    lac / list / list-a = list-access\n"
    "    edac / edit / ed-ac = edit-access\n"
    "\n"
    "  If invoked without a command the tool will enter an interactive mode.\n"
    "  All commands take the same options and they can also be used in the interactive "
    "mode.\n"
    "\n"
    "  ACL styles supported: default, csv, brief, verbose, samba, icacls, solaris, primos\n"
    "\n"
    "  You may access environment variables using ${NAME}.\n";

TEST(Help, Listings) {
    process_result r = run_vossik({"help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, listing::all_commands + "\n" + listing::global_options + details);

    r = run_vossik({"help", "lac"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::list_access + listing::global_options);

    r = run_vossik({"help", "list"});
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::list_access + listing::global_options +
                         listing::list_attribute + listing::global_options + listing::attr_option);

    r = run_vossik({"help", "nothing-like-it"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, listing::all_commands);

    r = run_vossik({"help", "?"});
    EXPECT_EQ(r.out, "COMMANDS:\n" + listing::help + listing::global_options)
        << "'help ?' describes help instead of running it";

    r = run_vossik({}, "?\n? l\n");
    EXPECT_EQ(r.out, listing::all_commands + "COMMANDS:\n" + listing::list_access +
                         listing::list_attribute);
    EXPECT_EQ(r.status, 255);
}

TEST(EchoText, JoinsWordsWithOneBlank) {
    EXPECT_EQ(run_vossik({"echo-text"}).out, "\n");
    process_result r = run_vossik({}, "echo-text a  b\n  echo-text   'x  y'\n");
    EXPECT_EQ(r.out, "a b\nx  y\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
