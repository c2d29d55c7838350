// The FreeBSD ACL store under the ACL layer, on the in-memory FreeBSD of
// tests/fake_freebsd: what reaches a gacl_t, what reaches the file, the
// order of the library calls, and that nothing handed out is left behind.
#include "platform/freebsd_acl_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "fake_freebsd.h"
#include "gacl/acl.h"
#include "gacl/system.h"
#include "platform/os_dir.h"

namespace {

using fake_freebsd::calls_of;
using strings = std::vector<std::string>;

constexpr acl_perm_t ALL_PERMS = ACL_FULL_SET;  // the fourteen NFSv4 permissions
constexpr acl_flag_t ALL_FLAGS = ACL_FLAGS_BITS;

acl_entry sys(acl_tag_t tag, uid_t id, acl_perm_t perm, acl_flag_t flags, acl_entry_type_t type) {
    return acl_entry{tag, id, perm, type, flags};
}

// owner@, a named user (audit), a named group (alarm), group@ deny and
// everyone@ with every permission and every flag.
const std::vector<acl_entry> &sample() {
    static const std::vector<acl_entry> entries = {
        sys(ACL_USER_OBJ, ACL_UNDEFINED_ID, ACL_READ_DATA | ACL_WRITE_DATA | ACL_WRITE_ACL,
            ACL_ENTRY_FILE_INHERIT | ACL_ENTRY_DIRECTORY_INHERIT, ACL_ENTRY_TYPE_ALLOW),
        sys(ACL_USER, 1001, ACL_EXECUTE | ACL_DELETE, ACL_ENTRY_SUCCESSFUL_ACCESS,
            ACL_ENTRY_TYPE_AUDIT),
        sys(ACL_GROUP, 1001, ACL_READ_ACL | ACL_SYNCHRONIZE, ACL_ENTRY_FAILED_ACCESS,
            ACL_ENTRY_TYPE_ALARM),
        sys(ACL_GROUP_OBJ, ACL_UNDEFINED_ID, ACL_WRITE_DATA | ACL_APPEND_DATA, 0,
            ACL_ENTRY_TYPE_DENY),
        sys(ACL_EVERYONE, ACL_UNDEFINED_ID, ALL_PERMS, ALL_FLAGS, ACL_ENTRY_TYPE_ALLOW),
    };
    return entries;
}

bool same(const std::vector<acl_entry> &a, const std::vector<acl_entry> &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].ae_tag != b[i].ae_tag || a[i].ae_id != b[i].ae_id ||
            a[i].ae_perm != b[i].ae_perm || a[i].ae_flags != b[i].ae_flags ||
            a[i].ae_entry_type != b[i].ae_entry_type)
            return false;
    }
    return true;
}

class FreebsdAclStore : public ::testing::Test {
  protected:
    void SetUp() override { fake_freebsd::reset(); }
    void TearDown() override {
        // Every ACL and qualifier the library handed out went back to it.
        EXPECT_EQ(fake_freebsd::live_objects(), 0);
        EXPECT_EQ(fake_freebsd::bad_frees(), 0);
    }
};

TEST_F(FreebsdAclStore, ReadsEveryFieldIntoGaclAndWritesItBackInOrder) {
    fake_freebsd::add_file("/d/f", sample());
    fake_freebsd::add_file("/d/g");

    gacl_ptr acl(gacl_get_file("/d/f", GACL_TYPE_NFS4));
    ASSERT_TRUE(acl) << std::strerror(errno);
    EXPECT_EQ(acl->type, GACL_TYPE_NFS4);
    ASSERT_EQ(acl->count, 5);
    struct want {
        gacl_tag_t tag;
        const char *name;
        gacl_perm_t perms;
        gacl_flag_t flags;
        gacl_entry_type_t type;
    };
    const want wants[] = {
        {GACL_TAG_TYPE_USER_OBJ, "owner@", 0x2018, 0x03, GACL_ENTRY_TYPE_ALLOW},
        {GACL_TAG_TYPE_USER, "bob", 0x0801, 0x10, GACL_ENTRY_TYPE_AUDIT},
        {GACL_TAG_TYPE_GROUP, "devs", 0x9000, 0x20, GACL_ENTRY_TYPE_ALARM},
        {GACL_TAG_TYPE_GROUP_OBJ, "group@", 0x0030, 0x00, GACL_ENTRY_TYPE_DENY},
        {GACL_TAG_TYPE_EVERYONE, "everyone@", 0xFFF9, 0xBF, GACL_ENTRY_TYPE_ALLOW},
    };
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const gacl_entry_t_struct &e = acl->entries[i];
        EXPECT_EQ(e.tag, wants[i].tag);
        EXPECT_STREQ(e.name, wants[i].name);
        EXPECT_EQ(e.perms, wants[i].perms);
        EXPECT_EQ(e.flags, wants[i].flags);
        EXPECT_EQ(e.entry_type, wants[i].type);
    }
    EXPECT_EQ(acl->entries[1].id, 1001u);
    EXPECT_EQ(acl->entries[2].id, 1001u);

    // Get the ACL, walk it (first, then next until the end, each entry's
    // fields read in between), release it.
    EXPECT_EQ(calls_of({"acl_get_file", "acl_get_link_np", "acl_get_entry", "acl_get_tag_type",
                        "acl_get_qualifier", "acl_get_entry_type_np", "acl_free"}),
              (strings{"acl_get_file /d/f 4",   "acl_get_entry 0",       "acl_get_tag_type",
                       "acl_get_entry_type_np", "acl_get_entry 1",       "acl_get_tag_type",
                       "acl_get_qualifier",     "acl_free qualifier",    "acl_get_entry_type_np",
                       "acl_get_entry 1",       "acl_get_tag_type",      "acl_get_qualifier",
                       "acl_free qualifier",    "acl_get_entry_type_np", "acl_get_entry 1",
                       "acl_get_tag_type",      "acl_get_entry_type_np", "acl_get_entry 1",
                       "acl_get_tag_type",      "acl_get_entry_type_np", "acl_get_entry 1",
                       "acl_free acl"}));

    fake_freebsd::clear_calls();
    ASSERT_EQ(gacl_set_file("/d/g", GACL_TYPE_NFS4, acl.get()), 0) << std::strerror(errno);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/d/g"), sample()));

    // An ACL with room for every entry, each entry created at its index and
    // filled, then applied and released.
    EXPECT_EQ(calls_of({"acl_init", "acl_create_entry_np", "acl_set_tag_type", "acl_set_qualifier",
                        "acl_set_entry_type_np", "acl_set_file", "acl_set_link_np", "acl_free"}),
              (strings{"acl_init 5",
                       "acl_create_entry_np 0",
                       "acl_set_tag_type 1",
                       "acl_set_entry_type_np 0x100",
                       "acl_create_entry_np 1",
                       "acl_set_tag_type 2",
                       "acl_set_qualifier 1001",
                       "acl_set_entry_type_np 0x400",
                       "acl_create_entry_np 2",
                       "acl_set_tag_type 8",
                       "acl_set_qualifier 1001",
                       "acl_set_entry_type_np 0x800",
                       "acl_create_entry_np 3",
                       "acl_set_tag_type 4",
                       "acl_set_entry_type_np 0x200",
                       "acl_create_entry_np 4",
                       "acl_set_tag_type 64",
                       "acl_set_entry_type_np 0x100",
                       "acl_set_file /d/g 4",
                       "acl_free acl"}));
}

TEST_F(FreebsdAclStore, IdsWithoutNamesReadAsNumbersAndWriteBackUnchanged) {
    const std::vector<acl_entry> entries = {
        sys(ACL_USER, 4242, ACL_READ_DATA, 0, ACL_ENTRY_TYPE_ALLOW),
        sys(ACL_GROUP, 4294967294u, ACL_READ_DATA, 0, ACL_ENTRY_TYPE_DENY),
    };
    fake_freebsd::add_file("/f", entries);
    gacl_ptr acl(gacl_get_file("/f", GACL_TYPE_NFS4));
    ASSERT_TRUE(acl) << std::strerror(errno);
    ASSERT_EQ(acl->count, 2);
    EXPECT_STREQ(acl->entries[0].name, "4242");
    EXPECT_STREQ(acl->entries[1].name, "-2");

    fake_freebsd::add_file("/f");
    ASSERT_EQ(gacl_set_file("/f", GACL_TYPE_NFS4, acl.get()), 0) << std::strerror(errno);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/f"), entries));
}

TEST_F(FreebsdAclStore, EveryAclTheLibraryHoldsIsReadAndWrittenBack) {
    std::vector<acl_entry> entries;
    for (uid_t id = 0; id < ACL_MAX_ENTRIES; ++id)
        entries.push_back(sys(ACL_USER, 5000 + id, ACL_READ_DATA, 0, ACL_ENTRY_TYPE_ALLOW));
    fake_freebsd::add_file("/full", entries);

    gacl_ptr full(gacl_get_file("/full", GACL_TYPE_NFS4));
    ASSERT_TRUE(full) << std::strerror(errno);
    EXPECT_EQ(full->count, ACL_MAX_ENTRIES);
    EXPECT_STREQ(full->entries[ACL_MAX_ENTRIES - 1].name, "5253");
    fake_freebsd::add_file("/copy");
    ASSERT_EQ(gacl_set_file("/copy", GACL_TYPE_NFS4, full.get()), 0) << std::strerror(errno);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/copy"), entries));

    // One more is the library's to refuse, with its errno.
    gacl_t raw = full.get();
    gacl_entry_t e;
    ASSERT_EQ(gacl_create_entry_np(&raw, &e, -1), 0);
    e->tag = GACL_TAG_TYPE_EVERYONE;
    fake_freebsd::clear_calls();
    errno = 0;
    EXPECT_EQ(gacl_set_file("/copy", GACL_TYPE_NFS4, full.get()), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(fake_freebsd::calls(), strings{"acl_init 255"});
    EXPECT_TRUE(same(fake_freebsd::acl_of("/copy"), entries));
}

TEST_F(FreebsdAclStore, RefusesMaskAndOtherEntries) {
    for (acl_tag_t tag : {ACL_MASK, ACL_OTHER}) {
        SCOPED_TRACE(tag);
        fake_freebsd::add_file("/posix", {sys(ACL_USER_OBJ, ACL_UNDEFINED_ID, 0, 0, 0x100),
                                          sys(tag, ACL_UNDEFINED_ID, 0, 0, 0x100)});
        errno = 0;
        EXPECT_EQ(gacl_get_file("/posix", GACL_TYPE_NFS4), nullptr);
        EXPECT_EQ(errno, EINVAL);

        // On the way down they are refused before the library is called.
        gacl_ptr acl(gacl_init(0));
        gacl_t raw = acl.get();
        gacl_entry_t e;
        ASSERT_EQ(gacl_create_entry_np(&raw, &e, -1), 0);
        e->tag = tag;
        fake_freebsd::reset();
        fake_freebsd::add_file("/posix");
        errno = 0;
        EXPECT_EQ(gacl_set_file("/posix", GACL_TYPE_NFS4, acl.get()), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_TRUE(fake_freebsd::calls().empty());
    }
}

TEST_F(FreebsdAclStore, FailedEntryCreationFreesTheHalfBuiltAcl) {
    fake_freebsd::add_file("/d/f", sample());
    fake_freebsd::add_file("/d/g", {sample()[4]});
    gacl_ptr acl(gacl_get_file("/d/f", GACL_TYPE_NFS4));
    ASSERT_TRUE(acl);

    fake_freebsd::clear_calls();
    fake_freebsd::fail("acl_create_entry_np", ENOMEM, 3);
    errno = 0;
    EXPECT_EQ(gacl_set_file("/d/g", GACL_TYPE_NFS4, acl.get()), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(calls_of({"acl_init", "acl_create_entry_np", "acl_set_file", "acl_free"}),
              (strings{"acl_init 5", "acl_create_entry_np 0", "acl_create_entry_np 1",
                       "acl_create_entry_np 2", "acl_free acl"}));
    EXPECT_TRUE(same(fake_freebsd::acl_of("/d/g"), {sample()[4]}));
    // The caller's ACL is untouched and still usable.
    ASSERT_EQ(acl->count, 5);
    EXPECT_EQ(gacl_set_file("/d/g", GACL_TYPE_NFS4, acl.get()), 0);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/d/g"), sample()));
}

// Every failure of the library passes through with its errno, releases
// whatever was handed out, and leaves the file's ACL as it was.
TEST_F(FreebsdAclStore, LibraryFailuresPassThroughUnchanged) {
    struct failure {
        const char *function;
        int nth;
        int err;
    };
    const failure reads[] = {
        {"acl_get_file", 1, EOPNOTSUPP},  {"acl_get_file", 1, EACCES},
        {"acl_get_entry", 3, EINVAL},     {"acl_get_tag_type", 2, EINVAL},
        {"acl_get_qualifier", 2, ENOMEM}, {"acl_get_permset", 5, EINVAL},
        {"acl_get_perm_np", 20, EINVAL},  {"acl_get_flagset_np", 1, EINVAL},
        {"acl_get_flag_np", 9, EINVAL},   {"acl_get_entry_type_np", 4, EINVAL},
    };
    for (const failure &f : reads) {
        SCOPED_TRACE(std::string(f.function) + " #" + std::to_string(f.nth));
        fake_freebsd::reset();
        fake_freebsd::add_file("/f", sample());
        fake_freebsd::fail(f.function, f.err, f.nth);
        errno = 0;
        gacl_ptr acl(gacl_get_file("/f", GACL_TYPE_NFS4));
        EXPECT_FALSE(acl);
        EXPECT_EQ(errno, f.err);
        EXPECT_EQ(fake_freebsd::live_objects(), 0);
    }

    const failure writes[] = {
        {"acl_init", 1, ENOMEM},
        {"acl_create_entry_np", 1, ENOMEM},
        {"acl_set_tag_type", 4, EINVAL},
        {"acl_set_qualifier", 2, EINVAL},
        {"acl_get_permset", 1, EINVAL},
        {"acl_clear_perms", 3, EINVAL},
        {"acl_add_perm", 7, EINVAL},
        {"acl_set_permset", 2, EINVAL},
        {"acl_get_flagset_np", 5, EINVAL},
        {"acl_clear_flags_np", 1, EINVAL},
        {"acl_add_flag_np", 6, EINVAL},
        {"acl_set_flagset_np", 3, EINVAL},
        {"acl_set_entry_type_np", 5, EINVAL},
        {"acl_set_file", 1, EOPNOTSUPP},
        {"acl_set_file", 1, EPERM},
    };
    for (const failure &f : writes) {
        SCOPED_TRACE(std::string(f.function) + " #" + std::to_string(f.nth));
        fake_freebsd::reset();
        fake_freebsd::add_file("/f", sample());
        gacl_ptr acl(gacl_get_file("/f", GACL_TYPE_NFS4));
        ASSERT_TRUE(acl);
        fake_freebsd::add_file("/g", {sample()[0]});
        fake_freebsd::fail(f.function, f.err, f.nth);
        errno = 0;
        EXPECT_EQ(gacl_set_file("/g", GACL_TYPE_NFS4, acl.get()), -1);
        EXPECT_EQ(errno, f.err);
        EXPECT_EQ(fake_freebsd::live_objects(), 0);
        EXPECT_TRUE(same(fake_freebsd::acl_of("/g"), {sample()[0]}));
    }
}

TEST_F(FreebsdAclStore, LinksAndFileSystemsWithoutNfs4Acls) {
    fake_freebsd::add_file("/f", sample());
    fake_freebsd::add_link("/l", "/f");
    fake_freebsd::add_file("/ufs", {}, false);

    // The file variant follows the link; the link itself has no ACL.
    gacl_ptr via(gacl_get_file("/l", GACL_TYPE_NFS4));
    ASSERT_TRUE(via);
    EXPECT_EQ(via->count, 5);
    errno = 0;
    EXPECT_EQ(gacl_get_link_np("/l", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_set_link_np("/l", GACL_TYPE_NFS4, via.get()), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_EQ(calls_of({"acl_get_link_np", "acl_set_link_np"}),
              (strings{"acl_get_link_np /l 4", "acl_set_link_np /l 4"}));

    // The link variant on a file that is no link works like the file one.
    gacl_ptr own(gacl_get_link_np("/f", GACL_TYPE_NFS4));
    ASSERT_TRUE(own);
    EXPECT_EQ(own->count, 5);

    errno = 0;
    EXPECT_EQ(gacl_get_file("/ufs", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_set_file("/ufs", GACL_TYPE_NFS4, via.get()), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_get_file("/missing", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(FreebsdAclStore, EmptyAclIsAppliedAsEmpty) {
    fake_freebsd::add_file("/f", sample());
    gacl_ptr empty(gacl_init(0));
    ASSERT_EQ(gacl_set_file("/f", GACL_TYPE_NFS4, empty.get()), 0);
    EXPECT_TRUE(fake_freebsd::acl_of("/f").empty());
    EXPECT_EQ(calls_of({"acl_init", "acl_create_entry_np", "acl_set_file", "acl_free"}),
              (strings{"acl_init 0", "acl_set_file /f 4", "acl_free acl"}));
}

// The store on its own: what the ACL layer never hands it still fails
// cleanly, with the library's verdict.
TEST_F(FreebsdAclStore, StoreRefusesWhatTheLibraryOrItsLimitRefuses) {
    freebsd_acl_store store;
    fake_freebsd::add_file("/f");
    const sys_acl_entry everyone{SYS_ACL_TAG_EVERYONE, SYS_ACL_UNDEFINED_ID, SYS_ACL_READ_DATA,
                                 SYS_ACL_ENTRY_TYPE_ALLOW, 0};

    sys_acl too_many(ACL_MAX_ENTRIES + 1, everyone);
    errno = 0;
    EXPECT_EQ(store.set("/f", false, too_many), -1);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(fake_freebsd::calls(), strings{"acl_init 255"});
    fake_freebsd::clear_calls();

    sys_acl_entry unknown_perm = everyone;
    unknown_perm.perm |= 0x00010000;
    sys_acl_entry unknown_flag = everyone;
    unknown_flag.flags = 0x0040;
    sys_acl_entry unknown_type = everyone;
    unknown_type.entry_type = 0x1000;
    sys_acl_entry unknown_tag = everyone;
    unknown_tag.tag = 128;
    for (const sys_acl_entry &bad : {unknown_perm, unknown_flag, unknown_type, unknown_tag}) {
        errno = 0;
        EXPECT_EQ(store.set("/f", false, {everyone, bad}), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(fake_freebsd::live_objects(), 0);
        EXPECT_TRUE(fake_freebsd::acl_of("/f").empty());
    }

    sys_acl read;
    errno = 0;
    EXPECT_EQ(store.get(nullptr, false, &read), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(store.set(nullptr, false, {everyone}), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(store.set("/f", false, {everyone}), 0);
    ASSERT_EQ(store.get("/f", false, &read), 0);
    EXPECT_EQ(read, sys_acl{everyone});
}

// Objects below a directory descriptor, as a recursive walk hands them
// over: the directory becomes the current one for the one call, the link
// variant gets the bare name (a link there is never followed), and the
// current directory is the process's own again afterwards, however the
// call ends.
TEST_F(FreebsdAclStore, ObjectsBelowADescriptorAreReachedThroughItWithoutFollowing) {
    fake_freebsd::add_file("/d/f", sample());
    fake_freebsd::add_file("/d/g");
    fake_freebsd::add_file("/outside", sample());
    fake_freebsd::add_link("/d/l", "/outside");
    const int d = fake_freebsd::open_dir("/d");
    struct stat file {};
    file.st_mode = S_IFREG | 0640;
    const strings around = {"fchdir", "acl_get_link_np", "acl_set_link_np", "acl_get_file",
                            "acl_set_file"};

    gacl_ptr got(gacl_get_at_np(d, "f", GACL_TYPE_NFS4, &file));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->count, 5);
    ASSERT_EQ(gacl_set_at_np(d, "g", GACL_TYPE_NFS4, got.get()), 0);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/d/g"), sample()));
    EXPECT_EQ(calls_of(around), (strings{"fchdir /d", "acl_get_link_np f 4", "fchdir home",
                                         "fchdir /d", "acl_set_link_np g 4", "fchdir home"}));
    EXPECT_EQ(fake_freebsd::cwd(), "");

    // A file swapped for a link after its status was taken: the link
    // itself, which has no ACL; the target is neither read nor written.
    fake_freebsd::clear_calls();
    errno = 0;
    EXPECT_EQ(gacl_get_at_np(d, "l", GACL_TYPE_NFS4, &file), nullptr);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_set_at_np(d, "l", GACL_TYPE_NFS4, got.get()), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(gacl_delete_at_np(d, "l", GACL_TYPE_NFS4, &file), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_TRUE(same(fake_freebsd::acl_of("/outside"), sample()));
    EXPECT_EQ(calls_of({"acl_get_file", "acl_set_file"}), strings{});
    EXPECT_EQ(fake_freebsd::cwd(), "");

    // The trivial ACL of the mode the caller's status holds.
    ASSERT_EQ(gacl_delete_at_np(d, "f", GACL_TYPE_NFS4, &file), 0);
    EXPECT_EQ(fake_freebsd::acl_of("/d/f").size(), 3u);

    // Failures: a directory that cannot be entered fails the call before
    // the library is asked; a failing call still returns home.
    fake_freebsd::clear_calls();
    fake_freebsd::fail("fchdir", EACCES);
    errno = 0;
    EXPECT_EQ(gacl_get_at_np(d, "f", GACL_TYPE_NFS4, &file), nullptr);
    EXPECT_EQ(errno, EACCES);
    fake_freebsd::fail("acl_set_link_np", EPERM);
    errno = 0;
    EXPECT_EQ(gacl_set_at_np(d, "g", GACL_TYPE_NFS4, got.get()), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(calls_of(around),
              (strings{"fchdir /d", "fchdir /d", "acl_set_link_np g 4", "fchdir home"}));
    EXPECT_EQ(fake_freebsd::cwd(), "");
    errno = 0;
    EXPECT_EQ(gacl_get_at_np(d, "sub/f", GACL_TYPE_NFS4, &file), nullptr);
    EXPECT_EQ(errno, EINVAL) << "one name, not a path below the directory";

    // A named path: as typed, its last component not followed, no
    // change of directory.
    fake_freebsd::clear_calls();
    gacl_ptr named(gacl_get_at_np(AT_FDCWD, "/d/f", GACL_TYPE_NFS4, &file));
    EXPECT_TRUE(named);
    EXPECT_EQ(calls_of(around), strings{"acl_get_link_np /d/f 4"});
}

// FreeBSD's directory records (getdents) read whole, whatever their number.
TEST(FreebsdDirectory, ReadsEveryEntryOfARealDirectory) {
    fake_freebsd::reset();
    char path[] = "/tmp/vossik-dir-XXXXXX";
    ASSERT_NE(mkdtemp(path), nullptr);
    std::vector<std::string> made;
    for (int i = 0; i < 1000; i++) {
        made.push_back("entry-with-a-long-name-" + std::to_string(i));
        close(open((std::string(path) + "/" + made.back()).c_str(), O_CREAT | O_WRONLY, 0644));
    }
    int fd = open(path, O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    os_dir_reader reader(fd);
    std::vector<std::string> read;
    const char *name = nullptr;
    unsigned char type = 0;
    int got;
    while ((got = reader.next(&name, &type)) == 1) {
        std::string n = name;
        if (n == "." || n == "..") continue;
        EXPECT_EQ(type, DT_REG) << n;
        read.push_back(n);
    }
    EXPECT_EQ(got, 0);
    EXPECT_GT(calls_of({"getdents"}).size(), 2u);  // more than one buffer
    close(fd);
    std::sort(made.begin(), made.end());
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, made);
    for (const std::string &n : made)
        unlink((std::string(path) + "/" + n).c_str());
    rmdir(path);

    fake_freebsd::fail("getdents", EIO);
    os_dir_reader failing(0);
    errno = 0;
    EXPECT_EQ(failing.next(&name, &type), -1);
    EXPECT_EQ(errno, EIO);
}

}  // namespace
