#include "commands/update.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "base/config.h"
#include "base/report.h"
#include "gacl/acl.h"
#include "gacl/vocab.h"

namespace {

TEST(StripInheritance, KeepsOnlyTheInheritedFlag) {
    const gacl_flag_t flags[] = {
        GACL_FLAG_ALL,
        GACL_FLAG_FILE_INHERIT | GACL_FLAG_INHERIT_ONLY,
        GACL_FLAG_INHERITED | GACL_FLAG_NO_PROPAGATE_INHERIT,
        0,
    };
    gacl_ptr acl(gacl_init(0));
    for (gacl_flag_t f : flags) {
        gacl_t raw = acl.get();
        gacl_entry_t entry = nullptr;
        ASSERT_EQ(gacl_create_entry_np(&raw, &entry, -1), 0);
        entry->tag = GACL_TAG_TYPE_EVERYONE;
        entry->perms = GACL_PERM_READ_DATA;
        entry->flags = f | 0x0040;  // a bit of no flag goes too
    }
    ASSERT_EQ(strip_inheritance(acl.get()), 0);
    ASSERT_EQ(acl->count, 4);
    EXPECT_EQ(acl->entries[0].flags, GACL_FLAG_INHERITED);
    EXPECT_EQ(acl->entries[1].flags, 0);
    EXPECT_EQ(acl->entries[2].flags, GACL_FLAG_INHERITED);
    EXPECT_EQ(acl->entries[3].flags, 0);
    EXPECT_EQ(acl->entries[0].perms, GACL_PERM_READ_DATA);
}

TEST(StripInheritance, RefusesANullAcl) {
    EXPECT_EQ(strip_inheritance(nullptr), -1);
}

// A copy that cannot be made ends the command with the path first. An ACL
// the layer does not know stands in for memory running out.
TEST(UpdateAcl, CopyFailuresEndTheCommand) {
    struct {
        int32_t sort, merge;
        const char *err;
    } cases[] = {
        {1, 0, "Error: p: Sorting ACL: Invalid argument\n"},
        {0, 1, "Error: p: Merging ACL: Invalid argument\n"},
    };
    gacl_t_struct stranger{};
    struct stat st {};
    st.st_mode = S_IFREG | 0644;
    for (const auto &c : cases) {
        config = config_t{};
        config.sort = c.sort;
        config.merge = c.merge;
        testing::internal::CaptureStderr();
        int status = 0;
        try {
            update_acl("p", &st, &stranger, nullptr);
        } catch (const command_abandoned &e) {
            status = e.status;
        }
        EXPECT_EQ(status, 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    }
    config = config_t{};
}

}  // namespace
