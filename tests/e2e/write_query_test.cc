// find-access and get-access: searching ACLs for entries and handing an
// ACL to later command lines through the environment.
#include "write_fixture.h"

namespace write_test {
namespace {

using FindAccess = WriteTest;

TEST_F(FindAccess, PrintsEachMatchOnce) {
    file("a");
    file("b");
    file("c");
    // Both entries of a match the pattern; c matches only by its flags.
    put("a", "owner@:rw::allow,user:1001:r::allow,everyone@:r::allow");
    put("b", "owner@:rw:I:allow,user:1002:r::allow");
    put("c", "user:1001:r:f:allow");
    process_result r = run({"find-access", "owner@:rw,user:bob:r", "a", "b", "c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "a\n");

    r = run({"find-access", "-v", "-S", "brief", "user:1001:r", "a", "b", "c"});
    EXPECT_EQ(r.out, "a                         owner@:rw,user:bob:r,everyone@:r\n");

    // Recursion; the listing of a match follows the style.
    directory("d");
    file("d/f");
    put("d/f", "group@:x::allow");
    r = run({"find-access", "-r", "group@:x", "."});
    EXPECT_EQ(r.out, "./d/f\n");
    r = run({"find-access", "-r", "-v", "-S", "csv", "group@:x", "d"});
    EXPECT_EQ(r.out, "d/f;group@:x;0;0;root;root\n");
}

TEST_F(FindAccess, Failures) {
    file("a");
    file("bad");
    acl_disk::set_broken(dir.file("bad"));
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"find-access"}, "vossik find-access: Error: Missing required arguments (<acl> <path>)\n"},
        // A pattern that does not parse is reported, not silently unmatched.
        {{"find-access", "owner@:rw:x", "a"},
         "vossik find-access: Error: owner@:rw:x: Invalid ACL: Invalid argument\n"
         "vossik find-access: Error: owner@:rw:x: entry 1 \"owner@:rw:x\": unknown flag letter "
         "'x'\n"},
        {{"find-access", "owner@:r", "a", "bad"},
         "vossik find-access: Error: bad: Getting ACL: Invalid argument\n"},
        {{"find-access", "owner@:r", "a", "nosuch"},
         "vossik find-access: Error: nosuch: Accessing: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
}

using GetAccess = WriteTest;

TEST_F(GetAccess, VariableServesLaterLines) {
    file("f");
    file("g");
    file("h");
    put("f", "owner@:rwx:fd:allow,user:1001:r::deny");
    process_result r = run({},
                           "get-access A=f B=h\n"
                           "echo-text ${A} ${B}\n"
                           "set-access ${A} g\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "owner@:rwx:fd,user:bob:r::deny "
              "owner@:rwpaARWcCos,group@:raRcs,everyone@:raRcs\n");
    EXPECT_EQ(acl("g"), "owner@:rwx::allow,user:1001:r::deny");
}

TEST_F(GetAccess, Failures) {
    file("f");
    symlink_to("link", "f");
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"get-access", "A=f", "Af"},
         "vossik get-access: Error: Af: Missing required '=' character\n"},
        {{"get-access", "A=nosuch"},
         "vossik get-access: Error: nosuch: Getting ACL: No such file or directory\n"},
        // A link without an ACL has no text to give.
        {{"get-access", "A=link"},
         "vossik get-access: Error: link: Getting ACL: Operation not supported\n"},
        {{"get-access", "=f"}, "vossik get-access: Error: : Putenv: Invalid argument\n"},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(run({"get-access"}).status, 0);
}

}  // namespace
}  // namespace write_test
