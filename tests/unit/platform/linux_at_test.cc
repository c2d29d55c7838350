// Names below a directory descriptor on Linux: the /proc path is composed by
// hand, so its digits, its separator and its length limit are checked here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/os_at.h"

namespace {

TEST(LinuxAt, ComposesTheProcPath) {
    const struct {
        int fd;
        const char *name;
        const char *path;
    } cases[] = {
        {0, "a", "/proc/self/fd/0/a"},
        {9, "x y", "/proc/self/fd/9/x y"},
        {10, ".hidden", "/proc/self/fd/10/.hidden"},
        {123456, "f", "/proc/self/fd/123456/f"},
        {INT_MAX, "n", "/proc/self/fd/2147483647/n"},
    };
    for (const auto &c : cases) {
        os_at_path at(c.fd, c.name);
        ASSERT_TRUE(at.ok()) << c.path;
        EXPECT_STREQ(at.path(), c.path);
    }
}

TEST(LinuxAt, LongestNameFitsOneMoreIsTooLong) {
    // The longest path that fits is one byte short of the buffer (NUL); the
    // names below are as long as the kernel allows, and one more.
    std::string longest(NAME_MAX, 'n');
    os_at_path fits(INT_MAX, longest.c_str());
    ASSERT_TRUE(fits.ok());
    EXPECT_EQ(std::string(fits.path()), "/proc/self/fd/2147483647/" + longest);

    std::string too_long(NAME_MAX + 40, 'n');
    errno = 0;
    os_at_path refused(3, too_long.c_str());
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST(LinuxAt, RefusalsComeBeforeComposing) {
    const struct {
        int fd;
        const char *name;
        int err;
    } cases[] = {{3, "", EINVAL}, {3, "a/b", EINVAL}, {-5, "a", EBADF}};
    for (const auto &c : cases) {
        errno = 0;
        os_at_path at(c.fd, c.name);
        EXPECT_FALSE(at.ok()) << c.name;
        EXPECT_EQ(errno, c.err) << c.name;
    }
    os_at_path cwd(AT_FDCWD, "rel/name");
    ASSERT_TRUE(cwd.ok());
    EXPECT_STREQ(cwd.path(), "rel/name");
}

// The attribute calls below a descriptor, as one table of expectations that
// must hold both with the kernel's at-calls and, when a sandbox refuses
// them, through the procfs names. Returns the number of failed checks.
int attribute_calls_misbehave(const std::string &dir) {
    int failures = 0;
    auto expect = [&](bool ok) { failures += ok ? 0 : 1; };
    int dirfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirfd < 0) return 100;
    const char value[] = "abc";
    expect(os_setxattr_at(dirfd, "f", "user.t", value, 3) == 0);
    char got[16] = {};
    expect(os_getxattr_at(dirfd, "f", "user.t", got, sizeof got) == 3 && std::string(got) == "abc");
    expect(os_getxattr_at(dirfd, "f", "user.t", nullptr, 0) == 3);
    expect(os_getxattr_at(dirfd, "f", "user.t", got, 2) == -1 && errno == ERANGE);
    expect(os_getxattr_at(dirfd, "f", "user.none", got, sizeof got) == -1 && errno == ENODATA);
    // The link is the object: the file's value is not reached through it.
    expect(os_getxattr_at(dirfd, "l", "user.t", got, sizeof got) == -1);
    expect(os_setxattr_at(dirfd, "l", "user.t", value, 3) == -1 && errno == EPERM);
    expect(os_getxattr_at(dirfd, "missing", "user.t", got, sizeof got) == -1 && errno == ENOENT);
    expect(os_getxattr_at(dirfd, "a/f", "user.t", got, sizeof got) == -1 && errno == EINVAL);
    close(dirfd);
    return failures;
}

class LinuxAtAttributes : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vossik-at-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        int fd = open((dir_ + "/f").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        close(fd);
        ASSERT_EQ(symlink("f", (dir_ + "/l").c_str()), 0);
    }
    void TearDown() override {
        unlink((dir_ + "/l").c_str());
        unlink((dir_ + "/f").c_str());
        rmdir(dir_.c_str());
    }
    std::string dir_;
};

TEST_F(LinuxAtAttributes, ReachTheObjectItself) {
    EXPECT_EQ(attribute_calls_misbehave(dir_), 0);
}

TEST_F(LinuxAtAttributes, SameWhereTheAtCallsAreRefused) {
    // A child whose at-calls fail as on an older kernel (ENOSYS) or in a
    // sandbox (EPERM).
    for (int refusal : {ENOSYS, EPERM}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            struct sock_filter filter[] = {
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
                BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 463, 0, 3),
                BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, 464, 2, 0),
                BPF_STMT(BPF_RET | BPF_K,
                         SECCOMP_RET_ERRNO | (static_cast<unsigned>(refusal) & SECCOMP_RET_DATA)),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            };
            struct sock_fprog program = {static_cast<unsigned short>(std::size(filter)), filter};
            if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
                prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
                _exit(101);
            errno = 0;
            char probe[4];
            long refused = syscall(464, AT_FDCWD, "/", 0, "user.x", probe, sizeof probe);
            if (refused != -1 || errno != refusal) _exit(102);
            _exit(attribute_calls_misbehave(dir_));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "refused with " << refusal;
    }
}

}  // namespace
