// set-access, touch-access, copy-access and delete-access, and the update
// pipeline they share (sort, merge, print levels, force, no-update,
// verbose), checked against the ACL attribute the commands leave on disk.
#include "write_fixture.h"

namespace write_test {
namespace {

const std::string INHERITABLE = "owner@:rwx:fd:allow,group@:r:fdI:allow,user:bob:rw:fi:allow";
const std::string INHERITABLE_DISK = "owner@:rwx:fd:allow,group@:r:fdI:allow,user:1001:rw:fi:allow";
const std::string STRIPPED_DISK = "owner@:rwx::allow,group@:r:I:allow,user:1001:rw::allow";

using SetAccess = WriteTest;

TEST_F(SetAccess, DirectoryKeepsFlagsOtherObjectsOnlyInherited) {
    directory("d");
    file("f");
    process_result r = run({"set-access", INHERITABLE, "d", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("d"), INHERITABLE_DISK);
    EXPECT_EQ(acl("f"), STRIPPED_DISK);
}

TEST_F(SetAccess, RecursionSkipsLinksWithoutAcls) {
    directory("d");
    directory("d/sub");
    file("d/sub/f");
    file("d/f");
    symlink_to("d/link", "f");
    process_result r = run({"-r", "set-access", INHERITABLE, "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("d"), INHERITABLE_DISK);
    EXPECT_EQ(acl("d/sub"), INHERITABLE_DISK);
    EXPECT_EQ(acl("d/f"), STRIPPED_DISK);
    EXPECT_EQ(acl("d/sub/f"), STRIPPED_DISK);
    EXPECT_EQ(acl("d/link"), "none");

    // Without recursion only the named path is written.
    file("e");
    r = run({"set-access", "everyone@:r", "d", "e"});
    EXPECT_EQ(acl("d"), "everyone@:r::allow");
    EXPECT_EQ(acl("d/f"), STRIPPED_DISK);
    EXPECT_EQ(acl("e"), "everyone@:r::allow");

    // Nor is the link shown by a dry run or a print before the write.
    for (const char *option : {"-n", "-p2", "-p1"}) {
        r = run({"-r", "-v", option, "-S", "brief", "set-access", "owner@:r", "d/link", "d"});
        EXPECT_EQ(r.status, 0) << option;
        EXPECT_EQ(r.err, "") << option;
        EXPECT_EQ(r.out.find("link"), std::string::npos) << option << r.out;
        EXPECT_NE(r.out.find("d/f: ACL Updated"), std::string::npos) << option << r.out;
    }
    r = run({"-n", "-v", "delete-access", "d/link", "d"});
    EXPECT_EQ(r.out, "d: ACL Deleted (NOT)\n");
}

TEST_F(SetAccess, SortAndMerge) {
    const std::string text = "everyone@:r,owner@:w,group:staff:x,owner@:r,user:bob:x,owner@:x:I";
    struct {
        std::vector<std::string> options;
        std::string disk;
    } cases[] = {
        {{},
         "everyone@:r::allow,owner@:w::allow,group:20:x::allow,owner@:r::allow,"
         "user:1001:x::allow,owner@:x:I:allow"},
        {{"-s"},
         "owner@:w::allow,owner@:r::allow,user:1001:x::allow,group:20:x::allow,"
         "everyone@:r::allow,owner@:x:I:allow"},
        {{"-m"},
         "everyone@:r::allow,owner@:rw::allow,group:20:x::allow,user:1001:x::allow,"
         "owner@:x:I:allow"},
        {{"-s", "-m"},
         "owner@:rw::allow,user:1001:x::allow,group:20:x::allow,everyone@:r::allow,"
         "owner@:x:I:allow"},
    };
    for (const auto &c : cases) {
        file("f");
        std::vector<std::string> args = {"set-access"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {text, "f"});
        process_result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(acl("f"), c.disk) << testing::PrintToString(c.options);
    }
}

TEST_F(SetAccess, NoUpdateChangesNothing) {
    file("f");
    put("f", "everyone@:r::allow");
    process_result r = run({"set-access", "-n", "-v", "owner@:rwx", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "f: ACL Updated (NOT)\n");
    EXPECT_EQ(acl("f"), "everyone@:r::allow");

    r = run({"set-access", "-v", "owner@:rwx", "f"});
    EXPECT_EQ(r.out, "f: ACL Updated\n");
    EXPECT_EQ(acl("f"), "owner@:rwx::allow");
}

TEST_F(SetAccess, Failures) {
    file("f");
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"set-access"}, "vossik set-access: Error: Missing required arguments (<acl> <path>)\n"},
        {{"set-access", "owner@:rwq", "f"},
         "vossik set-access: Error: owner@:rwq: Invalid ACL: Invalid argument\n"
         "vossik set-access: Error: owner@:rwq: entry 1 \"owner@:rwq\": unknown permission "
         "letter 'q'\n"},
        {{"set-access", "owner@:r", "nosuch"},
         "vossik set-access: Error: nosuch: Accessing: No such file or directory\n"},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(acl("f"), "none");
}

// A text that does not parse keeps its line and gets a second one naming the
// entry (position, counting empty ones, and text) and the reason. Names
// from the fixture database: alice is a user and her own group (1000), as
// Debian makes them; uid 1001 (bob) equals gid 1001 (devs).
TEST_F(SetAccess, TextThatDoesNotParseSaysWhichEntryAndWhy) {
    file("f");
    std::string spaced, long_name(256, 'x');
    for (int i = 0; i <= 4096; i++)
        spaced += std::string(i ? " " : "") + "everyone@:r";
    const struct {
        std::string text;
        std::string second;  // the second line, after "vossik set-access: Error: <text>: "
    } cases[] = {
        {"owner@:rw,u:nobody1:r", "entry 2 \"u:nobody1:r\": unknown user \"nobody1\""},
        {"group:wheel2:r", "entry 1 \"group:wheel2:r\": unknown group \"wheel2\""},
        {"owner@:r,,group@:r,staf:r",
         "entry 2 \"\": empty entry (entries are separated by one comma or blank)"},
        {"owner@:r, group@:r",
         "entry 2 \"\": empty entry (entries are separated by one comma or blank)"},
        {"owner@:r,", "entry 2 \"\": empty entry (entries are separated by one comma or blank)"},
        {"", "entry 1 \"\": empty text"},
        {"staf:r", "entry 1 \"staf:r\": unknown user or group \"staf\""},
        {"alice:rw",
         "entry 1 \"alice:rw\": \"alice\" is both a user and a group: write user:alice or "
         "group:alice"},
        {"owner@:r,1001:r",
         "entry 2 \"1001:r\": \"1001\" is both a user and a group: write user:1001 or group:1001"},
        {"owner@:rwe", "entry 1 \"owner@:rwe\": unknown permission letter 'e'"},
        {"owner@:rw:fdq", "entry 1 \"owner@:rw:fdq\": unknown flag letter 'q'"},
        {"owner@:rw:fd:permit",
         "entry 1 \"owner@:rw:fd:permit\": unknown type \"permit\" (allow, deny, audit, alarm)"},
        {"owner@:rw:fd:deny:x", "entry 1 \"owner@:rw:fd:deny:x\": too many \":\" fields"},
        {"owner@", "entry 1 \"owner@\": no \":\" after \"owner@\""},
        {"user:4294967296:r", "entry 1 \"user:4294967296:r\": id \"4294967296\" out of range"},
        {"4294967296:r", "entry 1 \"4294967296:r\": id \"4294967296\" out of range"},
        {"u:" + long_name + ":r",
         "entry 1 \"u:" + long_name + ":r\": name longer than 255 characters"},
        {spaced, "entry 4097 \"everyone@:r\": too many entries (at most 4096)"},
    };
    for (const auto &c : cases) {
        process_result r = run({"set-access", c.text, "f"});
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.err, "vossik set-access: Error: " + c.text +
                             ": Invalid ACL: Invalid argument\n"
                             "vossik set-access: Error: " +
                             c.text + ": " + c.second + "\n");
    }
    EXPECT_EQ(acl("f"), "none");
}

// One write per object, in walk order: a failure leaves the objects before
// it written, the failing one with its old ACL, and the rest untouched.
TEST_F(SetAccess, StopsAtAMissingNamedPath) {
    file("a");
    file("c");
    process_result r = run({"set-access", "-v", "owner@:r", "a", "missing", "c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a: ACL Updated\n");
    EXPECT_EQ(r.err, "vossik set-access: Error: missing: Accessing: No such file or directory\n");
    EXPECT_EQ(acl("a"), "owner@:r::allow");
    EXPECT_EQ(acl("c"), "none");
}

TEST_F(SetAccess, StopsAtAnImmutableFileInARecursiveRun) {
    directory("d");
    for (const char *name : {"f1", "f2", "f3", "f4", "f5"})
        file(std::string("d/") + name);
    std::vector<std::string> order = directory_order(dir.file("d"));
    ASSERT_EQ(order.size(), 5u);
    const std::string failing = "d/" + order[2];
    put(failing, "everyone@:x::allow");
    immutable guard(dir.file(failing));
    if (!guard.on()) GTEST_SKIP() << "no immutable attribute on this file system";

    process_result r = run({"-r", "set-access", "group@:r", "d"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik set-access: Error: " + failing + ": Setting ACL: Operation not permitted\n");
    EXPECT_EQ(acl("d"), "group@:r::allow");
    EXPECT_EQ(acl("d/" + order[0]), "group@:r::allow");
    EXPECT_EQ(acl("d/" + order[1]), "group@:r::allow");
    EXPECT_EQ(acl(failing), "everyone@:x::allow");
    EXPECT_EQ(acl("d/" + order[3]), "none");
    EXPECT_EQ(acl("d/" + order[4]), "none");
}

using Pipeline = WriteTest;

// Print level 2 shows every object before the comparison, print level 1
// only the written ones, after the write; both before the verbose line.
TEST_F(Pipeline, PrintLevels) {
    file("a");
    file("b");
    const std::string listing_a = "a                         owner@:rw,everyone@:r\n";
    const std::string listing_b = "b                         owner@:rw,everyone@:r\n";

    put("a", "everyone@:r::allow,owner@:rw::allow");
    put("b", "owner@:rw::allow,everyone@:r::allow");
    process_result r = run({"touch-access", "-s", "-p", "2", "-v", "-S", "brief", "a", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, listing_a + "a: ACL Updated\n" + listing_b);

    put("a", "everyone@:r::allow,owner@:rw::allow");
    r = run({"touch-access", "-s", "-p1", "-v", "-S", "brief", "a", "b"});
    EXPECT_EQ(r.out, listing_a + "a: ACL Updated\n");

    // Level 1 also prints what -n leaves unwritten.
    put("a", "everyone@:r::allow,owner@:rw::allow");
    r = run({"touch-access", "-s", "-p1", "-n", "-S", "brief", "a", "b"});
    EXPECT_EQ(r.out, listing_a);
    EXPECT_EQ(acl("a"), "everyone@:r::allow,owner@:rw::allow");
}

using TouchAccess = WriteTest;

TEST_F(TouchAccess, WritesOnlyWhatSortMergeOrForceChange) {
    file("a");
    file("b");
    const std::string unsorted = "everyone@:r::allow,owner@:r::allow,owner@:w::allow";
    put("a", unsorted);
    std::string raw_a = acl_disk::raw(dir.file("a"));

    process_result r = run({"touch-access", "-v", "-p2", "a", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // -p 2 prints both, but neither is written or reported.
    EXPECT_EQ(r.out.find("ACL Updated"), std::string::npos);
    EXPECT_EQ(acl_disk::raw(dir.file("a")), raw_a);
    EXPECT_EQ(acl("b"), "none");

    r = run({"touch-access", "-v", "-f", "-n", "a", "b"});
    EXPECT_EQ(r.out, "a: ACL Updated (NOT)\nb: ACL Updated (NOT)\n");
    EXPECT_EQ(acl_disk::raw(dir.file("a")), raw_a);
    EXPECT_EQ(acl("b"), "none");

    r = run({"touch-access", "-v", "-f", "a", "b"});
    EXPECT_EQ(r.out, "a: ACL Updated\nb: ACL Updated\n");
    EXPECT_EQ(acl("a"), unsorted);
    EXPECT_EQ(acl("b"), TRIVIAL_644);

    r = run({"touch-access", "-v", "-m", "a", "b"});
    EXPECT_EQ(r.out, "a: ACL Updated\n");
    EXPECT_EQ(acl("a"), "everyone@:r::allow,owner@:rw::allow");
}

TEST_F(TouchAccess, Failures) {
    file("bad");
    // An attribute whose length does not match its entry count.
    std::string blob(8, '\0');
    blob[7] = 2;
    ASSERT_EQ(lsetxattr(dir.file("bad").c_str(), acl_disk::ATTRIBUTE, blob.data(), blob.size(), 0),
              0);
    process_result r = run({"touch-access", "bad"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik touch-access: Error: bad: Getting ACL: Invalid argument\n");

    r = run({"touch-access", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik touch-access: Error: nosuch: Accessing: No such file or directory\n");
}

using CopyAccess = WriteTest;

TEST_F(CopyAccess, FromAFile) {
    file("src");
    put("src", INHERITABLE_DISK);
    directory("d");
    file("d/f");
    file("g");
    process_result r = run({"copy-access", "-r", "-v", "src", "d", "g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "d: ACL Updated\nd/f: ACL Updated\ng: ACL Updated\n");
    EXPECT_EQ(acl("d"), INHERITABLE_DISK);
    EXPECT_EQ(acl("d/f"), STRIPPED_DISK);
    EXPECT_EQ(acl("g"), STRIPPED_DISK);
    EXPECT_EQ(acl("src"), INHERITABLE_DISK);
}

TEST_F(CopyAccess, FromALinkDoesNothing) {
    file("f");
    put("f", "everyone@:r::allow");
    file("g");
    symlink_to("link", "f");
    process_result r = run({"copy-access", "-v", "link", "g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("g"), "none");
}

TEST_F(CopyAccess, Failures) {
    file("g");
    process_result r = run({"copy-access"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik copy-access: Error: Missing required arguments (<src> <dst>)\n");
    r = run({"copy-access", "nosuch", "g"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik copy-access: Error: nosuch: Getting ACL: No such file or directory\n");
    EXPECT_EQ(acl("g"), "none");
}

using DeleteAccess = WriteTest;

TEST_F(DeleteAccess, RestoresTheTrivialAcl) {
    directory("d", 0750);
    file("d/f");
    symlink_to("d/link", "f");
    put("d", INHERITABLE_DISK);
    put("d/f", STRIPPED_DISK);

    process_result r = run({"delete-access", "-r", "-n", "-v", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "d: ACL Deleted (NOT)\nd/f: ACL Deleted (NOT)\n");
    EXPECT_EQ(acl("d"), INHERITABLE_DISK);
    EXPECT_EQ(acl("d/f"), STRIPPED_DISK);

    r = run({"delete-access", "-r", "-v", "d"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "d: ACL Deleted\nd/f: ACL Deleted\n");
    EXPECT_EQ(acl("d"), TRIVIAL_750);
    EXPECT_EQ(acl("d/f"), TRIVIAL_644);
    EXPECT_EQ(acl("d/link"), "none");
}

TEST_F(DeleteAccess, StopsAtAFailure) {
    file("a");
    file("b");
    file("c");
    for (const char *name : {"a", "b", "c"})
        put(name, "everyone@:r::allow");
    immutable guard(dir.file("b"));
    if (!guard.on()) GTEST_SKIP() << "no immutable attribute on this file system";
    process_result r = run({"delete-access", "a", "b", "c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vossik delete-access: Error: b: Deleting ACL: Operation not permitted\n");
    EXPECT_EQ(acl("a"), TRIVIAL_644);
    EXPECT_EQ(acl("b"), "everyone@:r::allow");
    EXPECT_EQ(acl("c"), "everyone@:r::allow");
}

}  // namespace
}  // namespace write_test
