// Generates a tree for the list-access benchmark: two levels of directories
// with the files spread over the leaves, and NFSv4 ACLs (named users and
// groups, deny entries, inheritance flags) on every directory and on a share
// of the files, written straight into security.nfs4acl_xdr (numeric XDR).
//
//   vossik_make_tree <dir> [files (100000)] [one file in N with an ACL (10)]
//
// Writing security.* needs root; without it the tree gets no ACLs and the
// program says so.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int FANOUT = 32;  // 32 x 32 leaf directories

// Written in XDR order as type, flag, iflag, mask, who.
struct ace {
    uint32_t type, flag, iflag;
    uint32_t who;  // iflag 1: 1 owner@, 2 group@, 3 everyone@; else a uid or gid
    uint32_t mask;
};

// NFSv4 wire bits.
constexpr uint32_t R = 0x1, W = 0x2, P = 0x4, RX = 0x8, WX = 0x10, X = 0x20, DC = 0x40, RA = 0x80,
                   WA = 0x100, D = 0x10000, RC = 0x20000, WC = 0x40000, WO = 0x80000, S = 0x100000;
constexpr uint32_t READ = R | RX | RA | RC | S;
constexpr uint32_t FULL = READ | W | P | WX | X | DC | WA | D | WC | WO;
constexpr uint32_t GROUP_FLAG = 0x40, FD = 0x3;

void put(std::string *blob, uint32_t w) {
    for (int shift = 24; shift >= 0; shift -= 8)
        blob->push_back(static_cast<char>((w >> shift) & 0xFF));
}

std::string encode(const std::vector<ace> &aces) {
    std::string blob;
    put(&blob, 0);
    put(&blob, static_cast<uint32_t>(aces.size()));
    for (const ace &a : aces) {
        put(&blob, a.type);
        put(&blob, a.flag);
        put(&blob, a.iflag);
        put(&blob, a.mask);
        put(&blob, a.who);
    }
    return blob;
}

bool acls_ok = true;

void set_acl(const std::string &path, const std::string &blob) {
    if (!acls_ok) return;
    if (setxattr(path.c_str(), "security.nfs4acl_xdr", blob.data(), blob.size(), 0) != 0) {
        std::fprintf(stderr, "vossik_make_tree: %s: writing the ACL: %s; going on without ACLs\n",
                     path.c_str(), std::strerror(errno));
        acls_ok = false;
    }
}

void make_dir(const std::string &path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <dir> [files] [one file in N with an ACL]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const long files = argc > 2 ? std::atol(argv[2]) : 100000;
    const long every = argc > 3 ? std::atol(argv[3]) : 10;

    // Directories pass inheritable entries on; files carry a named user, a
    // named group (one of them without a name) and a deny entry.
    const std::string dir_acl = encode({
        {0, FD, 1, 1, FULL},
        {0, FD, 0, 1, READ | X},
        {0, FD | GROUP_FLAG, 0, 0, READ | X},
        {1, FD, 1, 2, W | P},
        {0, FD, 1, 3, READ | X},
    });
    const std::string file_acl = encode({
        {0, 0, 1, 1, FULL},
        {0, 0, 0, 1, READ | W},
        {0, 0x80, 0, 4242, READ},
        {0, GROUP_FLAG, 0, 0, READ},
        {1, 0, 1, 2, W | P | WX},
        {0, 0, 1, 3, READ},
    });

    make_dir(root);
    std::vector<std::string> leaves;
    for (int i = 0; i < FANOUT; i++) {
        std::string top = root + "/d" + std::to_string(i);
        make_dir(top);
        set_acl(top, dir_acl);
        for (int j = 0; j < FANOUT; j++) {
            std::string leaf = top + "/e" + std::to_string(j);
            make_dir(leaf);
            set_acl(leaf, dir_acl);
            leaves.push_back(leaf);
        }
    }
    for (long n = 0; n < files; n++) {
        std::string path =
            leaves[static_cast<size_t>(n) % leaves.size()] + "/f" + std::to_string(n);
        int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            return 1;
        }
        close(fd);
        if (every > 0 && n % every == 0) set_acl(path, file_acl);
    }
    std::printf("%s: %ld files in %zu directories%s\n", root.c_str(), files,
                leaves.size() + FANOUT + 1, acls_ok ? ", with ACLs" : ", without ACLs");
    return 0;
}
