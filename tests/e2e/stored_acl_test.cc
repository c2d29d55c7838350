// What the stores hold, end to end: every command that writes keeps the
// object's ACL-wide flags word, ACLs of any size the store holds are
// listed, edited and set back, and an id that no write takes back is
// refused when read.
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/xattr.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "write_fixture.h"

namespace write_test {
namespace {

constexpr uint32_t AUTO_INHERIT = 0x1, PROTECTED = 0x2, DEFAULTED = 0x4;
const std::string WITH_BOB = "owner@:rw::allow,user:1001:r::allow,everyone@:r::allow";

using StoredAcl = WriteTest;

// Windows keeps "inheritance disabled" in the word (Samba stores it there):
// a write that lost it would turn inheritance back on for that object.
TEST_F(StoredAcl, EveryWriteKeepsTheObjectsAclWideWord) {
    const struct {
        const char *what;
        std::vector<std::string> args;  // ending in f, g and n
    } cases[] = {
        {"touch", {"-f", "-v", "touch-access", "f", "g", "n"}},
        {"edit", {"edit-access", "-e", "$ a group:staff:r", "f", "g", "n"}},
        {"edit sorted and merged", {"-s", "-m", "edit-access", "-e", "0 d", "f", "g", "n"}},
        {"set", {"set-access", "everyone@:r", "f", "g", "n"}},
        {"copy", {"copy-access", "src", "f", "g", "n"}},
        {"delete", {"delete-access", "f", "g", "n"}},
        {"rename", {"rename-access", "u:bob:carol", "f", "g", "n"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        file("f");
        file("g");
        file("n");
        file("src");
        put("f", WITH_BOB + ",group:20:x::deny", PROTECTED);
        put("g", WITH_BOB, AUTO_INHERIT | DEFAULTED);
        put("n", WITH_BOB);  // stored with 0
        put("src", "owner@:r::allow,user:1001:r::allow", PROTECTED | AUTO_INHERIT);
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(acl("f") != WITH_BOB + ",group:20:x::deny" ||
                    r.out.find("f: ACL Updated\n") != std::string::npos)
            << "written";
        EXPECT_EQ(acl_disk::acl_flags(dir.file("f")), PROTECTED);
        EXPECT_EQ(acl_disk::acl_flags(dir.file("g")), AUTO_INHERIT | DEFAULTED);
        EXPECT_EQ(acl_disk::acl_flags(dir.file("n")), 0);
    }
}

// Where nothing is stored there is no word to keep: 0 is written.
TEST_F(StoredAcl, AnObjectWithoutStoredAclGetsTheWordZero) {
    file("src");
    put("src", "owner@:r::allow", PROTECTED);
    const std::vector<std::string> commands[] = {
        {"-f", "touch-access"},
        {"edit-access", "-e", "0 d"},
        {"set-access", "everyone@:r"},
        {"copy-access", "src"},
        {"delete-access"},
    };
    for (const auto &command : commands) {
        SCOPED_TRACE(command.back());
        file("bare");
        ASSERT_EQ(acl("bare"), "none");
        std::vector<std::string> args = command;
        args.push_back("bare");
        EXPECT_EQ(run(args).status, 0);
        EXPECT_EQ(acl_disk::acl_flags(dir.file("bare")), 0);
        ASSERT_EQ(removexattr(dir.file("bare").c_str(), acl_disk::ATTRIBUTE), 0);
    }
}

TEST_F(StoredAcl, InheritanceKeepsEachObjectsWord) {
    directory("d");
    directory("d/sub");
    file("d/f");
    file("d/n");
    put("d", "owner@:rwx:fd:allow,user:1001:r:fd:allow", AUTO_INHERIT);
    put("d/sub", "owner@:r::allow", PROTECTED);
    put("d/f", "owner@:r::allow", PROTECTED | DEFAULTED);
    process_result r = run({"-r", "inherit-access", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("d/f"), "owner@:rwx:I:allow,user:1001:r:I:allow");
    EXPECT_EQ(acl_disk::acl_flags(dir.file("d")), AUTO_INHERIT);
    EXPECT_EQ(acl_disk::acl_flags(dir.file("d/sub")), PROTECTED);
    EXPECT_EQ(acl_disk::acl_flags(dir.file("d/f")), PROTECTED | DEFAULTED);
    EXPECT_EQ(acl_disk::acl_flags(dir.file("d/n")), 0);
}

// -1 names no user or group, so no write takes it: an ACL that holds it is
// refused when read, and can still be replaced.
TEST_F(StoredAcl, AnIdNoWriteTakesIsRefusedWhenRead) {
    for (const char *who : {"user:4294967295", "group:4294967295"}) {
        SCOPED_TRACE(who);
        file("f");
        put("f", std::string("owner@:rw::allow,") + who + ":r::allow", PROTECTED);
        const std::string refused = "f: Getting ACL: Value too large for defined data type\n";
        process_result r = run({"list-access", "f"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vossik list-access: Error: " + refused);
        r = run({"edit-access", "-e", "1 d", "f"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "vossik edit-access: Error: " + refused);

        r = run({"set-access", "owner@:rw", "f"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(acl("f"), "owner@:rw::allow");
        EXPECT_EQ(acl_disk::acl_flags(dir.file("f")), PROTECTED);
    }
}

// `count` entries: owner@, then users and groups of the fixture database
// (set-access takes only principals that have names), with changing
// permissions and types.
std::vector<std::string> entries(int count) {
    const char *principals[] = {"user:1000", "user:1001", "user:1002", "group:20", "group:100"};
    const char *perms[] = {"r", "rw", "rx", "wp", "c", "rwxp", "aR"};
    std::vector<std::string> out{"owner@:rw::allow"};
    for (int i = 1; i < count; ++i)
        out.push_back(std::string(principals[i % 5]) + ":" + perms[i / 5 % 7] +
                      "::" + (i % 3 ? "allow" : "deny"));
    return out;
}

std::string joined(const std::vector<std::string> &items) {
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ",") + item;
    return text;
}

// An ACL of `count` entries in `dir` is listed, edited and set back.
void list_edit_and_set_back(const temp_dir &dir, int count) {
    SCOPED_TRACE(count);
    std::string f = dir.write("f", ""), g = dir.write("g", "");
    std::vector<std::string> acl = entries(count);
    acl_disk::set(f, joined(acl), PROTECTED);

    process_result r = run_vossik({"list-access", "f"}, "", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    size_t lines = 0;
    for (char ch : r.out)
        lines += ch == '\n';
    EXPECT_EQ(lines, 3u + static_cast<size_t>(count));  // # file, # owner, # group

    r = run_vossik({"edit-access", "-e", "1 d; $ a group:staff:r", "f"}, "", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    acl.erase(acl.begin() + 1);
    acl.push_back("group:20:r::allow");
    const std::string edited = joined(acl);
    EXPECT_TRUE(acl_disk::get(f) == edited);  // (too long to show)
    EXPECT_EQ(acl_disk::acl_flags(f), PROTECTED);

    // The brief listing is the ACL's text, which set-access takes back.
    r = run_vossik({"-S", "brief", "list-access", "f"}, "", dir.path());
    ASSERT_EQ(r.status, 0);
    size_t text = r.out.find_first_not_of(' ', 1);
    ASSERT_NE(text, std::string::npos);
    r = run_vossik({"set-access", r.out.substr(text, r.out.size() - text - 1), "g"}, "",
                   dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(acl_disk::get(g) == edited);
}

TEST(LargeAcl, MoreThan128EntriesAreListedEditedAndSetBack) {
    temp_dir dir;
    list_edit_and_set_back(dir, 129);
}

// A directory whose file system holds attribute values of 64 KiB (tmpfs;
// ext4 holds one block), or null.
std::unique_ptr<temp_dir> big_values() {
    struct statfs fs;
    if (statfs("/dev/shm", &fs) != 0 || fs.f_type != TMPFS_MAGIC) return nullptr;
    auto dir = std::make_unique<temp_dir>("/dev/shm");
    std::string probe = dir->write("probe", "");
    std::string value(65536, 'x');
    if (setxattr(probe.c_str(), acl_disk::ATTRIBUTE, value.data(), value.size(), 0) != 0)
        return nullptr;
    return dir;
}

TEST(LargeAcl, ThousandsOfEntriesUpToWhatTheStoreTakes) {
    std::unique_ptr<temp_dir> dir = big_values();
    if (!dir) GTEST_SKIP() << "no tmpfs at /dev/shm for attribute values of 64 KiB";
    for (int count : {1000, 3000})
        list_edit_and_set_back(*dir, count);

    // The attribute holds 3276 entries; one more is the kernel's to refuse.
    std::string f = dir->write("full", "");
    acl_disk::set(f, joined(entries(3276)), PROTECTED);
    process_result r =
        run_vossik({"edit-access", "-e", "$ a group:staff:r", "full"}, "", dir->path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik edit-access: Error: full: Setting ACL: Argument list too long\n");
    EXPECT_TRUE(acl_disk::get(f) == joined(entries(3276)));
}

}  // namespace
}  // namespace write_test
