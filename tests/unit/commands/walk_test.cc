#include "commands/walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
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
    int max_open_dirs = 0;
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

int record(const char *path, const struct stat *, unsigned depth, void *context) {
    auto *r = static_cast<recorder *>(context);
    r->visits.push_back({path, depth});
    if (r->base_fds >= 0) r->max_open_dirs = std::max(r->max_open_dirs, open_fds() - r->base_fds);
    for (const auto &[p, result] : r->answers)
        if (p == path) return result;
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

    temp_dir dir_;
    int home_ = -1;
};

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

TEST_F(Walk, KeepsOneDirectoryStreamOpen) {
    mkdirs({"a", "a/b", "a/b/c", "a/b/c/d", "a/e"});
    touch({"a/f", "a/b/f", "a/b/c/f", "a/b/c/d/f"});
    recorder r;
    r.base_fds = open_fds();
    ASSERT_EQ(walk_path("a", record, &r, -1, 0), 0);
    EXPECT_EQ(r.visits.size(), 9u);
    EXPECT_LE(r.max_open_dirs, 1);
}

TEST_F(Walk, CallbackResults) {
    mkdirs({"c", "c/d", "c/d/e", "c/empty"});
    touch({"c/d/f"});
    // A positive result for a directory, empty or not, is ignored.
    recorder dirs;
    dirs.answers = {{"c", 5}, {"c/d", 5}, {"c/empty", 5}};
    EXPECT_EQ(walk_path("c", record, &dirs, -1, 0), 0);
    EXPECT_EQ(dirs.visits.size(), 5u);
    // A negative one stops the walk at once.
    recorder neg;
    neg.answers = {{"c/d", -3}};
    EXPECT_EQ(walk_path("c", record, &neg, -1, 0), -3);
    EXPECT_EQ(neg.visits.back().path, "c/d");
    // Any non-zero result for a non-directory inside a directory stops it.
    recorder file;
    file.answers = {{"c/d/f", 7}};
    EXPECT_EQ(walk_path("c", record, &file, -1, 0), 7);
    EXPECT_EQ(file.visits.back().path, "c/d/f");
    // A named non-directory's positive result is ignored.
    recorder named;
    named.answers = {{"c/d/f", 7}};
    EXPECT_EQ(walk_path("c/d/f", record, &named, -1, 0), 0);
}

TEST_F(Walk, FailuresSetErrno) {
    errno = 0;
    recorder r;
    EXPECT_EQ(walk_path("missing", record, &r, -1, 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(r.visits.empty());
    touch({"plain"});
    EXPECT_EQ(walk_path("plain/x", record, &r, -1, 0), -1);
    EXPECT_EQ(errno, ENOTDIR);
}

// A subdirectory that is gone when its turn comes: the walk of the named
// path fails with the errno of opening it, and the report names the named
// path, not the subdirectory.
int remove_on_visit(const char *path, const struct stat *st, unsigned depth, void *context) {
    if (std::strcmp(path, "s/gone") == 0) {
        EXPECT_EQ(rmdir(path), 0);
    }
    return record(path, st, depth, context);
}

TEST_F(Walk, SubdirectoryThatCannotBeOpened) {
    mkdirs({"s", "s/gone"});
    recorder r;
    errno = 0;
    EXPECT_EQ(walk_path("s", remove_on_visit, &r, -1, 0), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(r.visits, (std::vector<visit>{{"s", 0}, {"s/gone", 1}}));

    ASSERT_EQ(mkdir("s/gone", 0755), 0);
    char a[] = "s";
    char *paths[] = {a};
    config.recurse = 1;
    current_name_set(nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(walk_paths(1, paths, remove_on_visit, &r), command_abandoned);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: s: Accessing: No such file or directory\n");
}

TEST_F(Walk, WalkPathsReportsTheNamedPath) {
    mkdirs({"one"});
    recorder r;
    char a[] = "one", b[] = "missing", c[] = "one";
    char *paths[] = {a, b, c};
    current_name_set(nullptr);
    ::testing::internal::CaptureStderr();
    try {
        walk_paths(3, paths, record, &r);
        ADD_FAILURE() << "walk_paths did not abandon the command";
    } catch (const command_abandoned &abandoned) {
        EXPECT_EQ(abandoned.status, 1);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: missing: Accessing: No such file or directory\n");
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
