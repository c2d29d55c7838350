// The FreeBSD extattr backend on the in-memory FreeBSD of tests/fake_freebsd,
// alone and under the attribute layer that turns its length-prefixed name
// lists into NUL-terminated names.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fake_freebsd.h"
#include "fs/attr_io.h"
#include "platform/os_xattr.h"

namespace {

using fake_freebsd::calls_of;
using strings = std::vector<std::string>;

constexpr int USER = SYS_XATTR_NS_USER;
constexpr int SYSTEM = SYS_XATTR_NS_SYSTEM;

class FreebsdXattr : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_freebsd::reset();
        fake_freebsd::add_file("/f");
    }
};

std::string as_string(const char *buffer, ssize_t n) {
    return n < 0 ? "<failed>" : std::string(buffer, static_cast<size_t>(n));
}

TEST_F(FreebsdXattr, NameListIsReadWholeAndConvertedToNulTerminatedNames) {
    fake_freebsd::set_attr("/f", USER, "a", "1");
    fake_freebsd::set_attr("/f", USER, "bb", "2");
    fake_freebsd::set_attr("/f", USER, "ccc", "3");
    fake_freebsd::set_attr("/f", SYSTEM, "sys", "4");
    char buffer[64];

    // The platform hands FreeBSD's list on as it is...
    EXPECT_EQ(sys_xattr_list("/f", USER, false, nullptr, 0), 9);
    ssize_t n = sys_xattr_list("/f", USER, false, buffer, sizeof buffer);
    EXPECT_EQ(as_string(buffer, n), std::string("\1a\2bb\3ccc"));

    // ...and the attribute layer makes names of it.
    fake_freebsd::clear_calls();
    n = fs_xattr_list("/f", buffer, 9, 0);
    EXPECT_EQ(as_string(buffer, n), std::string("a\0bb\0ccc\0", 9));
    EXPECT_EQ(calls_of({"extattr_list_file", "extattr_list_link"}),
              (strings{"extattr_list_file /f 1 null", "extattr_list_file /f 1 10"}));
    n = fs_xattr_list("/f", buffer, sizeof buffer, FS_XATTR_SYSTEM);
    EXPECT_EQ(as_string(buffer, n), std::string("sys\0", 4));

    // One byte short: ERANGE, not a list cut off in the middle of a name.
    for (ssize_t (*list)(char *, size_t) :
         {+[](char *b, size_t s) { return sys_xattr_list("/f", USER, false, b, s); },
          +[](char *b, size_t s) { return fs_xattr_list("/f", b, s, 0); }}) {
        errno = 0;
        EXPECT_EQ(list(buffer, 8), -1);
        EXPECT_EQ(errno, ERANGE);
    }

    fake_freebsd::add_file("/empty");
    EXPECT_EQ(fs_xattr_list("/empty", buffer, sizeof buffer, 0), 0);
}

TEST_F(FreebsdXattr, LongListsAndValuesAreReadWhole) {
    std::string names;
    for (int i = 0; i < 300; ++i) {
        std::string name = "attribute-" + std::to_string(1000 + i);
        fake_freebsd::set_attr("/f", USER, name, "v");
        names += name + '\0';
    }
    std::vector<char> buffer(names.size());
    ssize_t n = fs_xattr_list("/f", buffer.data(), buffer.size(), 0);
    EXPECT_EQ(as_string(buffer.data(), n), names);

    std::string value(10000, 'x');
    value[9999] = '\0';
    fake_freebsd::set_attr("/f", USER, "big", value);
    EXPECT_EQ(sys_xattr_get("/f", USER, false, "big", nullptr, 0), 10000);
    std::vector<char> out(10000);
    n = sys_xattr_get("/f", USER, false, "big", out.data(), out.size());
    EXPECT_EQ(as_string(out.data(), n), value);
    errno = 0;
    EXPECT_EQ(sys_xattr_get("/f", USER, false, "big", out.data(), 9999), -1);
    EXPECT_EQ(errno, ERANGE);
}

// FreeBSD cuts a list or value off at the end of the buffer; one that grows
// between asking its size and reading it must be asked for again, not
// delivered cut off. Some file systems answer ERANGE instead.
TEST_F(FreebsdXattr, WhatGrowsWhileBeingReadIsReadAgain) {
    fake_freebsd::set_attr("/f", USER, "a", "short");
    char buffer[64];

    fake_freebsd::before("extattr_list_file", 2,
                         [] { fake_freebsd::set_attr("/f", USER, "zz", "1"); });
    ssize_t n = sys_xattr_list("/f", USER, false, buffer, sizeof buffer);
    EXPECT_EQ(as_string(buffer, n), std::string("\1a\2zz"));
    EXPECT_EQ(calls_of({"extattr_list_file"}).size(), 4u);

    fake_freebsd::before("extattr_get_file", 2,
                         [] { fake_freebsd::set_attr("/f", USER, "a", "much longer"); });
    n = sys_xattr_get("/f", USER, false, "a", buffer, sizeof buffer);
    EXPECT_EQ(as_string(buffer, n), "much longer");

    fake_freebsd::fail("extattr_get_file", ERANGE, 2);
    n = sys_xattr_get("/f", USER, false, "a", buffer, sizeof buffer);
    EXPECT_EQ(as_string(buffer, n), "much longer");

    // Growing past the caller's buffer is ERANGE.
    fake_freebsd::before("extattr_get_file", 2,
                         [] { fake_freebsd::set_attr("/f", USER, "a", std::string(100, 'y')); });
    errno = 0;
    EXPECT_EQ(sys_xattr_get("/f", USER, false, "a", buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, ERANGE);
}

TEST_F(FreebsdXattr, SetGetDeleteInEitherNamespaceOnFilesAndLinks) {
    fake_freebsd::add_link("/l", "/f");
    const std::string value("abc\0", 4);

    EXPECT_EQ(fs_xattr_set("/l", "x", value.data(), value.size(), 0), 0);
    EXPECT_EQ(fake_freebsd::attr_of("/f", USER, "x"), value);
    EXPECT_EQ(fs_xattr_set("/l", "x", "L", 1, FS_XATTR_NOFOLLOW | FS_XATTR_SYSTEM), 0);
    EXPECT_EQ(fake_freebsd::attr_of("/l", SYSTEM, "x"), "L");
    EXPECT_EQ(fs_xattr_set("/f", "empty", "", 0, 0), 0);
    EXPECT_EQ(fake_freebsd::attr_of("/f", USER, "empty"), "");

    char buffer[16];
    ssize_t n = fs_xattr_get("/l", "x", buffer, sizeof buffer, 0);
    EXPECT_EQ(as_string(buffer, n), value);
    n = fs_xattr_get("/l", "x", buffer, sizeof buffer, FS_XATTR_NOFOLLOW | FS_XATTR_SYSTEM);
    EXPECT_EQ(as_string(buffer, n), "L");
    EXPECT_EQ(fs_xattr_get("/f", "empty", buffer, sizeof buffer, 0), 0);

    EXPECT_EQ(fs_xattr_delete("/l", "x", FS_XATTR_NOFOLLOW | FS_XATTR_SYSTEM), 0);
    EXPECT_FALSE(fake_freebsd::attr_of("/l", SYSTEM, "x"));
    EXPECT_EQ(fake_freebsd::attr_of("/f", USER, "x"), value);
    errno = 0;
    EXPECT_EQ(fs_xattr_delete("/f", "x", FS_XATTR_SYSTEM), -1);
    EXPECT_EQ(errno, ENODATA);  // FreeBSD's ENOATTR, which Linux calls ENODATA

    EXPECT_EQ(calls_of({"extattr_set_file", "extattr_set_link", "extattr_delete_file",
                        "extattr_delete_link"}),
              (strings{"extattr_set_file /l 1 x 4", "extattr_set_link /l 2 x 1",
                       "extattr_set_file /f 1 empty 0", "extattr_delete_link /l 2 x",
                       "extattr_delete_file /f 2 x"}));
}

TEST_F(FreebsdXattr, FailuresPassThroughUnchanged) {
    fake_freebsd::set_attr("/f", USER, "x", "1");
    char buffer[16];
    struct failure {
        const char *function;
        int nth;
        int err;
    };
    const failure failures[] = {
        {"extattr_list_file", 1, EACCES},   {"extattr_list_file", 2, EOPNOTSUPP},
        {"extattr_get_file", 1, ENOENT},    {"extattr_get_file", 2, EACCES},
        {"extattr_set_file", 1, ENOSPC},    {"extattr_set_file", 1, EPERM},
        {"extattr_delete_file", 1, EACCES},
    };
    for (const failure &f : failures) {
        SCOPED_TRACE(std::string(f.function) + " #" + std::to_string(f.nth));
        fake_freebsd::fail(f.function, f.err, f.nth);
        errno = 0;
        std::string function = f.function;
        if (function == "extattr_list_file")
            EXPECT_EQ(sys_xattr_list("/f", USER, false, buffer, sizeof buffer), -1);
        else if (function == "extattr_get_file")
            EXPECT_EQ(sys_xattr_get("/f", USER, false, "x", buffer, sizeof buffer), -1);
        else if (function == "extattr_set_file")
            EXPECT_EQ(sys_xattr_set("/f", USER, false, "x", "2", 1), -1);
        else
            EXPECT_EQ(sys_xattr_delete("/f", USER, false, "x"), -1);
        EXPECT_EQ(errno, f.err);
    }
    EXPECT_EQ(fake_freebsd::attr_of("/f", USER, "x"), "1");

    // Namespaces other than user and system, and missing names, never reach
    // the system.
    fake_freebsd::clear_calls();
    for (int ns : {0, 3}) {
        errno = 0;
        EXPECT_EQ(sys_xattr_list("/f", ns, false, buffer, sizeof buffer), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(sys_xattr_get("/f", ns, false, "x", buffer, sizeof buffer), -1);
        EXPECT_EQ(sys_xattr_set("/f", ns, false, "x", "1", 1), -1);
        EXPECT_EQ(sys_xattr_delete("/f", ns, false, "x"), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(sys_xattr_get("/f", USER, false, nullptr, buffer, sizeof buffer), -1);
    EXPECT_EQ(sys_xattr_set("/f", USER, false, nullptr, "1", 1), -1);
    EXPECT_EQ(sys_xattr_delete("/f", USER, false, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(fake_freebsd::calls().empty());

    errno = 0;
    EXPECT_EQ(sys_xattr_get("/missing", USER, false, "x", buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(sys_xattr_get("/f", USER, false, "absent", buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, ENODATA);
}

}  // namespace
