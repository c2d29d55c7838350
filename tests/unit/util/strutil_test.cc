// String utilities, the string buffer and the string vector.
#include "util/strutil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "util/strbuf.h"
#include "util/strvec.h"

namespace {

TEST(StrUtil, CopiesTolerateNull) {
    EXPECT_FALSE(str_dup(nullptr));
    EXPECT_STREQ(str_dup("abc").get(), "abc");
    EXPECT_FALSE(str_ndup(nullptr, 3));
    EXPECT_STREQ(str_ndup("abcdef", 3).get(), "abc");
    EXPECT_STREQ(str_ndup("ab", 10).get(), "ab");
    EXPECT_STREQ(str_concat({"/a", "/", "b"}).get(), "/a/b");
    EXPECT_STREQ(str_concat({"x", nullptr, "ignored"}).get(), "x");
    EXPECT_FALSE(str_concat({nullptr, "y"}));
}

TEST(StrUtil, BoundedCopiesNeverOverrunAndSayWhy) {
    char buf[4];
    struct {
        const char *what;
        std::function<int()> call;
        int result;
        int err;           // errno when result is -1
        const char *left;  // buffer contents afterwards, when checked
    } cases[] = {
        {"copy truncates", [&] { return str_copy(buf, 4, "abcdef"); }, -1, ENOMEM, "abc"},
        {"copy fits", [&] { return str_copy(buf, 4, "abc"); }, 3, 0, "abc"},
        {"copy null source", [&] { return str_copy(buf, 4, nullptr); }, 0, 0, ""},
        {"copy null destination", [&] { return str_copy(nullptr, 4, "a"); }, -1, EINVAL, nullptr},
        {"copy size 0", [&] { return str_copy(buf, 0, "a"); }, -1, ERANGE, nullptr},
        {"copy_n stops at n", [&] { return str_copy_n(buf, 4, "abcdef", 2); }, 2, 0, "ab"},
        {"copy_n stops at end", [&] { return str_copy_n(buf, 4, "ab", 3); }, 2, 0, "ab"},
        {"copy_n out of room", [&] { return str_copy_n(buf, 4, "abcdef", 5); }, -1, ENOMEM, "abc"},
        {"copy_n zero", [&] { return str_copy_n(buf, 4, "abc", 0); }, 0, 0, ""},
        {"copy_n size 0", [&] { return str_copy_n(buf, 0, "a", 1); }, -1, ERANGE, nullptr},
    };
    for (const auto &c : cases) {
        std::memset(buf, 'Z', sizeof buf);
        errno = 0;
        EXPECT_EQ(c.call(), c.result) << c.what;
        if (c.result < 0) {
            EXPECT_EQ(errno, c.err) << c.what;
        }
        if (c.left) {
            EXPECT_STREQ(buf, c.left) << c.what;
        }
    }
}

TEST(StrUtil, AppendStaysWithinTheBuffer) {
    char buf[6] = "ab";
    EXPECT_EQ(str_append(buf, sizeof buf, "cd"), 4);
    EXPECT_STREQ(buf, "abcd");
    errno = 0;
    EXPECT_EQ(str_append(buf, sizeof buf, "efg"), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(str_append(buf, sizeof buf, nullptr), 5);
    EXPECT_EQ(str_append(nullptr, 3, "x"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(str_append(buf, 0, "x"), -1);
    EXPECT_EQ(errno, ERANGE);
}

TEST(StrUtil, ReadsIntegersLikeScanf) {
    struct {
        const char *text;
        bool ok;
        int value;
    } cases[] = {{"3", true, 3},
                 {"  -12", true, -12},
                 {"+4", true, 4},
                 {"7abc", true, 7},
                 {"x", false, 0},
                 {"", false, 0},
                 {"-", false, 0},
                 {"- 1", false, 0},
                 {"99999999999", true, 2147483647},
                 {"-99999999999", true, -2147483647 - 1}};
    for (const auto &c : cases) {
        int v = 0;
        EXPECT_EQ(str_to_int(c.text, &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    int v;
    EXPECT_FALSE(str_to_int(nullptr, &v));
}

TEST(StrUtil, WhiteSpaceIsAsciiOnly) {
    EXPECT_TRUE(str_is_space(' '));
    EXPECT_TRUE(str_is_space('\t'));
    EXPECT_TRUE(str_is_space('\n'));
    EXPECT_FALSE(str_is_space('x'));
    EXPECT_FALSE(str_is_space(0xa0));
    EXPECT_FALSE(str_is_space(0x85));
}

TEST(StrBuf, GrowsBy256AndStaysTerminated) {
    strbuf_t buf;
    strbuf_init(&buf);
    EXPECT_STREQ(strbuf_get(&buf), "");
    EXPECT_EQ(strbuf_putc(&buf, 'a'), 1);
    EXPECT_EQ(buf.size, 256);
    for (int i = 1; i < 256; ++i)
        strbuf_putc(&buf, 'b');
    EXPECT_EQ(buf.size, 256);
    EXPECT_EQ(strbuf_putc(&buf, 'c'), 257);
    EXPECT_EQ(buf.size, 512);
    EXPECT_EQ(std::strlen(strbuf_get(&buf)), 257u);
    EXPECT_EQ(strbuf_get(&buf)[256], 'c');
    strbuf_free(&buf);
    EXPECT_EQ(buf.len, 0);
    EXPECT_EQ(buf.size, 0);
    EXPECT_STREQ(strbuf_get(&buf), "");
}

TEST(StrVec, GrowsBy256WhenFull) {
    strvec_ptr vec = strvec_new(1024);
    ASSERT_TRUE(vec);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(strvec_add(vec.get(), "x"), i + 1);
    EXPECT_EQ(vec->capacity, 1024u);
    EXPECT_EQ(strvec_add(vec.get(), "last"), 1025);
    EXPECT_EQ(vec->capacity, 1280u);
    EXPECT_STREQ(vec->items[1024].get(), "last");
    EXPECT_STREQ(vec->items[0].get(), "x");
    EXPECT_EQ(strvec_add(vec.get(), nullptr), 1026);
    EXPECT_FALSE(vec->items[1025]);
    strvec_free(std::move(vec));

    strvec_ptr empty = strvec_new(0);
    EXPECT_EQ(strvec_add(empty.get(), "a"), 1);
    EXPECT_EQ(empty->capacity, 256u);
}

}  // namespace
