// The value vocabularies of the global options: style names and file types.
#include "base/config.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/version.h"

namespace {

TEST(AclStyle, ParsesTheNineNamesExactly) {
    struct {
        const char *text;
        int result;
        int32_t code;  // when result is 1
    } cases[] = {
        {"default", 1, 0}, {"standard", 1, 1}, {"brief", 1, 2},   {"verbose", 1, 3},
        {"csv", 1, 16},    {"samba", 1, 32},   {"icacls", 1, 48}, {"solaris", 1, 64},
        {"primos", 1, 80}, {"Brief", -1, 0},   {"br", -1, 0},     {"csv ", -1, 0},
        {"CSV", -1, 0},    {"foo", -1, 0},
    };
    for (const auto &c : cases) {
        int32_t code = 99;
        EXPECT_EQ(acl_style_parse(c.text, &code), c.result) << c.text;
        EXPECT_EQ(code, c.result == 1 ? c.code : 99) << c.text;
    }
    int32_t code = 99;
    EXPECT_EQ(acl_style_parse("", &code), 0);
    EXPECT_EQ(acl_style_parse(nullptr, &code), 0);
    EXPECT_EQ(code, 99);
}

TEST(AclStyle, DisplayNames) {
    EXPECT_STREQ(acl_style_name(ACL_STYLE_DEFAULT), "Default");
    EXPECT_STREQ(acl_style_name(ACL_STYLE_CSV), "CSV");
    EXPECT_STREQ(acl_style_name(ACL_STYLE_ICACLS), "ICACLS");
    EXPECT_STREQ(acl_style_name(ACL_STYLE_PRIMOS), "PRIMOS");
    EXPECT_EQ(acl_style_name(4), nullptr);
    EXPECT_EQ(acl_style_name(-1), nullptr);
}

TEST(FileTypes, ParsesLettersIntoTypeCodes) {
    struct {
        const char *text;
        int result;
        int32_t mask;
    } cases[] = {
        {"d", 1, 0x4000}, {"f", 1, 0x8000},    {"pcdbflsw", 1, 0xF000}, {"fd", 1, 0xC000},
        {"+d-d", 0, 0},   {"ls-l", 1, 0x4000},  // removing l clears bits that s shares
        {"", 0, 0},       {"dz", -1, 0x4000},   // letters before the bad one stay applied
        {"x", -1, 0},     {"-f", 0, 0},        {"d-+f", 1, 0xC000},
    };
    for (const auto &c : cases) {
        int32_t mask = 0x1234;
        EXPECT_EQ(file_types_parse(c.text, &mask), c.result) << c.text;
        EXPECT_EQ(mask, c.mask) << c.text;
    }
}

TEST(Config, StartsZeroedWithProgramRecord) {
    config_t zero{};
    EXPECT_EQ(sizeof(config_t), 15 * sizeof(int32_t));
    EXPECT_EQ(std::memcmp(&config_defaults, &zero, sizeof zero), 0);
    EXPECT_STREQ(program_info.version, VOSSIK_VERSION);
}

}  // namespace
