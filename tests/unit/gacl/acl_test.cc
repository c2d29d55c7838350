#include "gacl/acl.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "gacl/vocab.h"

namespace {

// Sets errno to a marker so a test can tell a set errno from a stale one.
void mark_errno() {
    errno = 12345;
}

gacl_entry_t append(gacl_t *acl, gacl_tag_t tag, uint32_t id = 0) {
    gacl_entry_t e = nullptr;
    EXPECT_EQ(gacl_create_entry_np(acl, &e, -1), 0);
    e->tag = tag;
    e->id = id;
    return e;
}

}  // namespace

TEST(GaclInit, RoomForWhatItWillHold) {
    struct {
        int requested, capacity;
    } cases[] = {{0, 0}, {-3, 0}, {3, 3}, {500, 500}, {GACL_MAX_ENTRIES + 1, GACL_MAX_ENTRIES}};
    for (auto c : cases) {
        gacl_ptr acl(gacl_init(c.requested));
        ASSERT_TRUE(acl) << c.requested;
        EXPECT_EQ(acl->capacity, c.capacity) << c.requested;
        EXPECT_EQ(acl->count, 0);
        EXPECT_EQ(acl->cursor, 0);
        EXPECT_EQ(acl->type, 0);
        EXPECT_EQ(acl->acl_flags, 0u);
        EXPECT_FALSE(acl->origin.known);
    }
}

TEST(GaclCreateEntry, PositionsAndZeroedEntries) {
    gacl_ptr acl(gacl_init(16));
    gacl_t h = acl.get();
    append(&h, GACL_TAG_TYPE_USER_OBJ);
    append(&h, GACL_TAG_TYPE_GROUP_OBJ);

    gacl_entry_t e = nullptr;
    ASSERT_EQ(gacl_create_entry_np(&h, &e, 2), 0);  // at count: appends
    e->tag = GACL_TAG_TYPE_EVERYONE;
    ASSERT_EQ(gacl_create_entry_np(&h, &e, 9), 0);  // beyond count: appends
    e->tag = GACL_TAG_TYPE_MASK;
    ASSERT_EQ(gacl_create_entry_np(&h, &e, 0), 0);  // front: the rest move back
    EXPECT_EQ(e, &acl->entries[0]);
    gacl_entry_t_struct zero{};
    EXPECT_EQ(std::memcmp(e, &zero, sizeof zero), 0) << "a new entry is all zero";
    EXPECT_EQ(e->entry_type, GACL_ENTRY_TYPE_ALLOW);

    gacl_tag_t want[] = {0, GACL_TAG_TYPE_USER_OBJ, GACL_TAG_TYPE_GROUP_OBJ, GACL_TAG_TYPE_EVERYONE,
                         GACL_TAG_TYPE_MASK};
    ASSERT_EQ(acl->count, 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(acl->entries[i].tag, want[i]) << i;
}

TEST(GaclCreateEntry, GrowsFromNothingToTheLimitThenEnomemAndUnchanged) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    for (int i = 0; i < GACL_MAX_ENTRIES; i++) {
        gacl_entry_t e = nullptr;
        // Inserting in front moves every entry each time, across every growth.
        ASSERT_EQ(gacl_create_entry_np(&h, &e, 0), 0) << i;
        e->tag = GACL_TAG_TYPE_USER;
        e->id = static_cast<uint32_t>(i);
        std::snprintf(e->name, sizeof e->name, "%d", i);
    }
    EXPECT_EQ(h, acl.get()) << "the ACL stays the same object";
    EXPECT_EQ(acl->count, GACL_MAX_ENTRIES);
    EXPECT_LE(acl->capacity, GACL_MAX_ENTRIES);
    gacl_entry_t e = nullptr;
    mark_errno();
    EXPECT_EQ(gacl_create_entry_np(&h, &e, 0), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(acl->count, GACL_MAX_ENTRIES);
    for (int i = 0; i < GACL_MAX_ENTRIES; i++) {
        EXPECT_EQ(acl->entries[i].id, static_cast<uint32_t>(GACL_MAX_ENTRIES - 1 - i)) << i;
        EXPECT_EQ(std::atoi(acl->entries[i].name), GACL_MAX_ENTRIES - 1 - i) << i;
    }
}

TEST(GaclCreateEntry, BadArguments) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    gacl_t none = nullptr;
    gacl_entry_t e = nullptr;
    gacl_entry_t_struct fake_header[2]{};
    gacl_t foreign = reinterpret_cast<gacl_t>(fake_header);
    struct {
        gacl_t *acl;
        gacl_entry_t *entry;
    } cases[] = {{nullptr, &e}, {&h, nullptr}, {&none, &e}, {&foreign, &e}};
    for (auto c : cases) {
        mark_errno();
        EXPECT_EQ(gacl_create_entry_np(c.acl, c.entry, 0), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(acl->count, 0);
}

TEST(GaclDeleteEntry, ShiftsForwardAndChecksPosition) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    for (uint32_t id = 10; id < 14; id++)
        append(&h, GACL_TAG_TYPE_USER, id);
    acl->cursor = 3;
    ASSERT_EQ(gacl_delete_entry_np(h, 1), 0);
    ASSERT_EQ(acl->count, 3);
    EXPECT_EQ(acl->entries[0].id, 10u);
    EXPECT_EQ(acl->entries[1].id, 12u);
    EXPECT_EQ(acl->entries[2].id, 13u);
    EXPECT_EQ(acl->cursor, 3) << "the cursor is not adjusted";
    ASSERT_EQ(gacl_delete_entry_np(h, 2), 0);  // the last one
    EXPECT_EQ(acl->count, 2);

    for (int pos : {-1, 2, 3}) {
        mark_errno();
        EXPECT_EQ(gacl_delete_entry_np(h, pos), -1) << pos;
        EXPECT_EQ(errno, EINVAL);
    }
    mark_errno();
    EXPECT_EQ(gacl_delete_entry_np(nullptr, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(acl->count, 2);
}

TEST(GaclGetEntry, WalksWithTheSharedCursor) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    gacl_entry_t e = nullptr;
    EXPECT_EQ(gacl_get_entry(h, GACL_FIRST_ENTRY, &e), 0) << "empty ACL";
    EXPECT_EQ(e, nullptr);

    for (uint32_t id = 0; id < 3; id++)
        append(&h, GACL_TAG_TYPE_USER, id);
    ASSERT_EQ(gacl_get_entry(h, GACL_FIRST_ENTRY, &e), 1);
    EXPECT_EQ(e, &acl->entries[0]);
    ASSERT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 1);
    EXPECT_EQ(e, &acl->entries[1]);
    ASSERT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 1);
    EXPECT_EQ(e, &acl->entries[2]);
    EXPECT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 0);
    EXPECT_EQ(e, &acl->entries[2]) << "the handle is left alone at the end";
    EXPECT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 0);

    // Positioned access moves the same cursor.
    ASSERT_EQ(gacl_get_entry_np(h, 1, &e), 1);
    EXPECT_EQ(e, &acl->entries[1]);
    ASSERT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 1);
    EXPECT_EQ(e, &acl->entries[2]);
    EXPECT_EQ(gacl_get_entry_np(h, 3, &e), 0) << "at count: no entry, no error";
    EXPECT_EQ(acl->cursor, 3);

    // A stray cursor never leads outside the array.
    acl->cursor = -5;
    EXPECT_EQ(gacl_get_entry(h, GACL_NEXT_ENTRY, &e), 0);
}

TEST(GaclGetEntry, BadArguments) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    append(&h, GACL_TAG_TYPE_EVERYONE);
    gacl_entry_t e = nullptr;
    struct {
        const char *what;
        int result;
    } cases[] = {
        {"entry id 2", gacl_get_entry(h, 2, &e)},
        {"entry id -1", gacl_get_entry(h, -1, &e)},
        {"null ACL", gacl_get_entry(nullptr, GACL_FIRST_ENTRY, &e)},
        {"position -1", gacl_get_entry_np(h, -1, &e)},
        {"position count+1", gacl_get_entry_np(h, 2, &e)},
        {"null ACL np", gacl_get_entry_np(nullptr, 0, &e)},
    };
    for (auto c : cases)
        EXPECT_EQ(c.result, -1) << c.what;
    mark_errno();
    EXPECT_EQ(gacl_get_entry(h, 2, &e), -1);
    EXPECT_EQ(errno, EINVAL);
    mark_errno();
    EXPECT_EQ(gacl_get_entry_np(h, 2, &e), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(GaclDup, IndependentCopyWithCursorAtStart) {
    gacl_ptr acl(gacl_init(20));
    gacl_t h = acl.get();
    acl->type = GACL_TYPE_NFS4;
    for (uint32_t id = 1000; id < 1003; id++) {
        gacl_entry_t e = append(&h, GACL_TAG_TYPE_USER, id);
        std::snprintf(e->name, sizeof e->name, "u%u", id);
        e->perms = GACL_PERM_READ_DATA;
        e->flags = GACL_FLAG_INHERITED;
        e->entry_type = GACL_ENTRY_TYPE_DENY;
    }
    acl->cursor = 2;

    acl->acl_flags = 0x2;
    acl->origin = gacl_origin_t{true, 7, 42};

    gacl_ptr copy(gacl_dup(h));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->entries, acl->entries);
    EXPECT_EQ(copy->type, GACL_TYPE_NFS4);
    EXPECT_EQ(copy->capacity, 3) << "room for what it holds";
    EXPECT_EQ(copy->count, 3);
    EXPECT_EQ(copy->cursor, 0);
    EXPECT_EQ(copy->acl_flags, 0x2u);
    EXPECT_TRUE(copy->origin.known);
    EXPECT_EQ(copy->origin.dev, 7u);
    EXPECT_EQ(copy->origin.ino, 42u);
    EXPECT_EQ(std::memcmp(copy->entries, acl->entries, 3 * sizeof(gacl_entry_t_struct)), 0);
    acl->entries[0].id = 1;
    EXPECT_EQ(copy->entries[0].id, 1000u);

    // The copy grows like any ACL.
    gacl_t c = copy.get();
    append(&c, GACL_TAG_TYPE_EVERYONE);
    EXPECT_EQ(copy->count, 4);
    EXPECT_EQ(copy->entries[2].id, 1002u);

    gacl_ptr empty(gacl_init(0));
    gacl_ptr empty_copy(gacl_dup(empty.get()));
    ASSERT_TRUE(empty_copy);
    EXPECT_EQ(empty_copy->count, 0);

    mark_errno();
    EXPECT_EQ(gacl_dup(nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST(GaclEntry, CopyEntry) {
    gacl_entry_t_struct src{GACL_TAG_TYPE_USER, 1001, "bob", 0x19, 0x83, GACL_ENTRY_TYPE_DENY};
    gacl_entry_t_struct dst{};
    ASSERT_EQ(gacl_copy_entry(&dst, &src), 0);
    EXPECT_EQ(std::memcmp(&dst, &src, sizeof src), 0);
    using Pair = std::pair<gacl_entry_t_struct *, const gacl_entry_t_struct *>;
    for (auto [d, s] : {Pair{&dst, &dst}, Pair{&dst, nullptr}, Pair{nullptr, &src}}) {
        mark_errno();
        EXPECT_EQ(gacl_copy_entry(d, s), -1);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST(GaclEntry, TagAndEntryTypeAccessors) {
    gacl_entry_t_struct e{GACL_TAG_TYPE_USER, 1001, "bob", 0, 0, 0};
    gacl_tag_t tag = 0;
    ASSERT_EQ(gacl_set_tag_type(&e, 777), 0) << "any value";
    ASSERT_EQ(gacl_get_tag_type(&e, &tag), 0);
    EXPECT_EQ(tag, 777u);
    EXPECT_EQ(e.id, 1001u);
    EXPECT_STREQ(e.name, "bob");

    gacl_entry_type_t type = 0;
    ASSERT_EQ(gacl_set_entry_type_np(&e, 9), 0) << "any value";
    ASSERT_EQ(gacl_get_entry_type_np(&e, &type), 0);
    EXPECT_EQ(type, 9);

    int results[] = {gacl_set_tag_type(nullptr, 1),          gacl_get_tag_type(nullptr, &tag),
                     gacl_get_tag_type(&e, nullptr),         gacl_set_entry_type_np(nullptr, 1),
                     gacl_get_entry_type_np(nullptr, &type), gacl_get_entry_type_np(&e, nullptr)};
    for (int r : results)
        EXPECT_EQ(r, -1);
}

TEST(GaclEntry, Qualifier) {
    gacl_entry_t_struct user{GACL_TAG_TYPE_USER, 1001, "bob", 0, 0, 0};
    gacl_qualifier_ptr q(gacl_get_qualifier(&user));
    ASSERT_TRUE(q);
    EXPECT_EQ(*q, 1001u);
    EXPECT_EQ(gacl_free(q.release()), 0);

    uint32_t id = 1002;
    ASSERT_EQ(gacl_set_qualifier(&user, &id), 0);
    EXPECT_EQ(user.id, 1002u);
    EXPECT_STREQ(user.name, "bob") << "the name text stays";

    gacl_entry_t_struct group{GACL_TAG_TYPE_GROUP, 20, "staff", 0, 0, 0};
    ASSERT_EQ(gacl_set_qualifier(&group, &id), 0);
    gacl_qualifier_ptr gq(gacl_get_qualifier(&group));
    ASSERT_TRUE(gq);
    EXPECT_EQ(*gq, 1002u);

    gacl_entry_t_struct owner{GACL_TAG_TYPE_USER_OBJ, 0xFFFFFFFF, "owner@", 0, 0, 0};
    mark_errno();
    EXPECT_EQ(gacl_get_qualifier(&owner), nullptr);
    EXPECT_EQ(errno, EINVAL);
    mark_errno();
    EXPECT_EQ(gacl_set_qualifier(&owner, &id), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(owner.id, 0xFFFFFFFFu);
    EXPECT_EQ(gacl_get_qualifier(nullptr), nullptr);
    EXPECT_EQ(gacl_set_qualifier(&user, nullptr), -1);
    EXPECT_EQ(gacl_set_qualifier(nullptr, &id), -1);
}

TEST(GaclEntry, PermsetAndFlagsetHandlesReachTheEntry) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    gacl_entry_t e = append(&h, GACL_TAG_TYPE_USER_OBJ);

    gacl_permset_t ps = nullptr;
    ASSERT_EQ(gacl_get_permset(e, &ps), 0);
    *ps = GACL_PERM_READ_DATA | GACL_PERM_EXECUTE;
    EXPECT_EQ(acl->entries[0].perms, 0x0009u);
    EXPECT_EQ(gacl_get_perm_np(ps, GACL_PERM_EXECUTE), 1);
    EXPECT_EQ(gacl_get_perm_np(ps, GACL_PERM_WRITE_DATA | GACL_PERM_READ_DATA), 1) << "any bit";
    EXPECT_EQ(gacl_get_perm_np(ps, GACL_PERM_WRITE_DATA), 0);

    gacl_flagset_t fs = nullptr;
    ASSERT_EQ(gacl_get_flagset_np(e, &fs), 0);
    ASSERT_EQ(gacl_add_flag_np(fs, GACL_FLAG_FILE_INHERIT | GACL_FLAG_INHERITED), 0);
    EXPECT_EQ(acl->entries[0].flags, 0x0081);
    EXPECT_EQ(gacl_get_flag_np(fs, GACL_FLAG_INHERITED), 1);
    ASSERT_EQ(gacl_delete_flag_np(fs, GACL_FLAG_INHERITED), 0);
    EXPECT_EQ(acl->entries[0].flags, 0x0001);
    EXPECT_EQ(gacl_get_flag_np(fs, GACL_FLAG_INHERITED), 0);
    ASSERT_EQ(gacl_clear_flags_np(fs), 0);
    EXPECT_EQ(acl->entries[0].flags, 0);

    // Setters copy the value behind a handle into another entry.
    gacl_entry_t_struct other{};
    gacl_perm_t perms = GACL_PERM_FULL_SET;
    gacl_flag_t flags = GACL_FLAG_INHERIT_ONLY;
    ASSERT_EQ(gacl_set_permset(&other, &perms), 0);
    ASSERT_EQ(gacl_set_flagset_np(&other, &flags), 0);
    EXPECT_EQ(other.perms, GACL_PERM_FULL_SET);
    EXPECT_EQ(other.flags, GACL_FLAG_INHERIT_ONLY);

    int results[] = {gacl_get_permset(nullptr, &ps),       gacl_get_permset(e, nullptr),
                     gacl_set_permset(nullptr, &perms),    gacl_set_permset(e, nullptr),
                     gacl_get_flagset_np(nullptr, &fs),    gacl_get_flagset_np(e, nullptr),
                     gacl_set_flagset_np(nullptr, &flags), gacl_set_flagset_np(e, nullptr),
                     gacl_get_perm_np(nullptr, 1),         gacl_get_flag_np(nullptr, 1),
                     gacl_clear_flags_np(nullptr),         gacl_add_flag_np(nullptr, 1),
                     gacl_delete_flag_np(nullptr, 1)};
    for (int r : results)
        EXPECT_EQ(r, -1);
    mark_errno();
    gacl_get_perm_np(nullptr, 1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(GaclFree, NullAndObjectsOfEachKind) {
    EXPECT_EQ(gacl_free(nullptr), 0);
    errno = EXDEV;
    EXPECT_EQ(gacl_free(gacl_init(0)), 0);
    EXPECT_EQ(gacl_free(gacl_new_text_np("owner@:r", 8)), 0);
    gacl_entry_t_struct user{GACL_TAG_TYPE_USER, 5, "", 0, 0, 0};
    EXPECT_EQ(gacl_free(gacl_get_qualifier(&user)), 0);
    EXPECT_EQ(errno, EXDEV) << "a release leaves errno alone";

    gacl_text_ptr empty(gacl_new_text_np(nullptr, 0));
    ASSERT_TRUE(empty);
    EXPECT_STREQ(empty.get(), "");
    mark_errno();
    EXPECT_EQ(gacl_new_text_np(nullptr, 3), nullptr) << "no text to copy";
    EXPECT_EQ(errno, EINVAL);
}

TEST(GaclFree, ForeignPointersAreEinvalAndNotReleased) {
    gacl_ptr acl(gacl_init(0));
    gacl_t h = acl.get();
    gacl_entry_t e = append(&h, GACL_TAG_TYPE_USER_OBJ);
    int local = 0;
    uint32_t kind_lookalike[2] = {GACL_KIND_ACL, 0};
    void *foreign[] = {&local, e, &kind_lookalike[1], reinterpret_cast<char *>(h) + 1};
    for (void *p : foreign) {
        mark_errno();
        EXPECT_EQ(gacl_free(p), -1);
        EXPECT_EQ(errno, EINVAL);
    }
    // The ACL the entry belongs to is still alive and usable.
    gacl_entry_t again = nullptr;
    EXPECT_EQ(gacl_get_entry(h, GACL_FIRST_ENTRY, &again), 1);
}

TEST(GaclFree, ReleasedAclIsNoLongerAccepted) {
    gacl_t acl = gacl_init(0);
    ASSERT_EQ(gacl_free(acl), 0);
    gacl_entry_t e = nullptr;
    // Only the handle's value is looked at, never the freed memory.
    mark_errno();
    EXPECT_EQ(gacl_get_entry(acl, GACL_FIRST_ENTRY, &e), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(gacl_dup(acl), nullptr);
}

namespace {

// Makes an object of the given kind, releases it, and releases it again.
void release_twice(int kind) {
    void *obj = nullptr;
    gacl_entry_t_struct user{GACL_TAG_TYPE_USER, 1, "", 0, 0, 0};
    if (kind == 0) obj = gacl_init(0);
    if (kind == 1) obj = gacl_new_text_np("x", 1);
    if (kind == 2) obj = gacl_get_qualifier(&user);
    gacl_free(obj);
    gacl_free(obj);
}

}  // namespace

TEST(GaclFreeDeathTest, SecondReleaseAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int kind = 0; kind < 3; kind++) {
        EXPECT_DEATH(release_twice(kind),
                     "^\\*\\*\\* gacl_free\\(0x[0-9a-f]+\\): Freeing already freed object\n")
            << kind;
    }
}

TEST(GaclFree, AddressReuseStartsAFreshLife) {
    // A new object at the address of a released one is live again; releasing
    // it is no double release.
    for (int i = 0; i < 100; i++) {
        gacl_t a = gacl_init(0);
        ASSERT_EQ(gacl_free(a), 0);
    }
}

TEST(GaclPtr, DeleterKeepsErrno) {
    {
        gacl_ptr acl(gacl_init(0));
        errno = ENOSPC;
    }
    EXPECT_EQ(errno, ENOSPC);
}
