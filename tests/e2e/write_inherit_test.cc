// inherit-access: the ACL of a named directory becomes the template for
// the tree below it, within the depth limit and the type filter.
#include "write_fixture.h"

namespace write_test {
namespace {

// The named directory's own entries: no propagation, inherit-only, audit
// flag, in an order that sorting would change.
const std::string TOP = "owner@:rwx:n:allow,group@:r:iS:allow,user:1001:w::deny";
const std::string TOP_AFTER = "owner@:rwx:fd:allow,group@:r:fdiS:allow,user:1001:w:fd:deny";
const std::string DIR_AFTER = "owner@:rwx:fdI:allow,group@:r:fdSI:allow,user:1001:w:fdI:deny";
const std::string FILE_AFTER = "owner@:rwx:I:allow,group@:r:I:allow,user:1001:w:I:deny";
const std::string OTHER = "everyone@:r::allow";

class InheritAccess : public WriteTest {
  protected:
    // top/{f, sub/{g, deeper/{h}}}, each with an ACL of its own.
    void SetUp() override {
        directory("top");
        file("top/f");
        directory("top/sub");
        file("top/sub/g");
        directory("top/sub/deeper");
        file("top/sub/deeper/h");
        put("top", TOP);
        for (const char *name :
             {"top/f", "top/sub", "top/sub/g", "top/sub/deeper", "top/sub/deeper/h"})
            put(name, OTHER);
    }
};

TEST_F(InheritAccess, WholeTree) {
    // A dry run reports every object it would write and writes none.
    process_result r = run({"inherit-access", "-r", "-n", "-v", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "top: ACL Updated (NOT)\ntop/f: ACL Updated (NOT)\ntop/sub: ACL Updated (NOT)\n"
              "top/sub/g: ACL Updated (NOT)\ntop/sub/deeper: ACL Updated (NOT)\n"
              "top/sub/deeper/h: ACL Updated (NOT)\n");
    EXPECT_EQ(acl("top"), TOP);
    EXPECT_EQ(acl("top/sub/deeper/h"), OTHER);

    r = run({"inherit-access", "-r", "-v", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "top: ACL Updated\ntop/f: ACL Updated\ntop/sub: ACL Updated\n"
              "top/sub/g: ACL Updated\ntop/sub/deeper: ACL Updated\n"
              "top/sub/deeper/h: ACL Updated\n");
    EXPECT_EQ(acl("top"), TOP_AFTER);
    EXPECT_EQ(acl("top/f"), FILE_AFTER);
    EXPECT_EQ(acl("top/sub"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/g"), FILE_AFTER);
    EXPECT_EQ(acl("top/sub/deeper"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/deeper/h"), FILE_AFTER);

    // A second run finds every object equal to its template.
    r = run({"inherit-access", "-r", "-v", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST_F(InheritAccess, DepthLimits) {
    // Default depth 0: the named directory alone.
    process_result r = run({"inherit-access", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("top"), TOP_AFTER);
    EXPECT_EQ(acl("top/f"), OTHER);
    EXPECT_EQ(acl("top/sub"), OTHER);

    // Depth 1: its entries too, but not below its subdirectories. The named
    // directory is already inheritable and is not written again.
    r = run({"inherit-access", "-r1", "-v", "top"});
    EXPECT_EQ(r.out, "top/f: ACL Updated\ntop/sub: ACL Updated\n");
    EXPECT_EQ(acl("top/f"), FILE_AFTER);
    EXPECT_EQ(acl("top/sub"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/g"), OTHER);
    EXPECT_EQ(acl("top/sub/deeper"), OTHER);

    // Depth 2 reaches top/sub/deeper; top/sub already matches its template
    // and is neither written nor reported.
    r = run({"inherit-access", "-d", "-d", "-v", "top"});
    EXPECT_EQ(r.out, "top/sub/g: ACL Updated\ntop/sub/deeper: ACL Updated\n");
    EXPECT_EQ(acl("top/sub/deeper"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/deeper/h"), OTHER);
}

TEST_F(InheritAccess, TypeFilterMakesTheFirstFileTheTemplate) {
    put("top/f", "everyone@:r:fn:allow,owner@:w:iI:allow");
    process_result r = run({"inherit-access", "-r", "-t", "f", "-v", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "top/f: ACL Updated\ntop/sub/g: ACL Updated\ntop/sub/deeper/h: ACL Updated\n");
    EXPECT_EQ(acl("top"), TOP);
    EXPECT_EQ(acl("top/f"), "everyone@:r:f:allow,owner@:w:iI:allow");
    EXPECT_EQ(acl("top/sub"), OTHER);
    EXPECT_EQ(acl("top/sub/g"), "everyone@:r:I:allow,owner@:w:I:allow");
    EXPECT_EQ(acl("top/sub/deeper"), OTHER);
    EXPECT_EQ(acl("top/sub/deeper/h"), "everyone@:r:I:allow,owner@:w:I:allow");
}

TEST_F(InheritAccess, NamedFileOnlyLosesNoPropagate) {
    put("top/f", "everyone@:r:fdn:allow");
    process_result r = run({"inherit-access", "-r", "top/f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("top/f"), "everyone@:r:fd:allow");
}

TEST_F(InheritAccess, SortsAndMergesEveryWrite) {
    put("top", "user:1001:w::allow,owner@:r::allow,user:1001:x::allow");
    process_result r = run({"inherit-access", "-r1", "-s", "-m", "top"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("top"), "owner@:r:fd:allow,user:1001:wx:fd:allow");
    EXPECT_EQ(acl("top/f"), "owner@:r:I:allow,user:1001:wx::allow");
}

TEST_F(InheritAccess, Failures) {
    directory("other");
    put("other", TOP);
    // A missing named path is reported; the paths before it are done.
    process_result r = run({"inherit-access", "top", "missing", "other"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik inherit-access: Error: missing: Accessing: No such file or directory\n");
    EXPECT_EQ(acl("top"), TOP_AFTER);
    EXPECT_EQ(acl("other"), TOP);

    // An ACL that cannot be read below the template source ends the command;
    // the objects before it keep their new ACLs.
    acl_disk::set_broken(dir.file("top/sub/g"));
    r = run({"inherit-access", "-r", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik inherit-access: Error: top/sub/g: Getting ACL: Invalid argument\n");
    EXPECT_EQ(acl("top/f"), FILE_AFTER);
    EXPECT_EQ(acl("top/sub"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/deeper"), OTHER);
    put("top/sub/g", OTHER);

    // A write refused in the middle of the tree ends the command there.
    immutable guard(dir.file("top/sub/g"));
    if (!guard.on()) GTEST_SKIP() << "no immutable attribute on this file system";
    r = run({"inherit-access", "-r", "top"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik inherit-access: Error: top/sub/g: Setting ACL: Operation not permitted\n");
    EXPECT_EQ(acl("top/f"), FILE_AFTER);
    EXPECT_EQ(acl("top/sub"), DIR_AFTER);
    EXPECT_EQ(acl("top/sub/g"), OTHER);
    EXPECT_EQ(acl("top/sub/deeper"), OTHER);
}

}  // namespace
}  // namespace write_test
