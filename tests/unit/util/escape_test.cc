// Escaped names and csv fields, and their inverses.
#include "util/escape.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(Escape, RewritesControlBytesDeleteAndBackslashOnly) {
    struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"", ""},
        {"new\nline", "new\\012line"},
        {"tab\there", "tab\\011here"},
        {"\x1b[31mred", "\\033[31mred"},
        {"back\\slash", "back\\134slash"},
        {"\x01\x1f\x7f", "\\001\\037\\177"},
        // Separators of the listings are left to the styles that use them.
        {"semi;colon \"quoted\" a:b,c", "semi;colon \"quoted\" a:b,c"},
        // UTF-8 and every other byte from 0x80 up stay as they are.
        {"gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xff\x80", "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xff\x80"},
        {"\\012", "\\134012"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(str_escape(c.text), c.shown) << c.text;
        EXPECT_EQ(str_needs_escape(c.text), c.text != c.shown) << c.text;
        std::string back;
        ASSERT_TRUE(str_unescape(c.shown, &back)) << c.shown;
        EXPECT_EQ(back, c.text);
    }
}

TEST(Escape, EveryByteComesBackExactly) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    std::string shown = str_escape(all);
    for (char c : shown) {
        auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 && byte != 0x7f) << static_cast<int>(byte);
    }
    std::string back;
    ASSERT_TRUE(str_unescape(shown, &back));
    EXPECT_EQ(back, all);
}

TEST(Escape, ShownNameCopiesOnlyWhatNeedsEscaping) {
    const char *plain = "dir/file";
    EXPECT_EQ(shown_name(plain).c_str(), plain);
    EXPECT_STREQ(shown_name("a\nb").c_str(), "a\\012b");
    EXPECT_STREQ(shown_name("c\\d").c_str(), "c\\134d");
    EXPECT_EQ(shown_name("").size(), 0u);

    // Each byte where it may stand in a name: rewritten exactly when the
    // rule says so, and the length always that of the text shown.
    for (int c = 1; c < 256; ++c) {
        const std::string name = std::string("a") + static_cast<char>(c) + "b";
        const bool rewritten = c < 0x20 || c == 0x7f || c == '\\';
        shown_name shown(name.c_str());
        EXPECT_EQ(shown.c_str() != name.c_str(), rewritten) << c;
        EXPECT_EQ(shown.size(), std::strlen(shown.c_str())) << c;
        EXPECT_EQ(shown.size(), rewritten ? 6u : 3u) << c;
    }
}

TEST(Unescape, TakesAnyOctalByteAndRefusesWhatEscapingNeverWrites) {
    std::string out;
    EXPECT_TRUE(str_unescape("\\101\\377x", &out));
    EXPECT_EQ(out, "A\xffx");
    for (const char *bad : {"\\", "a\\", "\\12", "\\12x", "\\8aa", "\\400", "\\000", "\\n"}) {
        EXPECT_FALSE(str_unescape(bad, &out)) << bad;
    }
}

TEST(Csv, QuotesFieldsWithSeparatorOrQuoteAndSplitsThemBack) {
    struct {
        std::vector<std::string> fields;
        std::string record;
    } cases[] = {
        {{"file", "owner@:rw:allow", "0", "0", "root", "root"},
         "file;owner@:rw:allow;0;0;root;root"},
        {{"a;b", "say \"hi\"", "", "plain"}, "\"a;b\";\"say \"\"hi\"\"\";;plain"},
        {{"\"", ";"}, "\"\"\"\";\";\""},
        {{""}, ""},
    };
    for (const auto &c : cases) {
        std::string record;
        for (size_t i = 0; i < c.fields.size(); ++i) {
            if (i > 0) record += ';';
            str_csv_append(&record, c.fields[i]);
        }
        EXPECT_EQ(record, c.record);
        std::vector<std::string> fields;
        ASSERT_TRUE(str_csv_split(c.record, &fields)) << c.record;
        EXPECT_EQ(fields, c.fields);
    }
    std::vector<std::string> fields;
    for (const char *bad : {"\"open", "\"closed\"x;y", "a;\"b"}) {
        EXPECT_FALSE(str_csv_split(bad, &fields)) << bad;
    }
}

}  // namespace
