// print_acl where the binary cannot reach: entries no store hands out, which
// the renderers refuse, and style codes without a style.
#include "commands/list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/config.h"
#include "gacl/vocab.h"

namespace {

struct printed {
    int result;
    std::string out;
    std::string err;
};

// A regular file of root's, or with the owner and group ids given.
printed print(gacl_t acl, int32_t style, const char *path = "./f", uid_t uid = 0, gid_t gid = 0,
              int32_t verbose = 0) {
    config = config_t{};
    config.style = style;
    config.verbose = verbose;
    struct stat st {};
    st.st_mode = S_IFREG | 0644;
    st.st_nlink = 1;
    st.st_uid = uid;
    st.st_gid = gid;
    FILE *f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    ::testing::internal::CaptureStderr();
    int result = print_acl(f, acl, path, &st);
    std::string err = ::testing::internal::GetCapturedStderr();
    std::string out;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;)
        out += static_cast<char>(c);
    std::fclose(f);
    config = config_t{};
    return {result, out, err};
}

// An owner@ entry the renderers accept, then `bad`.
gacl_ptr acl_with(const gacl_entry_t_struct &bad) {
    gacl_ptr acl(gacl_init(0));
    acl->type = GACL_TYPE_NFS4;
    gacl_t raw = acl.get();
    gacl_entry_t e;
    EXPECT_EQ(gacl_create_entry_np(&raw, &e, -1), 0);
    e->tag = GACL_TAG_TYPE_USER_OBJ;
    std::strcpy(e->name, "owner@");
    e->perms = GACL_PERM_READ_DATA;
    EXPECT_EQ(gacl_create_entry_np(&raw, &e, -1), 0);
    *e = bad;
    return acl;
}

const std::string unable = "vossik: Error: f: Unable to display ACL\n";

TEST(PrintAcl, WholeTextFailures) {
    gacl_entry_t_struct bad{};
    bad.tag = GACL_TAG_TYPE_EVERYONE;
    std::strcpy(bad.name, "everyone@");
    bad.entry_type = 7;  // no word for it
    gacl_ptr acl = acl_with(bad);
    const struct {
        int32_t style;
        std::string out, err;
    } cases[] = {
        {ACL_STYLE_DEFAULT, "", unable},
        {ACL_STYLE_STANDARD, "", unable},
        // The first line of the solaris style is out before the text is made.
        {ACL_STYLE_SOLARIS, "-rw-r--r--   1     root     root        0 1970-01-01 00:00 f\n",
         unable},
        {ACL_STYLE_BRIEF, "", "vossik: Error: f: Unable to display ACL: Invalid argument\n"},
        {ACL_STYLE_CSV, "", "vossik: Error: f: Unable to display ACL: Invalid argument\n"},
    };
    for (const auto &c : cases) {
        printed p = print(acl.get(), c.style);
        EXPECT_EQ(p.result, 1) << c.style;
        EXPECT_EQ(p.out, c.out) << c.style;
        EXPECT_EQ(p.err, c.err) << c.style;
    }
}

// A renderer that fails leaves the lines before it and nothing of its own.
TEST(PrintAcl, EntryRendererFailures) {
    gacl_entry_t_struct bad{};
    bad.tag = 99;
    gacl_ptr acl = acl_with(bad);
    const struct {
        int32_t style;
        std::string out;
    } cases[] = {
        {ACL_STYLE_VERBOSE, "# file: f\n            owner@:r-------------:-------:allow\t# root\n"},
        {ACL_STYLE_SAMBA,
         std::string("FILENAME:f\nREVISION:1\nCONTROL:SR|DP\nOWNER:root\nGROUP:root\n") +
             "ACL:root:ALLOWED//R" + std::string(60 - 19, ' ') + "\t# r-------------\n"},
        {ACL_STYLE_ICACLS, "f root:(R)\n"},
        {ACL_STYLE_PRIMOS,
         "ACL protecting \"f\":\n\t                        owner@:  r                          # "
         "root\n"},
    };
    for (const auto &c : cases) {
        printed p = print(acl.get(), c.style);
        EXPECT_EQ(p.result, 1) << c.style;
        EXPECT_EQ(p.out, c.out) << c.style;
        EXPECT_EQ(p.err, unable) << c.style;
    }
    // Failing on the first entry, icacls still ends the path's line.
    gacl_ptr only(gacl_init(0));
    gacl_t raw = only.get();
    gacl_entry_t e;
    ASSERT_EQ(gacl_create_entry_np(&raw, &e, -1), 0);
    *e = bad;
    printed p = print(only.get(), ACL_STYLE_ICACLS);
    EXPECT_EQ(p.out, "f\n");
    EXPECT_EQ(p.err, unable);
}

TEST(PrintAcl, StylesAndNoAcl) {
    gacl_ptr acl = acl_with(gacl_entry_t_struct{GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0, 0, 0});
    printed p = print(acl.get(), 0x60);
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(p.err, "");
    // Without an ACL: the header, whatever the style.
    for (int32_t style : {ACL_STYLE_DEFAULT, ACL_STYLE_CSV, ACL_STYLE_PRIMOS, int32_t{0x60}}) {
        p = print(nullptr, style, "./l");
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.out, "# file: l\n# owner: root\n# group: root\n") << style;
    }
    // Solaris: " " for an ACL of owner@, group@ and everyone@ entries only,
    // "+" for any other, and for one whose test fails.
    p = print(acl.get(), ACL_STYLE_SOLARIS);
    EXPECT_EQ(p.out.substr(0, 12), "-rw-r--r--  ");
    acl->type = 0;
    p = print(acl.get(), ACL_STYLE_SOLARIS);
    EXPECT_EQ(p.out.substr(0, 12), "-rw-r--r--+ ");
}

// "./x" is shown as x. Entries below "./" are walked as ".//x": they must
// not be shown as "/x", a path of the root directory.
TEST(PrintAcl, DisplayPath) {
    gacl_ptr acl = acl_with(gacl_entry_t_struct{GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0, 0, 0});
    const struct {
        const char *path, *shown;
    } cases[] = {
        {".", "."},           {"./", ""},       {"./x", "x"},       {".//x", "x"},
        {".///d//x", "d//x"}, {"././x", "./x"}, {"x/./y", "x/./y"}, {"/x", "/x"},
    };
    for (const auto &c : cases) {
        printed p = print(acl.get(), ACL_STYLE_ICACLS, c.path);
        EXPECT_EQ(p.out.substr(0, p.out.find(' ')), c.shown) << c.path;
    }
}

// Ids of -1 stand for no owner and no group: the header leaves their lines
// out, csv writes "-", the comments give the number alone.
TEST(PrintAcl, NoOwnerOrGroup) {
    gacl_ptr acl = acl_with(gacl_entry_t_struct{GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0, 0, 0});
    const uid_t none = static_cast<uid_t>(-1);
    const gid_t no_group = static_cast<gid_t>(-1);
    const struct {
        int32_t style, verbose;
        std::string out;
    } cases[] = {
        {ACL_STYLE_CSV, 0, "f;owner@:r,group@:;-1;-1;-;-\n"},
        {ACL_STYLE_VERBOSE, 0,
         "# file: f\n"
         "            owner@:r-------------:-------:allow\t# (-1)\n"
         "            group@:--------------:-------:allow\t# (-1)\n"},
        {ACL_STYLE_PRIMOS, 1,
         "ACL protecting \"f\":\n"
         "\t                        owner@:  r                          # (-1)\n"
         "\t                        group@:                             # (-1)\n"},
    };
    for (const auto &c : cases) {
        printed p = print(acl.get(), c.style, "./f", none, no_group, c.verbose);
        EXPECT_EQ(p.result, 0) << c.style;
        EXPECT_EQ(p.out, c.out) << c.style;
    }
    printed p = print(nullptr, ACL_STYLE_DEFAULT, "./f", none, no_group, 1);
    EXPECT_EQ(p.out, "# file: f\n# type: file\n");
}

}  // namespace
