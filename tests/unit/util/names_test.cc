#include "util/names.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

// Lets a test make every allocation of this program fail for a while.
namespace {
bool fail_allocations = false;
}

void *operator new(std::size_t size) {
    if (fail_allocations) throw std::bad_alloc();
    if (void *p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}

// The fixture database (tests/fixtures) is what nss_wrapper serves.

TEST(Names, IdsToNames) {
    EXPECT_STREQ(names_user_name(0), "root");
    EXPECT_STREQ(names_user_name(1001), "bob");
    EXPECT_STREQ(names_user_name(1234), "verylongusername");
    EXPECT_STREQ(names_group_name(1001), "devs");
    EXPECT_STREQ(names_group_name(1600), "shared");
    EXPECT_EQ(names_user_name(4242), nullptr);
    EXPECT_EQ(names_user_name(4294967294u), nullptr);
    EXPECT_EQ(names_group_name(1500), nullptr);  // a uid, not a gid
}

TEST(Names, NamesToIds) {
    uint32_t id = 77;
    EXPECT_TRUE(names_user_id("shared", &id));
    EXPECT_EQ(id, 1500u);
    EXPECT_TRUE(names_group_id("shared", &id));
    EXPECT_EQ(id, 1600u);
    EXPECT_TRUE(names_user_id("nobody", &id));
    EXPECT_EQ(id, 65534u);

    id = 77;
    EXPECT_FALSE(names_user_id("devs", &id));  // a group only
    EXPECT_FALSE(names_group_id("bob", &id));  // a user only
    EXPECT_FALSE(names_user_id("", &id));
    EXPECT_FALSE(names_user_id(nullptr, &id));
    EXPECT_EQ(id, 77u) << "a failed look-up leaves the id alone";
}

TEST(Names, AnswersAreCachedAndStable) {
    const char *first = names_user_name(1002);
    ASSERT_NE(first, nullptr);
    // Many other look-ups must not move the cached string.
    for (uint32_t id = 2000; id < 2200; id++)
        names_user_name(id);
    EXPECT_EQ(names_user_name(1002), first);
    EXPECT_STREQ(first, "carol");
    // Negative answers come back the same way.
    EXPECT_EQ(names_group_name(4242), nullptr);
    EXPECT_EQ(names_group_name(4242), nullptr);
    uint32_t id = 0;
    EXPECT_FALSE(names_group_id("nosuchgroup", &id));
    EXPECT_FALSE(names_group_id("nosuchgroup", &id));
}

TEST(Names, IdsAskedInTurnKeepTheirOwnAnswers) {
    // Ids that share the low bits (1001, 1017, 1033; 0, 16), asked in turn,
    // and the same number as a uid and as a gid.
    const struct {
        uint32_t id;
        const char *user;
        const char *group;
    } cases[] = {{1001, "bob", "devs"},    {1017, nullptr, nullptr}, {1033, nullptr, nullptr},
                 {0, "root", "root"},      {16, nullptr, nullptr},   {1600, nullptr, "shared"},
                 {1500, "shared", nullptr}};
    for (int round = 0; round < 3; round++) {
        for (const auto &c : cases) {
            const char *user = names_user_name(c.id);
            const char *group = names_group_name(c.id);
            EXPECT_STREQ(user, c.user) << c.id;
            EXPECT_STREQ(group, c.group) << c.id;
        }
    }
}

TEST(Names, KeepsErrno) {
    errno = EXDEV;
    names_user_name(31337);
    uint32_t id;
    names_group_id("nosuchgroup2", &id);
    names_user_id("alice", &id);
    EXPECT_EQ(errno, EXDEV);
}

TEST(Names, ExhaustedMemoryIsNotFoundAndNotRemembered) {
    uint32_t id = 77;
    errno = 0;
    fail_allocations = true;
    const char *name = names_user_name(1000);
    int name_error = errno;
    errno = 0;
    bool found = names_group_id("wheel", &id);
    int id_error = errno;
    fail_allocations = false;
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(name_error, ENOMEM);
    EXPECT_FALSE(found);
    EXPECT_EQ(id_error, ENOMEM);
    EXPECT_EQ(id, 77u);
    // Once memory is back the databases are asked again.
    EXPECT_STREQ(names_user_name(1000), "alice");
    EXPECT_TRUE(names_group_id("wheel", &id));
    EXPECT_EQ(id, 10u);
}
