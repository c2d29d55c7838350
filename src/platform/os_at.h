// os_at: one object below an open directory, named so that the path-taking
// system calls reach exactly that object. A recursive walk holds a verified
// descriptor of each directory it works in; handing the calls a path built
// from the walk's own path string again would let anyone who can rename
// inside the tree swap an ancestor for a symbolic link and send the call
// elsewhere. Through the descriptor no ancestor is looked up again, and
// used with the calls that do not follow a final link (l*xattr,
// acl_*_link_np, extattr_*_link) the object's own name is not followed
// either.
//
// Linux names the object "/proc/self/fd/<dirfd>/<name>". FreeBSD has no such
// names: there the object's directory becomes the current directory for the
// life of the os_at_path (the one before is restored by the destructor) and
// the bare name is used. One os_at_path at a time, for the duration of one
// call; the program is single-threaded.
//
// AT_FDCWD as the directory: `name` is a path as the user typed it, used
// unchanged (the named paths of a command resolve as typed).
#pragma once

#include <sys/types.h>

#include <climits>
#include <cstddef>

// Whether `name` can name an object for the calls here: not empty, and with
// a directory descriptor one component (a '/' would let the lookup pass
// through links again). False with errno EINVAL, or EBADF for a negative
// descriptor other than AT_FDCWD.
bool os_at_name_valid(int dirfd, const char *name);

#ifdef __linux__
// The attribute calls of the object `name` itself (one component, a final
// symbolic link not followed) in the directory open as `dirfd`, as
// lgetxattr(2) and lsetxattr(2) (create or replace) would make them. The
// kernel's getxattrat(2) and setxattrat(2) do it in one look-up; where the
// kernel lacks them (or a sandbox refuses them) the procfs name of
// os_at_path is used.
ssize_t os_getxattr_at(int dirfd, const char *name, const char *attribute, void *value,
                       size_t size);
int os_setxattr_at(int dirfd, const char *name, const char *attribute, const void *value,
                   size_t size);
#endif

class os_at_path {
  public:
    // Names `name` (one path component, not empty) in the directory open as
    // `dirfd`. On failure ok() is false and errno says why: EINVAL for an
    // empty name or one with a '/' below a descriptor, ENAMETOOLONG, or the
    // error of changing directory (FreeBSD).
    os_at_path(int dirfd, const char *name);
    ~os_at_path();
    os_at_path(const os_at_path &) = delete;
    os_at_path &operator=(const os_at_path &) = delete;

    bool ok() const { return path_ != nullptr; }

    // The path to hand to the call while this object lives; null when !ok().
    const char *path() const { return path_; }

  private:
    // The checks both systems make first (os_at.cc): true when the name is
    // settled without the descriptor, either used as typed (AT_FDCWD) or
    // refused with errno.
    bool settled(int dirfd, const char *name);

    const char *path_ = nullptr;
    // Linux: the /proc name ("/proc/self/fd/", a number, "/", one name).
    [[maybe_unused]] char built_[32 + NAME_MAX + 1];
    // FreeBSD: the current directory to return to.
    [[maybe_unused]] int home_ = -1;
};
