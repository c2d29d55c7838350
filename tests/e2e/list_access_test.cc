// list-access in the nine print styles, run as a user would, on a fixture
// tree whose ACLs are written straight into the attribute the Linux store
// reads (security.nfs4acl_xdr, numeric XDR layout).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/tempdir.h"

namespace {

// One entry as the XDR layout has it; perms in the program's own bits.
struct ace {
    uint32_t type;  // 0 allow, 1 deny, 2 audit, 3 alarm
    uint32_t flag;  // inheritance and audit flags
    uint32_t who;   // 1 owner@, 2 group@, 3 everyone@, else a uid or gid
    bool special;   // `who` is one of the three above
    bool group;     // a named group
    uint32_t perms;
};

// The permission bits of the program and their NFSv4 wire bits.
uint32_t wire_bits(uint32_t perms) {
    static const uint32_t map[][2] = {
        {0x0008, 0x00000001}, {0x0010, 0x00000002}, {0x0020, 0x00000004}, {0x0040, 0x00000008},
        {0x0080, 0x00000010}, {0x0001, 0x00000020}, {0x0100, 0x00000040}, {0x0200, 0x00000080},
        {0x0400, 0x00000100}, {0x0800, 0x00010000}, {0x1000, 0x00020000}, {0x2000, 0x00040000},
        {0x4000, 0x00080000}, {0x8000, 0x00100000},
    };
    uint32_t wire = 0;
    for (const auto &m : map)
        if (perms & m[0]) wire |= m[1];
    return wire;
}

void put_word(std::string *blob, uint32_t w) {
    for (int shift = 24; shift >= 0; shift -= 8)
        blob->push_back(static_cast<char>((w >> shift) & 0xFF));
}

void write_acl(const std::string &path, const std::vector<ace> &aces) {
    std::string blob;
    put_word(&blob, 0);
    put_word(&blob, static_cast<uint32_t>(aces.size()));
    for (const ace &a : aces) {
        put_word(&blob, a.type);
        put_word(&blob, a.flag | (a.group ? 0x40 : 0));
        put_word(&blob, a.special ? 1 : 0);
        put_word(&blob, wire_bits(a.perms));
        put_word(&blob, a.who);
    }
    ASSERT_EQ(setxattr(path.c_str(), "security.nfs4acl_xdr", blob.data(), blob.size(), 0), 0)
        << path;
}

// 2021-03-04 05:06:07 UTC
constexpr time_t MTIME = 1614834367;

void make_file(const std::string &path, const std::string &content, mode_t mode, uid_t uid,
               gid_t gid) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    ASSERT_EQ(chown(path.c_str(), uid, gid), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

void set_mtime(const std::string &path) {
    struct timespec times[2] = {{MTIME, 0}, {MTIME, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Permission words used below.
constexpr uint32_t OWNER_BASE = 0xF6C0;  // aARWcCos
constexpr uint32_t READ_SET = 0x1248;    // r a R c
constexpr uint32_t r = 0x0008, w = 0x0010, x = 0x0001, p = 0x0020, s = 0x8000;

// The fixture tree:
//   plain   alice:staff 0644, 6 bytes, the trivial ACL
//   acl     bob:devs 0640, owner@ / user alice / group devs / group@ deny /
//           everyone@, with inheritance flags
//   dir     root:root 0755
//   link    -> plain
//   orphan  4242:4242 0600, ids without names
class ListAccess : public ::testing::Test {
  protected:
    void SetUp() override {
        make_file(dir_.file("plain"), "hello\n", 0644, 1000, 20);
        make_file(dir_.file("acl"), "", 0640, 1001, 1001);
        write_acl(dir_.file("acl"), {
                                        {0, 0x03, 1, true, false, OWNER_BASE | r | w | x | p},
                                        {0, 0x0B, 1000, false, false, READ_SET | s},
                                        {0, 0x80, 1001, false, true, READ_SET | x},
                                        {1, 0x00, 2, true, false, w | p},
                                        {0, 0x00, 3, true, false, READ_SET | s},
                                    });
        ASSERT_EQ(mkdir(dir_.file("dir").c_str(), 0755), 0);
        ASSERT_EQ(chmod(dir_.file("dir").c_str(), 0755), 0);
        ASSERT_EQ(symlink("plain", dir_.file("link").c_str()), 0);
        make_file(dir_.file("orphan"), "", 0600, 4242, 4242);
        for (const char *name : {"plain", "acl", "dir", "link", "orphan"})
            set_mtime(dir_.file(name));
    }

    process_result list(std::vector<std::string> args) { return run_vossik(args, "", dir_.path()); }

    // list-access of the whole fixture in one style (and more options).
    process_result list_all(const std::string &style, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"-S", style};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {"list-access", "./plain", "./acl", "dir", "./link", "./orphan"});
        return list(args);
    }

    temp_dir dir_;
};

// Every style on the whole fixture: header rules, ./ dropped from paths,
// names and numbers of owners, inheritance flags, the deny entry, the link
// without an ACL (header only, in every style), one empty line between
// objects.
TEST_F(ListAccess, NineStyles) {
    struct stat st;
    ASSERT_EQ(lstat(dir_.file("dir").c_str(), &st), 0);
    // The directory's link count and size depend on the file system.
    char dir_text[128];
    std::snprintf(dir_text, sizeof dir_text,
                  "drwxr-xr-x  %2lu     root     root %8llu 2021-03-04 05:06 dir\n",
                  static_cast<unsigned long>(st.st_nlink),
                  static_cast<unsigned long long>(st.st_size));
    const std::string dir_line = dir_text;
    const struct {
        const char *style;
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {"default",
         {},
         "# file: plain\n"
         "# owner: alice\n"
         "# group: staff\n"
         "           owner@:rw-p--aARWcCos:-------:allow\n"
         "           group@:r-----a-R-c--s:-------:allow\n"
         "        everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "# owner: bob\n"
         "# group: devs\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\n"
         "        user:alice:r-----a-R-c--s:fdi----:allow\n"
         "        group:devs:r-x---a-R-c---:------I:allow\n"
         "            group@:-w-p----------:-------:deny\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "# owner: root\n"
         "# group: root\n"
         "           owner@:rwxp--aARWcCos:-------:allow\n"
         "           group@:r-x---a-R-c--s:-------:allow\n"
         "        everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "# file: orphan\n"
         "# owner: 4242\n"
         "# group: 4242\n"
         "           owner@:rw-p--aARWcCos:-------:allow\n"
         "           group@:------a-R-c--s:-------:allow\n"
         "        everyone@:------a-R-c--s:-------:allow\n"},
        {"standard",
         {},
         "# file: plain\n"
         "# owner: alice\n"
         "# group: staff\n"
         "            owner@:rw-p--aARWcCos:-------:allow\n"
         "            group@:r-----a-R-c--s:-------:allow\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "# owner: bob\n"
         "# group: devs\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\n"
         "        user:alice:r-----a-R-c--s:fdi----:allow\n"
         "        group:devs:r-x---a-R-c---:------I:allow\n"
         "            group@:-w-p----------:-------:deny\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "# owner: root\n"
         "# group: root\n"
         "            owner@:rwxp--aARWcCos:-------:allow\n"
         "            group@:r-x---a-R-c--s:-------:allow\n"
         "         everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "# file: orphan\n"
         "# owner: 4242\n"
         "# group: 4242\n"
         "            owner@:rw-p--aARWcCos:-------:allow\n"
         "            group@:------a-R-c--s:-------:allow\n"
         "         everyone@:------a-R-c--s:-------:allow\n"},
        {"brief",
         {},
         "plain                     owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n"
         "\n"
         "acl                       "
         "owner@:rwxpaARWcCos:fd,user:alice:raRcs:fdi,group:devs:rxaRc:I,group@:wp::deny,everyone@:"
         "raRcs\n"
         "\n"
         "dir                       owner@:rwxpaARWcCos,group@:rxaRcs,everyone@:rxaRcs\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "orphan                    owner@:rwpaARWcCos,group@:aRcs,everyone@:aRcs\n"},
        {"verbose",
         {},
         "# file: plain\n"
         "            owner@:rw-p--aARWcCos:-------:allow\t# alice\n"
         "            group@:r-----a-R-c--s:-------:allow\t# staff\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\t# bob\n"
         "           u:alice:r-----a-R-c--s:fdi----:allow\n"
         "            g:devs:r-x---a-R-c---:------I:allow\n"
         "            group@:-w-p----------:-------:deny\t# devs\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "            owner@:rwxp--aARWcCos:-------:allow\t# root\n"
         "            group@:r-x---a-R-c--s:-------:allow\t# root\n"
         "         everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "# file: orphan\n"
         "            owner@:rw-p--aARWcCos:-------:allow\t# 4242\n"
         "            group@:------a-R-c--s:-------:allow\t# 4242\n"
         "         everyone@:------a-R-c--s:-------:allow\n"},
        {"csv",
         {},
         "plain;owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs;1000;20;alice;staff\n"
         "\n"
         "acl;owner@:rwxpaARWcCos:fd,user:alice:raRcs:fdi,group:devs:rxaRc:I,group@:wp::deny,"
         "everyone@:raRcs;1001;1001;bob;devs\n"
         "\n"
         "dir;owner@:rwxpaARWcCos,group@:rxaRcs,everyone@:rxaRcs;0;0;root;root\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "orphan;owner@:rwpaARWcCos,group@:aRcs,everyone@:aRcs;4242;4242;4242;4242\n"},
        {"samba",
         {},
         "FILENAME:plain\n"
         "REVISION:1\n"
         "CONTROL:SR|DP\n"
         "OWNER:alice\n"
         "GROUP:staff\n"
         "ACL:alice:ALLOWED//R|W|P|O|RA|WA|AD|REA|WEA|S|AS            \t# rw-p--aARWcCos\n"
         "ACL:staff:ALLOWED//R|RA|REA|S|AS                            \t# r-----a-R-c--s\n"
         "ACL:Everyone:ALLOWED//R|RA|REA|S|AS                         \t# r-----a-R-c--s\n"
         "\n"
         "FILENAME:acl\n"
         "REVISION:1\n"
         "CONTROL:SR|DP\n"
         "OWNER:bob\n"
         "GROUP:devs\n"
         "ACL:bob:ALLOWED/OI|CI/R|W|X|P|O|RA|WA|AD|REA|WEA|S|AS       \t# rwxp--aARWcCos\n"
         "ACL:alice(user):ALLOWED/OI|CI|IO/R|RA|REA|S|AS              \t# r-----a-R-c--s\n"
         "ACL:devs:ALLOWED/I/R|X|RA|REA|AS                            \t# r-x---a-R-c---\n"
         "ACL:devs:DENIED//W|AD                                       \t# -w-p----------\n"
         "ACL:Everyone:ALLOWED//R|RA|REA|S|AS                         \t# r-----a-R-c--s\n"
         "\n"
         "FILENAME:dir\n"
         "REVISION:1\n"
         "CONTROL:SR|DP\n"
         "OWNER:root\n"
         "GROUP:root\n"
         "ACL:root:ALLOWED//R|W|X|P|O|RA|WA|AD|REA|WEA|S|AS           \t# rwxp--aARWcCos\n"
         "ACL:GROUP=root:ALLOWED//R|X|RA|REA|S|AS                     \t# r-x---a-R-c--s\n"
         "ACL:Everyone:ALLOWED//R|X|RA|REA|S|AS                       \t# r-x---a-R-c--s\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "FILENAME:orphan\n"
         "REVISION:1\n"
         "CONTROL:SR|DP\n"
         "OWNER:4242\n"
         "GROUP:4242\n"
         "ACL:4242:ALLOWED//R|W|P|O|RA|WA|AD|REA|WEA|S|AS             \t# rw-p--aARWcCos\n"
         "ACL:GID=4242:ALLOWED//RA|REA|S|AS                           \t# ------a-R-c--s\n"
         "ACL:Everyone:ALLOWED//RA|REA|S|AS                           \t# ------a-R-c--s\n"},
        {"icacls",
         {},
         "plain alice:(R,W,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
         "      staff:(R,RA,REA,S,AS)\n"
         "      Everyone:(R,RA,REA,S,AS)\n"
         "\n"
         "acl bob:(OI)(CI)(R,W,X,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
         "    alice:(OI)(CI)(IO)(R,RA,REA,S,AS)\n"
         "    devs:(I)(R,X,RA,REA,AS)\n"
         "    devs:(DENY)(W,AD)\n"
         "    Everyone:(R,RA,REA,S,AS)\n"
         "\n"
         "dir root:(R,W,X,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
         "    GROUP=root:(R,X,RA,REA,S,AS)\n"
         "    Everyone:(R,X,RA,REA,S,AS)\n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "orphan 4242:(R,W,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
         "       GID=4242:(RA,REA,S,AS)\n"
         "       Everyone:(RA,REA,S,AS)\n"},
        {"solaris",
         {},
         "-rw-r--r--   1    alice    staff        6 2021-03-04 05:06 plain\n"
         "           owner@:rw-p--aARWcCos:-------:allow\n"
         "           group@:r-----a-R-c--s:-------:allow\n"
         "        everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "-rw-r-----+  1      bob     devs        0 2021-03-04 05:06 acl\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\n"
         "        user:alice:r-----a-R-c--s:fdi----:allow\n"
         "        group:devs:r-x---a-R-c---:------I:allow\n"
         "            group@:-w-p----------:-------:deny\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n" +
             dir_line +
             "           owner@:rwxp--aARWcCos:-------:allow\n"
             "           group@:r-x---a-R-c--s:-------:allow\n"
             "        everyone@:r-x---a-R-c--s:-------:allow\n"
             "\n"
             "# file: link\n"
             "# owner: root\n"
             "# group: root\n"
             "\n"
             "-rw-------   1     4242     4242        0 2021-03-04 05:06 orphan\n"
             "           owner@:rw-p--aARWcCos:-------:allow\n"
             "           group@:------a-R-c--s:-------:allow\n"
             "        everyone@:------a-R-c--s:-------:allow\n"},
        {"primos",
         {},
         "ACL protecting \"plain\":\n"
         "\t                        owner@:  rwpaARWcCos                # alice\n"
         "\t                        group@:  raRcs                      # staff\n"
         "\t                     everyone@:  raRcs                    \n"
         "\n"
         "ACL protecting \"acl\":\n"
         "\t                        owner@:  rwxpaARWcCos    (fd)       # bob\n"
         "\t                       u:alice:  raRcs           (fdi)    \n"
         "\t                        g:devs:  rxaRc           (I)      \n"
         "\t                        group@:  wp                         deny   # devs\n"
         "\t                     everyone@:  raRcs                    \n"
         "\n"
         "ACL protecting \"dir\":\n"
         "\t                        owner@:  rwxpaARWcCos               # root\n"
         "\t                        group@:  rxaRcs                     # root\n"
         "\t                     everyone@:  rxaRcs                   \n"
         "\n"
         "# file: link\n"
         "# owner: root\n"
         "# group: root\n"
         "\n"
         "ACL protecting \"orphan\":\n"
         "\t                        owner@:  rwpaARWcCos                # 4242\n"
         "\t                        group@:  aRcs                       # 4242\n"
         "\t                     everyone@:  aRcs                     \n"},
        {"default",
         {"-v"},
         "# file: plain\n"
         "# owner: alice (1000)\n"
         "# group: staff (20)\n"
         "# type: file\n"
         "           owner@:rw-p--aARWcCos:-------:allow\n"
         "           group@:r-----a-R-c--s:-------:allow\n"
         "        everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "# owner: bob (1001)\n"
         "# group: devs (1001)\n"
         "# type: file\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\n"
         "        user:alice:r-----a-R-c--s:fdi----:allow\t# uid=1000\n"
         "        group:devs:r-x---a-R-c---:------I:allow\t# gid=1001\n"
         "            group@:-w-p----------:-------:deny\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "# owner: root (0)\n"
         "# group: root (0)\n"
         "# type: directory\n"
         "           owner@:rwxp--aARWcCos:-------:allow\n"
         "           group@:r-x---a-R-c--s:-------:allow\n"
         "        everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root (0)\n"
         "# group: root (0)\n"
         "# type: link\n"
         "\n"
         "# file: orphan\n"
         "# owner: 4242 (4242)\n"
         "# group: 4242 (4242)\n"
         "# type: file\n"
         "           owner@:rw-p--aARWcCos:-------:allow\n"
         "           group@:------a-R-c--s:-------:allow\n"
         "        everyone@:------a-R-c--s:-------:allow\n"},
        {"standard",
         {"-v"},
         "# file: plain\n"
         "# owner: alice\n"
         "# group: staff\n"
         "            owner@:rw-p--aARWcCos:-------:allow\n"
         "            group@:r-----a-R-c--s:-------:allow\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "# owner: bob\n"
         "# group: devs\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\n"
         "        user:alice:r-----a-R-c--s:fdi----:allow\t# uid=1000\n"
         "        group:devs:r-x---a-R-c---:------I:allow\t# gid=1001\n"
         "            group@:-w-p----------:-------:deny\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "# owner: root\n"
         "# group: root\n"
         "            owner@:rwxp--aARWcCos:-------:allow\n"
         "            group@:r-x---a-R-c--s:-------:allow\n"
         "         everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root (0)\n"
         "# group: root (0)\n"
         "# type: link\n"
         "\n"
         "# file: orphan\n"
         "# owner: 4242\n"
         "# group: 4242\n"
         "            owner@:rw-p--aARWcCos:-------:allow\n"
         "            group@:------a-R-c--s:-------:allow\n"
         "         everyone@:------a-R-c--s:-------:allow\n"},
        {"verbose",
         {"-v"},
         "# file: plain\n"
         "            owner@:rw-p--aARWcCos:-------:allow\t# alice (1000)\n"
         "            group@:r-----a-R-c--s:-------:allow\t# staff (20)\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: acl\n"
         "            owner@:rwxp--aARWcCos:fd-----:allow\t# bob (1001)\n"
         "           u:alice:r-----a-R-c--s:fdi----:allow\t# (1000)\n"
         "            g:devs:r-x---a-R-c---:------I:allow\t# (1001)\n"
         "            group@:-w-p----------:-------:deny\t# devs (1001)\n"
         "         everyone@:r-----a-R-c--s:-------:allow\n"
         "\n"
         "# file: dir\n"
         "            owner@:rwxp--aARWcCos:-------:allow\t# root (0)\n"
         "            group@:r-x---a-R-c--s:-------:allow\t# root (0)\n"
         "         everyone@:r-x---a-R-c--s:-------:allow\n"
         "\n"
         "# file: link\n"
         "# owner: root (0)\n"
         "# group: root (0)\n"
         "# type: link\n"
         "\n"
         "# file: orphan\n"
         "            owner@:rw-p--aARWcCos:-------:allow\t# 4242 (4242)\n"
         "            group@:------a-R-c--s:-------:allow\t# 4242 (4242)\n"
         "         everyone@:------a-R-c--s:-------:allow\n"},
        {"primos",
         {"-v"},
         "ACL protecting \"plain\":\n"
         "\t                        owner@:  rwpaARWcCos                # alice (1000)\n"
         "\t                        group@:  raRcs                      # staff (20)\n"
         "\t                     everyone@:  raRcs                    \n"
         "\n"
         "ACL protecting \"acl\":\n"
         "\t                        owner@:  rwxpaARWcCos    (fd)       # bob (1001)\n"
         "\t                       u:alice:  raRcs           (fdi)      # (1000)\n"
         "\t                        g:devs:  rxaRc           (I)        # (1001)\n"
         "\t                        group@:  wp                         deny   # devs (1001)\n"
         "\t                     everyone@:  raRcs                    \n"
         "\n"
         "ACL protecting \"dir\":\n"
         "\t                        owner@:  rwxpaARWcCos               # root (0)\n"
         "\t                        group@:  rxaRcs                     # root (0)\n"
         "\t                     everyone@:  rxaRcs                   \n"
         "\n"
         "# file: link\n"
         "# owner: root (0)\n"
         "# group: root (0)\n"
         "# type: link\n"
         "\n"
         "ACL protecting \"orphan\":\n"
         "\t                        owner@:  rwpaARWcCos                # 4242 (4242)\n"
         "\t                        group@:  aRcs                       # 4242 (4242)\n"
         "\t                     everyone@:  aRcs                     \n"},
    };
    for (const auto &c : cases) {
        process_result r = list_all(c.style, c.options);
        EXPECT_EQ(r.status, 0) << c.style;
        EXPECT_EQ(r.out, c.expected) << c.style << (c.options.empty() ? "" : " -v");
        EXPECT_EQ(r.err, "") << c.style;
    }
}

std::string ctime_text(time_t t) {
    char buf[64];
    return ctime_r(&t, buf);
}

// Verbose 2 adds size and times to the default header only.
TEST_F(ListAccess, VerboseTwo) {
    struct stat st;
    ASSERT_EQ(lstat(dir_.file("plain").c_str(), &st), 0);
    const std::string entries =
        "           owner@:rw-p--aARWcCos:-------:allow\n"
        "           group@:r-----a-R-c--s:-------:allow\n"
        "        everyone@:r-----a-R-c--s:-------:allow\n";
    process_result r = list({"-v", "-v", "list-access", "./plain"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "# file: plain\n"
              "# owner: alice (1000)\n"
              "# group: staff (20)\n"
              "# type: file\n"
              "# size: 6\n"
              "# modified: Thu Mar  4 05:06:07 2021\n"
              "# changed:  " +
                  ctime_text(st.st_ctime) + "# accessed: Thu Mar  4 05:06:07 2021\n" + entries);
    r = list({"-v", "-v", "-S", "standard", "list-access", "./plain"});
    EXPECT_EQ(r.out,
              "# file: plain\n"
              "# owner: alice\n"
              "# group: staff\n"
              "            owner@:rw-p--aARWcCos:-------:allow\n"
              "            group@:r-----a-R-c--s:-------:allow\n"
              "         everyone@:r-----a-R-c--s:-------:allow\n");
}

// "./x" is shown as x, "./" as nothing, "." stays.
TEST_F(ListAccess, DisplayPaths) {
    ASSERT_EQ(chmod(dir_.path().c_str(), 0750), 0);
    ASSERT_EQ(chown(dir_.path().c_str(), 0, 0), 0);
    const std::string top = "owner@:rwxpaARWcCos,group@:rxaRcs,everyone@:aRcs";
    process_result r =
        list({"-S", "brief", "list-access", ".", "./", "./plain", "plain", "././plain"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              ".                         " + top + "\n\n" + "                          " + top +
                  "\n\n" +
                  "plain                     owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n\n"
                  "plain                     owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n\n"
                  "./plain                   owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n");
    r = list({"-S", "icacls", "list-access", "./orphan"});
    EXPECT_EQ(r.out,
              "orphan 4242:(R,W,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
              "       GID=4242:(RA,REA,S,AS)\n"
              "       Everyone:(RA,REA,S,AS)\n");
}

// Recursion keeps the empty line between objects; a link to a directory is
// listed, not followed.
TEST_F(ListAccess, Recursive) {
    make_file(dir_.file("dir/inner"), "", 0644, 0, 0);
    ASSERT_EQ(symlink("..", dir_.file("dir/up").c_str()), 0);
    process_result r = list({"-S", "csv", "-r", "list-access", "dir"});
    EXPECT_EQ(r.status, 0);
    const std::string inner =
        "dir/inner;owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs;0;0;root;root\n";
    const std::string up = "# file: dir/up\n# owner: root\n# group: root\n";
    const std::string top =
        "dir;owner@:rwxpaARWcCos,group@:rxaRcs,everyone@:rxaRcs;0;0;root;root\n";
    // The order of the two entries is the directory's.
    EXPECT_TRUE(r.out == top + "\n" + inner + "\n" + up || r.out == top + "\n" + up + "\n" + inner)
        << r.out;
    r = list({"-S", "brief", "-d", "list-access", "dir"});
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7);  // 2 + 2 + a 3-line header
}

TEST_F(ListAccess, EmptyAcl) {
    write_acl(dir_.file("plain"), {});
    process_result r = list({"-S", "icacls", "list-access", "plain", "orphan"});
    EXPECT_EQ(r.out,
              "plain\n"
              "\n"
              "orphan 4242:(R,W,P,O,RA,WA,AD,REA,WEA,S,AS)\n"
              "       GID=4242:(RA,REA,S,AS)\n"
              "       Everyone:(RA,REA,S,AS)\n");
    r = list({"list-access", "plain"});
    EXPECT_EQ(r.out, "# file: plain\n# owner: alice\n# group: staff\n");
    r = list({"-S", "solaris", "list-access", "plain"});
    EXPECT_EQ(r.out, "-rw-r--r--   1    alice    staff        6 2021-03-04 05:06 plain\n");
}

TEST_F(ListAccess, Failures) {
    // A missing path ends the command; the paths before it were listed.
    process_result r = list({"-S", "brief", "list-access", "plain", "missing", "orphan"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "plain                     owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n");
    EXPECT_EQ(r.err, "vossik list-access: Error: missing: Accessing: No such file or directory\n");
    // An ACL that cannot be read ends it as well.
    ASSERT_EQ(setxattr(dir_.file("acl").c_str(), "security.nfs4acl_xdr", "\0\0\0\0\0\0\0\1", 8, 0),
              0);
    r = list({"-S", "brief", "list-access", "./plain", "./acl", "orphan"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "plain                     owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n");
    EXPECT_EQ(r.err, "vossik list-access: Error: ./acl: Getting ACL: Invalid argument\n");
}

}  // namespace
