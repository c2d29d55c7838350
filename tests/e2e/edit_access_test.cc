// edit-access end to end: the engine's actions, selections, positions and
// failure rules, the simple change requests, -e and -E, checked against the
// ACL attribute left on disk.
#include <cstdio>
#include <string>
#include <vector>

#include "write_fixture.h"

namespace write_test {
namespace {

const std::string BASE = "owner@:rw::allow,group@:r::allow,everyone@:r::allow";
const std::string OWNER = "owner@:rw------------:-------:allow";
const std::string GROUP = "group@:r-------------:-------:allow";
const std::string EVERYONE = "everyone@:r-------------:-------:allow";

// One line of "p" and "n" output.
std::string line(const std::string &path, const std::string &text) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%-20s\t", path.c_str());
    return prefix + text + "\n";
}
std::string numbered(const std::string &path, int position, const std::string &text) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%-20s\t%-4d\t", path.c_str(), position);
    return prefix + text + "\n";
}
std::string error(const std::string &message) {
    return "vossik edit-access: Error: " + message + "\n";
}

// A script that appends entries to objects of the file type `type` only,
// one more than an ACL of `count` entries has room for up to the limit.
std::string fill_to_the_limit(char type, int count) {
    std::string script;
    for (int i = count; i <= 4096; ++i)
        script += std::string("{") + type + "} $ a user:alice:r\n";
    return script;
}

class EditAccess : public WriteTest {
  protected:
    // A file holding `text` (acl_on_disk notation) as its ACL.
    void with_acl(const std::string &name, const std::string &text) {
        file(name);
        put(name, text);
    }

    // Runs `request` with -e on a file "f" holding `initial`: the request
    // succeeds without a message, prints `out` and leaves `disk` behind.
    void expect_edit(const std::string &initial, const char *request, const std::string &disk,
                     const std::string &out = "") {
        with_acl("f", initial);
        process_result r = run({"edit-access", "-e", request, "f"});
        EXPECT_EQ(r.status, 0) << request;
        EXPECT_EQ(r.out, out) << request;
        EXPECT_EQ(r.err, "") << request;
        EXPECT_EQ(acl("f"), disk) << request;
    }
};

TEST_F(EditAccess, PrintNamedAndCurrentEntries) {
    with_acl("f", BASE);
    struct {
        const char *request;
        std::string out;
    } cases[] = {
        {"p", line("f", OWNER)},  // the current position starts at 0
        {"0-$ p", line("f", OWNER) + line("f", GROUP) + line("f", EVERYONE)},
        {"$ p", line("f", EVERYONE)},
        {"1-2,0 p", line("f", OWNER) + line("f", GROUP) + line("f", EVERYONE)},
        // A printing request moves the current position to the last entry
        // it printed, across groups too.
        {"1 p; p; $ p; p",
         line("f", GROUP) + line("f", GROUP) + line("f", EVERYONE) + line("f", EVERYONE)},
    };
    for (const auto &c : cases) {
        process_result r = run({"edit-access", "-e", c.request, "f"});
        EXPECT_EQ(r.status, 0) << c.request;
        EXPECT_EQ(r.out, c.out) << c.request;
        EXPECT_EQ(r.err, "") << c.request;
    }
    EXPECT_EQ(run({"edit-access", "-e", "1 p", "-e", "p", "f"}).out,
              line("f", GROUP) + line("f", GROUP));
    EXPECT_EQ(acl("f"), BASE);
}

TEST_F(EditAccess, NumberedOutputColumnsAndNoPrefix) {
    with_acl("f", BASE);
    with_acl("a-name-of-twenty-six-chars", "everyone@:r::allow");
    process_result r = run({"edit-access", "-e", "0-$ n; 0 p", "f", "a-name-of-twenty-six-chars"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, numbered("f", 0, OWNER) + numbered("f", 1, GROUP) +
                         numbered("f", 2, EVERYONE) + line("f", OWNER) +
                         "a-name-of-twenty-six-chars\t0   \t" + EVERYONE + "\n" +
                         "a-name-of-twenty-six-chars\t" + EVERYONE + "\n");

    r = run({"-N", "edit-access", "-e", "/^group@/ n; p", "f"});
    EXPECT_EQ(r.out, "1   \t" + GROUP + "\n" + GROUP + "\n");
}

TEST_F(EditAccess, FailedRequestEndsOnlyItsGroup) {
    with_acl("f", "owner@:rw::allow");
    // Position 1 has no entry: the rest of the first group is skipped, the
    // second group runs.
    process_result r = run({"edit-access", "-e", "1-$ p; 0 p", "-e", "0 n", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, numbered("f", 0, OWNER));
    EXPECT_EQ(r.err, "");

    // An action the engine does not know fails the same way; what the
    // requests before it changed is written.
    r = run({"edit-access", "-e", "0 i user:bob:r; x; $ a user:alice:r", "-e", "$ a group:staff:r",
             "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("f"), "user:1001:r::allow,owner@:rw::allow,group:20:r::allow");

    // So do a deletion, a replacement and a print at a position without an
    // entry.
    struct {
        const char *request;
        std::string disk;
    } cases[] = {
        {"5 d; 0 d", BASE + ",group:20:r::allow"},
        {"d; d; d; d; $ a user:bob:r", "group:20:r::allow"},
        // Nothing replaced: the entry goes in at the position walked (here
        // the end), and the failure still ends the group.
        {"7 s user:carol:r; 0 d", BASE + ",user:1002:r::allow,group:20:r::allow"},
    };
    for (const auto &c : cases) {
        with_acl("g", BASE);
        r = run({"edit-access", "-e", c.request, "-e", "$ a group:staff:r", "g"});
        EXPECT_EQ(r.status, 0) << c.request;
        EXPECT_EQ(r.err, "") << c.request;
        EXPECT_EQ(acl("g"), c.disk) << c.request;
    }
}

TEST_F(EditAccess, DeletionsByPositionAndPattern) {
    const std::string five =
        "owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1000:w::allow,"
        "everyone@:r::allow";
    struct {
        const char *request;
        std::string out;
        std::string disk;
    } cases[] = {
        // Every named-user entry goes, from the last one upwards, and the
        // current position ends at the lowest of them.
        {"/^user:/ d; n", numbered("f", 1, GROUP),
         "owner@:rw::allow,group@:r::allow,everyone@:r::allow"},
        {"/^user:/! d", "", "user:1001:r::allow,user:1000:w::allow"},
        {"$ d", "", "owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1000:w::allow"},
        {"1-3 d; p", line("f", EVERYONE), "owner@:rw::allow,everyone@:r::allow"},
        // A range to "$" ends at the last entry.
        {"2-$ d", "", "owner@:rw::allow,user:1001:r::allow"},
        {"3,$ d", "", "owner@:rw::allow,user:1001:r::allow,group@:r::allow"},
        {"4,$ d", "", "owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1000:w::allow"},
        {"9-$ d", "", "owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1000:w::allow"},
        // A named position without an entry fails before anything goes.
        {"1,9 d", "", five},
        // Without positions: the entry at the current position.
        {"$ p; d; p", line("f", EVERYONE),
         "owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1000:w::allow"},
    };
    for (const auto &c : cases)
        expect_edit(five, c.request, c.disk, c.out);
}

// A number that is no 32-bit position makes the request invalid, and the
// ACL stays as it was: 4294967296 once wrapped round to 0 and deleted
// owner@.
TEST_F(EditAccess, PositionsBeyondThe32BitRange) {
    for (const char *request :
         {"4294967296 d", "2147483648 d", "0-4294967296 d", "0x100000000 p"}) {
        with_acl("f", BASE);
        process_result r = run({"edit-access", "-e", request, "f"});
        EXPECT_EQ(r.status, 255) << request;
        EXPECT_EQ(r.out, "") << request;
        EXPECT_EQ(r.err, error(std::string(request) + ": Invalid ACL Entry") +
                             error(std::string(request) + ": request 1 \"" + request +
                                   "\": invalid position at \"" + request + "\"") +
                             "acecr_from_text: error-catched\n");
        EXPECT_EQ(acl("f"), BASE) << request;
    }
}

TEST_F(EditAccess, Insertions) {
    struct {
        const char *request;
        std::string disk;
        std::string out = "";
    } cases[] = {
        {"0 i user:bob:r", "user:1001:r::allow," + BASE},
        // The current position is 0: "a" puts the entry after the first.
        {"a user:bob:r", "owner@:rw::allow,user:1001:r::allow,group@:r::allow,everyone@:r::allow"},
        {"$ a user:bob:r", BASE + ",user:1001:r::allow"},
        {"$ i user:bob:r", BASE + ",user:1001:r::allow"},
        {"0,1 a user:bob:r::deny",
         "owner@:rw::allow,group@:r::allow,user:1001:r::deny,everyone@:r::allow"},
        {"9 i user:bob:r", BASE + ",user:1001:r::allow"},
        {"/^group@/ i user:bob:r",
         "owner@:rw::allow,user:1001:r::allow,group@:r::allow,everyone@:r::allow"},
        {"2 p; i group:staff:rx:fd",
         "owner@:rw::allow,group@:r::allow,group:20:rx:fd:allow,everyone@:r::allow",
         line("f", EVERYONE)},
        // A selection that selects nothing does nothing.
        {"/^user:/ a user:bob:r", BASE},
    };
    for (const auto &c : cases)
        expect_edit(BASE, c.request, c.disk, c.out);
}

TEST_F(EditAccess, Replacements) {
    struct {
        const char *initial;
        const char *request;
        std::string disk;
        std::string out = "";
    } cases[] = {
        // Nothing named: every entry, only the first with flags without "g",
        // and an empty ACL gets the entry.
        {"owner@:rw::allow,group@:r::allow", "s user:bob:r",
         "user:1001:r::allow,user:1001:r::allow"},
        {"owner@:rw::allow,group@:r::allow", "sg user:bob:r",
         "user:1001:r::allow,user:1001:r::allow"},
        {"owner@:rw::allow,group@:r::allow", "sx user:bob:r", "user:1001:r::allow,group@:r::allow"},
        {"", "s user:bob:r", "user:1001:r::allow"},
        // Named or selected entries; the current position follows.
        {"owner@:rw::allow,group@:r::allow,everyone@:r::allow", "1-$ s group:staff:w:fd:deny",
         "owner@:rw::allow,group:20:w:fd:deny,group:20:w:fd:deny"},
        {"owner@:rw::allow,user:1001:r::allow,group@:r::allow,user:1001:w::allow",
         "/user:bob:/ s user:alice:x; p; d", "owner@:rw::allow,user:1000:x::allow,group@:r::allow",
         line("f", "user:alice:--x-----------:-------:allow")},
        {"owner@:rw::allow,user:1001:r::allow", "/user:bob:r/= s owner@:x::deny",
         "owner@:rw::allow,owner@:x::deny"},
    };
    for (const auto &c : cases)
        expect_edit(c.initial, c.request, c.disk, c.out);
}

TEST_F(EditAccess, SetReplacesOrInsertsInOrder) {
    struct {
        const char *initial;
        const char *request;
        std::string disk;
    } cases[] = {
        // A deny entry goes before the allow entries of its principal.
        {"owner@:rw::allow,group@:r::allow,everyone@:r::allow", "S group@:w::deny",
         "owner@:rw::allow,group@:w::deny,group@:r::allow,everyone@:r::allow"},
        {"owner@:rw::allow,group@:r::allow,everyone@:r::allow", "S user:bob:r",
         "owner@:rw::allow,user:1001:r::allow,group@:r::allow,everyone@:r::allow"},
        // ... and a named user before the first entry of another named user.
        {"owner@:rw::allow,user:1000:r::allow,group@:r::allow", "S user:bob:w",
         "owner@:rw::allow,user:1001:w::allow,user:1000:r::allow,group@:r::allow"},
        {"owner@:rw::allow,group@:r::allow", "S everyone@:r",
         "owner@:rw::allow,group@:r::allow,everyone@:r::allow"},
        // A selection that selects something is replaced like "s".
        {"owner@:rw::allow,user:1001:r::allow,group@:r::allow", "/user:bob:r/+ S user:bob:rwx",
         "owner@:rw::allow,user:1001:rwx::allow,group@:r::allow"},
        // One that selects nothing inserts in order.
        {"owner@:rw::allow,group@:r::allow", "/user:bob:r/+ S user:bob:rwx",
         "owner@:rw::allow,user:1001:rwx::allow,group@:r::allow"},
        {"", "S user:bob:r", "user:1001:r::allow"},
    };
    for (const auto &c : cases)
        expect_edit(c.initial, c.request, c.disk);
}

TEST_F(EditAccess, EntrySelections) {
    const std::string bob =
        "owner@:rw::allow,user:1001:rw::allow,user:1001:w::allow,user:1001:r:fd:allow,"
        "user:1001:r::deny,user:1001:r::allow";
    struct {
        const char *request;
        std::string disk;
    } cases[] = {
        {"/user:bob:r/+ d",
         "owner@:rw::allow,user:1001:w::allow,user:1001:r:fd:allow,user:1001:r::deny"},
        {"/user:bob:r/- d",
         "owner@:rw::allow,user:1001:rw::allow,user:1001:r:fd:allow,user:1001:r::deny,user:1001:r::"
         "allow"},
        {"/user:bob:r/= d",
         "owner@:rw::allow,user:1001:rw::allow,user:1001:w::allow,user:1001:r:fd:allow,user:1001:r:"
         ":deny"},
        // Positions in front limit the entries examined.
        {"0-2 /user:bob:r/+ d",
         "owner@:rw::allow,user:1001:w::allow,user:1001:r:fd:allow,user:1001:r::deny,user:1001:r::"
         "allow"},
        {"/user:bob/! d",
         "user:1001:rw::allow,user:1001:w::allow,user:1001:r:fd:allow,user:1001:r::deny,"
         "user:1001:r::allow"},
    };
    for (const auto &c : cases)
        expect_edit(bob, c.request, c.disk);

    // 5-$ on three entries examines the last entry only.
    with_acl("g", "user:1001:r::allow,user:1001:r::allow,user:1001:r::allow");
    process_result r = run({"edit-access", "-e", "5-$ /user:bob:r/= n; 5-$ /bob/ n", "g"});
    EXPECT_EQ(r.out, numbered("g", 2, "user:bob:r-------------:-------:allow") +
                         numbered("g", 2, "user:bob:r-------------:-------:allow"));
}

TEST_F(EditAccess, FileTypeFilter) {
    directory("d");
    put("d", BASE);
    with_acl("f", BASE);
    process_result r = run({"edit-access", "-e", "{d} $ a group:staff:r; $ n", "d", "f"});
    EXPECT_EQ(r.status, 0);
    // The filtered request does nothing for f; the next one still runs.
    EXPECT_EQ(r.out, numbered("d", 3, "group:staff:r-------------:-------:allow") +
                         numbered("f", 2, EVERYONE));
    EXPECT_EQ(acl("d"), BASE + ",group:20:r::allow");
    EXPECT_EQ(acl("f"), BASE);
}

// A reported failure abandons its path: nothing is written for it, the walk
// goes on with the next path from position 0 with all groups, and the
// command ends with status 1.
TEST_F(EditAccess, AbandonedPathWritesNothing) {
    with_acl("f", BASE);
    with_acl("g", BASE);
    process_result r =
        run({"edit-access", "-e", "0 d; 0 d; a", "-e", "$ a group:staff:r", "f", "g"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, error("Copying ACL Entry: Invalid argument") +
                         error("Copying ACL Entry: Invalid argument"));
    EXPECT_EQ(acl("f"), BASE);
    EXPECT_EQ(acl("g"), BASE);

    // A full ACL (4096 entries, here only the directory's) takes no
    // insertion. The request before has moved the current position; the
    // next path starts at 0 again.
    std::string full = "owner@:rw::allow,group@:r::allow,everyone@:r::allow,user:1001:r::allow";
    for (int i = 4; i < 128; ++i)
        full += ",user:" + std::to_string(2000 + i) + ":r::allow";
    directory("full");
    put("full", full);
    with_acl("h", BASE);
    r = run({"edit-access", "-e", "/^user:bob:/ n", "-E", "-", "-e", "p", "full", "h"},
            fill_to_the_limit('d', 128) + "$ a group:staff:r\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              numbered("full", 3, "user:bob:r-------------:-------:allow") + line("h", OWNER));
    EXPECT_EQ(r.err, error("Creating ACL Entry @ 4096: Cannot allocate memory"));
    EXPECT_EQ(acl("full"), full);
    EXPECT_EQ(acl("h"), BASE + ",group:20:r::allow");
}

// The same inside a recursive walk: every other object is still edited.
TEST_F(EditAccess, AbandonedObjectInsideADirectory) {
    directory("d");
    directory("d/sub");
    std::string full = BASE;
    for (int i = 3; i < 128; ++i)
        full += ",user:" + std::to_string(2000 + i) + ":r::allow";
    ASSERT_EQ(mkfifo(dir.file("d/full").c_str(), 0644), 0);
    put("d/full", full);
    with_acl("d/x", BASE);
    with_acl("d/sub/y", BASE);
    put("d", BASE);
    put("d/sub", BASE);
    process_result r = run({"-r", "edit-access", "-E", "-", "d"},
                           fill_to_the_limit('p', 128) + "$ a group:staff:r");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("Creating ACL Entry @ 4096: Cannot allocate memory"));
    EXPECT_EQ(acl("d/full"), full);
    for (const char *name : {"d", "d/x", "d/sub", "d/sub/y"})
        EXPECT_EQ(acl(name), BASE + ",group:20:r::allow") << name;
}

TEST_F(EditAccess, UnreadableAndUnwritableAcls) {
    with_acl("f", BASE);
    file("bad");
    ASSERT_EQ(lsetxattr(dir.file("bad").c_str(), acl_disk::ATTRIBUTE, "\0\0\0\0\0\0\0\5", 8, 0), 0);
    process_result r = run({"edit-access", "-e", "0 d", "bad", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("bad: Getting ACL: Invalid argument"));
    EXPECT_EQ(acl("f"), "group@:r::allow,everyone@:r::allow");

    // The store refuses a user without an id (an unknown name read
    // leniently by a simple change request).
    with_acl("g", BASE);
    r = run({"edit-access", "user:nosuch:r", "g", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("g: Setting ACL: Invalid argument") +
                         error("f: Setting ACL: Invalid argument"));
    EXPECT_EQ(acl("g"), BASE);

    // A symbolic link has no ACL: skipped without a word.
    symlink_to("link", "f");
    r = run({"edit-access", "-e", "0 d", "link"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("f"), "group@:r::allow,everyone@:r::allow");
}

TEST_F(EditAccess, MissingArguments) {
    file("user:bob:rwx");
    struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"edit-access"}, error("Missing required arguments")},
        {{"edit-access", "-e", "p"}, error("Missing required arguments")},
        // A lone argument is a path, never a request.
        {{"edit-access", "user:bob:rwx"}, error("Invalid or no change request")},
    };
    for (const auto &c : cases) {
        process_result r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args.size();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(acl("user:bob:rwx"), "none");
}

TEST_F(EditAccess, SimpleSetAndDelete) {
    const std::string bob =
        "owner@:rw::allow,user:1001:rw::allow,user:1001:r::deny,user:1001:r:fd:allow,"
        "group@:r::allow,user:1001:x::allow";
    with_acl("f", bob);
    with_acl("g", BASE);
    process_result r = run({"edit-access", "user:bob:rwx", "f", "g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // The allow entries without flags get the permissions; on g the entry
    // is added at its place.
    EXPECT_EQ(acl("f"),
              "owner@:rw::allow,user:1001:rwx::allow,user:1001:r::deny,user:1001:r:fd:allow,"
              "group@:r::allow,user:1001:rwx::allow");
    EXPECT_EQ(acl("g"), "owner@:rw::allow,user:1001:rwx::allow,group@:r::allow,everyone@:r::allow");

    with_acl("f", bob);
    file("h");
    r = run({"edit-access", "user:bob", "f", "h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("f"), "owner@:rw::allow,user:1001:r::deny,user:1001:r:fd:allow,group@:r::allow");
    EXPECT_EQ(acl("h"), "none");  // nothing to delete, nothing written

    // Type and flags name the entries too.
    with_acl("f", bob);
    r = run({"edit-access", "u:bob::fd,user:bob:w::deny", "f"});
    EXPECT_EQ(acl("f"),
              "owner@:rw::allow,user:1001:rw::allow,user:1001:w::deny,group@:r::allow,"
              "user:1001:x::allow");
}

TEST_F(EditAccess, SimpleReplace) {
    const std::string bob = "owner@:rw::allow,user:1001:r::allow,user:1001:w::deny";
    with_acl("f", bob);
    process_result r = run({"edit-access", "/user:bob/user:alice:rx/", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("f"), "owner@:rw::allow,user:1000:rx::allow,user:1001:w::deny");

    // An unknown name is fine to search for, not to write.
    with_acl("f", bob);
    r = run({"edit-access", "/user:nosuch/user:alice:rx/", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(acl("f"), bob);
    r = run({"edit-access", "/user:bob/user:nosuch:rx/", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("/user:bob/user:nosuch:rx/: Invalid simple change request") +
                         error("/user:bob/user:nosuch:rx/: request 1 "
                               "\"/user:bob/user:nosuch:rx/\": unknown user \"nosuch\""));
    EXPECT_EQ(acl("f"), bob);

    // Flags after a third "/" change nothing; a lone leading "/" is dropped.
    r = run({"edit-access", "/user:bob::deny/group:staff:r/x,/user:carol:x", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("f"), "owner@:rw::allow,user:1002:x::allow,user:1001:r::allow,group:20:r::allow");
}

TEST_F(EditAccess, SimpleRequestLists) {
    with_acl("f", BASE);
    process_result r = run({"edit-access", "user:bob:rwx;group:staff:r,user:bob:w", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("f"),
              "owner@:rw::allow,user:1001:w::allow,group@:r::allow,group:20:r::allow,"
              "everyone@:r::allow");

    // The second line names the piece (position and text) and why.
    const struct {
        const char *text;
        const char *second;
    } bad[] = {
        {"user:bob:r,,group:staff:r", "request 2 \"\": empty entry"},
        {"user:bob:r;", "request 2 \"\": empty entry"},
        {"", "request 1 \"\": empty request"},
        {"  ", "request 1 \"\": empty request"},
        {"user:bob:zz", "request 1 \"user:bob:zz\": unknown permission letter 'z'"},
        {"user:bob:r,alice:r?d",
         "request 2 \"alice:r?d\": \"alice\" is both a user and a group: write user:alice or "
         "group:alice"},
    };
    for (const auto &c : bad) {
        r = run({"edit-access", c.text, "f"});
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.err, error(std::string(c.text) + ": Invalid simple change request") +
                             error(std::string(c.text) + ": " + c.second))
            << c.text;
    }
    EXPECT_EQ(acl("f"),
              "owner@:rw::allow,user:1001:w::allow,group@:r::allow,group:20:r::allow,"
              "everyone@:r::allow");
}

TEST_F(EditAccess, SimpleRequestFileTypes) {
    directory("d");
    put("d", BASE);
    with_acl("f", BASE);
    process_result r = run({"edit-access", "group:staff:r?d,user:bob:r?f", "d", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("d"), "owner@:rw::allow,group@:r::allow,group:20:r::allow,everyone@:r::allow");
    EXPECT_EQ(acl("f"), "owner@:rw::allow,user:1001:r::allow,group@:r::allow,everyone@:r::allow");
}

TEST_F(EditAccess, ExecuteOnSeveralPaths) {
    with_acl("f", BASE);
    with_acl("g", "everyone@:r::allow");
    process_result r = run({"edit-access", "-e", "0-$ p", "f", "g"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              line("f", OWNER) + line("f", GROUP) + line("f", EVERYONE) + line("g", EVERYONE));
}

TEST_F(EditAccess, ScriptsFromFileAndStandardInput) {
    with_acl("f", BASE);
    const std::string script =
        "# drop the owner, then show what is left\n"
        "\n"
        "   0 d ;  $ a user:bob:r   \n"
        "0-$ n\t\r\n";
    dir.write("script", script);
    process_result r = run({"edit-access", "--no-update", "-E", "script", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string listing = numbered("f", 0, GROUP) + numbered("f", 1, EVERYONE) +
                                numbered("f", 2, "user:bob:r-------------:-------:allow");
    EXPECT_EQ(r.out, listing);
    EXPECT_EQ(acl("f"), BASE);

    r = run({"edit-access", "-E", "-", "f"}, script);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, listing);
    EXPECT_EQ(acl("f"), "group@:r::allow,everyone@:r::allow,user:1001:r::allow");

    // A script is one group: a failing request skips the rest of the file.
    with_acl("f", BASE);
    r = run({"edit-access", "-E", "-", "-e", "$ a group:staff:r", "f"}, "0 d\n9 p\n0 d\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(acl("f"), "group@:r::allow,everyone@:r::allow,group:20:r::allow");
}

TEST_F(EditAccess, ScriptErrors) {
    with_acl("f", BASE);
    dir.write("bad", "0 d\n# fine\n/^user:/\n$ a user:bob:r\n");
    process_result r = run({"edit-access", "-E", "bad", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, error(": Invalid ACL Entry") +
                         error("/^user:/: request 1 \"/^user:/\": no action letter") +
                         "acecr_from_text: error-catched\n" +
                         error("/^user:/: Invalid action at line 3"));
    EXPECT_EQ(acl("f"), BASE);

    // Lines longer than 2047 characters are read, and counted, in pieces.
    const std::string long_line = "#" + std::string(2046, 'x') + "1 p\n";
    dir.write("long", long_line);
    r = run({"edit-access", "-E", "long", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, line("f", GROUP));
    dir.write("long", long_line + "/^x/\n");
    r = run({"edit-access", "-E", "long", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              error(": Invalid ACL Entry") + error("/^x/: request 1 \"/^x/\": no action letter") +
                  "acecr_from_text: error-catched\n" + error("/^x/: Invalid action at line 3"));

    r = run({"edit-access", "-E", "missing", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("missing: Opening script: No such file or directory"));
    directory("dir");
    r = run({"edit-access", "-E", "dir", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error("dir: Reading script: Is a directory"));

    r = run({"edit-access", "-e", "0 d", "-e", "/a(/ p", "f"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, error("a(: Regex: Unmatched ( or \\(") +
                         error("/a(/ p: request 1 \"/a(/ p\": invalid pattern \"a(\"") +
                         "acecr_from_text: error-catched\n");
    EXPECT_EQ(acl("f"), BASE);
}

TEST_F(EditAccess, GroupsRunInOptionOrder) {
    with_acl("f", BASE);
    dir.write("script", "0 p\nx\n1 p\n");
    process_result r = run({"edit-access", "-E", "script", "-e", "2 p", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, line("f", OWNER) + line("f", EVERYONE));
    r = run({"edit-access", "-e", "2 p", "--file=script", "-e", "1 p", "f"});
    EXPECT_EQ(r.out, line("f", EVERYONE) + line("f", OWNER) + line("f", GROUP));
    // The simple change request comes only when no option gave requests:
    // with -e, every argument is a path.
    r = run({"edit-access", "-e", "$ p", "user:bob:r", "f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("vossik edit-access: Error: user:bob:r: Accessing"), 0u) << r.err;
}

// The interactive mode runs one command after another in one process: the
// requests of a run never reach the next.
TEST_F(EditAccess, RunsDoNotShareRequests) {
    with_acl("f", BASE);
    process_result r = run({},
                           "edit-access -e '0 p' -e '/a(/ p' f\n"
                           "edit-access -e '1 p' f\n"
                           "edit-access -e '0 d' -E missing f\n"
                           "edit-access -e 'a' f\n"
                           "edit-access -e '2 p' f\n");
    EXPECT_EQ(r.out, line("f", GROUP) + line("f", EVERYONE));
    EXPECT_EQ(acl("f"), BASE);
}

TEST_F(EditAccess, RunRejectedByAnotherOptionLeavesNoRequests) {
    with_acl("f", BASE);
    process_result r = run({},
                           "edit-access -e '0 p' --no-such-option f\n"
                           "edit-access -e '1 p' f\n");
    EXPECT_EQ(r.out, line("f", GROUP));
}

}  // namespace
}  // namespace write_test
