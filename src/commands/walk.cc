#include "commands/walk.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "fs/acl_io.h"
#include "fs/path.h"
#include "util/escape.h"
#include "util/nomem.h"

namespace {

// A subdirectory met while its parent was read, walked after the parent's
// stream is closed.
struct pending_dir {
    std::string path;
    struct stat st;
};

// One directory of the current branch: the subdirectories still to walk and
// their depth.
struct level {
    std::vector<pending_dir> dirs;
    size_t next = 0;
    unsigned depth = 0;
};

bool is_dot_or_dotdot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class walker {
  public:
    walker(walk_callback_t callback, void *context, int max_depth, uint16_t types)
        : callback_(callback), context_(context), max_depth_(max_depth), types_(types) {}

    // The walk below one named path. The branch is kept on an explicit
    // stack, so deep trees cost heap, not call stack.
    int run(const char *path, const struct stat &st) {
        int result = visit(path, st, 0);
        if (result < 0) return result;
        if (!descends(st, 0)) return 0;
        std::vector<level> branch(1);
        result = read_dir(path, 0, &branch.back());
        if (result != 0) return result;
        while (!branch.empty()) {
            level &top = branch.back();
            if (top.next == top.dirs.size()) {
                branch.pop_back();
                continue;
            }
            unsigned depth = top.depth;
            pending_dir dir = std::move(top.dirs[top.next++]);
            result = visit(dir.path.c_str(), dir.st, depth);
            if (result < 0) return result;
            if (!descends(dir.st, depth)) continue;
            branch.emplace_back();
            result = read_dir(dir.path.c_str(), depth, &branch.back());
            if (result != 0) return result;
        }
        return 0;
    }

  private:
    // Calls back for a directory or a named path. A positive result is not
    // a reason to stop here: only a failure (negative) ends the walk.
    int visit(const char *path, const struct stat &st, unsigned depth) {
        cancel_point();
        if (!file_type_passes(st.st_mode, types_)) return 0;
        int result = callback_(path, &st, depth, context_);
        return result < 0 ? result : 0;
    }

    // Directories are opened unless they stand at the depth limit.
    bool descends(const struct stat &st, unsigned depth) const {
        return S_ISDIR(st.st_mode) && static_cast<long long>(depth) != max_depth_;
    }

    // Reads the directory at `path` (depth `depth`) to its end: its
    // non-directories are visited now, its subdirectories go to `out`. The
    // stream is closed before returning. 0, the stopping value of a
    // callback, or -1 with errno.
    int read_dir(const char *path, unsigned depth, level *out) {
        out->depth = depth + 1;
        fs_dir_ptr dir(fs_opendir(path));
        if (!dir) return -1;
        // One buffer for every child path of this directory.
        std::string child(path);
        child += '/';
        const size_t base = child.size();
        struct stat st;
        for (;;) {
            cancel_point();
            errno = 0;
            const struct dirent *entry = fs_readdir(dir.get());
            if (entry == nullptr) {
                if (errno != 0) return -1;
                break;
            }
            if (is_dot_or_dotdot(entry->d_name)) continue;
            child.resize(base);
            child += entry->d_name;
            if (fs_lstat(child.c_str(), &st) != 0) return -1;
            if (S_ISDIR(st.st_mode)) {
                out->dirs.push_back({child, st});
                continue;
            }
            if (!file_type_passes(st.st_mode, types_)) continue;
            int result = callback_(child.c_str(), &st, depth + 1, context_);
            if (result != 0) return result;
        }
        return 0;
    }

    walk_callback_t callback_;
    void *context_;
    long long max_depth_;
    uint16_t types_;
};

}  // namespace

bool file_type_passes(mode_t mode, uint16_t types) {
    return types == 0 || (mode & types) != 0;
}

int walk_path(const char *path, walk_callback_t callback, void *context, int max_depth,
              uint16_t types) {
    // An empty path is the current directory; joining entries to "" would
    // name entries of the root instead.
    if (path == nullptr || *path == '\0') path = ".";
    struct stat st;
    if (fs_lstat(path, &st) != 0) return -1;
    return or_enomem(-1, [&] {
        walker w(callback, context, max_depth, types);
        return w.run(path, st);
    });
}

int walk_paths(int count, char *const *paths, walk_callback_t callback, void *context) {
    if (count <= 0) return 0;
    int max_depth = config.recurse != 0 ? -1 : config.max_depth;
    auto types = static_cast<uint16_t>(config.types & 0xFFFF);
    for (int i = 0; i < count; i++) {
        if (walk_path(paths[i], callback, context, max_depth, types) != 0)
            report(1, errno, "%s: Accessing", shown_name(paths[i]).c_str());
    }
    return 0;
}

int get_path_acl(const char *path, const struct stat *st, gacl_t *acl) {
    struct stat own;
    if (st == nullptr) {
        if (fs_lstat(path, &own) != 0) return -1;
        st = &own;
    }
    gacl_t read = fs_acl_get_path_np(path, GACL_TYPE_NFS4, st);
    if (read == nullptr) return S_ISLNK(st->st_mode) && errno == EOPNOTSUPP ? 0 : -1;
    *acl = read;
    return 1;
}

gacl_ptr read_path_acl(const char *path, const struct stat *st) {
    gacl_t acl = nullptr;
    int got = get_path_acl(path, st, &acl);
    if (got < 0) report(1, errno, "%s: Getting ACL", shown_name(path).c_str());
    return gacl_ptr(got > 0 ? acl : nullptr);
}

const char *mode_string(mode_t mode) {
    static char text[11];
    static constexpr char type_chars[] = "pc?d?b?-?l?s?w";
    unsigned code = (mode & S_IFMT) >> 12;
    text[0] = code >= 1 && code <= 14 ? type_chars[code - 1] : '?';
    // Per triplet: the read, write and execute bits, the special bit shown
    // over the execute place, and its letter.
    struct triplet {
        mode_t r, w, x, special;
        char letter;
    };
    static constexpr triplet triplets[] = {
        {S_IRUSR, S_IWUSR, S_IXUSR, S_ISUID, 's'},
        {S_IRGRP, S_IWGRP, S_IXGRP, S_ISGID, 's'},
        {S_IROTH, S_IWOTH, S_IXOTH, S_ISVTX, 't'},
    };
    char *p = text + 1;
    for (const triplet &t : triplets) {
        *p++ = mode & t.r ? 'r' : '-';
        *p++ = mode & t.w ? 'w' : '-';
        if (mode & t.special)
            *p++ = mode & t.x ? t.letter : static_cast<char>(t.letter - 'a' + 'A');
        else
            *p++ = mode & t.x ? 'x' : '-';
    }
    *p = '\0';
    return text;
}

const char *file_type_name(unsigned type_code) {
    switch (type_code) {
        case 1:
            return "fifo";
        case 2:
            return "char-device";
        case 4:
            return "directory";
        case 6:
            return "block-device";
        case 8:
            return "file";
        case 10:
            return "link";
        case 12:
            return "socket";
        case 14:
            return "whiteout";
        default:
            return "unknown";
    }
}
