#include "fs/path.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "platform/os_at.h"
#include "util/nomem.h"
#include "util/strutil.h"

std::optional<std::string> fs_cwd;

namespace {

int fail(int err) {
    errno = err;
    return -1;
}

// Asks getcwd into `buffer` and records the answer; false (errno from
// getcwd) when the current directory cannot be determined.
bool read_cwd(char *buffer, size_t size) {
    if (getcwd(buffer, size) == nullptr) return false;
    // The directory is known all the same if this fails: the record is only
    // a cache.
    or_enomem(false, [&] {
        fs_cwd = buffer;
        return true;
    });
    return true;
}

// The path an operation uses: "." for null or empty; null after a failed
// guard.
const char *resolve(const char *path) {
    if (path == nullptr && fs_need_cwd() != 0) return nullptr;
    return path == nullptr || *path == '\0' ? "." : path;
}

// Removes `n` characters at `pos` of the terminated text at `s`.
void erase(char *s, size_t pos, size_t n) {
    std::memmove(s + pos, s + pos + n, std::strlen(s + pos + n) + 1);
}

// Removes whole "." and ".." components in one left-to-right scan.
void normalise(char *s) {
    size_t i = 0;
    while (s[i] != '\0') {
        if (s[i] == '/' && s[i + 1] == '.' && (s[i + 2] == '/' || s[i + 2] == '\0')) {
            erase(s, i, 2);  // "/./" keeps its last slash; a final "/." goes
        } else if (s[i] == '/' && s[i + 1] == '.' && s[i + 2] == '.' &&
                   (s[i + 3] == '/' || s[i + 3] == '\0')) {
            size_t prev = i;
            while (prev > 0 && s[prev - 1] != '/')
                --prev;
            if (prev == 0) {
                erase(s, i, 3);  // the parent of the root is the root
            } else {
                --prev;  // the previous "/"
                erase(s, prev, i + 3 - prev);
                i = prev;
            }
        } else {
            ++i;
        }
    }
    if (s[0] == '\0') std::strcpy(s, "/");
}

}  // namespace

int fs_need_cwd() {
    if (!fs_cwd) {
        char buffer[FS_PATH_MAX];
        int saved = errno;
        if (!read_cwd(buffer, sizeof buffer)) return fail(ENOSYS);
        errno = saved;
    }
    return 0;
}

int fs_lstat(const char *path, struct stat *st) {
    if (st == nullptr) return fail(EINVAL);
    std::memset(st, 0, sizeof *st);
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    if (lstat(p, st) != 0) {
        int err = errno;
        std::memset(st, 0, sizeof *st);
        return fail(err);
    }
    return 0;
}

int fs_statvfs(const char *path, struct statvfs *st) {
    if (st == nullptr) return fail(EINVAL);
    std::memset(st, 0, sizeof *st);
    const char *p = resolve(path);
    if (p == nullptr) return -1;
    return statvfs(p, st);
}

void fs_fd::reset(int fd) noexcept {
    if (fd_ >= 0) {
        int saved = errno;
        close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

int fs_lstat_at(int dirfd, const char *name, struct stat *st) {
    if (st == nullptr) return fail(EINVAL);
    if (dirfd == AT_FDCWD) return fs_lstat(name, st);
    std::memset(st, 0, sizeof *st);
    if (name == nullptr) return fail(EINVAL);
    if (fstatat(dirfd, name, st, AT_SYMLINK_NOFOLLOW) != 0) {
        int err = errno;
        std::memset(st, 0, sizeof *st);
        return fail(err);
    }
    return 0;
}

int fs_open_dir_at(int dirfd, const char *name, const struct stat &expected) {
    const char *n = dirfd == AT_FDCWD ? resolve(name) : name;
    if (n == nullptr) return name == nullptr && dirfd != AT_FDCWD ? fail(EINVAL) : -1;
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
    if (dirfd != AT_FDCWD) flags |= O_NOFOLLOW;
    fs_fd fd(openat(dirfd, n, flags));
    if (!fd) return -1;
    struct stat st;
    if (fstat(fd.get(), &st) != 0) return -1;
    if (st.st_dev != expected.st_dev || st.st_ino != expected.st_ino) return fail(ENOENT);
    return fd.release();
}

void fs_fd_batch::give(fs_fd fd) noexcept {
    if (!fd) return;
    fds_[count_++] = fd.release();
    if (count_ == SIZE) flush();
}

bool fs_fd_batch::flush() noexcept {
    if (count_ == 0) return false;
    std::sort(fds_, fds_ + count_);
    for (size_t first = 0, last; first < count_; first = last + 1) {
        last = first;
        while (last + 1 < count_ && fds_[last + 1] == fds_[last] + 1)
            ++last;
        // Every number in the run is one of ours: closing the range closes
        // nothing else.
        if (last > first && close_range(static_cast<unsigned>(fds_[first]),
                                        static_cast<unsigned>(fds_[last]), 0) == 0)
            continue;
        for (size_t i = first; i <= last; ++i)
            close(fds_[i]);
    }
    count_ = 0;
    return true;
}

int fs_open_dir_status_at(int dirfd, const char *name, struct stat *st) {
    // Below a descriptor only: one component, not followed.
    if (dirfd == AT_FDCWD || st == nullptr) return fail(EINVAL);
    if (!os_at_name_valid(dirfd, name)) return -1;
    fs_fd fd(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (!fd || fstat(fd.get(), st) != 0) return -1;
    return fd.release();
}

int fs_open_parent(const char *path, std::string *last) {
    if (path == nullptr || last == nullptr) return fail(EINVAL);
    std::string_view rest = path;
    fs_fd dir(open(rest.substr(0, 1) == "/" ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return -1;
    std::string name = ".";
    for (;;) {
        size_t start = rest.find_first_not_of('/');
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        size_t end = rest.find('/');
        std::string_view component = rest.substr(0, end);
        rest.remove_prefix(component.size());
        if (!or_enomem(false, [&] {
                name.assign(component);
                return true;
            }))
            return -1;
        if (rest.find_first_not_of('/') == std::string_view::npos) break;  // the last one
        if (name == ".") continue;

        // A directory on the way.
        struct stat st;
        if (fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
        fs_fd next;
        if (!S_ISLNK(st.st_mode)) {
            next.reset(fs_open_dir_at(dir.get(), name.c_str(), st));
        } else {
            if (st.st_uid != 0 && st.st_uid != geteuid()) return fail(ELOOP);
            struct stat target;
            if (fstatat(dir.get(), name.c_str(), &target, 0) != 0) return -1;
            next.reset(openat(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            struct stat opened;
            if (next && (fstat(next.get(), &opened) != 0 || opened.st_dev != target.st_dev ||
                         opened.st_ino != target.st_ino))
                return fail(ENOENT);  // the link changed between the looks
        }
        if (!next) return -1;
        dir = std::move(next);
    }
    if (!or_enomem(false, [&] {
            *last = name;
            return true;
        }))
        return -1;
    return dir.release();
}

fs_dir_t *fs_opendir(const char *path) {
    const char *p = resolve(path);
    if (p == nullptr) return nullptr;
    DIR *stream = opendir(p);
    if (stream == nullptr) return nullptr;
    fs_dir_t *dir = or_enomem<fs_dir_t *>(nullptr, [&] {
        auto made = std::make_unique<fs_dir_t>();
        made->kind = FS_DIR_LOCAL;
        made->stream = stream;
        return made.release();
    });
    if (dir == nullptr) {
        int saved = errno;
        closedir(stream);
        errno = saved;
    }
    return dir;
}

struct dirent *fs_readdir(fs_dir_t *dir) {
    if (dir == nullptr) return errno = EINVAL, nullptr;
    if (dir->kind != FS_DIR_LOCAL) return errno = ENOSYS, nullptr;
    return readdir(dir->stream);
}

int fs_closedir(fs_dir_t *dir) {
    if (dir == nullptr) return fail(EINVAL);
    if (dir->kind != FS_DIR_LOCAL) return fail(ENOSYS);
    std::unique_ptr<fs_dir_t> owned(dir);
    return closedir(owned->stream);
}

void fs_dir_closer::operator()(fs_dir_t *dir) const noexcept {
    int saved = errno;
    fs_closedir(dir);
    errno = saved;
}

int fs_chdir(const char *path) {
    if (path == nullptr) path = "";
    if (chdir(path) != 0) return -1;
    // The change has happened even if this fails: the record is only a cache.
    or_enomem(false, [&] {
        fs_cwd = path;
        return true;
    });
    return 0;
}

char *fs_fullpath(const char *path, char *buffer, size_t size) {
    if (buffer == nullptr || size == 0) return errno = EINVAL, nullptr;
    if (path != nullptr && path[0] == '/') {
        if (std::strlen(path) + 1 > size) return errno = ERANGE, nullptr;
        if (str_copy(buffer, size, path) < 0) return nullptr;
    } else {
        if (!read_cwd(buffer, size)) return nullptr;
        if (path == nullptr || std::strcmp(path, ".") == 0 || *path == '\0') return buffer;
        size_t cwd = std::strlen(buffer);
        if (cwd + std::strlen(path) + 2 > size) return errno = ERANGE, nullptr;
        // In the root directory the slash is there already: "x" is "/x", not "//x".
        if (buffer[cwd - 1] != '/' && str_append(buffer, size, "/") < 0) return nullptr;
        if (str_append(buffer, size, path) < 0) return nullptr;
    }
    normalise(buffer);
    return buffer;
}
