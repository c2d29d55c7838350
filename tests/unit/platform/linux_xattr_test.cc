// The Linux attribute calls: namespaces as "user." and "trusted." prefixes,
// FreeBSD's list layout, the size protocol and the link flag.
#include "platform/os_xattr.h"

#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "support/tempdir.h"

namespace {

// The names of a length-prefixed list.
std::set<std::string> names_of(const std::string &list) {
    std::set<std::string> names;
    for (size_t pos = 0; pos < list.size();) {
        size_t len = static_cast<unsigned char>(list[pos]);
        names.insert(list.substr(pos + 1, len));
        pos += 1 + len;
    }
    return names;
}

class LinuxXattr : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_.write("f", "");
        for (const char *name : {"user.a", "user.bcd", "trusted.s", "security.x"})
            ASSERT_EQ(setxattr(file_.c_str(), name, "1", 1, 0), 0) << name;
    }
    temp_dir dir_;
    std::string file_;
};

TEST_F(LinuxXattr, ListsOneNamespaceLengthPrefixed) {
    const char *path = file_.c_str();
    ASSERT_EQ(sys_xattr_list(path, SYS_XATTR_NS_USER, false, nullptr, 0), 6);
    std::string list(6, '\0');
    ASSERT_EQ(sys_xattr_list(path, SYS_XATTR_NS_USER, false, list.data(), list.size()), 6);
    EXPECT_EQ(names_of(list), (std::set<std::string>{"a", "bcd"}));

    std::string system(8, '\0');
    ASSERT_EQ(sys_xattr_list(path, SYS_XATTR_NS_SYSTEM, false, system.data(), system.size()), 2);
    EXPECT_EQ(system.substr(0, 2), std::string("\x01s", 2)) << "security.x is not ours";

    errno = 0;
    EXPECT_EQ(sys_xattr_list(path, SYS_XATTR_NS_USER, false, list.data(), 5), -1);
    EXPECT_EQ(errno, ERANGE) << "a short buffer is refused, not filled in part";
    EXPECT_EQ(sys_xattr_list(path, 3, false, list.data(), list.size()), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(sys_xattr_list(dir_.file("missing").c_str(), SYS_XATTR_NS_USER, false, nullptr, 0),
              -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(LinuxXattr, GetSetDeleteUseThePrefixAndTheSizeProtocol) {
    const char *path = file_.c_str();
    ASSERT_EQ(sys_xattr_set(path, SYS_XATTR_NS_SYSTEM, false, "k", "value", 5), 0);
    char raw[16];
    ASSERT_EQ(getxattr(path, "trusted.k", raw, sizeof raw), 5);

    char buffer[8];
    EXPECT_EQ(sys_xattr_get(path, SYS_XATTR_NS_SYSTEM, false, "k", nullptr, 0), 5);
    EXPECT_EQ(sys_xattr_get(path, SYS_XATTR_NS_SYSTEM, false, "k", buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "value");
    for (size_t size : {0, 4}) {
        errno = 0;
        EXPECT_EQ(sys_xattr_get(path, SYS_XATTR_NS_SYSTEM, false, "k", buffer, size), -1) << size;
        EXPECT_EQ(errno, ERANGE) << size;
    }
    EXPECT_EQ(sys_xattr_get(path, SYS_XATTR_NS_USER, false, "k", nullptr, 0), -1);
    EXPECT_EQ(errno, ENODATA) << "the user namespace has no k";

    EXPECT_EQ(sys_xattr_delete(path, SYS_XATTR_NS_SYSTEM, false, "k"), 0);
    EXPECT_EQ(getxattr(path, "trusted.k", raw, sizeof raw), -1);
    EXPECT_EQ(sys_xattr_delete(path, SYS_XATTR_NS_SYSTEM, false, "k"), -1);
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(sys_xattr_set(path, 0, false, "k", "v", 1), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(LinuxXattr, TheLinkFlagMeansTheLinkItself) {
    std::string link = dir_.file("l");
    ASSERT_EQ(symlink("f", link.c_str()), 0);
    ASSERT_EQ(sys_xattr_set(link.c_str(), SYS_XATTR_NS_SYSTEM, true, "on-link", "1", 1), 0);
    ASSERT_EQ(sys_xattr_set(link.c_str(), SYS_XATTR_NS_SYSTEM, false, "on-file", "1", 1), 0);
    char raw[4];
    EXPECT_EQ(lgetxattr(link.c_str(), "trusted.on-link", raw, sizeof raw), 1);
    EXPECT_EQ(lgetxattr(link.c_str(), "trusted.on-file", raw, sizeof raw), -1);
    EXPECT_EQ(getxattr(file_.c_str(), "trusted.on-file", raw, sizeof raw), 1);
    EXPECT_EQ(sys_xattr_get(link.c_str(), SYS_XATTR_NS_SYSTEM, true, "on-link", nullptr, 0), 1);
    EXPECT_EQ(sys_xattr_list(link.c_str(), SYS_XATTR_NS_SYSTEM, true, nullptr, 0), 8);
    EXPECT_EQ(sys_xattr_delete(link.c_str(), SYS_XATTR_NS_SYSTEM, true, "on-link"), 0);
    EXPECT_EQ(lgetxattr(link.c_str(), "trusted.on-link", raw, sizeof raw), -1);
}

}  // namespace
