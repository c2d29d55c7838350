// apply-access: a tree's ACLs listed by list-access come back exactly from
// the listing; malformed listings are refused before anything is written;
// a missing object stops the restore, or with -k only itself.
#include "write_fixture.h"

namespace write_test {
namespace {

// Every entry type and flag, named and unnamed users and groups (4242 and
// 4294967294 have no name), inheritance flags on files too.
const std::string TOP =
    "owner@:rwxpDdaARWcCos:fd:allow,user:1001:rx:fdi:allow,group:1001:r:fd:deny,"
    "user:4242:rw::allow,everyone@:r:I:allow,group@:w:fdinSF:audit,user:1001:r:SF:alarm,"
    "group:4294967294:r::allow";
const std::string ODD = "owner@:rwxpaARWcCos:fdI:allow,user:1000:rwx:n:deny,group@:r::allow";
const std::string PLAIN = "everyone@:r::allow";

// The objects of the tree and the ACL each gets; the link has none.
const std::vector<std::pair<std::string, std::string>> TREE = {
    {"top", TOP},           {"top/with blank ", ODD}, {"top/back\\slash", PLAIN},
    {"top/new\nline", ODD}, {"top/sub", ODD},         {"top/sub/f", TOP},
};

class ApplyAccess : public WriteTest {
  protected:
    void SetUp() override {
        directory("top");
        directory("top/sub");
        for (const auto &[name, text] : TREE) {
            if (name != "top" && name != "top/sub") file(name);
            put(name, text);
        }
        symlink_to("top/link", "sub");
    }
    // Every object's ACL as stored, the link included.
    std::string stored() {
        std::string all;
        for (const auto &[name, text] : TREE)
            all += name + "=" + acl(name) + "\n";
        return all + "top/link=" + acl("top/link") + "\n";
    }
    std::string expected_store() {
        std::string all;
        for (const auto &[name, text] : TREE)
            all += name + "=" + text + "\n";
        return all + "top/link=none\n";
    }
    void clobber() {
        for (const auto &[name, text] : TREE)
            put(name, PLAIN == text ? ODD : PLAIN);
    }
};

TEST_F(ApplyAccess, RestoresATreeByteForByte) {
    for (std::vector<std::string> style :
         {std::vector<std::string>{"-S", "standard"}, std::vector<std::string>{}}) {
        std::vector<std::string> list = style;
        list.insert(list.end(), {"-r", "list-access", "top"});
        process_result listed = run(list);
        ASSERT_EQ(listed.status, 0) << listed.err;
        ASSERT_EQ(listed.err, "");
        dir.write("acls", listed.out);

        clobber();
        process_result r = run({"apply-access", "acls"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(stored(), expected_store());
        EXPECT_EQ(run(list).out, listed.out);

        // Standard input, as "-" or without a file; nothing is left to
        // change, so nothing is written.
        clobber();
        r = run({"-v", "apply-access", "-"}, listed.out);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(stored(), expected_store());
        r = run({"-v", "apply-access"}, listed.out);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ApplyAccess, DryRunPrintsAndWritesOnlyWhatDiffers) {
    dir.write("acls", run({"-S", "standard", "-r", "list-access", "top/sub"}).out);
    put("top/sub/f", PLAIN);

    process_result r = run({"-n", "-v", "apply-access", "acls"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "top/sub/f: ACL Updated (NOT)\n");
    EXPECT_EQ(acl("top/sub/f"), PLAIN);

    r = run({"-p", "-v", "-S", "brief", "apply-access", "acls"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "top/sub/f                 owner@:rwxpDdaARWcCos:fd,user:bob:rx:fdi,"
              "group:devs:r:fd:deny,user:4242:rw,everyone@:r:I,group@:w:fdinSF:audit,"
              "user:bob:r:SF:alarm,group:-2:r\n"
              "top/sub/f: ACL Updated\n");
    EXPECT_EQ(acl("top/sub/f"), TOP);

    // -f writes objects that are already as listed.
    r = run({"-f", "-v", "apply-access", "acls"});
    EXPECT_EQ(r.out, "top/sub: ACL Updated\ntop/sub/f: ACL Updated\n");
}

// Listings that are refused: nothing is written, not even the objects
// listed before the fault or in an earlier listing.
TEST_F(ApplyAccess, RefusesMalformedListingsBeforeWriting) {
    const std::string good = run({"-S", "standard", "list-access", "top/sub"}).out;
    dir.write("good", good);
    const std::string head = "# file: top/sub/f\n# owner: root\n# group: root\n";
    const std::string prefix = "vossik apply-access: Error: ";
    const struct {
        std::string listing;  // written to the file "bad"; none: the file is missing
        bool present;
        std::string err;
    } cases[] = {
        {good + "\n" + head + "# mode: 0644\n", true, "bad: line 11: Unknown header line"},
        {good + "\n" + head + "  owner@:rwx:fd:allow\n", true,
         "bad: line 11: Invalid entry: permissions are not the 14 letters rwxpDdaARWcCos or "
         "dashes"},
        {good + "\n" + head + "  user:nosuchuser:rw------------:-------:allow\n", true,
         "bad: line 11: Invalid entry: unknown user nosuchuser"},
        {run({"-S", "brief", "list-access", "top/sub"}).out, true,
         "bad: line 1: Not a listing in the standard or default style"},
        {run({"-S", "samba", "list-access", "top/sub"}).out, true,
         "bad: line 1: Not a listing in the standard or default style"},
        {good.substr(0, good.size() - 1), true,
         "bad: line 6: No line end: the listing is cut short"},
        // What the listing holds is shown escaped.
        {good + "\n" + head + "  owner@:rw------------:-------:allow\r\n", true,
         "bad: line 11: Invalid entry: unknown entry type allow\\015"},
        {"", true, "bad: No objects listed"},
        {"", false, "bad: Opening listing: No such file or directory"},
    };
    put("top/sub", PLAIN);
    for (const auto &c : cases) {
        unlink(dir.file("bad").c_str());
        if (c.present) dir.write("bad", c.listing);
        process_result r = run({"apply-access", "good", "bad"});
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(r.err, prefix + c.err + "\n");
        EXPECT_EQ(acl("top/sub"), PLAIN) << c.err;
    }
}

TEST_F(ApplyAccess, MissingObjectStopsTheRestoreOrWithKeepGoingOnlyItself) {
    dir.write("acls", run({"-S", "standard", "-r", "list-access", "top/sub"}).out);
    file("top/sub/g");
    dir.write("acls",
              dir.read("acls") + "\n" + run({"-S", "standard", "list-access", "top/sub/g"}).out);
    unlink(dir.file("top/sub/f").c_str());
    put("top/sub", PLAIN);
    put("top/sub/g", ODD);

    process_result r = run({"apply-access", "acls"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik apply-access: Error: top/sub/f: Accessing: No such file or directory\n");
    EXPECT_EQ(acl("top/sub"), ODD);
    EXPECT_EQ(acl("top/sub/g"), ODD);

    put("top/sub", PLAIN);
    put("top/sub/g", PLAIN);
    r = run({"-k", "-v", "apply-access", "acls"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "top/sub: ACL Updated\ntop/sub/g: ACL Updated\n");
    EXPECT_EQ(r.err,
              "vossik apply-access: Error: top/sub/f: Accessing: No such file or directory\n");
    EXPECT_EQ(acl("top/sub"), ODD);
    EXPECT_EQ(acl("top/sub/g"), TRIVIAL_644);
}

// A directory of the tree swapped for someone else's link after the
// listing was made: the restore does not follow it out of the tree.
TEST_F(ApplyAccess, DoesNotFollowAnotherUsersLinkOnTheWay) {
    dir.write("acls", run({"-S", "standard", "-r", "list-access", "top/sub"}).out);
    directory("victim");
    file("victim/f");
    put("victim/f", PLAIN);
    ASSERT_EQ(rename(dir.file("top/sub").c_str(), dir.file("old").c_str()), 0);
    symlink_to("top/sub", "../victim");
    ASSERT_EQ(lchown(dir.file("top/sub").c_str(), 1001, 1001), 0);

    process_result r = run({"-k", "apply-access", "acls"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vossik apply-access: Error: top/sub/f: Accessing: Too many levels of symbolic "
              "links\n");
    EXPECT_EQ(acl("victim/f"), PLAIN);
    EXPECT_EQ(acl("top/sub"), "none");
}

}  // namespace
}  // namespace write_test
