// The system binding, on files of a temporary directory through the Linux
// store (Samba's attribute security.nfs4acl_xdr, read back with getxattr),
// and through a scripted store for what no Linux store hands out.
#include "gacl/system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "gacl/vocab.h"
#include "platform/acl_store.h"
#include "support/tempdir.h"
#include "unit/platform/acl_bytes.h"

namespace {

struct expect_entry {
    gacl_tag_t tag;
    uint32_t id;  // compared for user and group entries only
    const char *name;
    gacl_perm_t perms;
    gacl_flag_t flags;
    gacl_entry_type_t type;
};

void add(gacl_t acl, const expect_entry &x) {
    gacl_entry_t e;
    ASSERT_EQ(gacl_create_entry_np(&acl, &e, -1), 0);
    e->tag = x.tag;
    e->id = x.id;
    std::strcpy(e->name, x.name);
    e->perms = x.perms;
    e->flags = x.flags;
    e->entry_type = x.type;
}

gacl_ptr make(std::initializer_list<expect_entry> entries, int capacity = 0) {
    gacl_ptr acl(gacl_init(capacity));
    for (const expect_entry &x : entries)
        add(acl.get(), x);
    return acl;
}

void expect_acl(gacl_t acl, std::initializer_list<expect_entry> expected) {
    ASSERT_NE(acl, nullptr);
    EXPECT_EQ(acl->type, GACL_TYPE_NFS4);
    ASSERT_EQ(acl->count, static_cast<int>(expected.size()));
    int i = 0;
    for (const expect_entry &x : expected) {
        const gacl_entry_t_struct &e = acl->entries[i++];
        SCOPED_TRACE(i);
        EXPECT_EQ(e.tag, x.tag);
        if (x.tag == GACL_TAG_TYPE_USER || x.tag == GACL_TAG_TYPE_GROUP) {
            EXPECT_EQ(e.id, x.id);
        }
        EXPECT_STREQ(e.name, x.name);
        EXPECT_EQ(e.perms, x.perms);
        EXPECT_EQ(e.flags, x.flags);
        EXPECT_EQ(e.entry_type, x.type);
    }
}

constexpr gacl_entry_type_t ALLOW = GACL_ENTRY_TYPE_ALLOW, DENY = GACL_ENTRY_TYPE_DENY,
                            AUDIT = GACL_ENTRY_TYPE_AUDIT, ALARM = GACL_ENTRY_TYPE_ALARM;

std::string file(const temp_dir &dir, const char *name, mode_t mode) {
    std::string f = dir.write(name, "x");
    EXPECT_EQ(chmod(f.c_str(), mode), 0);
    return f;
}

TEST(GaclSystem, FileWithoutStoredAclReadsAsTheTrivialAclOfItsMode) {
    temp_dir dir;
    const struct {
        mode_t mode;
        gacl_perm_t owner, group, everyone;
    } cases[] = {
        {0644, 0xF6F8, 0x9248, 0x9248},  // rw-p--aARWcCos, r-----a-R-c--s twice
        {0750, 0xF6F9, 0x9249, 0x9240},
        {0000, 0xF6C0, 0x9240, 0x9240},
        {0777, 0xF6F9, 0x9279, 0x9279},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        std::string f = file(dir, ("f" + std::to_string(c.mode)).c_str(), c.mode);
        gacl_ptr acl(gacl_get_file(f.c_str(), GACL_TYPE_NFS4));
        expect_acl(acl.get(), {{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", c.owner, 0, ALLOW},
                               {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", c.group, 0, ALLOW},
                               {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", c.everyone, 0, ALLOW}});
        int trivial = -1;
        ASSERT_EQ(gacl_is_trivial_np(acl.get(), &trivial), 0);
        EXPECT_EQ(trivial, 1);
    }
}

TEST(GaclSystem, SetThenGetReturnsTheSameEntriesAndStoresTheExpectedBytes) {
    temp_dir dir;
    std::string f = file(dir, "f", 0640);
    gacl_ptr acl = make({
        {GACL_TAG_TYPE_USER_OBJ, 0, "owner@", GACL_PERM_FULL_SET, 0, ALLOW},
        {GACL_TAG_TYPE_USER, 1000, "alice", GACL_PERM_READ_SET, GACL_FLAG_ALL, ALLOW},
        {GACL_TAG_TYPE_GROUP, 1001, "devs", GACL_PERM_WRITE_DATA,
         GACL_FLAG_FILE_INHERIT | GACL_FLAG_INHERIT_ONLY, DENY},
        {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", GACL_PERM_READ_DATA, 0, ALLOW},
        {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_DELETE, GACL_FLAG_SUCCESSFUL_ACCESS,
         AUDIT},
        {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_EXECUTE, GACL_FLAG_FAILED_ACCESS, ALARM},
    });
    ASSERT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, acl.get()), 0);
    EXPECT_EQ(acl->count, 6);  // the caller's ACL stays as it was

    // type, flag, iflag, access mask, who; 0x40 marks the named group.
    EXPECT_EQ(stored(f), words({0, 6,                          //
                                0, 0x00, 1, 0x001F01FF, 1,     // owner@ full_set
                                0, 0xBF, 0, 0x00020089, 1000,  // alice read_set, all flags
                                1, 0x49, 0, 0x00000002, 1001,  // devs deny w, f and i
                                0, 0x00, 1, 0x00000001, 2,     // group@ r
                                2, 0x10, 1, 0x00010000, 3,     // everyone@ audit d
                                3, 0x20, 1, 0x00000020, 3}));  // everyone@ alarm x

    gacl_ptr back(gacl_get_file(f.c_str(), GACL_TYPE_NFS4));
    expect_acl(back.get(),
               {{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", GACL_PERM_FULL_SET, 0, ALLOW},
                {GACL_TAG_TYPE_USER, 1000, "alice", GACL_PERM_READ_SET, GACL_FLAG_ALL, ALLOW},
                {GACL_TAG_TYPE_GROUP, 1001, "devs", GACL_PERM_WRITE_DATA,
                 GACL_FLAG_FILE_INHERIT | GACL_FLAG_INHERIT_ONLY, DENY},
                {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", GACL_PERM_READ_DATA, 0, ALLOW},
                {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_DELETE,
                 GACL_FLAG_SUCCESSFUL_ACCESS, AUDIT},
                {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_EXECUTE, GACL_FLAG_FAILED_ACCESS,
                 ALARM}});
    EXPECT_EQ(back->capacity, 6) << "room for what it holds, no more";
    int trivial = -1;
    ASSERT_EQ(gacl_is_trivial_np(back.get(), &trivial), 0);
    EXPECT_EQ(trivial, 0);

    // The link variant on a file that is not a link; an empty ACL stays empty.
    gacl_ptr empty(gacl_init(0));
    ASSERT_EQ(gacl_set_link_np(f.c_str(), GACL_TYPE_NFS4, empty.get()), 0);
    EXPECT_EQ(stored(f), words({0, 0}));
    back.reset(gacl_get_link_np(f.c_str(), GACL_TYPE_NFS4));
    expect_acl(back.get(), {});
}

TEST(GaclSystem, IdsWithoutANameReadAsTheirNumber) {
    temp_dir dir;
    std::string f = file(dir, "f", 0600);
    gacl_ptr acl = make({{GACL_TAG_TYPE_USER, 4242, "x", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_USER, 4294967294u, "x", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_GROUP, 4242, "x", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_USER, 1500, "x", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_GROUP, 1600, "x", 8, 0, ALLOW}});
    ASSERT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, acl.get()), 0);
    gacl_ptr back(gacl_get_file(f.c_str(), GACL_TYPE_NFS4));
    expect_acl(back.get(), {{GACL_TAG_TYPE_USER, 4242, "4242", 8, 0, ALLOW},
                            {GACL_TAG_TYPE_USER, 4294967294u, "-2", 8, 0, ALLOW},
                            {GACL_TAG_TYPE_GROUP, 4242, "4242", 8, 0, ALLOW},
                            {GACL_TAG_TYPE_USER, 1500, "shared", 8, 0, ALLOW},
                            {GACL_TAG_TYPE_GROUP, 1600, "shared", 8, 0, ALLOW}});
}

TEST(GaclSystem, DeleteWritesTheTrivialAclOfTheMode) {
    temp_dir dir;
    std::string f = file(dir, "f", 0750);
    gacl_ptr acl = make({{GACL_TAG_TYPE_USER, 1000, "alice", GACL_PERM_FULL_SET, 0, ALLOW}});
    ASSERT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, acl.get()), 0);
    ASSERT_EQ(gacl_delete_file_np(f.c_str(), GACL_TYPE_NFS4), 0);
    // owner@ rwxp + base, group@ rx + base, everyone@ base only.
    EXPECT_EQ(stored(f), words({0, 3,                    //
                                0, 0, 1, 0x001E01BF, 1,  //
                                0, 0, 1, 0x001200A9, 2,  //
                                0, 0, 1, 0x00120088, 3}));
    gacl_ptr back(gacl_get_file(f.c_str(), GACL_TYPE_NFS4));
    expect_acl(back.get(), {{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0xF6F9, 0, ALLOW},
                            {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0x9249, 0, ALLOW},
                            {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0x9240, 0, ALLOW}});
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);

    // The link variant on a directory that is not a link.
    ASSERT_EQ(mkdir(dir.file("d").c_str(), 0700), 0);
    ASSERT_EQ(gacl_delete_link_np(dir.file("d").c_str(), GACL_TYPE_NFS4), 0);
    EXPECT_EQ(stored(dir.file("d")).size(), 8u + 3 * 20);

    errno = 0;
    EXPECT_EQ(gacl_delete_file_np(dir.file("missing").c_str(), GACL_TYPE_NFS4), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(GaclSystem, SymbolicLinksThemselvesHaveNoAcl) {
    temp_dir dir;
    std::string f = file(dir, "f", 0600);
    std::string l = dir.file("l");
    ASSERT_EQ(symlink("f", l.c_str()), 0);
    gacl_ptr acl = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW}});
    errno = 0;
    EXPECT_EQ(gacl_get_link_np(l.c_str(), GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_set_link_np(l.c_str(), GACL_TYPE_NFS4, acl.get()), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_delete_link_np(l.c_str(), GACL_TYPE_NFS4), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_TRUE(stored(f).empty());

    // Through the link, the file's own mode gives its trivial ACL (not the
    // link's 0777, which would open the file to everyone).
    ASSERT_EQ(gacl_set_file(l.c_str(), GACL_TYPE_NFS4, acl.get()), 0);
    ASSERT_EQ(gacl_delete_file_np(l.c_str(), GACL_TYPE_NFS4), 0);
    gacl_ptr back(gacl_get_file(l.c_str(), GACL_TYPE_NFS4));
    expect_acl(back.get(), {{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 0xF6F8, 0, ALLOW},
                            {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 0x9240, 0, ALLOW},
                            {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 0x9240, 0, ALLOW}});
}

TEST(GaclSystem, AclsBeyond128EntriesAreReadAndWrittenBackUntilTheStoreRefuses) {
    temp_dir dir;
    std::string f = file(dir, "f", 0600);
    // Written by someone else: 129 entries, more than an ACL once held.
    bytes big = words({0x2, 129});
    for (uint32_t i = 0; i < 129; ++i)
        big = big + words({0, 0, 0, 1, 3000 + i});
    ASSERT_EQ(setxattr(f.c_str(), "security.nfs4acl_xdr", big.data(), big.size(), 0), 0);
    gacl_ptr back(gacl_get_file(f.c_str(), GACL_TYPE_NFS4));
    ASSERT_NE(back, nullptr) << std::strerror(errno);
    EXPECT_EQ(back->count, 129);
    EXPECT_EQ(back->capacity, 129);
    EXPECT_STREQ(back->entries[128].name, "3128");
    add(back.get(), {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", GACL_PERM_READ_DATA, 0, ALLOW});
    ASSERT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, back.get()), 0) << std::strerror(errno);
    bytes expected = words({0x2, 130}) + bytes(big.begin() + 8, big.end()) + words({0, 0, 1, 1, 3});
    EXPECT_EQ(stored(f), expected);

    // What does not fit one attribute value (64 KiB, 3276 entries) fails
    // with the kernel's errno, and the old ACL stays.
    gacl_ptr huge(gacl_init(0));
    for (uint32_t i = 0; i < 3277; ++i)
        add(huge.get(), {GACL_TAG_TYPE_USER, 5000 + i, "", GACL_PERM_READ_DATA, 0, ALLOW});
    errno = 0;
    EXPECT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, huge.get()), -1);
    EXPECT_EQ(errno, E2BIG);
    EXPECT_EQ(stored(f), expected);
}

TEST(GaclSystem, WritesRefuseEntriesTheSystemCannotHold) {
    temp_dir dir;
    std::string f = file(dir, "f", 0600);
    gacl_ptr good = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW}});
    ASSERT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, good.get()), 0);
    const bytes before = stored(f);
    const struct {
        const char *what;
        expect_entry bad;
    } cases[] = {
        {"user -1", {GACL_TAG_TYPE_USER, GACL_UNDEFINED_ID, "ghost", 8, 0, ALLOW}},
        {"group -1", {GACL_TAG_TYPE_GROUP, GACL_UNDEFINED_ID, "ghost", 8, 0, ALLOW}},
        {"entry type 4", {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 8, 0, 4}},
        {"entry type -1", {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 8, 0, -1}},
        {"no tag", {GACL_TAG_TYPE_UNKNOWN, 0, "bob", 8, 0, ALLOW}},
        {"mask", {GACL_TAG_TYPE_MASK, 0, "", 8, 0, ALLOW}},
        {"other", {GACL_TAG_TYPE_OTHER, 0, "", 8, 0, ALLOW}},
        {"unknown tag", {128, 0, "", 8, 0, ALLOW}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        gacl_ptr acl = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW}, c.bad});
        errno = 0;
        EXPECT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, acl.get()), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(acl->count, 2);  // still the caller's, still usable
        EXPECT_EQ(stored(f), before);
    }
    errno = 0;
    EXPECT_EQ(gacl_set_file(f.c_str(), 0, good.get()), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_set_file(f.c_str(), GACL_TYPE_NFS4, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_get_file(f.c_str(), 1), nullptr);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_get_file(dir.file("missing").c_str(), GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

// A store that hands out what a test puts in it.
class scripted_store : public acl_store {
  public:
    sys_acl acl;
    int error = 0;
    int get(const char *, bool, sys_acl *out) override {
        if (error) return errno = error, -1;
        *out = acl;
        return 0;
    }
    int set(const char *, bool, const sys_acl &in) override {
        if (error) return errno = error, -1;
        acl = in;
        return 0;
    }
    // The modes of the statuses writes were handed (0: none).
    std::vector<mode_t> write_statuses;
    int set_known(const char *path, bool link, const struct stat &known,
                  const sys_acl &in) override {
        write_statuses.back() = known.st_mode;
        return set(path, link, in);
    }
    int set_at(int dirfd, const char *name, const struct stat *known, const sys_acl &in) override {
        write_statuses.push_back(0);
        return acl_store::set_at(dirfd, name, known, in);
    }
};

class GaclSystemScripted : public ::testing::Test {
  protected:
    void SetUp() override { before_ = acl_store_use(&store_); }
    void TearDown() override { acl_store_use(before_); }

    static sys_acl_entry entry(uint32_t tag, uint32_t id, uint16_t type = 0x100) {
        sys_acl_entry e;
        e.tag = tag;
        e.id = id;
        e.perm = 0x8;
        e.entry_type = type;
        return e;
    }

    scripted_store store_;
    acl_store *before_ = nullptr;
};

TEST_F(GaclSystemScripted, ReadsRefuseWhatTheProgramCannotRepresent) {
    const struct {
        const char *what;
        sys_acl_entry e;
    } cases[] = {
        {"tag 0", entry(0, 0)},
        {"mask", entry(16, 0)},
        {"other", entry(32, 0)},
        {"entry type 0", entry(1, 0, 0)},
        {"entry type 0x300", entry(1, 0, 0x300)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        store_.acl = {entry(1, 0), c.e};
        errno = 0;
        EXPECT_EQ(gacl_get_file("x", GACL_TYPE_NFS4), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
    store_.error = EACCES;
    errno = 0;
    EXPECT_EQ(gacl_get_link_np("x", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, EACCES);
}

TEST_F(GaclSystemScripted, ReadsHoldUpToTheLimitOfAnAcl) {
    store_.acl = sys_acl(GACL_MAX_ENTRIES, entry(64, 0));
    gacl_ptr acl(gacl_get_file("x", GACL_TYPE_NFS4));
    ASSERT_NE(acl, nullptr);
    EXPECT_EQ(acl->count, GACL_MAX_ENTRIES);
    EXPECT_EQ(acl->capacity, GACL_MAX_ENTRIES);
    store_.acl.push_back(entry(64, 0));
    errno = 0;
    EXPECT_EQ(gacl_get_file("x", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, ENOMEM);
}

// -1 is the id of no user or group: a write refuses it, so a read does too,
// and an ACL holding it is never shown as if it could be written back.
TEST_F(GaclSystemScripted, ReadsRefuseTheIdThatNoWriteTakes) {
    for (uint32_t tag : {2u, 8u}) {
        SCOPED_TRACE(tag);
        store_.acl = {entry(1, 0), entry(tag, 0xFFFFFFFF)};
        errno = 0;
        EXPECT_EQ(gacl_get_file("x", GACL_TYPE_NFS4), nullptr);
        EXPECT_EQ(errno, EOVERFLOW);
    }
    // Other large ids are ids like any other, and go back as they came.
    store_.acl = {entry(2, 0xFFFFFFFE), entry(8, 0x80000000)};
    gacl_ptr acl(gacl_get_file("x", GACL_TYPE_NFS4));
    expect_acl(acl.get(), {{GACL_TAG_TYPE_USER, 0xFFFFFFFE, "-2", 8, 0, ALLOW},
                           {GACL_TAG_TYPE_GROUP, 0x80000000, "-2147483648", 8, 0, ALLOW}});
    sys_acl read = store_.acl;
    ASSERT_EQ(gacl_set_file("x", GACL_TYPE_NFS4, acl.get()), 0);
    EXPECT_EQ(store_.acl, read);
}

TEST_F(GaclSystemScripted, TheAclWideWordAndItsObjectGoBothWays) {
    store_.acl = {entry(1, 0)};
    store_.acl.acl_flags = 0x3;
    store_.acl.origin = sys_acl_origin{true, 9, 77};
    gacl_ptr acl(gacl_get_file("x", GACL_TYPE_NFS4));
    ASSERT_NE(acl, nullptr);
    EXPECT_EQ(acl->acl_flags, 0x3u);
    EXPECT_TRUE(acl->origin.known);
    EXPECT_EQ(acl->origin.dev, 9u);
    EXPECT_EQ(acl->origin.ino, 77u);

    store_.acl = {};
    ASSERT_EQ(gacl_set_file("x", GACL_TYPE_NFS4, acl.get()), 0);
    EXPECT_EQ(store_.acl.acl_flags, 0x3u);
    EXPECT_TRUE(store_.acl.origin.known);
    EXPECT_EQ(store_.acl.origin.dev, 9u);
    EXPECT_EQ(store_.acl.origin.ino, 77u);

    // An ACL made from nothing names no object: the store keeps the
    // target's own word.
    gacl_ptr made = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW}});
    ASSERT_EQ(gacl_set_file("x", GACL_TYPE_NFS4, made.get()), 0);
    EXPECT_FALSE(store_.acl.origin.known);
    EXPECT_EQ(store_.acl.acl_flags, 0u);
}

TEST_F(GaclSystemScripted, ReadsKeepUnknownTagsWithoutAName) {
    store_.acl = {entry(1, 0), entry(2, 1001), entry(128, 7), entry(8, 1001)};
    gacl_ptr acl(gacl_get_file("x", GACL_TYPE_NFS4));
    expect_acl(acl.get(), {{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW},
                           {GACL_TAG_TYPE_USER, 1001, "bob", 8, 0, ALLOW},
                           {128, 7, "", 8, 0, ALLOW},
                           {GACL_TAG_TYPE_GROUP, 1001, "devs", 8, 0, ALLOW}});
}

TEST_F(GaclSystemScripted, WritesPassFieldsThrough) {
    gacl_ptr acl = make({{GACL_TAG_TYPE_GROUP, 20, "staff", 0xFFFFFFFF, 0xFFFF, ALARM},
                         {GACL_TAG_TYPE_EVERYONE, 12345, "", 0, 0, DENY}});
    ASSERT_EQ(gacl_set_link_np("x", GACL_TYPE_NFS4, acl.get()), 0);
    ASSERT_EQ(store_.acl.size(), 2u);
    EXPECT_EQ(store_.acl[0].tag, 8u);
    EXPECT_EQ(store_.acl[0].id, 20u);
    EXPECT_EQ(store_.acl[0].perm, 0xFFFFFFFFu);
    EXPECT_EQ(store_.acl[0].flags, 0xFFFF);
    EXPECT_EQ(store_.acl[0].entry_type, 0x800);
    EXPECT_EQ(store_.acl[1].entry_type, 0x200);
    store_.error = EROFS;
    errno = 0;
    EXPECT_EQ(gacl_set_file("x", GACL_TYPE_NFS4, acl.get()), -1);
    EXPECT_EQ(errno, EROFS);
}

// A status the caller holds goes with the write, so that the store asks
// for none.
TEST_F(GaclSystemScripted, WritesBelowADirectoryPassTheStatusTheCallerHolds) {
    gacl_ptr acl = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW}});
    struct stat st {};
    st.st_mode = S_IFREG | 0640;
    ASSERT_EQ(gacl_set_at_np(AT_FDCWD, "x", GACL_TYPE_NFS4, acl.get(), &st), 0);
    ASSERT_EQ(gacl_set_at_np(AT_FDCWD, "x", GACL_TYPE_NFS4, acl.get()), 0);
    st.st_mode = S_IFDIR | 0750;
    ASSERT_EQ(gacl_delete_at_np(AT_FDCWD, "x", GACL_TYPE_NFS4, &st), 0);
    EXPECT_EQ(store_.write_statuses, (std::vector<mode_t>{S_IFREG | 0640, 0, S_IFDIR | 0750}));
}

TEST(GaclSystem, TrivialTest) {
    int trivial = -1;
    gacl_ptr acl = make({{GACL_TAG_TYPE_USER_OBJ, 0, "owner@", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_GROUP_OBJ, 0, "group@", 8, 0, ALLOW},
                         {GACL_TAG_TYPE_EVERYONE, 0, "everyone@", 8, 0, DENY}});
    acl->type = GACL_TYPE_NFS4;
    ASSERT_EQ(gacl_is_trivial_np(acl.get(), &trivial), 0);
    EXPECT_EQ(trivial, 1);
    add(acl.get(), {GACL_TAG_TYPE_USER, 1000, "alice", 8, 0, ALLOW});
    ASSERT_EQ(gacl_is_trivial_np(acl.get(), &trivial), 0);
    EXPECT_EQ(trivial, 0);

    acl->type = 0;
    trivial = -1;
    errno = 0;
    EXPECT_EQ(gacl_is_trivial_np(acl.get(), &trivial), -1);
    EXPECT_EQ(errno, ENOSYS);
    EXPECT_EQ(trivial, -1);

    gacl_ptr empty(gacl_init(0));
    ASSERT_EQ(gacl_is_trivial_np(empty.get(), &trivial), 0);
    EXPECT_EQ(trivial, 1);

    errno = 0;
    EXPECT_EQ(gacl_is_trivial_np(nullptr, &trivial), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_is_trivial_np(empty.get(), nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
}

}  // namespace
