// The walk's read-ahead threads change nothing a user can see: every
// reading and read-and-write command gives the same output, messages,
// status and ACLs on disk with -j1 (no threads) and -j4, on a tree with
// failures in it (an ACL that cannot be read, on a file and on a
// directory, a directory the user cannot read), more subdirectories than
// the read-ahead opens ahead, with and without -k and a depth limit; and a
// file reached twice (hard links) is edited on top of its first edit, as
// without threads.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "acl_on_disk.h"
#include "support/process.h"
#include "write_fixture.h"

namespace {

using write_test::WriteTest;

// More files in one directory than the read-ahead's window holds, and more
// subdirectories than it holds open.
constexpr int FILES = 300;
constexpr int DIRS = 40;

class ReadAhead : public WriteTest {
  protected:
    // tree/: the files (every seventh with an ACL naming alice, f150 with
    // one that cannot be read), two names of one file, a link, and the
    // directories sub/ and locked/ (which only its owner, root, may read).
    void build() {
        ASSERT_EQ(std::system(("rm -rf " + dir.file("tree")).c_str()), 0);
        directory("tree");
        for (int i = 0; i < FILES; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "tree/f%03d", i);
            file(name);
            names_.push_back(name);
            if (i % 7 == 0) put(name, "owner@:rw::allow,user:1000:r::allow,everyone@:r::allow");
        }
        acl_disk::set_broken(dir.file("tree/f150"));
        file("tree/twin-a");
        put("tree/twin-a", "owner@:rw::allow,user:1000:r::allow");
        ASSERT_EQ(link(dir.file("tree/twin-a").c_str(), dir.file("tree/twin-b").c_str()), 0);
        symlink_to("tree/link", "f001");
        directory("tree/sub");
        file("tree/sub/inside");
        put("tree/sub/inside", "owner@:rwx::allow,user:1000:rwx::allow");
        directory("tree/locked", 0700);
        file("tree/locked/hidden");
        // d00..d39, each with a file and a subdirectory with a file; every
        // fifth with an ACL naming alice, d07's unreadable.
        for (int i = 0; i < DIRS; i++) {
            char d[32];
            std::snprintf(d, sizeof d, "tree/d%02d", i);
            const std::string dir_name = d;
            for (const std::string &n :
                 {dir_name, dir_name + "/inner", dir_name + "/x", dir_name + "/inner/y"}) {
                if (n.ends_with("/x") || n.ends_with("/y"))
                    file(n);
                else
                    directory(n);
                names_.push_back(n);
            }
            if (i % 5 == 0) put(dir_name, "owner@:rwx:fd:allow,user:1000:rx:fd:allow");
        }
        acl_disk::set_broken(dir.file("tree/d07"));
        for (const char *n : {"tree/twin-a", "tree/twin-b", "tree/sub", "tree/sub/inside",
                              "tree/locked", "tree/locked/hidden"})
            names_.push_back(n);
    }

    // What a run left on disk.
    std::map<std::string, std::string> acls() {
        std::map<std::string, std::string> on_disk;
        for (const std::string &n : names_)
            on_disk[n] = acl(n);
        return on_disk;
    }

    process_result run_as(bool alice, const std::vector<std::string> &args) {
        return alice ? run_as_alice(args) : run(args);
    }

    std::vector<std::string> names_;
};

TEST_F(ReadAhead, ThreadsChangeNothingAUserCanSee) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
    const struct {
        bool alice;  // as an unprivileged user, who cannot read tree/locked
        std::vector<std::string> args;
    } cases[] = {
        {true, {"-r", "list-access", "tree"}},
        {true, {"-r", "-k", "-S", "csv", "list-access", "tree"}},
        {false, {"-r", "-v", "find-access", "user:alice:r", "tree"}},
        {false, {"-r", "-k", "find-access", "user:alice:r", "tree"}},
        {false, {"-r", "-f", "-v", "touch-access", "tree"}},
        {false, {"-r", "-k", "-f", "-v", "touch-access", "tree"}},
        {false, {"-r", "-k", "-v", "edit-access", "-e", "$ a everyone@:x", "tree"}},
        {false, {"-r", "-v", "edit-access", "-e", "$ a everyone@:x", "tree"}},
        {false, {"-r", "-k", "-v", "rename-access", "user:alice:bob", "tree"}},
        {false, {"-r", "-k", "-p", "inherit-access", "tree"}},
        {true, {"-d", "1", "-k", "list-access", "tree"}},
        {false, {"-d", "2", "-k", "-f", "-v", "touch-access", "tree"}},
    };
    for (const auto &c : cases) {
        std::string line;
        for (const std::string &a : c.args)
            line += " " + a;
        SCOPED_TRACE(line);
        std::vector<std::string> one = c.args, four = c.args;
        one.insert(one.begin(), "-j1");
        four.insert(four.begin(), "--jobs=4");

        build();
        process_result alone = run_as(c.alice, one);
        std::map<std::string, std::string> left_alone = acls();
        build();
        process_result threaded = run_as(c.alice, four);

        // The tree has failures: the broken ACL at least is met.
        EXPECT_NE(alone.err.find("tree/f150: Getting ACL: Invalid argument"), std::string::npos)
            << alone.err;
        EXPECT_EQ(alone.status, 1);
        EXPECT_EQ(threaded.status, alone.status);
        EXPECT_EQ(threaded.err, alone.err);
        EXPECT_TRUE(threaded.out == alone.out) << "output differs";
        for (const auto &[name, stored] : acls())
            EXPECT_EQ(stored, left_alone[name]) << name;
    }
}

// Under a descriptor limit that leaves little room, the threads hold fewer
// (or no) directories open ahead: the walk itself never runs out.
TEST_F(ReadAhead, ALowDescriptorLimitIsNoFailure) {
    if (access("/usr/bin/prlimit", X_OK) != 0) GTEST_SKIP() << "prlimit is not installed";
    build();
    auto run_limited = [&](const char *limit, const char *jobs) {
        return run_under({"/usr/bin/prlimit", limit}, {jobs, "-k", "list-access", "-r", "tree"});
    };
    process_result alone = run_limited("--nofile=1024", "-j1");
    EXPECT_EQ(alone.status, 1);  // the unreadable ACLs
    for (const char *limit : {"--nofile=24", "--nofile=160"}) {
        SCOPED_TRACE(limit);
        process_result limited = run_limited(limit, "--jobs=16");
        EXPECT_EQ(limited.status, alone.status);
        EXPECT_EQ(limited.err, alone.err);
        EXPECT_TRUE(limited.out == alone.out) << "output differs";
    }
}

// Two names of one file: the second is edited on top of the first's edit,
// however far ahead the threads fetched it.
TEST_F(ReadAhead, ASecondNameOfAFileSeesTheFirstNamesWrite) {
    directory("tree");
    for (int i = 0; i < 40; i++)
        file("tree/f" + std::to_string(i));
    file("tree/twin-a");
    put("tree/twin-a", "owner@:rw::allow");
    ASSERT_EQ(link(dir.file("tree/twin-a").c_str(), dir.file("tree/twin-b").c_str()), 0);
    process_result r = run({"-j4", "-r", "edit-access", "-e", "$ a everyone@:x", "tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(acl("tree/twin-a"), "owner@:rw::allow,everyone@:x::allow,everyone@:x::allow");
}

}  // namespace
