// Scripts of edit-access (option "file"): long scripts are read whole and
// in order.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "edit/edit_access.h"
#include "support/tempdir.h"

namespace {

// 200,000 request lines land in one group, in order. Appending each line at
// the end of the list by walking it from its head took minutes for such a
// script; reading it line by line must stay linear.
TEST(EditScript, ManyLinesAreAppendedInOrder) {
    constexpr int LINES = 200000;
    std::string script;
    for (int i = 0; i < LINES; ++i)
        script += std::to_string(i) + " p\n";
    temp_dir dir;
    std::string path = dir.write("script", script);

    ASSERT_EQ(edit_script_option("file", path.c_str(), 0, nullptr, nullptr, "edit-access"), 0);
    ASSERT_NE(acecr_groups, nullptr);
    EXPECT_EQ(acecr_groups->next, nullptr);
    int count = 0;
    bool in_order = true;
    for (const acecr_t *req = acecr_groups->requests.get(); req; req = req->next.get()) {
        in_order = in_order && req->positions && req->positions->low == count;
        ++count;
    }
    EXPECT_EQ(count, LINES);
    EXPECT_TRUE(in_order);

    // A second script goes into a group of its own.
    path = dir.write("more", "1 d\n2 d\n");
    ASSERT_EQ(edit_script_option("file", path.c_str(), 0, nullptr, nullptr, "edit-access"), 0);
    ASSERT_NE(acecr_groups->next, nullptr);
    EXPECT_EQ(acecr_groups->next->requests->next->positions->low, 2);
    acecr_groups_free();
}

}  // namespace
