// rename-access: user and group entries change their ids by the change
// text; everything else stays as it was. Fixture names: users alice 1000,
// bob 1001, carol 1002, verylongusername 1234; groups wheel 10, staff 20,
// devs 1001.
#include "write_fixture.h"

namespace write_test {
namespace {

const std::string BEFORE =
    "owner@:rw::allow,user:1001:r::allow,group:1001:w::allow,user:1000:x:fd:deny,"
    "everyone@:r::allow";

using RenameAccess = WriteTest;

TEST_F(RenameAccess, ChangeTexts) {
    struct {
        std::string change;
        std::string after;
    } cases[] = {
        {"user:1001:1002",
         "owner@:rw::allow,user:1002:r::allow,group:1001:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        {"u:bob:carol,x:1:2",
         "owner@:rw::allow,user:1002:r::allow,group:1001:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        {"group:devs:wheel",
         "owner@:rw::allow,user:1001:r::allow,group:10:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        {"g:1001:0",
         "owner@:rw::allow,user:1001:r::allow,group:0:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        {"bob:1234",
         "owner@:rw::allow,user:1234:r::allow,group:1001:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        {"devs:staff",
         "owner@:rw::allow,user:1001:r::allow,group:20:w::allow,user:1000:x:fd:deny,"
         "everyone@:r::allow"},
        // A number with a user name is a user pair.
        {"1000:carol",
         "owner@:rw::allow,user:1001:r::allow,group:1001:w::allow,user:1002:x:fd:deny,"
         "everyone@:r::allow"},
        // Each entry passes the list once, in order.
        {"u:1000:1001,u:1001:1002",
         "owner@:rw::allow,user:1002:r::allow,group:1001:w::allow,user:1002:x:fd:deny,"
         "everyone@:r::allow"},
        {"u:1001:1002,u:1000:1001",
         "owner@:rw::allow,user:1002:r::allow,group:1001:w::allow,user:1001:x:fd:deny,"
         "everyone@:r::allow"},
    };
    file("f");
    for (const auto &c : cases) {
        put("f", BEFORE);
        process_result r = run({"rename-access", "-v", c.change, "f"});
        EXPECT_EQ(r.status, 0) << c.change << ": " << r.err;
        EXPECT_EQ(r.out, "f: ACL Updated\n") << c.change;
        EXPECT_EQ(acl("f"), c.after) << c.change;
    }
}

TEST_F(RenameAccess, NothingToRenameWritesNothing) {
    file("f");
    put("f", BEFORE);
    const std::string raw = acl_disk::raw(dir.file("f"));
    for (const char *change : {"u:4242:1", "g:1000:1", "x:1:2", "", ",,,"}) {
        process_result r = run({"rename-access", "-f", "-v", change, "f"});
        EXPECT_EQ(r.status, 0) << change;
        EXPECT_EQ(r.out, "") << change;
        EXPECT_EQ(acl_disk::raw(dir.file("f")), raw) << change;
    }
}

TEST_F(RenameAccess, RecursiveWithNoUpdateAndPrint) {
    directory("d");
    file("d/f");
    symlink_to("d/link", "f");
    put("d", BEFORE);
    put("d/f", BEFORE);
    process_result r =
        run({"rename-access", "-r", "-n", "-v", "-p1", "-S", "brief", "u:bob:carol", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // The printed ACL keeps the old name text: only the id was replaced.
    const std::string text = "owner@:rw,user:bob:r,group:devs:w,user:alice:x:fd:deny,everyone@:r";
    EXPECT_EQ(r.out, "d                         " + text + "\nd: ACL Updated (NOT)\n" +
                         "d/f                       " + text + "\nd/f: ACL Updated (NOT)\n");
    EXPECT_EQ(acl("d"), BEFORE);
    EXPECT_EQ(acl("d/f"), BEFORE);
}

// A change text that does not parse keeps its line and gets a second one
// naming the item (position, counting empty ones, and text) and the reason.
TEST_F(RenameAccess, TextThatDoesNotParseSaysWhichItemAndWhy) {
    file("f");
    put("f", BEFORE);
    const struct {
        const char *text;
        const char *second;  // after "vossik rename-access: Error: <text>: "
    } cases[] = {
        {"1001:1002",
         "item 1 \"1001:1002\": two numbers do not tell a user from a group: write "
         "user:1001:1002 or group:1001:1002"},
        {"bob:staff", "item 1 \"bob:staff\": \"bob\" is a user but \"staff\" is a group"},
        {"staff:bob", "item 1 \"staff:bob\": \"staff\" is a group but \"bob\" is a user"},
        {"u:bob:carol,,bob",
         "item 3 \"bob\": no \":\" (write OLD:NEW, user:OLD:NEW or group:OLD:NEW)"},
        {"alice:carol",
         "item 1 \"alice:carol\": \"alice\" is both a user and a group: write "
         "user:alice:carol or group:alice:carol"},
        {"bob:shared",
         "item 1 \"bob:shared\": \"shared\" is both a user and a group: write "
         "user:bob:shared or group:bob:shared"},
        {"bob:nosuch", "item 1 \"bob:nosuch\": unknown user or group \"nosuch\""},
        {"nosuch:1", "item 1 \"nosuch:1\": unknown user or group \"nosuch\""},
        {"u:nosuch:carol", "item 1 \"u:nosuch:carol\": unknown user \"nosuch\""},
        {"g:staff:nosuch", "item 1 \"g:staff:nosuch\": unknown group \"nosuch\""},
        {"u:bob:4294967296", "item 1 \"u:bob:4294967296\": id \"4294967296\" out of range"},
        {"bob:-2147483649", "item 1 \"bob:-2147483649\": id \"-2147483649\" out of range"},
    };
    for (const auto &c : cases) {
        process_result r = run({"rename-access", c.text, "f"});
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.err, std::string("vossik rename-access: Error: ") + c.text +
                             ": Invalid renamelist\n"
                             "vossik rename-access: Error: " +
                             c.text + ": " + c.second + "\n");
    }
    EXPECT_EQ(acl("f"), BEFORE);
}

TEST_F(RenameAccess, Failures) {
    file("f");
    put("f", BEFORE);
    file("bad");
    std::string blob(8, '\0');
    blob[7] = 1;
    ASSERT_EQ(lsetxattr(dir.file("bad").c_str(), acl_disk::ATTRIBUTE, blob.data(), blob.size(), 0),
              0);
    std::string many;
    for (int i = 0; i <= 1024; i++)
        many += "u:" + std::to_string(i) + ":1,";
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"rename-access"},
         "vossik rename-access: Error: Missing required arguments (<acl> <path>)\n"},
        {{"rename-access", many, "f"},
         "vossik rename-access: Error: " + many +
             ": Invalid renamelist\n"
             "vossik rename-access: Error: " +
             many + ": item 1025 \"u:1024:1\": more than 1024 renames\n"},
        {{"rename-access", "u:bob:carol", "bad", "f"},
         "vossik rename-access: Error: bad: Getting ACL: Invalid argument\n"},
        {{"rename-access", "u:bob:carol", "nosuch", "f"},
         "vossik rename-access: Error: nosuch: Accessing: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(acl("f"), BEFORE);
}

}  // namespace
}  // namespace write_test
