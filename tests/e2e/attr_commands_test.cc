// Extended-attribute commands: what set-attribute stores (read back with
// getxattr), how get-attribute renders values, long values and long name
// lists read whole, the attr-options flags and the failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"

namespace {

// The stored bytes of attribute `name` (with its system prefix), or "<errno
// text>" when it cannot be read.
std::string stored(const std::string &path, const std::string &name) {
    ssize_t n = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
    if (n < 0) return std::string("<") + std::strerror(errno) + ">";
    std::string value(static_cast<size_t>(n), '\0');
    n = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    value.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return value;
}

void store(const std::string &path, const std::string &name, const std::string &value) {
    ASSERT_EQ(setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0), 0) << name;
}

class Attributes : public ::testing::Test {
  protected:
    void SetUp() override { file_ = dir_.write("f", ""); }
    temp_dir dir_;
    std::string file_;
};

TEST_F(Attributes, SetStoresTheValueWithItsNul) {
    process_result r = run_vossik({"set-attribute", file_, "x=a=b", "e=", "t=two words"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(stored(file_, "user.x"), std::string("a=b\0", 4)) << "cut at the first '='";
    EXPECT_EQ(stored(file_, "user.e"), std::string(1, '\0'));
    EXPECT_EQ(stored(file_, "user.t"), std::string("two words\0", 10));

    r = run_vossik({"-D", "set-attribute", file_, "d=\"q\""});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "setxattr: d = \"\"q\"\"\n");
}

TEST_F(Attributes, GetShowsTextOrHexadecimal) {
    const struct {
        const char *name;
        std::string value;
        const char *shown;
    } cases[] = {
        {"text", std::string("abc\0", 4), "  text = \"abc\"\n"},
        {"nonul", "abc", "  nonul = 61 62 63\n"},
        {"tab", std::string("a\tb\0", 4), "  tab = 61 09 62 00\n"},
        {"high", std::string("\x80z\0", 3), "  high = 80 7a 00\n"},
        {"inner", std::string("a\0b\0", 4), "  inner = 61 00 62 00\n"},
        // A quote in the text follows a backslash; a backslash is escaped as in
        // names, so that the two cannot be confused.
        {"quote", std::string("say \"hi\" \\o/\0", 13), "  quote = \"say \\\"hi\\\" \\134o/\"\n"},
        {"nul", std::string(1, '\0'), "  nul = \"\"\n"},
        {"empty", "", "  empty = \"\"\n"},
    };
    std::vector<std::string> args = {"get-attribute", file_};
    std::string expected;
    for (const auto &c : cases) {
        store(file_, std::string("user.") + c.name, c.value);
        args.push_back(c.name);
        expected += c.shown;
    }
    process_result r = run_vossik(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");

    r = run_vossik({"-v", "get-attribute", file_, "text", "nul"});
    EXPECT_EQ(r.out, file_ + ":\n  text = \"abc\"\n  nul = \"\"\n") << "the path once";
}

// Values and name lists beyond 2048 bytes need a file system with room for
// them: ext4 keeps a file's attributes in one block (about 4 KiB), tmpfs
// does not mind. The fixture uses the first of the test directory and
// /dev/shm that takes a 10,000-byte value and 300 attributes.
class LargeAttributes : public ::testing::Test {
  protected:
    void SetUp() override {
        if (roomy(dir_.path())) return;
        char pattern[] = "/dev/shm/vossik-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            shm_ = pattern;
            if (roomy(shm_)) return;
        }
        GTEST_SKIP() << "no file system here holds large attributes";
    }
    void TearDown() override {
        if (shm_.empty()) return;
        unlink((shm_ + "/f").c_str());
        rmdir(shm_.c_str());
    }
    // Makes dir/f and fills it with the 300 empty attributes attribute-1000
    // to attribute-1299 (and a large value, removed again); false when they
    // do not fit.
    bool roomy(const std::string &dir) {
        file_ = dir + "/f";
        int fd = open(file_.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0) return false;
        close(fd);
        std::string probe(10001, 'p');
        if (setxattr(file_.c_str(), "user.probe", probe.data(), probe.size(), 0) != 0) return false;
        for (int i = 0; i < 300; ++i) {
            std::string name = "user.attribute-" + std::to_string(1000 + i);
            if (setxattr(file_.c_str(), name.c_str(), "", 0, 0) != 0) return false;
        }
        return removexattr(file_.c_str(), "user.probe") == 0;
    }
    temp_dir dir_;
    std::string shm_, file_;
};

TEST_F(LargeAttributes, LongValuesAreReadWhole) {
    std::string big(10000, 'v');
    process_result r = run_vossik({"set-attribute", file_, "big=" + big});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(stored(file_, "user.big"), big + '\0');

    r = run_vossik({"get-attribute", file_, "big"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  big = \"" + big + "\"\n");

    store(file_, "user.bin", std::string(3000, '\x01'));
    r = run_vossik({"get-attribute", file_, "bin"});
    std::string hex = "  bin =";
    for (int i = 0; i < 3000; ++i)
        hex += " 01";
    EXPECT_EQ(r.out, hex + "\n");
}

TEST_F(LargeAttributes, AListLongerThan2048BytesIsListedWhole) {
    process_result r = run_vossik({"list-attribute", file_});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, file_ + ":");
    std::set<std::string> names;
    while (std::getline(lines, line))
        names.insert(line);
    EXPECT_EQ(names.size(), 300u);
    EXPECT_EQ(*names.begin(), "  attribute-1000");
    EXPECT_EQ(*names.rbegin(), "  attribute-1299");
}

TEST_F(Attributes, ListShowsOneNamespaceWithoutItsPrefix) {
    std::string other = dir_.write("g", "");
    store(file_, "user.a", "1");
    store(file_, "trusted.s", "2");
    store(file_, "security.x", "3");

    process_result r = run_vossik({"list-attribute", file_, other});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, file_ + ":\n  a\n" + other + ":\n");

    r = run_vossik({"-v", "list-attribute", file_, other});
    EXPECT_EQ(r.out, "Extended Attributes of " + file_ + ":\n  a\n\nExtended Attributes of " +
                         other + ":\n");

    r = run_vossik({"list-attribute", "-XS", file_});
    EXPECT_EQ(r.out, file_ + ":\n  s\n");

    r = run_vossik({"list-attribute"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
}

TEST_F(Attributes, RemoveDeletesAndSaysSoWhenVerbose) {
    store(file_, "user.a", "1");
    store(file_, "user.b", "2");
    process_result r = run_vossik({"-v", "remove-attribute", file_, "a", "nope", "b"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a: Extended Attribute removed\n");
    EXPECT_EQ(r.err, "vossik remove-attribute: Error: " + file_ +
                         ": nope: Removing Extended Attribute: No data available\n");
    EXPECT_EQ(stored(file_, "user.a"), "<No data available>");
    EXPECT_EQ(stored(file_, "user.b"), "2") << "the command ends at the failure";
}

// attr-options in one interactive session: the flags stay in force from
// command to command until "-X -".
TEST_F(Attributes, FlagsPersistAcrossInteractiveCommands) {
    std::string link = dir_.file("l");
    ASSERT_EQ(symlink("f", link.c_str()), 0);
    std::string session =
        "set-attribute -X S f s=1\n"
        "set-attribute f t=2\n"
        "list-attribute f\n"
        "set-attribute -X - l u=3\n"
        "set-attribute -X fX l v=4\n"
        "set-attribute l w=5\n"
        "set-attribute --attr-options=- l w=5\n";
    process_result r = run_process({vossik_binary(), {"vossik"}, session, dir_.path(), {}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "f:\n  s\n  t\n");
    EXPECT_EQ(r.err,
              "vossik set-attribute: Error: --attr-options=fX: Unknown letter 'X' (f, S, or - "
              "alone)\n"
              // f alone was left in force: the link itself, which takes no user attributes.
              "vossik set-attribute: Error: l: w: Setting Extended Attribute: "
              "Operation not permitted\n");
    EXPECT_EQ(stored(file_, "trusted.s"), std::string("1\0", 2));
    EXPECT_EQ(stored(file_, "trusted.t"), std::string("2\0", 2));
    EXPECT_EQ(stored(file_, "user.t"), "<No data available>");
    EXPECT_EQ(stored(file_, "user.u"), std::string("3\0", 2)) << "followed the link again";
    EXPECT_EQ(stored(file_, "user.v"), "<No data available>") << "the command did not run";
    EXPECT_EQ(stored(file_, "user.w"), std::string("5\0", 2));
}

TEST_F(Attributes, TheLinkFlagReachesTheLinkItself) {
    std::string link = dir_.file("l");
    ASSERT_EQ(symlink("f", link.c_str()), 0);
    process_result r = run_vossik({"set-attribute", "-XfS", link, "k=1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(stored(link, "trusted.k"), std::string("1\0", 2));
    EXPECT_EQ(stored(file_, "trusted.k"), "<No data available>");

    r = run_vossik({"get-attribute", "-X", "Sf", link, "k"});
    EXPECT_EQ(r.out, "  k = \"1\"\n");
    r = run_vossik({"remove-attribute", "-XSf", link, "k"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(stored(link, "trusted.k"), "<No data available>");
}

TEST_F(Attributes, FailuresNameTheirObject) {
    store(file_, "user.a", "1");
    const std::string missing = dir_.file("missing");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"get-attribute", file_}, "vossik get-attribute: Error: Missing required arguments\n"},
        {{"set-attribute", file_}, "vossik set-attribute: Error: Missing required arguments\n"},
        {{"remove-attribute", file_},
         "vossik remove-attribute: Error: Missing required arguments\n"},
        {{"get-attribute", file_, "a", "nope"},
         "vossik get-attribute: Error: " + file_ +
             ": nope: Getting Extended Attribute: No data available\n"},
        {{"list-attribute", file_, missing},
         "vossik list-attribute: Error: " + missing +
             ": Getting Extended Attributes: No such file or directory\n"},
        {{"set-attribute", missing, "a=1"},
         "vossik set-attribute: Error: " + missing +
             ": a: Setting Extended Attribute: No such file or directory\n"},
        {{"set-attribute", file_, "b=2", "novalue", "c=3"},
         "vossik set-attribute: Error: novalue: Missing '=' delimiter\n"},
        {{"list-attribute", "-Xq", file_},
         "vossik list-attribute: Error: --attr-options=q: Unknown letter 'q' (f, S, or - "
         "alone)\n"},
    };
    for (const auto &c : cases) {
        process_result r = run_vossik(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(stored(file_, "user.b"), std::string("2\0", 2)) << "set before the bad word";
    EXPECT_EQ(stored(file_, "user.c"), "<No data available>");
}

}  // namespace
