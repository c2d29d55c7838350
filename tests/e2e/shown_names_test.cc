// Names shown to people: file and attribute names with control bytes, a
// delete, backslashes, csv separators, quotes and UTF-8 in every print
// style, in the other commands' output and in messages. Control bytes, the
// delete and the backslash show as a backslash and three octal digits;
// everything else as it is, so that a name cannot forge a line, a field or
// a terminal sequence.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"

namespace {

struct odd_name {
    std::string raw;    // the name on disk
    std::string shown;  // as every style but csv shows it
    std::string csv;    // as the csv style's first field shows it
};

const odd_name names[] = {
    {"new\nline", "new\\012line", "new\\012line"},
    {"tab\there", "tab\\011here", "tab\\011here"},
    {"esc\x1b[1mred", "esc\\033[1mred", "esc\\033[1mred"},
    {"back\\slash", "back\\134slash", "back\\134slash"},
    {"del\x7f", "del\\177", "del\\177"},
    {"semi;colon", "semi;colon", "\"semi;colon\""},
    {"say \"hi\"", "say \"hi\"", "\"say \"\"hi\"\"\""},
    {"a;b\\c", "a;b\\134c", "\"a;b\\134c\""},
    {"gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac", "gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac",
     "gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac"},
};

const char *const styles[] = {"default", "standard", "brief",   "verbose", "csv",
                              "samba",   "icacls",   "solaris", "primos"};

void replace_all(std::string *text, const std::string &from, const std::string &to) {
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at))
        text->replace(at, from.size(), to), at += to.size();
}

// The listing of the twin "plain" in `style`, with the twin's name replaced
// by `shown` and the columns that follow the name's width moved with it.
std::string with_name(std::string listing, const std::string &style, const std::string &shown) {
    if (style == "brief") {
        std::string column = shown;
        column.resize(std::max<size_t>(column.size(), 24), ' ');
        return column + listing.substr(24);
    }
    // Later icacls entries stand under the first one.
    if (style == "icacls")
        replace_all(&listing, "\n      ", "\n" + std::string(shown.size() + 1, ' '));
    replace_all(&listing, "plain", shown);
    return listing;
}

class ShownNames : public ::testing::Test {
  protected:
    void SetUp() override {
        make("plain");
        for (const odd_name &n : names)
            make(n.raw);
    }

    // alice:staff 0644, empty, a fixed time: the trivial ACL of its mode.
    void make(const std::string &name) {
        std::string path = dir_.write(name, "");
        ASSERT_EQ(chown(path.c_str(), 1000, 20), 0);
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
        struct timespec times[2] = {{1614834367, 0}, {1614834367, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    process_result run(const std::vector<std::string> &args) {
        return run_vossik(args, "", dir_.path());
    }

    temp_dir dir_;
};

TEST_F(ShownNames, EveryPrintStyle) {
    for (const char *style : styles) {
        process_result twin = run({"-S", style, "list-access", "./plain"});
        ASSERT_EQ(twin.status, 0) << style;
        ASSERT_NE(twin.out.find("plain"), std::string::npos) << style;
        for (const odd_name &n : names) {
            process_result r = run({"-S", style, "list-access", "./" + n.raw});
            EXPECT_EQ(r.status, 0) << style << " " << n.shown;
            EXPECT_EQ(r.err, "") << style << " " << n.shown;
            const std::string &shown = std::string(style) == "csv" ? n.csv : n.shown;
            EXPECT_EQ(r.out, with_name(twin.out, style, shown)) << style << " " << n.shown;
        }
    }
}

// Two listings spelled out, so that the forms above are not only relative
// to the twin.
TEST_F(ShownNames, ExactListings) {
    process_result r = run({"list-access", "new\nline", "esc\x1b[1mred"});
    EXPECT_EQ(r.out,
              "# file: new\\012line\n"
              "# owner: alice\n"
              "# group: staff\n"
              "           owner@:rw-p--aARWcCos:-------:allow\n"
              "           group@:r-----a-R-c--s:-------:allow\n"
              "        everyone@:r-----a-R-c--s:-------:allow\n"
              "\n"
              "# file: esc\\033[1mred\n"
              "# owner: alice\n"
              "# group: staff\n"
              "           owner@:rw-p--aARWcCos:-------:allow\n"
              "           group@:r-----a-R-c--s:-------:allow\n"
              "        everyone@:r-----a-R-c--s:-------:allow\n");

    r = run({"-S", "csv", "list-access", "say \"hi\"", "a;b\\c", "tab\there"});
    EXPECT_EQ(r.out,
              "\"say \"\"hi\"\"\";owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs;1000;20;alice;"
              "staff\n"
              "\n"
              "\"a;b\\134c\";owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs;1000;20;alice;staff\n"
              "\n"
              "tab\\011here;owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs;1000;20;alice;staff\n");
}

TEST_F(ShownNames, OtherCommandsOutput) {
    const std::string name = "new\nline";
    const std::string shown = "new\\012line";
    process_result r = run({"-v", "set-access", "owner@:rw::allow", name});
    EXPECT_EQ(r.out, shown + ": ACL Updated\n");
    r = run({"find-access", "owner@:rw", name, "plain"});
    EXPECT_EQ(r.out, shown + "\n");
    r = run({"edit-access", "-e", "0 p", name});
    EXPECT_EQ(r.out, shown + "         \towner@:rw------------:-------:allow\n");
    r = run({"-v", "delete-access", name});
    EXPECT_EQ(r.out, shown + ": ACL Deleted\n");

    ASSERT_EQ(mkdir(dir_.file("d\tir").c_str(), 0755), 0);
    ASSERT_EQ(symlink("to\nwhere", dir_.file("d\tir/li\\nk").c_str()), 0);
    r = run({"directory-listing", "d\tir"});
    EXPECT_EQ(r.out, ".\n..\nli\\134nk\n");
    r = run({"-v", "directory-listing", "d\tir"});
    EXPECT_NE(r.out.find("  li\\134nk -> to\\012where\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\t'), std::string::npos) << r.out;
    r = run({"-v", "change-directory", "d\tir"});
    EXPECT_EQ(r.out, "New current directory: " + dir_.path() + "/d\\011ir\n");
    r = run_vossik({"print-work-directory"}, "", dir_.file("d\tir"));
    EXPECT_EQ(r.out, dir_.path() + "/d\\011ir\n");
}

TEST_F(ShownNames, AttributeNamesAndValues) {
    const std::string file = "back\\slash";
    process_result r = run({"-D", "set-attribute", file, "n\nl=a\\b", "q\"t=say \"x\""});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "setxattr: n\\012l = \"a\\134b\"\nsetxattr: q\"t = \"say \"x\"\"\n");

    r = run({"list-attribute", file});
    // The order of the names is the file system's.
    EXPECT_TRUE(r.out == "back\\134slash:\n  n\\012l\n  q\"t\n" ||
                r.out == "back\\134slash:\n  q\"t\n  n\\012l\n")
        << r.out;
    r = run({"-v", "get-attribute", file, "n\nl", "q\"t"});
    EXPECT_EQ(r.out, "back\\134slash:\n  n\\012l = \"a\\134b\"\n  q\"t = \"say \\\"x\\\"\"\n");
    r = run({"-v", "remove-attribute", file, "n\nl"});
    EXPECT_EQ(r.out, "n\\012l: Extended Attribute removed\n");
}

TEST_F(ShownNames, Messages) {
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"list-access", "no\nsuch"},
         "vossik list-access: Error: no\\012such: Accessing: No such file or directory\n"},
        {{"-r", "inherit-access", "no\\such"},
         "vossik inherit-access: Error: no\\134such: Accessing: No such file or directory\n"},
        {{"change-directory", "x\x1b[2Jy"},
         "vossik change-directory: Error: x\\033[2Jy: No such file or directory\n"},
        {{"get-attribute", "tab\there", "no\tattr"},
         "vossik get-attribute: Error: tab\\011here: no\\011attr: Getting Extended Attribute: "
         "No data available\n"},
        {{"set-attribute", "plain", "no\ndelimiter"},
         "vossik set-attribute: Error: no\\012delimiter: Missing '=' delimiter\n"},
        {{"edit-access", "-E", "no\nscript", "plain"},
         "vossik edit-access: Error: no\\012script: Opening script: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
    }
    // The name of a link the program was started through.
    process_result link = run_vossik_as("fo\no", {"x"});
    EXPECT_EQ(link.err, "Error: fo\\012o: Unknown command\n");
    EXPECT_EQ(link.status, 1);

    // Other texts in messages are no names: a pattern stays as written.
    process_result r = run({"edit-access", "-e", "/\\d(/ p", "plain"});
    EXPECT_EQ(r.err.rfind("vossik edit-access: Error: \\d(: Regex: ", 0), 0u) << r.err;
}

}  // namespace
