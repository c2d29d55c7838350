// Names below a directory descriptor on Linux: the /proc path is composed by
// hand, so its digits, its separator and its length limit are checked here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>

#include <cerrno>
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

}  // namespace
