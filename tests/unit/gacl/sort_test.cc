#include "gacl/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "gacl/text_out.h"
#include "gacl/vocab.h"

namespace {

constexpr gacl_entry_type_t ALLOW = GACL_ENTRY_TYPE_ALLOW, DENY = GACL_ENTRY_TYPE_DENY;
constexpr gacl_flag_t INH = GACL_FLAG_INHERITED, IO = GACL_FLAG_INHERIT_ONLY;
constexpr gacl_perm_t R = GACL_PERM_READ_DATA, W = GACL_PERM_WRITE_DATA, X = GACL_PERM_EXECUTE;

gacl_entry_t_struct make(gacl_tag_t tag, uint32_t id = 0, gacl_entry_type_t type = ALLOW,
                         gacl_perm_t perms = R, gacl_flag_t flags = 0) {
    gacl_entry_t_struct e{};
    e.tag = tag;
    e.id = id;
    e.perms = perms;
    e.flags = flags;
    e.entry_type = type;
    switch (tag) {
        case GACL_TAG_TYPE_USER_OBJ:
            std::strcpy(e.name, "owner@");
            break;
        case GACL_TAG_TYPE_GROUP_OBJ:
            std::strcpy(e.name, "group@");
            break;
        case GACL_TAG_TYPE_EVERYONE:
            std::strcpy(e.name, "everyone@");
            break;
        default:
            std::snprintf(e.name, sizeof e.name, "%u", id);
    }
    return e;
}

gacl_entry_t_struct owner(gacl_entry_type_t t = ALLOW, gacl_perm_t p = R, gacl_flag_t f = 0) {
    return make(GACL_TAG_TYPE_USER_OBJ, 0, t, p, f);
}
gacl_entry_t_struct user(uint32_t id, gacl_entry_type_t t = ALLOW, gacl_perm_t p = R,
                         gacl_flag_t f = 0) {
    return make(GACL_TAG_TYPE_USER, id, t, p, f);
}
gacl_entry_t_struct group_obj(gacl_perm_t p = R, gacl_flag_t f = 0) {
    return make(GACL_TAG_TYPE_GROUP_OBJ, 0, ALLOW, p, f);
}
gacl_entry_t_struct everyone(gacl_entry_type_t t = ALLOW, gacl_perm_t p = R, gacl_flag_t f = 0) {
    return make(GACL_TAG_TYPE_EVERYONE, 0, t, p, f);
}

gacl_ptr make_acl(const std::vector<gacl_entry_t_struct> &entries) {
    gacl_ptr acl(gacl_init(0));
    for (const auto &src : entries) {
        gacl_t h = acl.get();
        gacl_entry_t e = nullptr;
        EXPECT_EQ(gacl_create_entry_np(&h, &e, -1), 0);
        *e = src;
    }
    return acl;
}

// The ACL in compact text, one entry per element, for readable failures.
std::vector<std::string> texts(gacl_t acl) {
    std::vector<std::string> out;
    for (int i = 0; i < acl->count; i++) {
        char buf[GACL_ENTRY_TEXT_SIZE];
        gacl_entry_to_text_np(&acl->entries[i], buf, sizeof buf, GACL_TEXT_COMPACT);
        out.push_back(buf);
    }
    return out;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(EntryCompare, CanonicalRules) {
    struct {
        gacl_entry_t_struct a, b;
        int sign;
    } cases[] = {
        {owner(), everyone(), -1},
        {owner(ALLOW, R, INH), everyone(), 1},  // inherited after explicit
        {owner(ALLOW, R, IO), everyone(), 0},   // inherit_only is equal to its class
        {owner(ALLOW, R, INH | IO), everyone(ALLOW, R, INH), 0},
        {owner(ALLOW, R, INH | IO), everyone(), 1},  // but the class still counts
        {user(1001), group_obj(), -1},
        {user(1001), user(1002), -1},
        {user(1000), user(4294967294u), -1},  // unsigned ids
        {user(1), user(0x80000002u), -1},     // more than 2^31 apart
        {user(0x80000002u), user(1), 1},
        {make(GACL_TAG_TYPE_GROUP, 4294967295u), make(GACL_TAG_TYPE_GROUP, 0), 1},
        {user(1001, DENY), user(1001, ALLOW), -1},
        {user(1001, GACL_ENTRY_TYPE_ALARM), user(1001, GACL_ENTRY_TYPE_AUDIT), -1},
        {user(1001, ALLOW, R), user(1001, ALLOW, W, GACL_FLAG_FILE_INHERIT), 0},
        {owner(ALLOW), owner(DENY), 1},
        {make(GACL_TAG_TYPE_MASK), make(GACL_TAG_TYPE_OTHER), -1},
    };
    for (const auto &c : cases) {
        int r = gacl_entry_compare_np(&c.a, &c.b);
        int sign = (r > 0) - (r < 0);
        EXPECT_EQ(sign, c.sign) << c.a.name << " vs " << c.b.name;
        int back = gacl_entry_compare_np(&c.b, &c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b.name << " vs " << c.a.name;
    }
}

TEST(Sort, CanonicalOrderOnACopy) {
    gacl_ptr acl =
        make_acl({everyone(), user(1002), owner(), user(1001, DENY), user(1001), group_obj()});
    acl->acl_flags = 0x2;
    acl->origin = gacl_origin_t{true, 1, 2};
    const Texts before = texts(acl.get());
    gacl_ptr sorted(gacl_sort_np(acl.get()));
    ASSERT_TRUE(sorted);
    EXPECT_EQ(texts(sorted.get()), (Texts{"owner@:r", "user:1001:r::deny", "user:1001:r",
                                          "user:1002:r", "group@:r", "everyone@:r"}));
    EXPECT_EQ(texts(acl.get()), before) << "the argument is unchanged";
    // What belongs to the object the ACL was read from goes along.
    EXPECT_EQ(sorted->acl_flags, 0x2u);
    EXPECT_TRUE(sorted->origin.known);
    EXPECT_EQ(sorted->origin.ino, 2u);
    EXPECT_EQ(sorted->cursor, 0);
}

TEST(Sort, InheritedAfterExplicitAndUnsignedIds) {
    gacl_ptr acl = make_acl({owner(ALLOW, R, INH), everyone(), user(4294967294u), user(1000),
                             user(0x80000001u), user(1)});
    gacl_ptr sorted(gacl_sort_np(acl.get()));
    ASSERT_TRUE(sorted);
    EXPECT_EQ(texts(sorted.get()), (Texts{"user:1:r", "user:1000:r", "user:2147483649:r",
                                          "user:4294967294:r", "everyone@:r", "owner@:r:I"}));
}

TEST(Sort, InheritOnlyEntriesStayAPermutation) {
    // A deterministic mix of every class, with inherit_only entries that make
    // the comparison inconsistent. The sort must end, keep every entry once,
    // and still put explicit entries before inherited ones.
    const gacl_tag_t tags[] = {GACL_TAG_TYPE_USER_OBJ, GACL_TAG_TYPE_USER, GACL_TAG_TYPE_GROUP_OBJ,
                               GACL_TAG_TYPE_GROUP, GACL_TAG_TYPE_EVERYONE};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int round = 0; round < 50; round++) {
        std::vector<gacl_entry_t_struct> entries;
        int n = 1 + static_cast<int>(next() % 100);
        for (int i = 0; i < n; i++) {
            gacl_flag_t flags = 0;
            if (next() % 3 == 0) flags |= IO;
            if (next() % 4 == 0) flags |= INH;
            gacl_entry_t_struct e = make(tags[next() % 5], next() % 4, next() % 2 ? DENY : ALLOW,
                                         static_cast<gacl_perm_t>(i + 1), flags);
            entries.push_back(e);
        }
        gacl_ptr acl = make_acl(entries);
        gacl_ptr sorted(gacl_sort_np(acl.get()));
        ASSERT_TRUE(sorted);
        ASSERT_EQ(sorted->count, n);
        std::vector<gacl_perm_t> seen;  // each entry carries its index + 1 as permissions
        bool inherited_seen = false;
        for (int i = 0; i < n; i++) {
            const gacl_entry_t_struct &e = sorted->entries[i];
            seen.push_back(e.perms);
            ASSERT_EQ(std::memcmp(&e, &entries[e.perms - 1], sizeof e), 0);
            if (e.flags & INH) inherited_seen = true;
            EXPECT_FALSE(inherited_seen && !(e.flags & INH)) << "explicit after inherited";
        }
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < n; i++)
            ASSERT_EQ(seen[i], static_cast<gacl_perm_t>(i + 1));
    }
}

TEST(Sort, EntriesWithoutInheritOnlyComeOutOrdered) {
    std::vector<gacl_entry_t_struct> entries;
    for (uint32_t i = 0; i < 40; i++) {
        entries.push_back(user((i * 7919u) % 23 + (i % 2 ? 0x80000000u : 0), i % 3 ? ALLOW : DENY,
                               R, i % 5 ? 0 : INH));
        entries.push_back(make(i % 2 ? GACL_TAG_TYPE_GROUP : GACL_TAG_TYPE_EVERYONE, i));
    }
    gacl_ptr acl = make_acl(entries);
    gacl_ptr sorted(gacl_sort_np(acl.get()));
    ASSERT_TRUE(sorted);
    for (int i = 1; i < sorted->count; i++) {
        EXPECT_LE(gacl_entry_compare_np(&sorted->entries[i - 1], &sorted->entries[i]), 0) << i;
    }
}

TEST(Sort, FailsForADeadAcl) {
    errno = 0;
    EXPECT_EQ(gacl_sort_np(nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_merge_np(nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST(Merge, Examples) {
    struct {
        const char *what;
        std::vector<gacl_entry_t_struct> in;
        Texts out;
    } cases[] = {
        {"same user and type, merged in place of the first",
         {owner(), user(1001, ALLOW, R), everyone(), user(1001, ALLOW, W)},
         {"owner@:r", "user:1001:rw", "everyone@:r"}},
        {"allow and deny stay apart",
         {user(1001, ALLOW, R), user(1001, DENY, W)},
         {"user:1001:r", "user:1001:w::deny"}},
        {"different users stay apart", {user(1001), user(1002)}, {"user:1001:r", "user:1002:r"}},
        {"two inherited entries lose the inherited flag",
         {owner(ALLOW, R, INH), owner(ALLOW, W, INH)},
         {"owner@:rw"}},
        {"explicit and inherited stay apart",
         {owner(ALLOW, R), owner(ALLOW, W, INH)},
         {"owner@:r", "owner@:w:I"}},
        {"different principals",
         {owner(ALLOW, R | W | X),
          group_obj(R, GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT | IO)},
         {"owner@:rwx", "group@:r:fdi"}},
        {"a merged inherited entry then takes in explicit ones",
         {owner(ALLOW, R, INH), owner(ALLOW, W), owner(ALLOW, X, INH)},
         {"owner@:rwx"}},
        {"inherit_only is ORed in",
         {everyone(ALLOW, R), everyone(ALLOW, W, IO)},
         {"everyone@:rw:i"}},
        {"ids of owner@ entries do not matter",
         {make(GACL_TAG_TYPE_USER_OBJ, 5), make(GACL_TAG_TYPE_USER_OBJ, 6, ALLOW, W)},
         {"owner@:rw"}},
    };
    for (const auto &c : cases) {
        gacl_ptr acl = make_acl(c.in);
        const Texts before = texts(acl.get());
        gacl_ptr merged(gacl_merge_np(acl.get()));
        ASSERT_TRUE(merged) << c.what;
        EXPECT_EQ(texts(merged.get()), c.out) << c.what;
        EXPECT_EQ(texts(acl.get()), before) << c.what << ": the argument is unchanged";
    }
}

TEST(Merge, CarriesOnlyKnownBits) {
    gacl_ptr acl = make_acl(
        {user(1001, ALLOW, R | 0x0002, 0x0040), user(1001, ALLOW, W | 0x0004, 0x0040 | IO)});
    gacl_ptr merged(gacl_merge_np(acl.get()));
    ASSERT_TRUE(merged);
    ASSERT_EQ(merged->count, 1);
    EXPECT_EQ(merged->entries[0].perms, R | W | 0x0002) << "the first entry keeps its own bits";
    EXPECT_EQ(merged->entries[0].flags, 0x0040 | IO);
}

TEST(EntryMatch, ComparesEverythingButTheName) {
    gacl_entry_t_struct a = user(1001, ALLOW, R, GACL_FLAG_FILE_INHERIT);
    gacl_entry_t_struct b = a;
    std::strcpy(b.name, "bob");
    EXPECT_EQ(gacl_entry_match_np(&a, &b), 1);

    auto differs = [&](auto change) {
        gacl_entry_t_struct c = a;
        change(c);
        return gacl_entry_match_np(&a, &c);
    };
    EXPECT_EQ(differs([](auto &e) { e.flags |= 0x0040; }), 0) << "a flag bit of no flag";
    EXPECT_EQ(differs([](auto &e) { e.id = 1002; }), 0);
    EXPECT_EQ(differs([](auto &e) { e.tag = GACL_TAG_TYPE_GROUP; }), 0);
    EXPECT_EQ(differs([](auto &e) { e.perms |= 0x0004; }), 0);
    EXPECT_EQ(differs([](auto &e) { e.entry_type = DENY; }), 0);

    gacl_entry_t_struct o1 = make(GACL_TAG_TYPE_USER_OBJ, 0), o2 = make(GACL_TAG_TYPE_USER_OBJ, 9);
    EXPECT_EQ(gacl_entry_match_np(&o1, &o2), 1) << "only user and group entries compare ids";

    errno = 0;
    EXPECT_EQ(gacl_entry_match_np(nullptr, &a), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(gacl_entry_match_np(&a, nullptr), -1);
}

TEST(AclMatch, CountTypeAndOrder) {
    gacl_ptr acl = make_acl({everyone(), owner(), user(1001)});
    gacl_ptr copy(gacl_dup(acl.get()));
    EXPECT_EQ(gacl_match_np(acl.get(), copy.get()), 1);
    EXPECT_EQ(gacl_match_np(acl.get(), acl.get()), 1);

    gacl_ptr sorted(gacl_sort_np(acl.get()));
    EXPECT_EQ(gacl_match_np(acl.get(), sorted.get()), 0);

    copy->type = GACL_TYPE_NFS4;
    EXPECT_EQ(gacl_match_np(acl.get(), copy.get()), 0) << "parsed and read ACLs never match";
    copy->type = 0;
    ASSERT_EQ(gacl_delete_entry_np(copy.get(), 2), 0);
    EXPECT_EQ(gacl_match_np(acl.get(), copy.get()), 0);

    gacl_ptr empty1(gacl_init(0)), empty2(gacl_init(500));
    EXPECT_EQ(gacl_match_np(empty1.get(), empty2.get()), 1);

    errno = 0;
    EXPECT_EQ(gacl_match_np(acl.get(), nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    gacl_t_struct fake{};
    EXPECT_EQ(gacl_match_np(&fake, acl.get()), -1);
}
