#include "fs/acl_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "fs/path.h"
#include "support/tempdir.h"

namespace {

class AclIo : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = open(".", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(home_, 0);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(fchdir(home_), 0);
        close(home_);
    }
    temp_dir dir_;
    int home_ = -1;
};

TEST_F(AclIo, ReadsAndWritesRelativePaths) {
    dir_.write("f", "x");
    ASSERT_EQ(chmod("f", 0600), 0);
    gacl_ptr acl(fs_acl_get_file("f", GACL_TYPE_NFS4));
    ASSERT_NE(acl, nullptr);
    ASSERT_EQ(acl->count, 3);
    acl->entries[2].perms |= 0x8;  // everyone@ may read
    ASSERT_EQ(fs_acl_set_file("f", GACL_TYPE_NFS4, acl.get()), 0);
    gacl_ptr back(fs_acl_get_link_np("f", GACL_TYPE_NFS4));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->entries[2].perms, acl->entries[2].perms);
    ASSERT_EQ(fs_acl_set_link_np("f", GACL_TYPE_NFS4, back.get()), 0);

    ASSERT_EQ(symlink("f", "l"), 0);
    errno = 0;
    EXPECT_EQ(fs_acl_get_link_np("l", GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, EOPNOTSUPP);
}

TEST_F(AclIo, NullPathNeedsAKnownCurrentDirectory) {
    ASSERT_EQ(mkdir("gone", 0755), 0);
    ASSERT_EQ(chdir("gone"), 0);
    ASSERT_EQ(rmdir((dir_.path() + "/gone").c_str()), 0);
    fs_cwd.reset();
    gacl_ptr acl(gacl_init(0));
    errno = 0;
    EXPECT_EQ(fs_acl_get_file(nullptr, GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_acl_get_link_np(nullptr, GACL_TYPE_NFS4), nullptr);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_acl_set_file(nullptr, GACL_TYPE_NFS4, acl.get()), -1);
    EXPECT_EQ(errno, ENOSYS);
    errno = 0;
    EXPECT_EQ(fs_acl_set_link_np(nullptr, GACL_TYPE_NFS4, acl.get()), -1);
    EXPECT_EQ(errno, ENOSYS);
    // A given path does not consult the current directory.
    std::string f = dir_.write("f", "x");
    gacl_ptr read(fs_acl_get_file(f.c_str(), GACL_TYPE_NFS4));
    EXPECT_NE(read, nullptr);
    EXPECT_FALSE(fs_cwd.has_value());
}

}  // namespace
