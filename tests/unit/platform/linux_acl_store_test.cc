// The Linux store, on real files of a temporary directory (Samba's
// attribute, which every file system with extended attributes offers) and
// on played file systems for the OpenZFS and NFS attributes.
#ifdef __linux__
#include "platform/linux_acl_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "unit/platform/acl_bytes.h"

#include "platform/nfs4_string.h"
#include "platform/nfs4_xdr.h"
#include "support/tempdir.h"

namespace {

sys_acl trivial(mode_t mode) {
    auto t = acl_trivial(mode);
    return sys_acl(t.begin(), t.end());
}

// A mixed ACL of the kinds users write.
const sys_acl sample = {
    entry(SYS_ACL_TAG_USER, 1000, 0x0019, SYS_ACL_ENTRY_TYPE_ALLOW, SYS_ACL_FILE_INHERIT),
    entry(SYS_ACL_TAG_GROUP, 1001, 0x0010, SYS_ACL_ENTRY_TYPE_DENY),
    entry(SYS_ACL_TAG_USER_OBJ, SYS_ACL_UNDEFINED_ID, 0xF6F9),
    entry(SYS_ACL_TAG_GROUP_OBJ, SYS_ACL_UNDEFINED_ID, 0x9249),
    entry(SYS_ACL_TAG_EVERYONE, SYS_ACL_UNDEFINED_ID, 0x9240, SYS_ACL_ENTRY_TYPE_AUDIT,
          SYS_ACL_FAILED_ACCESS),
};

TEST(LinuxAclStore, TrivialAclTable) {
    // owner@ base 0xF6C0, group@ and everyone@ base 0x9240; r 0x8, w 0x30, x 0x1.
    EXPECT_EQ(trivial(0644),
              (sys_acl{entry(1, 0, 0xF6F8), entry(4, 0, 0x9248), entry(64, 0, 0x9248)}));
    EXPECT_EQ(trivial(0750),
              (sys_acl{entry(1, 0, 0xF6F9), entry(4, 0, 0x9249), entry(64, 0, 0x9240)}));
    EXPECT_EQ(trivial(0000),
              (sys_acl{entry(1, 0, 0xF6C0), entry(4, 0, 0x9240), entry(64, 0, 0x9240)}));
    EXPECT_EQ(trivial(07777 | S_IFREG),
              (sys_acl{entry(1, 0, 0xF6F9), entry(4, 0, 0x9279), entry(64, 0, 0x9279)}));
}

TEST(LinuxAclStore, FileWithoutAclHasTheTrivialAclOfItsMode) {
    temp_dir dir;
    linux_acl_store store;
    for (mode_t mode : {0644, 0750, 0000, 0777}) {
        SCOPED_TRACE(mode);
        std::string name = "f";
        name += std::to_string(mode);  // "f" + to_string trips a false -Wrestrict in g++ 12 -O3
        std::string f = dir.write(name, "x");
        ASSERT_EQ(chmod(f.c_str(), mode), 0);
        sys_acl acl{entry(2, 5, 5)};
        ASSERT_EQ(store.get(f.c_str(), false, &acl), 0);
        EXPECT_EQ(acl, trivial(mode));
        ASSERT_EQ(store.get(f.c_str(), true, &acl), 0);
        EXPECT_EQ(acl, trivial(mode));
    }
}

TEST(LinuxAclStore, SetWritesSambasAttributeAndGetReadsItBack) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    ASSERT_EQ(chmod(f.c_str(), 0640), 0);
    ASSERT_EQ(mkdir(dir.file("d").c_str(), 0755), 0);
    linux_acl_store store;
    for (const std::string &path : {f, dir.file("d")}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(store.set(path.c_str(), false, sample), 0);
        bytes expected;
        ASSERT_EQ(nfs4_xdr_encode(sample, &expected), 0);
        EXPECT_EQ(stored(path), expected);
        sys_acl back;
        ASSERT_EQ(store.get(path.c_str(), false, &back), 0);
        EXPECT_EQ(back, sample);
    }
    // The link variant on an object that is not a link works the same way.
    ASSERT_EQ(store.set(f.c_str(), true, {sample[2]}), 0);
    sys_acl back;
    ASSERT_EQ(store.get(f.c_str(), true, &back), 0);
    EXPECT_EQ(back, sys_acl{sample[2]});
    // The mode bits stay as they were.
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(LinuxAclStore, SymbolicLinksHaveNoAcl) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    std::string l = dir.file("l");
    ASSERT_EQ(symlink("f", l.c_str()), 0);
    linux_acl_store store;
    sys_acl acl;
    errno = 0;
    EXPECT_EQ(store.get(l.c_str(), true, &acl), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    errno = 0;
    EXPECT_EQ(store.set(l.c_str(), true, sample), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    // Following the link reaches the file.
    ASSERT_EQ(store.set(l.c_str(), false, sample), 0);
    EXPECT_FALSE(stored(f).empty());
    ASSERT_EQ(store.get(l.c_str(), false, &acl), 0);
    EXPECT_EQ(acl, sample);
}

TEST(LinuxAclStore, HoldsAtMost128Entries) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    linux_acl_store store;
    sys_acl big;
    for (uint32_t i = 0; i < 128; ++i)
        big.push_back(entry(SYS_ACL_TAG_USER, 2000 + i, 0x8));
    ASSERT_EQ(store.set(f.c_str(), false, big), 0);
    sys_acl back;
    ASSERT_EQ(store.get(f.c_str(), false, &back), 0);
    EXPECT_EQ(back, big);
    big.push_back(entry(SYS_ACL_TAG_EVERYONE, 0, 0x8));
    errno = 0;
    EXPECT_EQ(store.set(f.c_str(), false, big), -1);
    EXPECT_EQ(errno, EINVAL);
    ASSERT_EQ(store.get(f.c_str(), false, &back), 0);
    EXPECT_EQ(back.size(), 128u);  // the refused write changed nothing
}

TEST(LinuxAclStore, RefusedAndFailingWritesKeepTheOldAcl) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    linux_acl_store store;
    ASSERT_EQ(store.set(f.c_str(), false, sample), 0);
    errno = 0;
    EXPECT_EQ(store.set(f.c_str(), false, {sample[0], entry(SYS_ACL_TAG_MASK, 0, 1)}), -1);
    EXPECT_EQ(errno, EINVAL);
    sys_acl back;
    ASSERT_EQ(store.get(f.c_str(), false, &back), 0);
    EXPECT_EQ(back, sample);
}

TEST(LinuxAclStore, ErrorsOfTheFileAndOfTheStoredValuePassThrough) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    linux_acl_store store;
    sys_acl acl;
    errno = 0;
    EXPECT_EQ(store.get(dir.file("missing").c_str(), false, &acl), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(store.set(dir.file("missing").c_str(), false, sample), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(store.get(nullptr, false, &acl), -1);
    EXPECT_EQ(errno, EINVAL);
    // A damaged attribute is reported, not read as something else.
    const uint8_t damaged[] = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
    ASSERT_EQ(setxattr(f.c_str(), "security.nfs4acl_xdr", damaged, sizeof damaged, 0), 0);
    errno = 0;
    EXPECT_EQ(store.get(f.c_str(), false, &acl), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(LinuxAclStore, FileSystemWithoutExtendedAttributes) {
    // procfs has no extended attributes: its files read as trivial and
    // refuse a write.
    linux_acl_store store;
    struct stat st;
    ASSERT_EQ(stat("/proc/version", &st), 0);
    sys_acl acl;
    ASSERT_EQ(store.get("/proc/version", false, &acl), 0);
    EXPECT_EQ(acl, trivial(st.st_mode));
    errno = 0;
    EXPECT_EQ(store.set("/proc/version", false, trivial(0644)), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
}

// File systems this machine does not have: every path lives on device
// `dev`; `offered` lists the system.* attributes the file system answers to.
class played_fs : public linux_xattr_calls {
  public:
    std::map<std::string, dev_t> devices;
    std::map<std::string, std::vector<std::string>> offered;  // per device name
    std::map<std::string, bytes> values;                      // path + "|" + attribute
    std::map<std::string, int> gets, sets;                    // calls per attribute
    int stats = 0;
    int probe_error = 0;

    int stat(const char *path, bool, struct stat *st) override {
        ++stats;
        auto d = devices.find(path);
        if (d == devices.end()) return errno = ENOENT, -1;
        *st = {};
        st->st_mode = S_IFREG | 0640;
        st->st_dev = d->second;
        return 0;
    }
    ssize_t getxattr(const char *path, bool, const char *name, void *value, size_t size) override {
        ++gets[name];
        std::string n = name;
        bool system = n.rfind("system.", 0) == 0;
        if (system && probe_error) return errno = probe_error, -1;
        if (system && !offers(path, n)) return errno = ENOTSUP, -1;
        auto v = values.find(std::string(path) + "|" + n);
        if (v == values.end()) return errno = ENODATA, -1;
        if (size == 0) return static_cast<ssize_t>(v->second.size());
        if (size < v->second.size()) return errno = ERANGE, -1;
        std::copy(v->second.begin(), v->second.end(), static_cast<uint8_t *>(value));
        return static_cast<ssize_t>(v->second.size());
    }
    int setxattr(const char *path, bool, const char *name, const void *value,
                 size_t size) override {
        ++sets[name];
        std::string n = name;
        if (n.rfind("system.", 0) == 0 && !offers(path, n)) return errno = ENOTSUP, -1;
        auto p = static_cast<const uint8_t *>(value);
        values[std::string(path) + "|" + n] = bytes(p, p + size);
        return 0;
    }

  private:
    bool offers(const char *path, const std::string &name) {
        for (const std::string &o : offered[std::to_string(devices[path])])
            if (o == name) return true;
        return false;
    }
};

TEST(LinuxAclStore, OpenZfsDatasetsUseTheirOwnAttribute) {
    played_fs fs;
    fs.devices = {{"/zfs/a", 1}, {"/zfs/b", 1}};
    fs.offered["1"] = {"system.nfs4_acl_xdr"};
    bytes blob;
    ASSERT_EQ(nfs4_xdr_encode(sample, &blob), 0);
    fs.values["/zfs/a|system.nfs4_acl_xdr"] = blob;
    linux_acl_store store(&fs);
    sys_acl acl;
    ASSERT_EQ(store.get("/zfs/a", false, &acl), 0);
    EXPECT_EQ(acl, sample);
    ASSERT_EQ(store.set("/zfs/b", false, sample), 0);
    EXPECT_EQ(fs.values["/zfs/b|system.nfs4_acl_xdr"], blob);
    EXPECT_EQ(fs.sets["system.nfs4_acl_xdr"], 1);
    EXPECT_EQ(fs.sets["security.nfs4acl_xdr"], 0);
}

TEST(LinuxAclStore, NfsMountsUseTheStringLayoutWithNamesFromTheDatabase) {
    played_fs fs;
    fs.devices = {{"/nfs/a", 7}, {"/nfs/b", 7}};
    fs.offered["7"] = {"system.nfs4_acl"};
    // The server names principals; the fixture database knows alice and devs.
    nfs4_who_resolver server{
        [](bool group, uint32_t) { return std::string(group ? "devs" : "alice") + "@example.org"; },
        nullptr};
    bytes blob;
    ASSERT_EQ(nfs4_string_encode(sample, server, &blob), 0);
    fs.values["/nfs/a|system.nfs4_acl"] = blob;
    linux_acl_store store(&fs);
    sys_acl acl;
    ASSERT_EQ(store.get("/nfs/a", false, &acl), 0);
    EXPECT_EQ(acl, sample);
    // Written back with decimal ids, which need no NFSv4 domain.
    ASSERT_EQ(store.set("/nfs/b", false, {sample[0], sample[1]}), 0);
    nfs4_who_resolver decimal{[](bool, uint32_t id) { return std::to_string(id); }, nullptr};
    ASSERT_EQ(nfs4_string_encode({sample[0], sample[1]}, decimal, &blob), 0);
    EXPECT_EQ(fs.values["/nfs/b|system.nfs4_acl"], blob);
}

TEST(LinuxAclStore, ProbesOncePerFileSystem) {
    played_fs fs;
    fs.devices = {{"/a", 1}, {"/b", 1}, {"/c", 2}};
    linux_acl_store store(&fs);
    sys_acl acl;
    ASSERT_EQ(store.get("/a", false, &acl), 0);
    ASSERT_EQ(store.set("/b", false, sample), 0);
    ASSERT_EQ(store.get("/b", false, &acl), 0);
    EXPECT_EQ(acl, sample);
    EXPECT_EQ(fs.gets["system.nfs4_acl_xdr"], 1);
    EXPECT_EQ(fs.gets["system.nfs4_acl"], 1);
    ASSERT_EQ(store.get("/c", false, &acl), 0);  // another device: probed anew
    EXPECT_EQ(fs.gets["system.nfs4_acl_xdr"], 2);
    EXPECT_EQ(acl, trivial(0640));
}

TEST(LinuxAclStore, AKnownStatusSavesTheStatusCall) {
    played_fs fs;
    fs.devices = {{"/a", 1}, {"/l", 1}};
    linux_acl_store store(&fs);
    struct stat known {};
    known.st_mode = S_IFREG | 0750;
    known.st_dev = 1;
    sys_acl acl;
    ASSERT_EQ(store.get_known("/a", false, known, &acl), 0);
    EXPECT_EQ(fs.stats, 0);
    EXPECT_EQ(acl, trivial(0750));  // the mode comes from the status given
    // A link itself has no ACL, and nothing is asked of the system for it.
    known.st_mode = S_IFLNK | 0777;
    int gets_before = fs.gets["security.nfs4acl_xdr"];
    errno = 0;
    EXPECT_EQ(store.get_known("/l", true, known, &acl), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_EQ(fs.gets["security.nfs4acl_xdr"], gets_before);
    // Following a link needs the target's status, which lstat did not give.
    ASSERT_EQ(store.get_known("/l", false, known, &acl), 0);
    EXPECT_EQ(fs.stats, 1);
    EXPECT_EQ(acl, trivial(0640));
}

TEST(LinuxAclStore, AFailedProbeIsReportedAndNotRemembered) {
    played_fs fs;
    fs.devices = {{"/a", 1}};
    fs.probe_error = EACCES;
    linux_acl_store store(&fs);
    sys_acl acl;
    errno = 0;
    EXPECT_EQ(store.get("/a", false, &acl), -1);
    EXPECT_EQ(errno, EACCES);
    fs.probe_error = 0;
    ASSERT_EQ(store.get("/a", false, &acl), 0);
    EXPECT_EQ(fs.gets["system.nfs4_acl_xdr"], 2);
}

}  // namespace
#endif
