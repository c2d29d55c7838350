// path: the thin layer between the commands and the file system. It makes
// sure the current directory is known before a path is used relative to it,
// resolves paths into absolute, normalised texts for display, and wraps
// directory streams in a handle of its own.
//
// Paths go to the system exactly as given; only fs_fullpath rewrites them.
// All operations return -1 or null with errno on failure (the system's
// error, or the ones named below).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Size of the buffer the layer asks getcwd with, and of the buffers callers
// of fs_fullpath pass.
inline constexpr size_t FS_PATH_MAX = 2048;

// The layer's record of the current directory, set whenever getcwd succeeds
// here and by a successful fs_chdir. Only its presence is consulted: it
// means the current directory is known. Replaced, never cleared.
extern std::optional<std::string> fs_cwd;

// The current-directory guard: 0 when fs_cwd is set or getcwd can set it
// now; -1 with ENOSYS when the current directory cannot be determined.
// Operations run it only for a null path.
int fs_need_cwd();

// lstat of `path` (null or empty: "."), with the guard for a null path.
// *st is all zero bytes on failure. 0, or -1 with errno.
int fs_lstat(const char *path, struct stat *st);

// statvfs of `path` (null or empty: "."), with the guard for a null path.
// 0, or -1 with errno.
int fs_statvfs(const char *path, struct statvfs *st);

// Directory handle kinds; a local directory is the only one.
inline constexpr int32_t FS_DIR_LOCAL = 1;

struct fs_dir_t {
    int32_t kind;  // FS_DIR_LOCAL
    DIR *stream;   // from opendir
};

// Opens the directory `path` (null or empty: "."), with the guard for a null
// path. A new handle for fs_readdir, to be closed with fs_closedir; null
// with errno when opendir fails (ENOMEM when no handle can be made).
fs_dir_t *fs_opendir(const char *path);

// The next entry of the directory (callers use its d_name), or null at the
// end or on error (errno tells them apart when the caller cleared it).
// ENOSYS for a handle of another kind, EINVAL for null.
struct dirent *fs_readdir(fs_dir_t *dir);

// Closes the stream and frees the handle; the result of closedir. -1 with
// ENOSYS for a handle of another kind, which is not freed; EINVAL for null.
int fs_closedir(fs_dir_t *dir);

// Closes a handle held in an fs_dir_ptr, keeping errno.
struct fs_dir_closer {
    void operator()(fs_dir_t *dir) const noexcept;
};
using fs_dir_ptr = std::unique_ptr<fs_dir_t, fs_dir_closer>;

// An owned file descriptor, closed (errno kept) when replaced or destroyed.
class fs_fd {
  public:
    explicit fs_fd(int fd = -1) noexcept : fd_(fd) {}
    ~fs_fd() { reset(); }
    fs_fd(fs_fd &&other) noexcept : fd_(other.release()) {}
    fs_fd &operator=(fs_fd &&other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    fs_fd(const fs_fd &) = delete;
    fs_fd &operator=(const fs_fd &) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int release() noexcept {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1) noexcept;

  private:
    int fd_;
};

// Descriptors given up together: closed in batches, a run of consecutive
// numbers with one call where the system has close_range(2). The kernel
// hands out the lowest free numbers, so directories opened one after
// another and done with one after another form such runs. Whatever is held
// is closed by flush() and by the destructor.
class fs_fd_batch {
  public:
    static constexpr size_t SIZE = 32;
    fs_fd_batch() = default;
    ~fs_fd_batch() { flush(); }
    fs_fd_batch(const fs_fd_batch &) = delete;
    fs_fd_batch &operator=(const fs_fd_batch &) = delete;

    // Takes the descriptor over; closes the batch once it is full.
    void give(fs_fd fd) noexcept;
    // Closes every descriptor held; false when there was none.
    bool flush() noexcept;

  private:
    int fds_[SIZE];
    size_t count_ = 0;
};

// The status of `name` itself (a final symbolic link not followed) in the
// directory open as `dirfd`; with AT_FDCWD `name` is a path, as fs_lstat
// takes it. *st is all zero bytes on failure. 0, or -1 with errno.
int fs_lstat_at(int dirfd, const char *name, struct stat *st);

// Opens the directory `name` in the directory open as `dirfd` for reading
// and as the base of further *_at calls, and checks that it is the object
// whose status the caller holds in `expected` (same device and inode). Below
// a descriptor a symbolic link at `name` is not followed (ELOOP); with
// AT_FDCWD `name` is a path as typed and the check alone guards it. A new
// descriptor, or -1 with errno: ENOENT when another object has taken the
// place of the expected one, ENOTDIR when it is no directory.
int fs_open_dir_at(int dirfd, const char *name, const struct stat &expected);

// Opens the directory `name` (one component, a symbolic link not followed)
// in the directory open as `dirfd`, as fs_open_dir_at() does, and takes its
// status from the descriptor into *st: what is opened is what is described.
// A new descriptor, or -1 with errno (ENOTDIR for what is no directory, a
// link included; some systems say ELOOP for a link; EINVAL for AT_FDCWD or a
// name that is not one component).
int fs_open_dir_status_at(int dirfd, const char *name, struct stat *st);

// Opens the directory that holds the last component of `path`, for *_at
// calls on that component, going from "/" (an absolute path) or the current
// directory one component at a time: each directory is opened from the one
// before without following a symbolic link, except a link owned by root or
// by the running user (the system's and the administrator's own, such as
// FreeBSD's /home -> usr/home), whose target is followed. Someone else's
// link on the way is refused, so that a path read from a file cannot be
// bent out of its tree. *last receives the last component, which is not
// resolved: "." for "/", "", "." and a path ending in "/." (empty components
// of repeated slashes are skipped). A new descriptor, or -1 with errno:
// ELOOP for a link of another owner, the system's errno otherwise.
int fs_open_parent(const char *path, std::string *last);

// chdir to `path` (null counts as "", which the system refuses); on success
// fs_cwd becomes a copy of the path. 0, or -1 with errno.
int fs_chdir(const char *path);

// Writes the absolute, normalised form of `path` into the `size` bytes at
// `buffer` and returns `buffer`; null with errno on failure. A relative path
// is taken from the current directory (null, empty and "." give it as
// getcwd returns it). Whole "." and ".." components are removed textually
// (".." of the root is the root; symbolic links are not consulted);
// repeated slashes stay. ERANGE when the result would not fit, EINVAL for a
// null buffer or a size of 0.
char *fs_fullpath(const char *path, char *buffer, size_t size);
