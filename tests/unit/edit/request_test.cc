#include "edit/request.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <regex.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "base/cancel.h"
#include "base/report.h"
#include "gacl/vocab.h"

namespace {

using Ranges = std::vector<std::pair<int, int>>;

Ranges nodes_of(const range_t *list) {
    Ranges out;
    for (; list; list = list->next)
        out.emplace_back(list->low, list->high);
    return out;
}

std::vector<const acecr_t *> requests_of(const std::unique_ptr<acecr_t> &list) {
    std::vector<const acecr_t *> out;
    for (const acecr_t *r = list.get(); r; r = r->next.get())
        out.push_back(r);
    return out;
}

bool matches(const acecr_t &req, const char *text) {
    return regexec(req.regex.get(), text, 0, nullptr, 0) == 0;
}

struct Read {
    int result;
    std::string err;
    std::unique_ptr<acecr_t> list;
};

// Reads `text` the way edit-access does, inside a stand-in for the shell's
// recovery point: nothing the reader reports may reach it.
Read read(const char *text, std::unique_ptr<acecr_t> list = nullptr) {
    Read r{0, "", std::move(list)};
    testing::internal::CaptureStderr();
    try {
        r.result = acecr_from_text(&r.list, text);
    } catch (...) {
        r.err = testing::internal::GetCapturedStderr();
        ADD_FAILURE() << "an exception left acecr_from_text for \"" << text << "\"";
        return r;
    }
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

class RequestText : public testing::Test {
  protected:
    void SetUp() override { current_name_set(nullptr); }
    void TearDown() override { current_name_set(nullptr); }
};

TEST_F(RequestText, NothingToRead) {
    for (const char *text : {"", "   ", "\t\n", "# just a comment", "  # one\n# two\r\n", ";;;",
                             " ; # comment ; \n"}) {
        Read r = read(text);
        EXPECT_EQ(r.result, 0) << '"' << text << '"';
        EXPECT_EQ(r.list, nullptr) << '"' << text << '"';
        EXPECT_EQ(r.err, "") << '"' << text << '"';
    }
}

TEST_F(RequestText, PositionsAndAction) {
    Read r = read("1-3 d");
    ASSERT_EQ(r.result, 0) << r.err;
    auto reqs = requests_of(r.list);
    ASSERT_EQ(reqs.size(), 1u);
    const acecr_t &q = *reqs[0];
    EXPECT_EQ(nodes_of(q.positions.get()), (Ranges{{1, 3}}));
    EXPECT_EQ(q.action, 'd');
    EXPECT_EQ(q.selection, 0);
    EXPECT_EQ(q.match_op, 0);
    EXPECT_EQ(q.types, 0);
    EXPECT_FALSE(q.regex);
    EXPECT_EQ(q.match, nullptr);
    EXPECT_FALSE(q.action_flags);
    EXPECT_FALSE(q.entry_text);
    EXPECT_EQ(q.entry, nullptr);
}

TEST_F(RequestText, PositionForms) {
    struct {
        const char *text;
        Ranges positions;
        int action;
    } cases[] = {
        {"p", {}, 'p'},
        {"  0-$ p", {{0, RANGE_END}}, 'p'},
        {"$ p", {{RANGE_END, RANGE_END}}, 'p'},
        {"5,1-2n", {{1, 2}, {5, 5}}, 'n'},
        // A position text that cannot be read is left to the action, which
        // then has no letter to offer.
        {"1, 2 d", {{1, 1}}, 0},
    };
    for (const auto &c : cases) {
        Read r = read(c.text);
        if (c.action == 0) {
            EXPECT_EQ(r.result, -1) << c.text;
            EXPECT_EQ(r.err,
                      "Error: 2 d: Invalid ACL Entry\n"
                      "Error: 1, 2 d: request 1 \"1, 2 d\": no action letter at \"2 d\"\n"
                      "acecr_from_text: error-catched\n");
            continue;
        }
        ASSERT_EQ(r.result, 0) << c.text << ": " << r.err;
        ASSERT_NE(r.list, nullptr) << c.text;
        EXPECT_EQ(nodes_of(r.list->positions.get()), c.positions) << c.text;
        EXPECT_EQ(r.list->action, c.action) << c.text;
    }
}

TEST_F(RequestText, PatternSelections) {
    Read r = read("/^user:/ n; /^user:/!n ;/(ali|bo)b/p");
    ASSERT_EQ(r.result, 0) << r.err;
    auto reqs = requests_of(r.list);
    ASSERT_EQ(reqs.size(), 3u);

    EXPECT_EQ(reqs[0]->selection, 1);
    EXPECT_EQ(reqs[0]->action, 'n');
    EXPECT_EQ(reqs[0]->match, nullptr);
    ASSERT_TRUE(reqs[0]->regex);
    EXPECT_TRUE(matches(*reqs[0], "user:bob:r:allow"));
    EXPECT_FALSE(matches(*reqs[0], "group:user:r:allow"));

    EXPECT_EQ(reqs[1]->selection, -1);
    EXPECT_EQ(reqs[1]->action, 'n');
    ASSERT_TRUE(reqs[1]->regex);
    EXPECT_TRUE(matches(*reqs[1], "user:bob:r:allow"));

    // Extended syntax ("|" and groups without backslashes), case-sensitive;
    // the action may follow the closing "/" directly.
    EXPECT_EQ(reqs[2]->selection, 1);
    EXPECT_EQ(reqs[2]->action, 'p');
    ASSERT_TRUE(reqs[2]->regex);
    EXPECT_TRUE(matches(*reqs[2], "user:bob:r"));
    EXPECT_FALSE(matches(*reqs[2], "user:BOB:r"));
}

TEST_F(RequestText, EntrySelections) {
    struct {
        const char *text;
        int match_op;
    } cases[] = {{"/user:bob:r/+ p", '+'}, {"/user:bob:r/- p", '-'}, {"/user:bob:r/=p", '='}};
    for (const auto &c : cases) {
        Read r = read(c.text);
        ASSERT_EQ(r.result, 0) << c.text << ": " << r.err;
        const acecr_t &q = *r.list;
        EXPECT_EQ(q.selection, 1) << c.text;
        EXPECT_EQ(q.match_op, c.match_op) << c.text;
        EXPECT_FALSE(q.regex) << c.text;
        ASSERT_NE(q.match, nullptr) << c.text;
        EXPECT_EQ(q.match->tag, GACL_TAG_TYPE_USER);
        EXPECT_EQ(q.match->id, 1001u);
        EXPECT_EQ(q.match->perms, GACL_PERM_READ_DATA);
        EXPECT_EQ(q.match->flags, 0);
        EXPECT_EQ(q.match->entry_type, GACL_ENTRY_TYPE_ALLOW);
        EXPECT_EQ(q.action, 'p');
    }
    // The same text followed by a blank is a pattern.
    Read r = read("/user:bob:r/ p");
    ASSERT_EQ(r.result, 0) << r.err;
    EXPECT_EQ(r.list->match, nullptr);
    EXPECT_EQ(r.list->match_op, 0);
    ASSERT_TRUE(r.list->regex);
    EXPECT_TRUE(matches(*r.list, "user:bob:r"));
}

TEST_F(RequestText, LoneSlashIsSkipped) {
    Read r = read("/p");
    ASSERT_EQ(r.result, 0) << r.err;
    EXPECT_EQ(r.list->selection, 0);
    EXPECT_FALSE(r.list->regex);
    EXPECT_EQ(r.list->action, 'p');
}

TEST_F(RequestText, ActionFlagsAndNewEntry) {
    Read r = read("sg user:bob:rw:fd:deny;0 a  group@:r;auser:bob:r;$ i everyone@:");
    ASSERT_EQ(r.result, 0) << r.err;
    auto reqs = requests_of(r.list);
    ASSERT_EQ(reqs.size(), 4u);

    EXPECT_EQ(reqs[0]->action, 's');
    EXPECT_EQ(reqs[0]->action_flags, "g");
    EXPECT_EQ(reqs[0]->entry_text, "user:bob:rw:fd:deny");
    ASSERT_NE(reqs[0]->entry, nullptr);
    EXPECT_EQ(reqs[0]->entry->tag, GACL_TAG_TYPE_USER);
    EXPECT_EQ(reqs[0]->entry->id, 1001u);
    EXPECT_STREQ(reqs[0]->entry->name, "bob");
    EXPECT_EQ(reqs[0]->entry->perms, GACL_PERM_READ_DATA | GACL_PERM_WRITE_DATA);
    EXPECT_EQ(reqs[0]->entry->flags, GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT);
    EXPECT_EQ(reqs[0]->entry->entry_type, GACL_ENTRY_TYPE_DENY);

    // A blank after the letter: no flags.
    EXPECT_EQ(reqs[1]->action, 'a');
    EXPECT_FALSE(reqs[1]->action_flags);
    EXPECT_EQ(nodes_of(reqs[1]->positions.get()), (Ranges{{0, 0}}));
    EXPECT_EQ(reqs[1]->entry_text, "group@:r");
    ASSERT_NE(reqs[1]->entry, nullptr);
    EXPECT_EQ(reqs[1]->entry->tag, GACL_TAG_TYPE_GROUP_OBJ);

    // An entry written straight after the letter becomes its flags.
    EXPECT_EQ(reqs[2]->action, 'a');
    EXPECT_EQ(reqs[2]->action_flags, "user:bob:r");
    EXPECT_FALSE(reqs[2]->entry_text);
    EXPECT_EQ(reqs[2]->entry, nullptr);

    EXPECT_EQ(reqs[3]->action, 'i');
    EXPECT_EQ(reqs[3]->entry_text, "everyone@:");
    ASSERT_NE(reqs[3]->entry, nullptr);
    EXPECT_EQ(reqs[3]->entry->tag, GACL_TAG_TYPE_EVERYONE);
}

TEST_F(RequestText, UnknownActionLettersAreAccepted) {
    Read r = read("x; 2 Q");
    ASSERT_EQ(r.result, 0) << r.err;
    auto reqs = requests_of(r.list);
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0]->action, 'x');
    EXPECT_EQ(reqs[1]->action, 'Q');
}

TEST_F(RequestText, SplittingAndComments) {
    // ";", line feeds and carriage returns all end a piece; "#" comments out
    // only the rest of its own piece.
    Read r = read("1 d; 2 p\n3 n\r4 a everyone@:r;# 5 d\n  # 6 d; 7 p\r\n");
    ASSERT_EQ(r.result, 0) << r.err;
    std::string actions;
    std::vector<int> firsts;
    for (const acecr_t *q : requests_of(r.list)) {
        actions += static_cast<char>(q->action);
        firsts.push_back(q->positions ? q->positions->low : -1);
    }
    EXPECT_EQ(actions, "dpnap");
    EXPECT_EQ(firsts, (std::vector<int>{1, 2, 3, 4, 7}));
}

TEST_F(RequestText, SemicolonEndsAPieceEvenInsideAPattern) {
    // "/a" has a lone "/" and the action a; "b/ p" has the action b, the
    // flags "/" and the entry text "p", which is no entry.
    Read r = read("/a;b/ p");
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.err,
              "Error: Invalid ACL Entry\n"
              "Error: /a;b/ p: request 2 \"b/ p\": no \":\" after \"p\"\n"
              "acecr_from_text: error-catched\n");
    ASSERT_NE(r.list, nullptr);
    EXPECT_EQ(r.list->action, 'a');
    EXPECT_EQ(r.list->selection, 0);
    EXPECT_EQ(r.list->next, nullptr);
}

TEST_F(RequestText, FileTypes) {
    struct {
        const char *text;
        int types;
        Ranges positions;
    } cases[] = {
        {"{d} 1 p", 0x4000, {{1, 1}}},
        {"{fd}p", 0x8000 | 0x4000, {}},
        {"{ls-l}p", 0x4000, {}},
        // Letters up to an invalid character are kept.
        {"{dz}p", 0x4000, {}},
        {"{}p", 0, {}},
        // A "{" without "}" is skipped by itself.
        {"{1 p", 0, {{1, 1}}},
    };
    for (const auto &c : cases) {
        Read r = read(c.text);
        ASSERT_EQ(r.result, 0) << c.text << ": " << r.err;
        EXPECT_EQ(r.list->types, c.types) << c.text;
        EXPECT_EQ(nodes_of(r.list->positions.get()), c.positions) << c.text;
        EXPECT_EQ(r.list->action, 'p') << c.text;
    }
}

std::string regex_explanation(const char *pattern) {
    regex_t re;
    int rc = regcomp(&re, pattern, REG_EXTENDED);
    EXPECT_NE(rc, 0);
    char buf[1024];
    regerror(rc, &re, buf, sizeof buf);
    return buf;
}

// Each failure keeps its own line and adds one naming the request (its
// position in the text, and the text without surrounding blanks) and why.
TEST_F(RequestText, ErrorsAreCaughtAndReported) {
    const std::string caught = "acecr_from_text: error-catched\n";
    struct {
        const char *text;
        std::string message;
    } cases[] = {
        {"/user:nosuch:r/= p",
         "Error: user:nosuch:r: Invalid GACL Entry\n"
         "Error: /user:nosuch:r/= p: request 1 \"/user:nosuch:r/= p\": unknown user \"nosuch\"\n"},
        {"/owner@/+ p",
         "Error: owner@: Invalid GACL Entry\n"
         "Error: /owner@/+ p: request 1 \"/owner@/+ p\": no \":\" after \"owner@\"\n"},
        {"/a(/ p", "Error: a(: Regex: " + regex_explanation("a(") +
                       "\n"
                       "Error: /a(/ p: request 1 \"/a(/ p\": invalid pattern \"a(\"\n"},
        {"/^user:/",
         "Error: : Invalid ACL Entry\n"
         "Error: /^user:/: request 1 \"/^user:/\": no action letter\n"},
        {"1-3 /x/ 5 q",
         "Error: 5 q: Invalid ACL Entry\n"
         "Error: 1-3 /x/ 5 q: request 1 \"1-3 /x/ 5 q\": no action letter at \"5 q\"\n"},
        {"1 2 p",
         "Error: 2 p: Invalid ACL Entry\n"
         "Error: 1 2 p: request 1 \"1 2 p\": no action letter at \"2 p\"\n"},
        {"{d}",
         "Error: : Invalid ACL Entry\n"
         "Error: {d}: request 1 \"{d}\": no action letter\n"},
        {";; # note; 0 a user:nosuch:r ",
         "Error: Invalid ACL Entry\n"
         "Error: ;; # note; 0 a user:nosuch:r : request 4 \"0 a user:nosuch:r\": "
         "unknown user \"nosuch\"\n"},
        {"0 a user:bob:rz",
         "Error: Invalid ACL Entry\n"
         "Error: 0 a user:bob:rz: request 1 \"0 a user:bob:rz\": unknown permission letter 'z'\n"},
        {"0 a alice:r",
         "Error: Invalid ACL Entry\n"
         "Error: 0 a alice:r: request 1 \"0 a alice:r\": \"alice\" is both a user and a group: "
         "write user:alice or group:alice\n"},
        // The new entry is the whole rest of the piece, blanks included.
        {"0 a user:bob:r ;p",
         "Error: Invalid ACL Entry\n"
         "Error: 0 a user:bob:r ;p: request 1 \"0 a user:bob:r\": unknown permission letter ' '\n"},
    };
    for (const auto &c : cases) {
        Read r = read(c.text);
        EXPECT_EQ(r.result, -1) << c.text;
        EXPECT_EQ(r.err, c.message + caught) << c.text;
        EXPECT_EQ(r.list, nullptr) << c.text;
    }
}

TEST_F(RequestText, ErrorLinesCarryTheCommandName) {
    current_name_set("vossik edit-access");
    Read r = read("1 2 p");
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.err,
              "vossik edit-access: Error: 2 p: Invalid ACL Entry\n"
              "vossik edit-access: Error: 1 2 p: request 1 \"1 2 p\": no action letter at \"2 p\"\n"
              "acecr_from_text: error-catched\n");
}

// A failure after Ctrl-C is the cancellation's, not the text's: it passes
// the reader's recovery point on to the shell, without a message.
TEST_F(RequestText, CtrlCPassesTheReader) {
    cancel_install();
    ASSERT_EQ(std::raise(SIGINT), 0);
    std::unique_ptr<acecr_t> list;
    testing::internal::CaptureStderr();
    int status = 0;
    try {
        acecr_from_text(&list, "1 2 p");
    } catch (const command_abandoned &abandoned) {
        status = abandoned.status;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(status, CANCEL_STATUS);
    cancel_clear();
    std::signal(SIGINT, SIG_DFL);
}

TEST_F(RequestText, RequestsBeforeAFailureStayAppended) {
    Read first = read("p");
    ASSERT_EQ(first.result, 0);
    Read r = read("1 d; 2 n; 3 /x/; 4 p", std::move(first.list));
    EXPECT_EQ(r.result, -1);
    std::string actions;
    for (const acecr_t *q : requests_of(r.list))
        actions += static_cast<char>(q->action);
    EXPECT_EQ(actions, "pdn");
}

TEST_F(RequestText, ShellRecoveryPointIsInForceAfterwards) {
    Read r = read("/a(/ p");
    ASSERT_EQ(r.result, -1);
    testing::internal::CaptureStderr();
    try {
        report(1, 0, "later failure");
        ADD_FAILURE() << "report returned";
    } catch (const command_abandoned &abandoned) {
        EXPECT_EQ(abandoned.status, 1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: later failure\n");
}

TEST_F(RequestText, MissingArguments) {
    std::unique_ptr<acecr_t> list;
    errno = 0;
    EXPECT_EQ(acecr_from_text(&list, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(acecr_from_text(nullptr, "p"), -1);
    EXPECT_EQ(errno, EINVAL);
}

// Releasing a long script must not nest one destructor call per request:
// the list is released on a thread with a small stack.
TEST_F(RequestText, LongListsAreReleasedWithoutDeepRecursion) {
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += "p;";
    Read r = read(text.c_str());
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(requests_of(r.list).size(), 50000u);

    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 128 * 1024), 0);
    pthread_t thread;
    auto release = [](void *list) -> void * {
        static_cast<std::unique_ptr<acecr_t> *>(list)->reset();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, release, &r.list), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(r.list, nullptr);
}

class RequestGroups : public testing::Test {
  protected:
    void TearDown() override { acecr_groups_free(); }
};

TEST_F(RequestGroups, AppendKeepsOrderAndFreeEmpties) {
    std::unique_ptr<acecr_t> a, b;
    ASSERT_EQ(acecr_from_text(&a, "1 p; 2 p"), 0);
    ASSERT_EQ(acecr_from_text(&b, "d"), 0);
    EXPECT_EQ(acecr_group_append(std::move(a)), 0);
    EXPECT_EQ(acecr_group_append(nullptr), 0);
    EXPECT_EQ(acecr_group_append(std::move(b)), 0);

    std::vector<size_t> sizes;
    for (const acecr_group_t *g = acecr_groups.get(); g; g = g->next.get()) {
        sizes.push_back(requests_of(g->requests).size());
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{2, 0, 1}));
    EXPECT_EQ(acecr_groups->next->next->requests->action, 'd');

    acecr_groups_free();
    EXPECT_EQ(acecr_groups, nullptr);
    acecr_groups_free();
    EXPECT_EQ(acecr_groups, nullptr);
}

}  // namespace
