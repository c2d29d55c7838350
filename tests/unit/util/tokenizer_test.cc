// Splitting command lines: quotes, escapes and variables.
#include "util/tokenizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A fixed set of variables instead of the process environment.
str_ptr test_lookup(const char *name, void *context) {
    auto *vars = static_cast<std::map<std::string, std::string> *>(context);
    auto it = vars->find(name);
    return it == vars->end() ? nullptr : str_dup(it->second.c_str());
}

std::vector<std::string> split(const char *line) {
    std::map<std::string, std::string> vars = {
        {"HOME", "/home/alice"},
        {"A B", "spaced name"},
        {"ODD", "q'u\"o te\\ $HOME"},
    };
    argv_t words;
    int n = argv_split(line, test_lookup, &vars, &words);
    EXPECT_EQ(n, words.count());
    EXPECT_EQ(words.argv()[n], nullptr);
    return std::vector<std::string>(words.argv(), words.argv() + n);
}

using words = std::vector<std::string>;

struct split_case {
    const char *line;
    words expected;
};

TEST(Tokenizer, SplitsLikeTheShellLanguage) {
    const split_case cases[] = {
        {"  list-access   /a  /b  ", {"list-access", "/a", "/b"}},
        {"", {}},
        {" \t  ", {}},
        {"echo-text 'a b' e\\ f", {"echo-text", "a b", "e f"}},
        {"\"c d\"", {"c d"}},
        {"'it''s'", {"its"}},
        {"a\\\"b", {"a\"b"}},
        {"\"it's\" 'say \"hi\"'", {"it's", "say \"hi\""}},
        {"'$HOME'", {"$HOME"}},
        {"\"$HOME\"", {"/home/alice"}},
        {"'a\\tb'", {"a\tb"}},
        {"\\a\\b\\f\\n\\r\\t\\v\\q\\\\", {"\a\b\f\n\r\t\vq\\"}},
        {"${X}y", {"y"}},
        {"$X", {""}},
        {"''", {""}},
        {"$%", {"%"}},
        {"${A B}", {"spaced name"}},
        {"a ${HOME", {"a", "/home/alice"}},
        {"a${HOME x y", {"a"}},  // the name is "HOME x y" and ends the line
        {"$1", {"1"}},
        {"$HOME_DIR", {"/home/alice_DIR"}},
        {"x$HOME9", {"x/home/alice9"}},
        {"tail\\", {"tail"}},
        {"tail$", {"tail"}},
        {"$ODD", {"q'u\"o te\\ $HOME"}},
        {"\"unclosed quote", {"unclosed quote"}},
        {"a'b c", {"ab c"}},
        {"caf\xc3\xa9\xa0x", {"caf\xc3\xa9\xa0x"}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(split(c.line), c.expected) << "line: " << c.line;
    }
}

TEST(Tokenizer, NextWordLeavesTheCursorOnTheEndingBlank) {
    const char *text = "  one 'two three'";
    const char *cursor = text;
    str_ptr w = token_next(&cursor, nullptr, nullptr);
    ASSERT_TRUE(w);
    EXPECT_STREQ(w.get(), "one");
    EXPECT_EQ(cursor, text + 5);
    w = token_next(&cursor, nullptr, nullptr);
    EXPECT_STREQ(w.get(), "two three");
    EXPECT_EQ(*cursor, '\0');
    EXPECT_FALSE(token_next(&cursor, nullptr, nullptr));
    EXPECT_FALSE(token_next(nullptr, nullptr, nullptr));
    const char *none = nullptr;
    EXPECT_FALSE(token_next(&none, nullptr, nullptr));
}

TEST(Tokenizer, DefaultLookupReadsTheEnvironment) {
    setenv("VOSSIK_TOKEN_TEST", "from env", 1);
    unsetenv("VOSSIK_TOKEN_UNSET");
    argv_t words;
    ASSERT_EQ(argv_split("${VOSSIK_TOKEN_TEST} <${VOSSIK_TOKEN_UNSET}>", nullptr, nullptr, &words),
              2);
    EXPECT_STREQ(words.argv()[0], "from env");
    EXPECT_STREQ(words.argv()[1], "<>");
    argv_free(&words);
    EXPECT_EQ(words.count(), 0);
    EXPECT_EQ(words.argv()[0], nullptr);
}

TEST(Tokenizer, ManyAndLongWords) {
    std::string line, long_word(1000, 'x');
    for (int i = 0; i < 100; ++i)
        line += "w" + std::to_string(i) + " ";
    line += long_word;
    argv_t words;
    ASSERT_EQ(argv_split(line.c_str(), nullptr, nullptr, &words), 101);
    EXPECT_STREQ(words.argv()[99], "w99");
    EXPECT_EQ(words.argv()[100], long_word);
    EXPECT_EQ(words.argv()[101], nullptr);
}

}  // namespace
