// walk: runs a command's per-object operation over its path arguments and,
// within the configured depth, over everything below them, filtered by file
// type. Also the one way the commands read the ACL of an object, and the
// file type names and ls-style mode string of the print styles.
//
// The walk never follows symbolic links below a named path, whatever
// happens in the tree while it runs. Every object below a named path is
// reached from its directory's open descriptor by name, its status taken
// without following a link, and what the command gets is that object
// (descriptor, name, status), whose ACL it reads and writes through the
// descriptor (walk_object, get_object_acl, update_acl): renaming an
// ancestor, or swapping the object for a link, cannot send a read or a
// write outside the tree. A directory is opened without following a link
// and must be the object whose status its visit took; what an object has
// become by its visit is what it is handled as (a link is a link: no ACL,
// not descended). The named paths themselves resolve as the user typed
// them.
//
// One directory stream is open at a time: a directory's entries are read
// and its non-directories visited, the stream is closed, and only then are
// its subdirectories walked. The descriptors of the directories on the
// current branch stay open, up to a cap; beyond it the upper ones are
// closed and reopened through "..", checked to be the same directory.
// Depth is limited by memory only. Visit order: the named path; then, per
// directory, its non-directories in directory order, then each
// subdirectory with everything below it, in directory order. Paths below a
// named path are the parent's path, "/" and the entry name, without
// normalisation ("." gives ./x, dir/ gives dir//x); they serve messages
// only.
//
// Read-ahead: while the command works on the non-directories of a
// directory in order, worker threads (config.jobs) take the status of the
// entries that follow, and for a command that reads ACLs their stored ACL,
// through the directory's descriptor as above. The walk hands the objects
// to the command strictly in order, each as if it had been fetched at its
// turn: an object that the command has just handled under another name (a
// hard link) is fetched again. Output, messages, failures and status do
// not depend on the number of threads; memory is a fixed window of
// objects. Directories are visited on the walk's own thread.
//
// Failures (a status that cannot be taken, a directory that cannot be
// opened or read, a command that fails on an object) are reported naming
// that object: "<path>: Accessing" and errno, or the command's own message.
// Without config.keep_going the first failure ends the command. With it
// every failure is reported, the walk goes on with the rest of the
// directory, the other subtrees and the later named paths, and the command
// ends with status 1.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include "gacl/acl.h"

// What the read-ahead fetched of an object (walk.cc).
struct walk_ahead;

// One object as the walk reached it. Everything belongs to the walk and
// lives for the duration of the callback.
struct walk_object {
    int dirfd;         // the directory it was found in; AT_FDCWD for a named path
    const char *name;  // its name in that directory; a named path as typed
    const char *path;  // its path as walked, for messages
    struct stat st;    // its lstat status, taken when the walk reached it
    unsigned depth;    // 0 for a named path
    // Its ACL as the read-ahead fetched it, or null: the first
    // get_object_acl() takes it instead of reading.
    walk_ahead *ahead = nullptr;
};

// What the walk fetches ahead of the command besides the status: nothing,
// or the ACL (for commands that read the ACL of every object they visit).
enum class walk_prefetch { status, acl };

// The per-object operation: the object and the caller's context. 0 goes on;
// a negative result is a failure of the object (reported as
// "<path>: Accessing" with errno); a positive one is a failure when
// returned for a non-directory inside a directory and is ignored for a
// directory or a named path. A callback may also report its own failure
// (report() with a non-zero status): under keep-going the walk takes that
// as the object's failure and goes on.
using walk_callback_t = int (*)(const walk_object *object, void *context);

// Walks each of the `count` paths in order with the depth limit (-1 when
// config.recurse is set, else config.max_depth) and the type mask (low 16
// bits of config.types) of the running command. Returns 0; failures end
// the command as described above (under keep-going after the last path,
// with status 1 and no further message).
int walk_paths(int count, char *const *paths, walk_callback_t callback, void *context,
               walk_prefetch prefetch = walk_prefetch::status);

// Walks one named path. `max_depth` -1 (or any negative value) descends
// without limit, 0 visits the named path only, N opens directories down to
// depth N-1. `types` is a file-type mask (0: every type). Failures are
// reported as described above; the first one ends the command unless
// config.keep_going. Returns 0, or 1 when failures were reported and the
// walk went on.
int walk_path(const char *path, walk_callback_t callback, void *context, int max_depth,
              uint16_t types, walk_prefetch prefetch = walk_prefetch::status);

// The worker threads of a walk's read-ahead for config.jobs: 0 for 1, a
// thread per CPU (at least two) for 0 or below, else the number asked (at most
// 64).
unsigned walk_read_ahead_threads();

// True when an object of mode `mode` passes the type mask: the mask is 0,
// or it shares a bit with the mode. The test is on bits, not on type codes,
// so a mask passes more types than its letters name (f also passes links).
bool file_type_passes(mode_t mode, uint16_t types);

// The object of a named path: `path` as typed (AT_FDCWD), its lstat record
// `st`, depth 0.
walk_object walk_named_object(const char *path, const struct stat &st);

// Reads the NFSv4 ACL of `object` itself (a symbolic link itself, not its
// target), through its directory's descriptor. Returns 1 with a new ACL in
// *acl (release it with gacl_free), 0 for a symbolic link on which the
// system supports no ACL (nothing stored), -1 with errno.
int get_object_acl(const walk_object *object, gacl_t *acl);

// get_object_acl for a command that cannot go on without the ACL: a failed
// read ends the command with the report "<path>: Getting ACL" and errno.
// Null (errno EOPNOTSUPP) for a symbolic link that has no ACL.
gacl_ptr read_object_acl(const walk_object *object);

// get_object_acl for the named path `path` (resolved as typed, a final
// symbolic link not followed). `st` is its lstat record, or null to lstat
// it here.
int get_path_acl(const char *path, const struct stat *st, gacl_t *acl);

// read_object_acl for the named path `path`; `st` as for get_path_acl.
gacl_ptr read_path_acl(const char *path, const struct stat *st);

// The ls-style mode text: a type character and the three permission
// triplets with set-id and sticky letters (s/S, t/T). Ten characters in a
// static buffer that the next call overwrites.
const char *mode_string(mode_t mode);

// The name of a file type code (st_mode & S_IFMT shifted right by 12):
// "fifo", "char-device", "directory", "block-device", "file", "link",
// "socket", "whiteout", else "unknown".
const char *file_type_name(unsigned type_code);
