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
#include <functional>
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

TEST(LinuxAclStore, HoldsWhatTheAttributeTakesAndRefusesMoreWithTheKernelsErrno) {
    temp_dir dir;
    std::string f = dir.write("f", "x");
    linux_acl_store store;
    sys_acl big;
    for (uint32_t i = 0; i < 129; ++i)
        big.push_back(entry(SYS_ACL_TAG_USER, 2000 + i, 0x8));
    ASSERT_EQ(store.set(f.c_str(), false, big), 0);
    sys_acl back;
    ASSERT_EQ(store.get(f.c_str(), false, &back), 0);
    EXPECT_EQ(back, big);
    // One value holds at most 64 KiB: 3276 entries.
    sys_acl too_big(3277, entry(SYS_ACL_TAG_EVERYONE, 0, 0x8));
    errno = 0;
    EXPECT_EQ(store.set(f.c_str(), false, too_big), -1);
    EXPECT_EQ(errno, E2BIG);
    ASSERT_EQ(store.get(f.c_str(), false, &back), 0);
    EXPECT_EQ(back, big);  // the refused write changed nothing
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
    std::vector<size_t> read_sizes;  // the buffer size of each read of a value
    int stats = 0;
    int probe_error = 0;
    int read_error = 0;  // of every read of a value
    // The errno with which a write of `value` is refused, or 0.
    std::function<int(const std::string &name, const bytes &value)> refuse;
    // Runs after each call that asks for a value's size.
    std::function<void()> after_size_query;

    int stat(const xattr_object &at, struct stat *st) override {
        const char *path = at.path;
        ++stats;
        auto d = devices.find(path);
        if (d == devices.end()) return errno = ENOENT, -1;
        *st = {};
        st->st_mode = S_IFREG | 0640;
        st->st_dev = d->second;
        st->st_ino = std::hash<std::string>()(path);
        return 0;
    }
    ssize_t getxattr(const xattr_object &at, const char *name, void *value, size_t size) override {
        const char *path = at.path;
        ++gets[name];
        std::string n = name;
        bool system = n.rfind("system.", 0) == 0;
        if (system && probe_error) return errno = probe_error, -1;
        if (system && !offers(path, n)) return errno = ENOTSUP, -1;
        if (size != 0) read_sizes.push_back(size);
        if (size != 0 && read_error) return errno = read_error, -1;
        auto v = values.find(std::string(path) + "|" + n);
        if (v == values.end()) return errno = ENODATA, -1;
        if (size == 0) {
            auto need = static_cast<ssize_t>(v->second.size());
            if (after_size_query) after_size_query();
            return need;
        }
        if (size < v->second.size()) return errno = ERANGE, -1;
        std::copy(v->second.begin(), v->second.end(), static_cast<uint8_t *>(value));
        return static_cast<ssize_t>(v->second.size());
    }
    int setxattr(const xattr_object &at, const char *name, const void *value,
                 size_t size) override {
        const char *path = at.path;
        ++sets[name];
        std::string n = name;
        if (n.rfind("system.", 0) == 0 && !offers(path, n)) return errno = ENOTSUP, -1;
        auto p = static_cast<const uint8_t *>(value);
        bytes b(p, p + size);
        if (int err = refuse ? refuse(n, b) : 0) return errno = err, -1;
        values[std::string(path) + "|" + n] = b;
        return 0;
    }

  private:
    bool offers(const char *path, const std::string &name) {
        for (const std::string &o : offered[std::to_string(devices[path])])
            if (o == name) return true;
        return false;
    }
};

TEST(LinuxAclStore, ZfsDatasetsUseTheirOwnAttributeAndRefuseTheAuditFlags) {
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

    // ZFS would drop 0x10 and 0x20 without a word: refused before any write.
    for (uint16_t audit : {SYS_ACL_SUCCESSFUL_ACCESS, SYS_ACL_FAILED_ACCESS}) {
        SCOPED_TRACE(audit);
        errno = 0;
        EXPECT_EQ(store.set("/zfs/b", false,
                            {entry(SYS_ACL_TAG_EVERYONE, 0, 0x8, SYS_ACL_ENTRY_TYPE_ALARM, audit)}),
                  -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(fs.sets["system.nfs4_acl_xdr"], 0);
    }

    const sys_acl without_audit(sample.begin(), sample.end() - 1);
    ASSERT_EQ(store.set("/zfs/b", false, without_audit), 0);
    ASSERT_EQ(nfs4_xdr_encode(without_audit, &blob), 0);
    EXPECT_EQ(fs.values["/zfs/b|system.nfs4_acl_xdr"], blob);
    EXPECT_EQ(fs.sets["system.nfs4_acl_xdr"], 1);
    EXPECT_EQ(fs.sets["security.nfs4acl_xdr"], 0);
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
    EXPECT_EQ(fs.gets["system.nfs4_dacl"], 1);
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

TEST(LinuxAclStore, AKnownStatusSavesTheStatusCallOfAWrite) {
    played_fs fs;
    fs.devices = {{"/a", 1}, {"/l", 1}};
    linux_acl_store store(&fs);
    struct stat known {};
    known.st_mode = S_IFREG | 0750;
    known.st_dev = 1;
    ASSERT_EQ(store.set_known("/a", false, known, sample), 0);
    EXPECT_EQ(fs.stats, 0);
    bytes expected;
    ASSERT_EQ(nfs4_xdr_encode(sample, &expected), 0);
    EXPECT_EQ(fs.values["/a|security.nfs4acl_xdr"], expected);
    // A link itself takes no ACL, and nothing is written to it.
    known.st_mode = S_IFLNK | 0777;
    errno = 0;
    EXPECT_EQ(store.set_known("/l", true, known, sample), -1);
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_EQ(fs.sets["security.nfs4acl_xdr"], 1);
    // Following a link needs the target's status.
    ASSERT_EQ(store.set_known("/l", false, known, sample), 0);
    EXPECT_EQ(fs.stats, 1);
    EXPECT_EQ(fs.values["/l|security.nfs4acl_xdr"], expected);
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

// A user entry per id, from `first` on.
sys_acl users(uint32_t count, uint32_t first = 3000) {
    sys_acl acl;
    for (uint32_t i = 0; i < count; ++i)
        acl.push_back(entry(SYS_ACL_TAG_USER, first + i, SYS_ACL_READ_DATA));
    return acl;
}

// Nearly every ACL comes in one read of 4 KiB; a larger one is read after
// asking for its size, into room of that size.
TEST(LinuxAclStore, ReadsAreSizedToTheValue) {
    played_fs fs;
    fs.devices = {{"/small", 1}, {"/large", 1}, {"/growing", 1}};
    const sys_acl small = users(129), large = users(3000);
    bytes blob;
    ASSERT_EQ(nfs4_xdr_encode(small, &blob), 0);
    fs.values["/small|security.nfs4acl_xdr"] = blob;
    ASSERT_EQ(nfs4_xdr_encode(large, &blob), 0);
    fs.values["/large|security.nfs4acl_xdr"] = blob;
    fs.values["/growing|security.nfs4acl_xdr"] = blob;
    linux_acl_store store(&fs);
    sys_acl acl;
    ASSERT_EQ(store.get("/small", false, &acl), 0);  // probes the device first
    EXPECT_EQ(acl, small);
    fs.gets.clear();
    fs.read_sizes.clear();
    ASSERT_EQ(store.get("/small", false, &acl), 0);
    EXPECT_EQ(fs.gets["security.nfs4acl_xdr"], 1);
    EXPECT_EQ(fs.read_sizes, std::vector<size_t>{4096});

    fs.gets.clear();
    fs.read_sizes.clear();
    ASSERT_EQ(store.get("/large", false, &acl), 0);
    EXPECT_EQ(acl, large);
    EXPECT_EQ(fs.gets["security.nfs4acl_xdr"], 3);  // first read, size, read
    EXPECT_EQ(fs.read_sizes, (std::vector<size_t>{4096, 8 + 3000 * 20}));
    // and the next small one is read small again.
    fs.read_sizes.clear();
    ASSERT_EQ(store.get("/small", false, &acl), 0);
    EXPECT_EQ(fs.read_sizes, std::vector<size_t>{4096});

    // A value that grows between asking its size and reading it is asked
    // for again.
    const sys_acl grown = users(3100);
    int queries = 0;
    bytes grown_blob;
    ASSERT_EQ(nfs4_xdr_encode(grown, &grown_blob), 0);
    fs.after_size_query = [&] {
        if (++queries == 1) fs.values["/growing|security.nfs4acl_xdr"] = grown_blob;
    };
    fs.read_sizes.clear();
    ASSERT_EQ(store.get("/growing", false, &acl), 0);
    EXPECT_EQ(acl, grown);
    EXPECT_EQ(fs.read_sizes, (std::vector<size_t>{4096, 8 + 3000 * 20, 8 + 3100 * 20}));

    // One that keeps growing is given up on; one that went away is none.
    fs.after_size_query = [&] {
        bytes &v = fs.values["/growing|security.nfs4acl_xdr"];
        v.resize(v.size() + 20);
    };
    errno = 0;
    EXPECT_EQ(store.get("/growing", false, &acl), -1);
    EXPECT_EQ(errno, ERANGE);
    fs.values["/growing|security.nfs4acl_xdr"] = blob;
    fs.after_size_query = [&] { fs.values.erase("/growing|security.nfs4acl_xdr"); };
    ASSERT_EQ(store.get("/growing", false, &acl), 0);
    EXPECT_EQ(acl, trivial(0640));
}

// The ACL-wide flags word belongs to the object: a write keeps the word the
// target's stored ACL has, unless the ACL written was read from the target
// itself, whose word it then carries without a second read.
TEST(LinuxAclStore, WritesKeepTheObjectsAclWideWord) {
    played_fs fs;
    fs.devices = {{"/protected", 1}, {"/other", 1}, {"/bare", 1}, {"/odd", 1}, {"/damaged", 1}};
    const char *attr = "security.nfs4acl_xdr";
    auto stored_word = [&](const std::string &path) {
        const bytes &v = fs.values[path + "|" + attr];
        return v.size() < 4 ? 0xEEEEEEEEu
                            : uint32_t{v[0]} << 24 | uint32_t{v[1]} << 16 | uint32_t{v[2]} << 8 |
                                  uint32_t{v[3]};
    };
    sys_acl with_word = sample;
    with_word.acl_flags = SYS_ACL_FLAG_PROTECTED | SYS_ACL_FLAG_AUTO_INHERIT;
    bytes blob;
    ASSERT_EQ(nfs4_xdr_encode(with_word, &blob), 0);
    fs.values[std::string("/protected|") + attr] = blob;
    with_word.acl_flags = SYS_ACL_FLAG_DEFAULTED;
    ASSERT_EQ(nfs4_xdr_encode(with_word, &blob), 0);
    fs.values[std::string("/other|") + attr] = blob;
    // Entries this program cannot read, and no ACL at all.
    fs.values[std::string("/odd|") + attr] = words({0x2, 1, 9, 0, 1, 1, 1});
    fs.values[std::string("/damaged|") + attr] = words({0x2, 2});
    linux_acl_store store(&fs);

    // Read, changed and written back: the word comes along, no second read.
    sys_acl acl;
    ASSERT_EQ(store.get("/protected", false, &acl), 0);
    EXPECT_EQ(acl.acl_flags, 0x3u);
    EXPECT_TRUE(acl.origin.known);
    acl.pop_back();
    fs.gets.clear();
    ASSERT_EQ(store.set("/protected", false, acl), 0);
    EXPECT_EQ(fs.gets[attr], 0);
    EXPECT_EQ(stored_word("/protected"), 0x3u);
    sys_acl back;
    ASSERT_EQ(store.get("/protected", false, &back), 0);
    EXPECT_EQ(back, acl);

    // Written elsewhere (copied, or made from text): each target keeps its
    // own word, 0 where nothing is stored, also when its entries cannot be
    // read; a value that is no ACL has no word.
    const struct {
        const char *path;
        uint32_t word;
    } targets[] = {{"/other", 0x4}, {"/bare", 0}, {"/odd", 0x2}, {"/damaged", 0}};
    for (const auto &t : targets) {
        SCOPED_TRACE(t.path);
        for (const sys_acl &given : {acl, sample}) {
            fs.gets.clear();
            ASSERT_EQ(store.set(t.path, false, given), 0);
            EXPECT_EQ(fs.gets[attr], 1);
            EXPECT_EQ(stored_word(t.path), t.word);
            ASSERT_EQ(store.get(t.path, false, &back), 0);
            EXPECT_EQ(back, given);
        }
    }

    // A word that cannot be read fails the write rather than being lost.
    fs.read_error = EACCES;
    bytes before = fs.values[std::string("/other|") + attr];
    errno = 0;
    EXPECT_EQ(store.set("/other", false, sample), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(fs.values[std::string("/other|") + attr], before);
}

// NFS mounts: system.nfs4_dacl (the word first) where the client offers
// it, else system.nfs4_acl (no word). Principals are names of the local
// NFSv4 domain or decimal ids; decimal ids are written first.
class NfsStore : public ::testing::Test {
  protected:
    NfsStore()
        : store(&fs, [this] {
              ++domain_asked;
              return domain;
          }) {
        fs.devices = {{"/dacl/a", 7}, {"/dacl/b", 7}, {"/acl/a", 8}};
        fs.offered["7"] = {"system.nfs4_dacl", "system.nfs4_acl"};
        fs.offered["8"] = {"system.nfs4_acl"};
        // An NFS file always has an ACL: the server makes one of the mode.
        fs.values["/dacl/a|system.nfs4_dacl"] = served({sample[2]}, true);
        fs.values["/dacl/b|system.nfs4_dacl"] = served({sample[2]}, true);
        fs.values["/acl/a|system.nfs4_acl"] = served({sample[2]}, false);
    }

    // The server's encoding of `acl`: names where it knows them.
    static bytes served(const sys_acl &acl, bool dacl, const char *domain = "example.org") {
        std::string d = domain;
        nfs4_who_resolver server{[d](bool group, uint32_t id) {
                                     if (!group && id == 1000) return "alice@" + d;
                                     if (group && id == 1001) return "devs@" + d;
                                     return std::to_string(id);
                                 },
                                 nullptr};
        bytes blob;
        EXPECT_EQ(
            dacl ? nfs4_dacl_encode(acl, server, &blob) : nfs4_string_encode(acl, server, &blob),
            0);
        return blob;
    }

    played_fs fs;
    std::string domain = "example.org";
    int domain_asked = 0;
    linux_acl_store store;
};

TEST_F(NfsStore, ReadsNamesOfTheLocalDomainAndTheWordWhereOffered) {
    sys_acl acl = sample;
    acl.acl_flags = SYS_ACL_FLAG_PROTECTED;
    fs.values["/dacl/a|system.nfs4_dacl"] = served(acl, true, "EXAMPLE.org");
    fs.values["/acl/a|system.nfs4_acl"] = served(acl, false);
    sys_acl back;
    ASSERT_EQ(store.get("/dacl/a", false, &back), 0);
    EXPECT_EQ(back, sample);
    EXPECT_EQ(back.acl_flags, SYS_ACL_FLAG_PROTECTED);
    EXPECT_EQ(fs.gets["system.nfs4_acl"], 0) << "nfs4_dacl is preferred";
    ASSERT_EQ(store.get("/acl/a", false, &back), 0);
    EXPECT_EQ(back, sample);
    EXPECT_EQ(back.acl_flags, 0u);
    EXPECT_EQ(domain_asked, 1);

    // A name of another domain, or one the databases do not know, has no
    // id here and could not be written back: the read is refused.
    for (const bytes &blob : {served(sample, true, "other.org"),
                              words({0, 1, 0, 0, 1}) + words({17}) +
                                  bytes{'g', 'h', 'o', 's', 't', '@', 'e', 'x', 'a', 'm',
                                        'p', 'l', 'e', '.', 'o', 'r', 'g', 0,   0,   0}}) {
        fs.values["/dacl/a|system.nfs4_dacl"] = blob;
        errno = 0;
        EXPECT_EQ(store.get("/dacl/a", false, &back), -1);
        EXPECT_EQ(errno, EINVAL);
    }
}

TEST_F(NfsStore, WritesDecimalIdsThenNamesWhenTheServerRefusesNumbers) {
    const sys_acl acl{sample[0], sample[1], entry(SYS_ACL_TAG_USER, 4242, SYS_ACL_READ_DATA)};
    nfs4_who_resolver decimal{[](bool, uint32_t id) { return std::to_string(id); }, nullptr};
    bytes numbers, names;
    ASSERT_EQ(nfs4_dacl_encode(acl, decimal, &numbers), 0);
    // Names where the databases have them (alice, devs), else the number.
    names = served(acl, true);

    ASSERT_EQ(store.set("/dacl/a", false, acl), 0);
    EXPECT_EQ(fs.values["/dacl/a|system.nfs4_dacl"], numbers);
    EXPECT_EQ(fs.sets["system.nfs4_dacl"], 1);
    EXPECT_EQ(domain_asked, 0) << "no domain needed";

    // A server with id mapping refuses numbers.
    fs.refuse = [&](const std::string &, const bytes &value) {
        return value == numbers ? EINVAL : 0;
    };
    fs.sets.clear();
    ASSERT_EQ(store.set("/dacl/a", false, acl), 0);
    EXPECT_EQ(fs.values["/dacl/a|system.nfs4_dacl"], names);
    EXPECT_EQ(fs.sets["system.nfs4_dacl"], 2);
    // The mount is remembered: names go first from now on.
    fs.sets.clear();
    ASSERT_EQ(store.set("/dacl/b", false, acl), 0);
    EXPECT_EQ(fs.values["/dacl/b|system.nfs4_dacl"], names);
    EXPECT_EQ(fs.sets["system.nfs4_dacl"], 1);
    EXPECT_EQ(domain_asked, 1);

    // A refusal of both forms is the server's answer.
    fs.refuse = [](const std::string &, const bytes &) { return EINVAL; };
    errno = 0;
    EXPECT_EQ(store.set("/dacl/b", false, acl), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(fs.values["/dacl/b|system.nfs4_dacl"], names);
}

TEST_F(NfsStore, NoSecondWriteWithoutADomainOrANameToWrite) {
    fs.refuse = [](const std::string &, const bytes &) { return EINVAL; };
    const sys_acl special{sample[2], sample[3]};
    const sys_acl named{sample[0]};
    const struct {
        const char *what;
        std::string domain;
        sys_acl acl;
        int sets;
    } cases[] = {
        {"domain unknown", "", named, 1},
        {"no named principal", "example.org", special, 1},
        {"both forms tried", "example.org", named, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        played_fs one = fs;
        linux_acl_store own(&one, [&] { return c.domain; });
        errno = 0;
        EXPECT_EQ(own.set("/acl/a", false, c.acl), -1);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(one.sets["system.nfs4_acl"], c.sets);
    }
    // Other refusals are not about principals.
    fs.refuse = [](const std::string &, const bytes &) { return EPERM; };
    errno = 0;
    EXPECT_EQ(store.set("/acl/a", false, named), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(fs.sets["system.nfs4_acl"], 1);
}

TEST_F(NfsStore, TheWordIsKeptInNfs4DaclAndAbsentFromNfs4Acl) {
    sys_acl acl = {sample[2]};
    acl.acl_flags = SYS_ACL_FLAG_PROTECTED;
    fs.values["/dacl/a|system.nfs4_dacl"] = served(acl, true);
    fs.values["/acl/a|system.nfs4_acl"] = served(acl, false);
    ASSERT_EQ(store.set("/dacl/a", false, {sample[3]}), 0);
    const bytes &dacl = fs.values["/dacl/a|system.nfs4_dacl"];
    EXPECT_EQ(bytes(dacl.begin(), dacl.begin() + 4), words({SYS_ACL_FLAG_PROTECTED}));
    fs.read_sizes.clear();
    ASSERT_EQ(store.set("/acl/a", false, {sample[3]}), 0);
    EXPECT_TRUE(fs.read_sizes.empty()) << "no word to keep, nothing to read";
    EXPECT_EQ(fs.values["/acl/a|system.nfs4_acl"], served({sample[3]}, false));
}

}  // namespace
#endif
