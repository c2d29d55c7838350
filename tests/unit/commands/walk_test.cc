#include "commands/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "commands/walk_seam.h"
#include "fs/path.h"
#include "gacl/acl.h"
#include "support/tempdir.h"

namespace {

struct visit {
    std::string path;
    unsigned depth;
    bool operator==(const visit &) const = default;
};

std::ostream &operator<<(std::ostream &os, const visit &v) {
    return os << v.path << "@" << v.depth;
}

// Records every visit; answers with `result` for paths named in `answers`.
struct recorder {
    std::vector<visit> visits;
    std::vector<std::pair<std::string, int>> answers;
    int max_open_fds = 0;
    int base_fds = -1;
};

int open_fds() {
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    if (d == nullptr) return -1;
    while (readdir(d) != nullptr)
        n++;
    closedir(d);
    return n;
}

int record(const walk_object *object, void *context) {
    auto *r = static_cast<recorder *>(context);
    r->visits.push_back({object->path, object->depth});
    if (r->base_fds >= 0) r->max_open_fds = std::max(r->max_open_fds, open_fds() - r->base_fds);
    for (const auto &[p, result] : r->answers)
        if (p == object->path) {
            errno = EIO;
            return result;
        }
    return 0;
}

// Runs each test in a fresh directory, so that paths are short and relative.
class Walk : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = open(".", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(home_, 0);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        config = config_t{};
    }
    void TearDown() override {
        EXPECT_EQ(fchdir(home_), 0);
        close(home_);
        config = config_t{};
    }

    static void mkdirs(std::initializer_list<const char *> dirs) {
        for (const char *d : dirs)
            ASSERT_EQ(mkdir(d, 0755), 0) << d;
    }
    static void touch(std::initializer_list<const char *> files) {
        for (const char *f : files) {
            int fd = open(f, O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(fd, 0) << f;
            close(fd);
        }
    }
    // The names of a directory in the order the file system returns them.
    static std::vector<std::string> dir_order(const char *path) {
        std::vector<std::string> names;
        DIR *d = opendir(path);
        while (const struct dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        return names;
    }

    std::vector<visit> walk(const char *path, int max_depth, uint16_t types = 0) {
        recorder r;
        EXPECT_EQ(walk_path(path, record, &r, max_depth, types), 0);
        return r.visits;
    }

    // Runs `action`, which must end the command; its messages, with the
    // status in status_.
    template <typename Action>
    std::string failure(Action action) {
        current_name_set(nullptr);
        status_ = 0;
        ::testing::internal::CaptureStderr();
        try {
            action();
            ADD_FAILURE() << "the command was not abandoned";
        } catch (const command_abandoned &abandoned) {
            status_ = abandoned.status;
        }
        return ::testing::internal::GetCapturedStderr();
    }

    temp_dir dir_;
    int home_ = -1;
    int status_ = 0;
};

// Removes a directory named "gone" when the walk is about to take its
// status (and open it): the walk finds it missing.
void remove_gone(walk_moment moment, const char *path) {
    std::string p = path;
    if (moment == walk_moment::before_status && p.size() > 5 && p.ends_with("/gone")) {
        EXPECT_EQ(rmdir(path), 0);
    }
}

// Runs `action` with remove_gone at the walk's seam.
template <class Action>
void with_gone_removed(Action action) {
    walk_seam = remove_gone;
    try {
        action();
    } catch (...) {
        walk_seam = nullptr;
        throw;
    }
    walk_seam = nullptr;
}

// a/{x, d1/{y}, z, d2}: non-directories first in directory order, then each
// subdirectory with everything below it, in directory order.
TEST_F(Walk, VisitsNonDirectoriesBeforeSubdirectories) {
    mkdirs({"a", "a/d1", "a/d2"});
    touch({"a/x", "a/z", "a/d1/y"});
    std::vector<visit> expected = {{"a", 0}};
    std::vector<std::string> dirs;
    for (const std::string &n : dir_order("a")) {
        if (n[0] == 'd')
            dirs.push_back(n);
        else
            expected.push_back({"a/" + n, 1});
    }
    for (const std::string &d : dirs) {
        expected.push_back({"a/" + d, 1});
        if (d == "d1") expected.push_back({"a/d1/y", 2});
    }
    EXPECT_EQ(walk("a", -1), expected);
}

TEST_F(Walk, DepthLimits) {
    // Single-entry directories make the order independent of the file system.
    mkdirs({"t", "t/u", "t/u/v"});
    touch({"t/u/v/w"});
    const struct {
        int limit;
        std::vector<visit> expected;
    } cases[] = {
        {0, {{"t", 0}}},
        {1, {{"t", 0}, {"t/u", 1}}},
        {2, {{"t", 0}, {"t/u", 1}, {"t/u/v", 2}}},
        {-1, {{"t", 0}, {"t/u", 1}, {"t/u/v", 2}, {"t/u/v/w", 3}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(walk("t", c.limit), c.expected) << "limit " << c.limit;
}

TEST_F(Walk, PathsAreJoinedWithoutNormalising) {
    mkdirs({"d"});
    touch({"d/f"});
    EXPECT_EQ(walk("d/", 1), (std::vector<visit>{{"d/", 0}, {"d//f", 1}}));
    ASSERT_EQ(chdir("d"), 0);
    EXPECT_EQ(walk(".", 1), (std::vector<visit>{{".", 0}, {"./f", 1}}));
    // An empty path is the current directory, never the root.
    EXPECT_EQ(walk("", 1), (std::vector<visit>{{".", 0}, {"./f", 1}}));
}

TEST_F(Walk, TypeMaskTestsBits) {
    mkdirs({"r", "r/sub"});
    touch({"r/file"});
    ASSERT_EQ(mkfifo("r/fifo", 0644), 0);
    ASSERT_EQ(symlink("file", "r/link"), 0);
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, "r/sock");
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    close(s);

    auto names = [&](uint16_t mask) {
        std::vector<std::string> out;
        for (const visit &v : walk("r", -1, mask))
            out.push_back(v.path);
        std::sort(out.begin(), out.end());
        return out;
    };
    // d (0x4000) shares its bit with sockets (0xC000); directories that fail
    // the filter are still descended into.
    EXPECT_EQ(names(0x4000), (std::vector<std::string>{"r", "r/sock", "r/sub"}));
    EXPECT_EQ(names(0x1000), (std::vector<std::string>{"r/fifo"}));
    // f (0x8000) also passes links and sockets.
    EXPECT_EQ(names(0x8000), (std::vector<std::string>{"r/file", "r/link", "r/sock"}));
    EXPECT_EQ(names(0).size(), 6u);
}

TEST_F(Walk, LinkToDirectoryIsVisitedNotFollowed) {
    mkdirs({"real"});
    touch({"real/inside"});
    ASSERT_EQ(symlink("real", "ln"), 0);
    recorder r;
    ASSERT_EQ(walk_path("ln", record, &r, -1, 0), 0);
    ASSERT_EQ(r.visits, (std::vector<visit>{{"ln", 0}}));
}

TEST_F(Walk, EmptyDirectoryIsVisitedOnce) {
    mkdirs({"empty"});
    EXPECT_EQ(walk("empty", -1), (std::vector<visit>{{"empty", 0}}));
}

// Descriptors of the directories on the branch stay open (one stream at a
// time reads a directory), and those of directories done with until they
// are closed together; a chain deeper than the cap closes the upper ones
// and reopens them on the way back, and a tree far deeper than PATH_MAX is
// walked whole, its paths as walked growing past it.
TEST_F(Walk, DeepTreesKeepDescriptorsBounded) {
    mkdirs({"a", "a/b", "a/b/c", "a/e"});
    touch({"a/f", "a/b/f", "a/b/c/f"});
    recorder shallow;
    shallow.base_fds = open_fds();
    ASSERT_EQ(walk_path("a", record, &shallow, -1, 0), 0);
    EXPECT_EQ(shallow.visits.size(), 7u);
    // a, a/b, the directory being read, and a batch of closed ones at most.
    EXPECT_LE(shallow.max_open_fds, 3 + static_cast<int>(fs_fd_batch::SIZE));
    EXPECT_EQ(open_fds(), shallow.base_fds);  // all closed at the end

    // 400 levels of 20-character names: paths of more than 8,000 characters.
    const std::string level = "level-of-a-deep-tree";
    std::string path = "deep";
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 400; i++) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0);
        int sub = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = sub;
        path += "/" + level;
        // Every level has a file too, so a level is left with work done.
        int f = openat(fd, "file", O_CREAT | O_WRONLY, 0644);
        close(f);
    }
    close(fd);
    recorder deep;
    deep.base_fds = open_fds();
    ASSERT_EQ(walk_path("deep", record, &deep, -1, 0), 0);
    // (Compared as truth values: a failure would print 8,000-character paths.)
    ASSERT_EQ(deep.visits.size(), 801u);
    EXPECT_TRUE(deep.visits[799] == (visit{path, 400}));
    EXPECT_TRUE(deep.visits.back() == (visit{path + "/file", 401}));
    EXPECT_GT(path.size(), 8000u);
    EXPECT_LE(deep.max_open_fds, 70);
}

// Under a descriptor limit below the cap the branch gives descriptors back
// instead of failing.
TEST_F(Walk, ADescriptorLimitBelowTheCapIsNoFailure) {
    std::string chain = "low";
    ASSERT_EQ(mkdir(chain.c_str(), 0755), 0);
    for (int i = 0; i < 40; i++) {
        chain += "/d";
        ASSERT_EQ(mkdir(chain.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((chain + "x").c_str(), 0755), 0);  // a sibling keeps each level open
    }
    struct rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    struct rlimit low = before;
    low.rlim_cur = static_cast<rlim_t>(open_fds() + 8);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    recorder r;
    int result = walk_path("low", record, &r, -1, 0);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &before), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(r.visits.size(), 81u);
}

TEST_F(Walk, CallbackResults) {
    mkdirs({"c", "c/d", "c/d/e", "c/empty"});
    touch({"c/d/f"});
    // A positive result for a directory, empty or not, is ignored.
    recorder dirs;
    dirs.answers = {{"c", 5}, {"c/d", 5}, {"c/empty", 5}};
    EXPECT_EQ(walk_path("c", record, &dirs, -1, 0), 0);
    EXPECT_EQ(dirs.visits.size(), 5u);
    // A negative one is a failure of that object, which ends the command.
    recorder neg;
    neg.answers = {{"c/d", -3}};
    EXPECT_EQ(failure([&] { walk_path("c", record, &neg, -1, 0); }),
              "Error: c/d: Accessing: Input/output error\n");
    EXPECT_EQ(neg.visits.back().path, "c/d");
    // So is any non-zero result for a non-directory inside a directory.
    recorder file;
    file.answers = {{"c/d/f", 7}};
    EXPECT_EQ(failure([&] { walk_path("c", record, &file, -1, 0); }),
              "Error: c/d/f: Accessing: Input/output error\n");
    EXPECT_EQ(file.visits.back().path, "c/d/f");
    // A named non-directory's positive result is ignored.
    recorder named;
    named.answers = {{"c/d/f", 7}};
    EXPECT_EQ(walk_path("c/d/f", record, &named, -1, 0), 0);
}

// Every failure names the object whose call failed: the named path, or the
// directory below it that could not be reached.
TEST_F(Walk, FailuresNameTheFailingObject) {
    touch({"plain"});
    const struct {
        const char *path;
        const char *error;
    } cases[] = {
        {"missing", "Error: missing: Accessing: No such file or directory\n"},
        {"plain/x", "Error: plain/x: Accessing: Not a directory\n"},
        {"s", "Error: s/gone: Accessing: No such file or directory\n"},
        {"miss\ning", "Error: miss\\012ing: Accessing: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        mkdirs({"s", "s/gone"});
        recorder r;
        EXPECT_EQ(
            failure([&] { with_gone_removed([&] { walk_path(c.path, record, &r, -1, 0); }); }),
            c.error)
            << c.path;
        ASSERT_EQ(system("rm -rf s"), 0);
    }
}

// Under keep-going every failing object is reported, the walk goes on with
// the rest of its directory, the other subtrees and the later named paths,
// and the command ends with status 1 once they are done.
TEST_F(Walk, KeepGoingReportsEveryFailureAndGoesOn) {
    mkdirs({"k", "k/d1", "k/d2", "k/d2/gone", "k/d3", "z"});
    touch({"k/f1", "k/f2", "k/d1/x", "k/d2/y", "k/d3/w", "z/v"});
    config.keep_going = 1;
    config.recurse = 1;
    recorder r;
    r.answers = {{"k/f1", -1}, {"k/d1/x", 1}};
    char a[] = "k", b[] = "missing", c[] = "z";
    char *paths[] = {a, b, c};
    std::string err =
        failure([&] { with_gone_removed([&] { walk_paths(3, paths, record, &r); }); });
    std::vector<std::string> lines;
    for (size_t at = 0, nl; (nl = err.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(err.substr(at, nl - at));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Error: k/d1/x: Accessing: Input/output error",
                         "Error: k/d2/gone: Accessing: No such file or directory",
                         "Error: k/f1: Accessing: Input/output error",
                         "Error: missing: Accessing: No such file or directory",
                     }));
    std::vector<std::string> seen;
    for (const visit &v : r.visits)
        seen.push_back(v.path);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"k", "k/d1", "k/d1/x", "k/d2", "k/d2/y", "k/d3",
                                              "k/d3/w", "k/f1", "k/f2", "z", "z/v"}));
    EXPECT_EQ(status_, 1);
    // Without failures the walk ends as usual.
    recorder clean;
    EXPECT_EQ(walk_paths(1, paths + 2, record, &clean), 0);
}

// A callback that reports its own failure: under keep-going the walk takes
// it as that object's and goes on; without, the report ends the command.
int report_on_f(const walk_object *object, void *context) {
    record(object, context);
    if (std::strcmp(object->name, "f") == 0) report(1, EPERM, "%s: Setting ACL", object->path);
    return 0;
}

TEST_F(Walk, KeepGoingOverReportsOfTheCommand) {
    mkdirs({"r", "r/a", "r/b"});
    touch({"r/a/f", "r/a/g", "r/b/f", "r/b/g"});
    recorder stop;
    std::string first = failure([&] { walk_path("r", report_on_f, &stop, -1, 0); });
    EXPECT_TRUE(first == "Error: r/a/f: Setting ACL: Operation not permitted\n" ||
                first == "Error: r/b/f: Setting ACL: Operation not permitted\n")
        << first;
    EXPECT_LT(stop.visits.size(), 7u);
    config.keep_going = 1;
    recorder on;
    std::string err;
    int result = -1;
    ::testing::internal::CaptureStderr();
    result = walk_path("r", report_on_f, &on, -1, 0);
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(on.visits.size(), 7u);
    EXPECT_NE(err.find("Error: r/a/f: Setting ACL: Operation not permitted\n"), std::string::npos);
    EXPECT_NE(err.find("Error: r/b/f: Setting ACL: Operation not permitted\n"), std::string::npos);
}

// The races another process can win against a walk, played at the seam:
// between a directory's listing and the visit of an entry, a queued
// directory becomes a link to a tree outside and a file a link to a file
// outside; or the same happens after the entry's status was taken (for a
// directory: after it was opened). Nothing outside is ever visited, and what
// was swapped is handled as what it is.
struct swap_plan {
    walk_moment moment;
    std::vector<std::string> swapped;  // paths swapped so far
};
swap_plan *plan = nullptr;

void swap_for_links(walk_moment moment, const char *path) {
    if (plan == nullptr || moment != plan->moment) return;
    static const std::pair<std::string, std::string> swaps[] = {
        {"t/sub", "../outside"},
        {"t/file", "../outside/secret"},
    };
    for (const auto &[victim, target] : swaps) {
        if (victim != path) continue;
        std::string moved = victim + ".moved";
        ASSERT_EQ(rename(victim.c_str(), moved.c_str()), 0);
        ASSERT_EQ(symlink(target.c_str(), victim.c_str()), 0);
        plan->swapped.push_back(victim);
    }
}

TEST_F(Walk, SwappedEntriesAreNotFollowed) {
    for (walk_moment moment : {walk_moment::before_status, walk_moment::before_visit}) {
        SCOPED_TRACE(moment == walk_moment::before_status ? "before status" : "before visit");
        ASSERT_EQ(system("rm -rf t outside"), 0);
        mkdirs({"t", "t/sub", "outside", "outside/inner"});
        touch({"t/file", "t/sub/own", "outside/secret", "outside/inner/deeper"});
        swap_plan swaps{moment, {}};
        plan = &swaps;
        walk_seam = swap_for_links;
        recorder r;
        config.keep_going = 1;
        ::testing::internal::CaptureStderr();
        int result = walk_path("t", record, &r, -1, 0);
        std::string err = ::testing::internal::GetCapturedStderr();
        walk_seam = nullptr;
        plan = nullptr;
        EXPECT_EQ(swaps.swapped.size(), 2u);
        std::vector<std::string> paths;
        for (const visit &v : r.visits) {
            paths.push_back(v.path);
            EXPECT_EQ(v.path.find("inner"), std::string::npos) << v.path;
            EXPECT_EQ(v.path.find("secret"), std::string::npos) << v.path;
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(err, "");
        if (moment == walk_moment::before_status) {
            // Seen as the links they have become: visited, not descended.
            EXPECT_EQ(paths, (std::vector<std::string>{"t", "t/file", "t/sub"}));
        } else {
            // The directory was open before its name became a link: the
            // walk goes on in the directory it opened, wherever it is now,
            // under the path it was found at.
            EXPECT_EQ(paths, (std::vector<std::string>{"t", "t/file", "t/sub", "t/sub/own"}));
        }
    }
}

// A directory moved out of the tree while the walk was deep below it: its
// parent's descriptor, closed for depth, is not reopened through the new
// place, and the parent's subdirectories that were still to come are
// reported as out of reach instead of being looked for elsewhere.
int move_first_away(const walk_object *object, void *context) {
    auto *r = static_cast<recorder *>(context);
    if (object->depth == 80) {
        std::string first = r->visits[1].path;  // m/<first subdirectory>
        EXPECT_EQ(rename(first.c_str(), "elsewhere"), 0);
    }
    return record(object, context);
}

TEST_F(Walk, ATreeChangedUnderADeepWalkIsNotReopenedElsewhere) {
    mkdirs({"m", "m/p", "m/q"});
    std::string first = "m/" + dir_order("m")[0];
    std::string chain = first;
    for (int i = 0; i < 79; i++) {
        chain += "/d";
        ASSERT_EQ(mkdir(chain.c_str(), 0755), 0);
    }
    config.keep_going = 1;
    recorder r;
    std::string err = failure([&] {
        char a[] = "m";
        char *paths[] = {a};
        config.recurse = 1;
        walk_paths(1, paths, move_first_away, &r);
    });
    EXPECT_EQ(err, "Error: m: Accessing: No such file or directory\n");
    EXPECT_EQ(r.visits.size(), 81u);  // m, the chain; not the second subdirectory
}

TEST_F(Walk, WalkPathsReportsTheFailingNamedPath) {
    mkdirs({"one"});
    recorder r;
    char a[] = "one", b[] = "missing", c[] = "one";
    char *paths[] = {a, b, c};
    EXPECT_EQ(failure([&] { walk_paths(3, paths, record, &r); }),
              "Error: missing: Accessing: No such file or directory\n");
    EXPECT_EQ(status_, 1);
    // The path before it was walked, the one after it was not.
    EXPECT_EQ(r.visits, (std::vector<visit>{{"one", 0}}));
}

TEST_F(Walk, WalkPathsFollowsTheConfiguration) {
    mkdirs({"p", "p/q"});
    touch({"p/q/r"});
    char a[] = "p";
    char *paths[] = {a};
    auto run = [&] {
        recorder r;
        EXPECT_EQ(walk_paths(1, paths, record, &r), 0);
        return r.visits.size();
    };
    EXPECT_EQ(run(), 1u);  // max_depth 0: the named path only
    config.max_depth = 1;
    EXPECT_EQ(run(), 2u);
    config.recurse = 1;  // no limit, whatever max_depth says
    EXPECT_EQ(run(), 3u);
    config.types = 0x8000;
    EXPECT_EQ(run(), 1u);
    EXPECT_EQ(walk_paths(0, paths, record, nullptr), 0);
}

TEST_F(Walk, GetPathAcl) {
    touch({"f"});
    ASSERT_EQ(symlink("f", "l"), 0);
    gacl_t acl = nullptr;
    ASSERT_EQ(get_path_acl("f", nullptr, &acl), 1);
    gacl_ptr owned(acl);
    EXPECT_EQ(owned->type, GACL_TYPE_NFS4);
    EXPECT_EQ(owned->count, 3);
    // A link has no ACL on Linux: no error, nothing stored.
    acl = nullptr;
    struct stat st;
    ASSERT_EQ(lstat("l", &st), 0);
    EXPECT_EQ(get_path_acl("l", &st, &acl), 0);
    EXPECT_EQ(acl, nullptr);
    EXPECT_EQ(get_path_acl("l", nullptr, &acl), 0);
    errno = 0;
    EXPECT_EQ(get_path_acl("missing", nullptr, &acl), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(acl, nullptr);
}

TEST(ModeString, TypesAndSpecialBits) {
    const struct {
        mode_t mode;
        const char *text;
    } cases[] = {
        {S_IFREG | 0644, "-rw-r--r--"},  {S_IFDIR | 0755, "drwxr-xr-x"},
        {S_IFLNK | 0777, "lrwxrwxrwx"},  {S_IFIFO | 0600, "prw-------"},
        {S_IFCHR | 0620, "crw--w----"},  {S_IFBLK | 0660, "brw-rw----"},
        {S_IFSOCK | 0755, "srwxr-xr-x"}, {0xE000 | 0644, "wrw-r--r--"},
        {0 | 0644, "?rw-r--r--"},        {0xF000 | 0644, "?rw-r--r--"},
        {0x3000, "?---------"},          {S_IFREG | 04755, "-rwsr-xr-x"},
        {S_IFREG | 04644, "-rwSr--r--"}, {S_IFREG | 02750, "-rwxr-s---"},
        {S_IFREG | 02700, "-rwx--S---"}, {S_IFDIR | 01777, "drwxrwxrwt"},
        {S_IFDIR | 01770, "drwxrwx--T"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(mode_string(c.mode), c.text) << std::oct << c.mode;
}

TEST(FileTypeName, ByTypeCode) {
    const char *names[16] = {"unknown",   "fifo",    "char-device",  "unknown",
                             "directory", "unknown", "block-device", "unknown",
                             "file",      "unknown", "link",         "unknown",
                             "socket",    "unknown", "whiteout",     "unknown"};
    for (unsigned code = 0; code < 16; code++)
        EXPECT_STREQ(file_type_name(code), names[code]) << code;
    EXPECT_STREQ(file_type_name(99), "unknown");
}

}  // namespace
