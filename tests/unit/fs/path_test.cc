#include "fs/path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

// Runs each test in a fresh temporary directory and returns to the test
// program's own directory afterwards.
class Path : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = open(".", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(home_, 0);
        char real[FS_PATH_MAX];
        ASSERT_NE(realpath(dir_.path().c_str(), real), nullptr);
        cwd_ = real;
        ASSERT_EQ(chdir(cwd_.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(fchdir(home_), 0);
        close(home_);
    }
    temp_dir dir_;
    std::string cwd_;
    int home_ = -1;
};

std::string fullpath(const char *path, size_t size = FS_PATH_MAX) {
    char buffer[FS_PATH_MAX];
    errno = 0;
    const char *r = fs_fullpath(path, buffer, size);
    if (r == nullptr) return std::string("error ") + std::strerror(errno);
    EXPECT_EQ(r, buffer);
    return r;
}

TEST_F(Path, FullpathNormalisesTextually) {
    const struct {
        const char *path;
        std::string expected;
    } cases[] = {
        {nullptr, cwd_},
        {".", cwd_},
        {"", cwd_},
        {"x/../y", cwd_ + "/y"},
        {"a/./b/", cwd_ + "/a/b/"},
        {"/a/./b", "/a/b"},
        {"/a/.", "/a"},
        {"/a/b/..", "/a"},
        {"/a/..", "/"},
        {"/.", "/"},
        {"/../x", "/x"},
        {"/..", "/"},
        {"/a/b/../../c", "/c"},
        {"/a/./././b/.", "/a/b"},
        {"/a//b", "/a//b"},
        {"/a/.b/..x", "/a/.b/..x"},
        {"/a/.../b", "/a/.../b"},
        {"/", "/"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path ? c.path : "(null)");
        EXPECT_EQ(fullpath(c.path), c.expected);
    }
    // ".." leaves the current directory textually, not through the system.
    std::string up = cwd_.substr(0, cwd_.rfind('/'));
    EXPECT_EQ(fullpath(".."), up.empty() ? "/" : up);
}

TEST_F(Path, FullpathInTheRootDirectory) {
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(fullpath("x"), "/x");
    EXPECT_EQ(fullpath("x/.."), "/");
    EXPECT_EQ(fullpath(".."), "/");
    EXPECT_EQ(fullpath("."), "/");
}

TEST_F(Path, FullpathRefusesResultsLongerThanTheBuffer) {
    // Absolute: the path and its NUL must fit.
    EXPECT_EQ(fullpath("/abc", 5), "/abc");
    EXPECT_EQ(fullpath("/abc", 4), "error " + std::string(std::strerror(ERANGE)));
    // Relative: the current directory, a slash, the path and the NUL must
    // fit before anything is appended, even when ".." would shorten it.
    size_t fit = cwd_.size() + 1 + 5 + 1;
    EXPECT_EQ(fullpath("ab/..", fit), cwd_);
    EXPECT_EQ(fullpath("ab/..", fit - 1), "error " + std::string(std::strerror(ERANGE)));
    // A current directory that itself does not fit fails as getcwd does.
    EXPECT_EQ(fullpath("x", 2), "error " + std::string(std::strerror(ERANGE)));
    char buffer[8];
    errno = 0;
    EXPECT_EQ(fs_fullpath("/", buffer, 0), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(fs_fullpath("/", nullptr, 8), nullptr);
}

TEST_F(Path, LstatTakesNullAndEmptyAsTheCurrentDirectory) {
    struct stat here, st;
    ASSERT_EQ(lstat(".", &here), 0);
    for (const char *p : {static_cast<const char *>(nullptr), ""}) {
        ASSERT_EQ(fs_lstat(p, &st), 0);
        EXPECT_EQ(st.st_ino, here.st_ino);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
    }
    // A link is examined itself.
    ASSERT_EQ(symlink(".", "l"), 0);
    ASSERT_EQ(fs_lstat("l", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    // A failure leaves all zero bytes.
    std::memset(&st, 0xA5, sizeof st);
    errno = 0;
    EXPECT_EQ(fs_lstat("missing", &st), -1);
    EXPECT_EQ(errno, ENOENT);
    struct stat zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&st, &zero, sizeof st), 0);

    struct statvfs vfs;
    ASSERT_EQ(fs_statvfs(nullptr, &vfs), 0);
    EXPECT_GT(vfs.f_bsize, 0u);
    errno = 0;
    EXPECT_EQ(fs_statvfs("missing", &vfs), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Path, GuardFailsWithEnosysWhenTheCurrentDirectoryIsGone) {
    ASSERT_EQ(mkdir("gone", 0755), 0);
    ASSERT_EQ(chdir("gone"), 0);
    ASSERT_EQ(rmdir((cwd_ + "/gone").c_str()), 0);
    fs_cwd.reset();
    struct stat st;
    errno = 0;
    EXPECT_EQ(fs_need_cwd(), -1);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_lstat(nullptr, &st), -1);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_opendir(nullptr), nullptr);
    EXPECT_EQ(errno, ENOSYS);
    // A path that is given is used without consulting the current directory.
    EXPECT_EQ(fs_lstat("/", &st), 0);
    EXPECT_FALSE(fs_cwd.has_value());
    // fs_fullpath fails as getcwd does.
    EXPECT_EQ(fullpath("x"), "error " + std::string(std::strerror(ENOENT)));
    // Once known, the current directory is not asked for again.
    fs_cwd = "/";
    EXPECT_EQ(fs_need_cwd(), 0);
    EXPECT_EQ(fs_lstat(nullptr, &st), 0);
}

TEST_F(Path, ChdirRecordsTheDirectoryOnlyOnSuccess) {
    ASSERT_EQ(mkdir("sub", 0755), 0);
    fs_cwd = "before";
    errno = 0;
    EXPECT_EQ(fs_chdir("missing"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(fs_cwd, "before");
    EXPECT_EQ(fs_chdir(nullptr), -1);
    EXPECT_EQ(fs_cwd, "before");
    ASSERT_EQ(fs_chdir("sub"), 0);
    EXPECT_EQ(fs_cwd, "sub");
    EXPECT_EQ(fullpath("."), cwd_ + "/sub");
}

TEST_F(Path, DirectoryHandles) {
    ASSERT_EQ(mkdir("d", 0755), 0);
    dir_.write("d/one", "");
    dir_.write("d/.two", "");
    std::set<std::string> names;
    {
        fs_dir_ptr d(fs_opendir("d"));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->kind, FS_DIR_LOCAL);
        while (struct dirent *e = fs_readdir(d.get()))
            names.insert(e->d_name);
    }
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "one", ".two"}));

    fs_dir_t *cwd = fs_opendir("");
    ASSERT_NE(cwd, nullptr);
    EXPECT_EQ(fs_closedir(cwd), 0);

    errno = 0;
    EXPECT_EQ(fs_opendir("missing"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(fs_opendir("d/one"), nullptr);
    EXPECT_EQ(errno, ENOTDIR);

    // A handle of another kind is refused and left alone.
    fs_dir_t foreign{2, nullptr};
    errno = 0;
    EXPECT_EQ(fs_readdir(&foreign), nullptr);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_closedir(&foreign), -1);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(foreign.kind, 2);
}

}  // namespace

// The directory fs_open_parent opens and the last component it leaves, for
// paths of every shape; links on the way are followed only when they are
// root's or ours (the tests run as root, so a link handed to bob is
// someone else's).
TEST_F(Path, OpenParentFollowsOnlyOwnLinksOnTheWay) {
    ASSERT_EQ(mkdir("top", 0755), 0);
    ASSERT_EQ(mkdir("top/sub", 0755), 0);
    ASSERT_EQ(mkdir("elsewhere", 0755), 0);
    ASSERT_EQ(close(open("top/sub/f", O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_EQ(symlink("top", "own"), 0);
    ASSERT_EQ(symlink("elsewhere", "bobs"), 0);
    ASSERT_EQ(lchown("bobs", 1001, 1001), 0);
    ASSERT_EQ(symlink("sub", "top/link"), 0);
    struct stat top, sub, root, here;
    ASSERT_EQ(stat("top", &top), 0);
    ASSERT_EQ(stat("top/sub", &sub), 0);
    ASSERT_EQ(stat("/", &root), 0);
    ASSERT_EQ(stat(".", &here), 0);
    const std::string absolute = cwd_ + "/top/sub/f";

    const struct {
        const char *path;
        const struct stat *dir;  // null: refused
        const char *last;
        int err;
    } cases[] = {
        {"top/sub/f", &sub, "f", 0},
        {"top//sub//", &top, "sub", 0},
        {"./top/./sub/.", &sub, ".", 0},
        {"top/sub/../sub/f", &sub, "f", 0},
        {"top/link", &top, "link", 0},  // the last component stays a link
        {"own/sub/f", &sub, "f", 0},
        {absolute.c_str(), &sub, "f", 0},
        {"f", &here, "f", 0},
        {"", &here, ".", 0},
        {"/", &root, ".", 0},
        {"bobs/f", nullptr, "", ELOOP},
        {"top/link/f", &sub, "f", 0},
        {"missing/f", nullptr, "", ENOENT},
        {"top/sub/f/g", nullptr, "", ENOTDIR},
    };
    for (const auto &c : cases) {
        std::string last = "unchanged";
        errno = 0;
        int fd = fs_open_parent(c.path, &last);
        if (c.dir == nullptr) {
            EXPECT_EQ(fd, -1) << c.path;
            EXPECT_EQ(errno, c.err) << c.path;
            continue;
        }
        ASSERT_GE(fd, 0) << c.path << ": " << std::strerror(errno);
        struct stat st;
        ASSERT_EQ(fstat(fd, &st), 0);
        EXPECT_EQ(st.st_ino, c.dir->st_ino) << c.path;
        EXPECT_EQ(last, c.last) << c.path;
        close(fd);
    }
}

// Descriptors given up together are closed in runs, and a number in the
// middle of a run that was not given up stays open.
TEST(FdBatch, ClosesWhatItWasGivenAndNothingElse) {
    auto is_open = [](int fd) { return fcntl(fd, F_GETFD) != -1; };
    std::vector<int> fds;
    for (int i = 0; i < 7; i++)
        fds.push_back(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int fd : fds)
        ASSERT_GE(fd, 0);
    const int kept = fds[3];
    {
        fs_fd_batch batch;
        for (int fd : fds)
            if (fd != kept) batch.give(fs_fd(fd));
        batch.give(fs_fd());  // nothing to hold
        for (int fd : fds)
            EXPECT_TRUE(is_open(fd)) << fd;
        EXPECT_TRUE(batch.flush());
        EXPECT_FALSE(batch.flush());
        for (int fd : fds)
            EXPECT_EQ(is_open(fd), fd == kept) << fd;
        // A full batch closes itself; the destructor closes the rest.
        std::vector<int> full;
        for (size_t i = 0; i < fs_fd_batch::SIZE; i++)
            full.push_back(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int fd : full)
            batch.give(fs_fd(fd));
        for (int fd : full)
            EXPECT_FALSE(is_open(fd)) << fd;
        fds = {open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        batch.give(fs_fd(fds[0]));
        EXPECT_TRUE(is_open(fds[0]));
    }
    for (int fd : fds)
        EXPECT_FALSE(is_open(fd)) << fd;
    EXPECT_TRUE(is_open(kept));
    close(kept);
}

// A directory below a descriptor is opened without following a link and
// described by the descriptor it was opened as; anything else is refused.
TEST_F(Path, OpenDirStatusAtDescribesWhatItOpened) {
    ASSERT_EQ(mkdir("d", 0755), 0);
    ASSERT_EQ(mkdir("d/sub", 0755), 0);
    close(open("d/file", O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(symlink("sub", "d/link"), 0);
    fs_fd d(open("d", O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(d);

    struct stat st {
    }, expected{};
    fs_fd sub(fs_open_dir_status_at(d.get(), "sub", &st));
    ASSERT_TRUE(sub);
    ASSERT_EQ(lstat("d/sub", &expected), 0);
    EXPECT_EQ(st.st_ino, expected.st_ino);
    EXPECT_TRUE(S_ISDIR(st.st_mode));

    const struct {
        int dirfd;
        const char *name;
        int err;
    } refused[] = {
        {d.get(), "file", ENOTDIR}, {d.get(), "gone", ENOENT}, {d.get(), "sub/.", EINVAL},
        {d.get(), "", EINVAL},      {AT_FDCWD, "d", EINVAL},   {-7, "sub", EBADF},
    };
    for (const auto &r : refused) {
        errno = 0;
        EXPECT_EQ(fs_open_dir_status_at(r.dirfd, r.name, &st), -1) << r.name;
        EXPECT_EQ(errno, r.err) << r.name;
    }
    // A link is not followed: Linux says ENOTDIR, other systems ELOOP.
    errno = 0;
    EXPECT_EQ(fs_open_dir_status_at(d.get(), "link", &st), -1);
    EXPECT_TRUE(errno == ENOTDIR || errno == ELOOP) << errno;
}
