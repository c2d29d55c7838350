// The attribute layer: NUL-terminated name lists converted in place, the
// flags word, the current directory for a null path, and the flag letters.
#include "fs/attr_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "support/tempdir.h"

namespace {

std::set<std::string> names_of(const char *list, size_t size) {
    std::set<std::string> names;
    for (size_t pos = 0; pos < size;) {
        std::string name(list + pos);
        pos += name.size() + 1;
        names.insert(name);
    }
    return names;
}

class Xattr : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_.write("f", "");
        for (const char *name : {"user.a", "user.bcd", "trusted.sys"})
            ASSERT_EQ(setxattr(file_.c_str(), name, "1", 1, 0), 0) << name;
    }
    temp_dir dir_;
    std::string file_;
};

TEST_F(Xattr, ListGivesNulTerminatedNames) {
    const char *path = file_.c_str();
    char buffer[16];
    EXPECT_EQ(fs_xattr_list(path, nullptr, 0, 0), 6);
    EXPECT_EQ(fs_xattr_list(path, buffer, 0, 0), 6) << "size 0 asks too";
    ASSERT_EQ(fs_xattr_list(path, buffer, 6, 0), 6);
    EXPECT_EQ(names_of(buffer, 6), (std::set<std::string>{"a", "bcd"}));
    EXPECT_EQ(buffer[5], '\0');

    ASSERT_EQ(fs_xattr_list(path, buffer, sizeof buffer, FS_XATTR_SYSTEM), 4);
    EXPECT_EQ(std::string(buffer, 4), std::string("sys\0", 4));

    errno = 0;
    EXPECT_EQ(fs_xattr_list(path, buffer, 5, 0), -1);
    EXPECT_EQ(errno, ERANGE);

    std::string empty = dir_.write("g", "");
    EXPECT_EQ(fs_xattr_list(empty.c_str(), buffer, sizeof buffer, 0), 0);
}

TEST_F(Xattr, ValuesFollowTheSizeProtocol) {
    const char *path = file_.c_str();
    ASSERT_EQ(fs_xattr_set(path, "v", "hello", 6, FS_XATTR_SYSTEM), 0);
    char buffer[8];
    EXPECT_EQ(fs_xattr_get(path, "v", nullptr, 0, FS_XATTR_SYSTEM), 6);
    EXPECT_EQ(fs_xattr_get(path, "v", buffer, 0, FS_XATTR_SYSTEM), 6);
    EXPECT_EQ(fs_xattr_get(path, "v", buffer, 5, FS_XATTR_SYSTEM), -1);
    EXPECT_EQ(errno, ERANGE);
    ASSERT_EQ(fs_xattr_get(path, "v", buffer, sizeof buffer, FS_XATTR_SYSTEM), 6);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(fs_xattr_get(path, "v", buffer, sizeof buffer, 0), -1) << "not a user attribute";
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(fs_xattr_delete(path, "v", FS_XATTR_SYSTEM), 0);
    EXPECT_EQ(fs_xattr_delete(path, "v", FS_XATTR_SYSTEM), -1);
    EXPECT_EQ(errno, ENODATA);
}

TEST_F(Xattr, ANullPathIsTheCurrentDirectory) {
    int home = open(".", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(home, 0);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    int set = fs_xattr_set(nullptr, "here", "1", 1, 0);
    EXPECT_EQ(fchdir(home), 0);
    close(home);
    ASSERT_EQ(set, 0);
    char raw[4];
    EXPECT_EQ(getxattr(dir_.path().c_str(), "user.here", raw, sizeof raw), 1);
}

TEST(XattrFlags, LettersAreStoredOneByOne) {
    const struct {
        const char *text;
        int result;
        int32_t flags;
    } cases[] = {
        {"", 0, 0},
        {nullptr, 0, 0},
        {"f", 0, FS_XATTR_NOFOLLOW},
        {"S", 0, FS_XATTR_SYSTEM},
        {"Sf", 0, FS_XATTR_SYSTEM | FS_XATTR_NOFOLLOW},
        {"ff", 0, FS_XATTR_NOFOLLOW},
        {"fX", -1, FS_XATTR_NOFOLLOW},
        {"s", -1, 0},
        {"S-", -1, FS_XATTR_SYSTEM},
    };
    for (const auto &c : cases) {
        int32_t flags = 0x7777;  // whatever was in force before
        errno = 0;
        EXPECT_EQ(fs_xattr_flags_parse(c.text, &flags), c.result) << (c.text ? c.text : "null");
        EXPECT_EQ(flags, c.flags) << (c.text ? c.text : "null");
        if (c.result < 0) {
            EXPECT_EQ(errno, EINVAL);
        }
    }
}

}  // namespace
