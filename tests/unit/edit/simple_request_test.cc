// The simple change request reader of edit-access.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "edit/edit_access.h"
#include "gacl/vocab.h"

namespace {

std::vector<const acecr_t *> requests_of(const std::unique_ptr<acecr_t> &list) {
    std::vector<const acecr_t *> out;
    for (const acecr_t *r = list.get(); r; r = r->next.get())
        out.push_back(r);
    return out;
}

TEST(SimpleRequest, Pieces) {
    std::unique_ptr<acecr_t> list = acecr_from_simple_text(
        "  user:bob:rw;group:staff,/user:nosuch/user:alice:x/g?d,/owner@:r?zf");
    ASSERT_NE(list, nullptr);
    auto reqs = requests_of(list);
    ASSERT_EQ(reqs.size(), 4u);

    // Set: the entry is both what to look for and what to write.
    EXPECT_EQ(reqs[0]->action, 'S');
    EXPECT_EQ(reqs[0]->selection, 1);
    EXPECT_EQ(reqs[0]->match_op, 0);
    ASSERT_NE(reqs[0]->match, nullptr);
    ASSERT_NE(reqs[0]->entry, nullptr);
    EXPECT_EQ(reqs[0]->match->id, 1001u);
    EXPECT_EQ(reqs[0]->entry->perms, GACL_PERM_READ_DATA | GACL_PERM_WRITE_DATA);
    EXPECT_EQ(reqs[0]->types, 0);
    EXPECT_FALSE(reqs[0]->action_flags);

    // No permissions: delete.
    EXPECT_EQ(reqs[1]->action, 'd');
    EXPECT_EQ(reqs[1]->match->tag, GACL_TAG_TYPE_GROUP);
    EXPECT_EQ(reqs[1]->match->id, 20u);

    // Search and replace: the search side may name anybody; the flags after
    // a third "/" are kept; "?" limits the file types.
    EXPECT_EQ(reqs[2]->action, 's');
    EXPECT_EQ(reqs[2]->selection, 1);
    EXPECT_EQ(reqs[2]->match->tag, GACL_TAG_TYPE_USER);
    EXPECT_EQ(reqs[2]->entry->id, 1000u);
    EXPECT_EQ(reqs[2]->entry->perms, GACL_PERM_EXECUTE);
    EXPECT_EQ(reqs[2]->action_flags, "g");
    EXPECT_EQ(reqs[2]->types, S_IFDIR);

    // A lone leading "/" is dropped; type letters stop quietly at a bad one.
    EXPECT_EQ(reqs[3]->action, 'S');
    EXPECT_EQ(reqs[3]->match->tag, GACL_TAG_TYPE_USER_OBJ);
    EXPECT_EQ(reqs[3]->types, 0);
    EXPECT_FALSE(reqs[3]->regex);
}

TEST(SimpleRequest, EmptyFlagsAfterThirdSlash) {
    std::unique_ptr<acecr_t> list = acecr_from_simple_text("/user:bob/user:bob:r/");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->action_flags, "");
    EXPECT_EQ(list->next, nullptr);
}

TEST(SimpleRequest, Unreadable) {
    for (const char *text : {"", " \t ", "user:bob:r,", ",user:bob:r", "user:bob:r;;owner@:r",
                             "/user:bob/user:nosuch:r/", "/user:bob/", "user:bob:q"}) {
        errno = 0;
        EXPECT_EQ(acecr_from_simple_text(text), nullptr) << '"' << text << '"';
        EXPECT_EQ(errno, EINVAL) << '"' << text << '"';
    }
    EXPECT_EQ(acecr_from_simple_text(nullptr), nullptr);
}

}  // namespace
