// Entry renderers of the samba, icacls, verbose and primos styles, against
// the fixture user and group database (tests/fixtures/README).
#include "commands/foreign_styles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "gacl/vocab.h"

namespace {

gacl_entry_t_struct entry(gacl_tag_t tag, uint32_t id, gacl_perm_t perms, gacl_flag_t flags = 0,
                          gacl_entry_type_t type = GACL_ENTRY_TYPE_ALLOW) {
    gacl_entry_t_struct e{};
    e.tag = tag;
    e.id = id;
    e.perms = perms;
    e.flags = flags;
    e.entry_type = type;
    return e;
}

struct stat owned_by(uid_t uid, gid_t gid) {
    struct stat st {};
    st.st_uid = uid;
    st.st_gid = gid;
    return st;
}

constexpr gacl_perm_t R = GACL_PERM_READ_DATA, W = GACL_PERM_WRITE_DATA, X = GACL_PERM_EXECUTE;
constexpr gacl_flag_t FD = GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT;

std::string samba(const gacl_entry_t_struct &e, const struct stat &st) {
    char buf[2048];
    const char *t = samba_entry_text(&e, buf, sizeof buf, &st);
    return t ? t : "null";
}
std::string icacls(const gacl_entry_t_struct &e, const struct stat &st) {
    char buf[2048];
    const char *t = icacls_entry_text(&e, buf, sizeof buf, &st);
    return t ? t : "null";
}
std::string short_form(const gacl_entry_t_struct &e) {
    char buf[2048];
    const char *t = short_entry_text(&e, buf, sizeof buf);
    return t ? t : "null";
}

TEST(ForeignStyles, Principals) {
    const struct {
        gacl_entry_t_struct e;
        struct stat st;
        const char *samba, *icacls, *short_form;
    } cases[] = {
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, R | W | X, FD), owned_by(0, 0),
         "ACL:root:ALLOWED/OI|CI/R|W|X\trwx-----------", "root:(OI)(CI)(R,W,X)",
         "owner@:rwx-----------:fd-----:allow"},
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, R), owned_by(4242, 0),
         "ACL:4242:ALLOWED//R\tr-------------", "4242:(R)", "owner@:r-------------:-------:allow"},
        // alice is a user and a group: samba tells the user apart.
        {entry(GACL_TAG_TYPE_USER, 1000, W), owned_by(0, 0),
         "ACL:alice(user):ALLOWED//W\t-w------------", "alice:(W)",
         "u:alice:-w------------:-------:allow"},
        {entry(GACL_TAG_TYPE_USER, 1002, R), owned_by(0, 0), "ACL:carol:ALLOWED//R\tr-------------",
         "carol:(R)", "u:carol:r-------------:-------:allow"},
        // uid 20 has no name, but gid 20 (staff) exists.
        {entry(GACL_TAG_TYPE_USER, 20, R), owned_by(0, 0),
         "ACL:20(user):ALLOWED//R\tr-------------", "20:(R)", "u:20:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_USER, 4242, R), owned_by(0, 0), "ACL:4242:ALLOWED//R\tr-------------",
         "4242:(R)", "u:4242:r-------------:-------:allow"},
        // group@ by the object's gid; "shared" is also a user.
        {entry(GACL_TAG_TYPE_GROUP_OBJ, 0, R), owned_by(0, 1600),
         "ACL:GROUP=shared:ALLOWED//R\tr-------------", "GROUP=shared:(R)",
         "group@:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_GROUP_OBJ, 0, R), owned_by(0, 20),
         "ACL:staff:ALLOWED//R\tr-------------", "staff:(R)",
         "group@:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_GROUP_OBJ, 0, R), owned_by(0, 4242),
         "ACL:GID=4242:ALLOWED//R\tr-------------", "GID=4242:(R)",
         "group@:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_GROUP, 1001, R), owned_by(0, 0), "ACL:devs:ALLOWED//R\tr-------------",
         "devs:(R)", "g:devs:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_GROUP, 1600, R), owned_by(0, 0),
         "ACL:shared(group):ALLOWED//R\tr-------------", "GROUP=shared:(R)",
         "g:shared:r-------------:-------:allow"},
        // gid 1002 has no name, but uid 1002 (carol) exists.
        {entry(GACL_TAG_TYPE_GROUP, 1002, R), owned_by(0, 0),
         "ACL:1002(group):ALLOWED//R\tr-------------", "GID=1002:(R)",
         "g:1002:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_GROUP, 4242, R), owned_by(0, 0), "ACL:4242:ALLOWED//R\tr-------------",
         "GID=4242:(R)", "g:4242:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_EVERYONE, 0, R), owned_by(0, 0),
         "ACL:Everyone:ALLOWED//R\tr-------------", "Everyone:(R)",
         "everyone@:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_OTHER, 0, R), owned_by(0, 0),
         "ACL:Everyone:ALLOWED//R\tr-------------", "Everyone:(R)",
         "other@:r-------------:-------:allow"},
        {entry(GACL_TAG_TYPE_MASK, 0, R), owned_by(0, 0), "ACL:mask@:ALLOWED//R\tr-------------",
         "mask@:(R)", "mask@:r-------------:-------:allow"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(samba(c.e, c.st), c.samba);
        EXPECT_EQ(icacls(c.e, c.st), c.icacls);
        EXPECT_EQ(short_form(c.e), c.short_form);
    }
}

TEST(ForeignStyles, TypesFlagsAndRights) {
    const struct stat st = owned_by(0, 0);
    const struct {
        gacl_entry_t_struct e;
        const char *samba, *icacls, *short_form;
    } cases[] = {
        // A deny entry says so in every form.
        {entry(GACL_TAG_TYPE_USER, 1001, W | GACL_PERM_DELETE, FD, GACL_ENTRY_TYPE_DENY),
         "ACL:bob:DENIED/OI|CI/W|D\t-w--d---------", "bob:(OI)(CI)(DENY)(W,D)",
         "u:bob:-w--d---------:fd-----:deny"},
        {entry(GACL_TAG_TYPE_EVERYONE, 0, R, GACL_FLAG_SUCCESSFUL_ACCESS | GACL_FLAG_FAILED_ACCESS,
               GACL_ENTRY_TYPE_AUDIT),
         "ACL:Everyone:AUDIT/S|F/R\tr-------------", "Everyone:(S)(F)(R)",
         "everyone@:r-------------:----SF-:audit"},
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, 0, 0, GACL_ENTRY_TYPE_ALARM),
         "ACL:root:ALARM//\t--------------", "root:()", "owner@:--------------:-------:alarm"},
        // Every flag and right, in the order of the word tables.
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, GACL_PERM_FULL_SET, 0xBF),
         "ACL:root:ALLOWED/OI|CI|I|NP|IO|S|F/R|W|X|D|P|O|RA|WA|DC|AD|REA|WEA|S|AS\trwxpdDaARWcCos",
         "root:(OI)(CI)(I)(NP)(IO)(S)(F)(R,W,X,D,P,O,RA,WA,DC,AD,REA,WEA,S,AS)",
         "owner@:rwxpdDaARWcCos:fdinSFI:allow"},
        // An unknown type: samba has no word for it, the short form an empty one.
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, R, 0, 7), "null", "root:(R)",
         "owner@:r-------------:-------:"},
        {entry(GACL_TAG_TYPE_USER_OBJ, 0, R, 0, -1), "null", "root:(R)",
         "owner@:r-------------:-------:"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(samba(c.e, st), c.samba);
        EXPECT_EQ(icacls(c.e, st), c.icacls);
        EXPECT_EQ(short_form(c.e), c.short_form);
    }
}

TEST(ForeignStyles, Failures) {
    const struct stat st = owned_by(0, 0);
    char buf[2048];
    for (gacl_tag_t tag : {GACL_TAG_TYPE_UNKNOWN, gacl_tag_t{3}, gacl_tag_t{99}}) {
        gacl_entry_t_struct e = entry(tag, 0, R);
        errno = 0;
        EXPECT_EQ(samba_entry_text(&e, buf, sizeof buf, &st), nullptr);
        EXPECT_EQ(errno, EINVAL);
        errno = 0;
        EXPECT_EQ(icacls_entry_text(&e, buf, sizeof buf, &st), nullptr);
        EXPECT_EQ(errno, EINVAL);
        errno = 0;
        EXPECT_EQ(short_entry_text(&e, buf, sizeof buf), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
    // Too small a buffer fails whole: no cut text passes for a complete one.
    gacl_entry_t_struct e = entry(GACL_TAG_TYPE_USER, 1234, GACL_PERM_FULL_SET, FD);
    for (size_t size : {size_t{1}, size_t{10}, size_t{30}, size_t{45}}) {
        std::memset(buf, 'x', sizeof buf);
        errno = 0;
        EXPECT_EQ(samba_entry_text(&e, buf, size, &st), nullptr) << size;
        EXPECT_EQ(errno, ENOMEM);
        EXPECT_EQ(buf[0], '\0');
        errno = 0;
        EXPECT_EQ(icacls_entry_text(&e, buf, size, &st), nullptr) << size;
        EXPECT_EQ(errno, ENOMEM);
        EXPECT_EQ(buf[0], '\0');
        errno = 0;
        EXPECT_EQ(short_entry_text(&e, buf, size), nullptr) << size;
        EXPECT_EQ(errno, ENOMEM);
        EXPECT_EQ(buf[0], '\0');
    }
    // Exactly the room the text needs is enough.
    std::string full = short_form(e);
    EXPECT_NE(short_entry_text(&e, buf, full.size() + 1), nullptr);
    EXPECT_EQ(short_entry_text(&e, buf, full.size()), nullptr);
}

}  // namespace
