// Recursive walks of the built program over trees that used to stop them:
// deeper than PATH_MAX, with a directory the user cannot read, with an
// object that cannot be written; and --keep-going.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acl_on_disk.h"
#include "support/process.h"
#include "write_fixture.h"

namespace {

using write_test::WriteTest;

// 400 levels of 20-character names below "tree", and a file at the bottom:
// its path as walked has 8,416 characters.
constexpr int LEVELS = 400;
const std::string LEVEL = "level-of-a-deep-tree";
const std::string LEAF = "leaf-file-0";

// The stored ACL attribute of every directory of the chain and of the
// leaf, read through descriptors (their paths are too long for the system).
std::vector<std::string> chain_attributes(const std::string &top) {
    std::vector<std::string> values;
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i <= LEVELS && fd >= 0; i++) {
        const std::string name = i < LEVELS ? LEVEL : LEAF;
        int next = openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW);
        close(fd);
        fd = next;
        if (fd < 0) break;
        char value[4096];
        ssize_t n = fgetxattr(fd, acl_disk::ATTRIBUTE, value, sizeof value);
        values.push_back(n < 0 ? "(none)" : std::string(value, static_cast<size_t>(n)));
    }
    if (fd >= 0) close(fd);
    return values;
}

TEST_F(WriteTest, TreesDeeperThanPathMaxAreListedAndWrittenWhole) {
    std::string top = directory("tree");
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string deepest = "tree";
    for (int i = 0; i < LEVELS; i++) {
        ASSERT_EQ(mkdirat(fd, LEVEL.c_str(), 0755), 0);
        int next = openat(fd, LEVEL.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
        deepest += "/" + LEVEL;
    }
    close(openat(fd, LEAF.c_str(), O_CREAT | O_WRONLY, 0644));
    close(fd);
    const std::string leaf = deepest + "/" + LEAF;
    ASSERT_EQ(leaf.size(), 8416u);

    process_result listed = run({"-r", "-S", "brief", "list-access", "tree"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.err, "");
    size_t lines = 0;
    for (char c : listed.out)
        lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, 2u * (LEVELS + 2) - 1);  // entries separated by empty lines
    EXPECT_NE(listed.out.find(leaf + " "), std::string::npos);

    const std::string acl = "owner@:rwx::allow,user:alice:r::allow";
    process_result written = run({"-r", "set-access", acl, "tree"});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(written.err, "");
    EXPECT_EQ(acl_disk::get(top), "owner@:rwx::allow,user:1000:r::allow");
    std::vector<std::string> below = chain_attributes(top);
    ASSERT_EQ(below.size(), static_cast<size_t>(LEVELS + 1));
    int different = 0;
    for (const std::string &value : below)
        different += value != acl_disk::raw(top) ? 1 : 0;
    EXPECT_EQ(different, 0);
}

// A directory the user may not read: its ACL is listed with the rest, its
// contents cannot be; with -k the walk goes on past it.
TEST_F(WriteTest, KeepGoingListsPastAnUnreadableDirectory) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    directory("tree");
    for (const char *d : {"tree/a", "tree/b", "tree/c", "tree/d"}) {
        directory(d);
        file(std::string(d) + "/inside");
    }
    directory("tree/b/locked", 0700);
    file("tree/b/locked/hidden");
    file("tree/top");
    // Which of a, b, c, d comes last decides what a stop at b leaves out.
    std::vector<std::string> order = write_test::directory_order(dir.file("tree"));

    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";

    process_result kept = run_as_alice({"-r", "-k", "-S", "brief", "list-access", "tree"});
    EXPECT_EQ(kept.status, 1);
    // (setpriv runs the program under its path, which prefixes messages.)
    EXPECT_EQ(kept.err, std::string(vossik_binary()) +
                            " list-access: Error: tree/b/locked: Accessing: Permission denied\n");
    for (const char *listed : {"tree/top ", "tree/a/inside ", "tree/b/inside ", "tree/b/locked ",
                               "tree/c/inside ", "tree/d/inside "})
        EXPECT_NE(kept.out.find(std::string("\n") + listed), std::string::npos) << listed;
    EXPECT_EQ(kept.out.find("hidden"), std::string::npos);

    // Without -k the walk stops there.
    process_result stopped = run_as_alice({"-r", "-S", "brief", "list-access", "tree"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err, kept.err);
    if (order.back() != "b") {
        EXPECT_EQ(stopped.out.find("tree/" + order.back() + "/inside"), std::string::npos);
    }
}

// An object that refuses the write, in the middle of a tree and among the
// named paths: with -k every other object is written, the failures are
// named, and the status is 1.
TEST_F(WriteTest, KeepGoingWritesAroundAnObjectThatRefuses) {
    directory("tree");
    directory("tree/sub");
    for (const char *f : {"tree/f1", "tree/f2", "tree/f3", "tree/sub/g", "after"})
        file(f);
    write_test::immutable stuck(dir.file("tree/f2"));
    if (!stuck.on()) GTEST_SKIP() << "the file system refuses the immutable attribute";

    process_result r =
        run({"-r", "-k", "set-access", "owner@:rwx::allow", "tree", "missing", "after"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik set-access: Error: tree/f2: Setting ACL: Operation not permitted\n"
              "vossik set-access: Error: missing: Accessing: No such file or directory\n");
    for (const char *written : {"tree", "tree/f1", "tree/f3", "tree/sub", "tree/sub/g", "after"})
        EXPECT_EQ(acl(written), "owner@:rwx::allow") << written;
    EXPECT_EQ(acl("tree/f2"), "none");
}

// The interactive shell's current directory is where it was after every
// walking command, however the command ended.
TEST_F(WriteTest, WalksLeaveTheCurrentDirectoryAlone) {
    directory("tree");
    directory("tree/sub");
    file("tree/sub/f");
    process_result r = run({},
                           "list-access -r tree\n"
                           "list-access -r tree missing\n"
                           "set-access -r nonsense tree\n"
                           "set-access -rk owner@:rwx::allow missing tree\n"
                           "print-work-directory\n");
    ASSERT_GE(r.out.size(), dir.path().size() + 1);
    EXPECT_EQ(r.out.substr(r.out.size() - dir.path().size() - 1), dir.path() + "\n") << r.out;
}

}  // namespace
