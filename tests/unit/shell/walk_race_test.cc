// The races another user can run against a recursive command, played
// deterministically through the walker's test seam: between a directory's
// listing and the visit of an entry (or between the entry's status and the
// command's work on it), a queued subdirectory is swapped for a symbolic
// link to a tree outside, and a file for a link to a file outside. Every
// walking command runs through the dispatcher as it does in the program;
// a store that watches every ACL read and write, and the outside's stored
// attribute bytes, show that nothing outside is read or written.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "commands/walk_seam.h"
#include "platform/acl_store.h"
#include "shell/command_table.h"
#include "shell/global_options.h"
#include "shell/registry.h"
#include "shell/shell.h"
#include "support/tempdir.h"

namespace {

constexpr const char *ATTRIBUTE = "security.nfs4acl_xdr";

using identity = std::pair<dev_t, ino_t>;

// The system's store, watched: every object it is asked to read or write
// is looked up as the call will look it up, and counted when it is one of
// the outside's.
class watching_store : public acl_store {
  public:
    std::set<identity> outside;
    std::vector<std::string> touched;  // "get <path>" / "set <path>" of outside objects

    int get(const char *path, bool link, sys_acl *acl) override {
        watch("get", path, link);
        return acl_store_system().get(path, link, acl);
    }
    int set(const char *path, bool link, const sys_acl &acl) override {
        watch("set", path, link);
        return acl_store_system().set(path, link, acl);
    }
    int get_known(const char *path, bool link, const struct stat &known, sys_acl *acl) override {
        watch("get", path, link);
        return acl_store_system().get_known(path, link, known, acl);
    }

  private:
    void watch(const char *what, const char *path, bool link) {
        struct stat st;
        if ((link ? lstat(path, &st) : stat(path, &st)) != 0) return;
        if (outside.count({st.st_dev, st.st_ino}) != 0)
            touched.push_back(std::string(what) + " " + path);
    }
};

// The swaps of one run, at one moment of the walk.
struct race {
    walk_moment moment;
    int swapped = 0;
};
race *running = nullptr;

void swap_for_links(walk_moment moment, const char *path) {
    if (running == nullptr || moment != running->moment) return;
    static const std::pair<std::string, std::string> swaps[] = {
        {"tree/sub", "../outside"},
        {"tree/file", "../outside/secret"},
    };
    for (const auto &[victim, target] : swaps) {
        if (victim != path) continue;
        ASSERT_EQ(rename(victim.c_str(), (victim + ".moved").c_str()), 0);
        ASSERT_EQ(symlink(target.c_str(), victim.c_str()), 0);
        ++running->swapped;
    }
}

std::string stored(const std::string &path) {
    char value[65536];
    ssize_t n = lgetxattr(path.c_str(), ATTRIBUTE, value, sizeof value);
    return n < 0 ? std::string("(none)") : std::string(value, static_cast<size_t>(n));
}

class WalkRace : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        program_info.name = "vossik";
        program_info.options = global_options;
        command_register(&command_registry, misc_commands);
        command_register(&command_registry, basic_commands);
        command_register(&command_registry, acl_commands);
    }
    void SetUp() override {
        home_ = open(".", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(home_, 0);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        config_defaults = config_t{};
        before_ = acl_store_use(&store_);
    }
    void TearDown() override {
        acl_store_use(before_);
        walk_seam = nullptr;
        running = nullptr;
        EXPECT_EQ(fchdir(home_), 0);
        close(home_);
    }

    // A fresh tree and outside, each object with an ACL naming alice (so
    // that rename-access has something to rename), the outside's with a
    // word of its own.
    void build() {
        ASSERT_EQ(std::system("rm -rf tree outside source"), 0);
        for (const char *d : {"tree", "tree/sub", "tree/other", "outside", "outside/inner"})
            ASSERT_EQ(mkdir(d, 0755), 0) << d;
        for (const char *f : {"tree/file", "tree/sub/own", "tree/other/x", "outside/secret",
                              "outside/inner/deeper", "source"})
            close(open(f, O_CREAT | O_WRONLY, 0644));
        ASSERT_EQ(
            run({"set-access", "-r", "owner@:rwx::allow,user:alice:r::allow", "tree", "outside"}),
            0);
        ASSERT_EQ(run({"set-access", "-r", "user:alice:rwxp::allow,everyone@:r::deny", "outside",
                       "source"}),
                  0);
        store_.outside.clear();
        outside_bytes_.clear();
        for (const char *o :
             {"outside", "outside/secret", "outside/inner", "outside/inner/deeper"}) {
            struct stat st;
            ASSERT_EQ(lstat(o, &st), 0);
            store_.outside.insert({st.st_dev, st.st_ino});
            outside_bytes_.push_back(stored(o));
        }
        store_.touched.clear();
    }

    // Runs one command line; its status (that of an abandoned command too).
    static int run(std::vector<std::string> words) {
        std::vector<char *> argv;
        for (std::string &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        try {
            return run_command(static_cast<int>(words.size()), argv.data());
        } catch (const command_abandoned &abandoned) {
            return abandoned.status;
        }
    }

    std::vector<std::string> outside_now() {
        std::vector<std::string> now;
        for (const char *o : {"outside", "outside/secret", "outside/inner", "outside/inner/deeper"})
            now.push_back(stored(o));
        return now;
    }

    temp_dir dir_;
    int home_ = -1;
    watching_store store_;
    acl_store *before_ = nullptr;
    std::vector<std::string> outside_bytes_;
};

TEST_F(WalkRace, NothingOutsideTheTreeIsReadOrWritten) {
    // -v: the writing commands name each object they write.
    const std::vector<std::vector<std::string>> commands = {
        {"set-access", "-rkv", "everyone@:rwx::allow", "tree"},
        {"edit-access", "-rkv", "everyone@:rwxp::allow", "tree"},
        {"inherit-access", "-rkv", "tree"},
        {"touch-access", "-rkvf", "tree"},
        {"copy-access", "-rkv", "source", "tree"},
        {"delete-access", "-rkv", "tree"},
        {"rename-access", "-rkv", "user:alice:bob", "tree"},
        {"list-access", "-rk", "tree"},
    };
    for (walk_moment moment : {walk_moment::before_status, walk_moment::before_visit}) {
        for (const auto &command : commands) {
            SCOPED_TRACE(command[0] + (moment == walk_moment::before_status ? " before status"
                                                                            : " before visit"));
            build();
            race swaps{moment};
            running = &swaps;
            walk_seam = swap_for_links;
            ::testing::internal::CaptureStdout();
            ::testing::internal::CaptureStderr();
            int status = run(command);
            std::string out = ::testing::internal::GetCapturedStdout();
            std::string err = ::testing::internal::GetCapturedStderr();
            walk_seam = nullptr;
            running = nullptr;

            EXPECT_EQ(swaps.swapped, 2);
            EXPECT_EQ(store_.touched, std::vector<std::string>{});
            EXPECT_EQ(outside_now(), outside_bytes_);
            EXPECT_EQ(out.find("outside"), std::string::npos) << out;
            EXPECT_EQ(out.find("secret"), std::string::npos) << out;
            // The rest of the tree was worked on: written, or listed.
            EXPECT_NE(out.find("tree/other/x"), std::string::npos) << out;
            if (moment == walk_moment::before_status) {
                // A link met as a link is no failure.
                EXPECT_EQ(status, 0) << err;
            } else {
                // A directory whose name became a link after it was opened
                // is worked on through its descriptor: its own entries,
                // under the path it was found at.
                EXPECT_NE(out.find("tree/sub/own"), std::string::npos) << out;
                EXPECT_EQ(err.find("tree/sub: "), std::string::npos) << err;
                // Its ACL too: written on the directory, not on the link.
                if (command[0] == "set-access") {
                    EXPECT_EQ(stored("tree/sub.moved"), stored("tree/other"));
                }
            }
        }
    }
}

}  // namespace
