// walk: runs a command's per-object operation over its path arguments and,
// within the configured depth, over everything below them, filtered by file
// type. Also the one way the commands read the ACL of a path, and the file
// type names and ls-style mode string of the print styles.
//
// The walk never follows symbolic links (a link to a directory is visited as
// a link and not descended) and keeps at most one directory stream open: a
// directory's entries are read and its non-directories visited, the stream
// is closed, and only then are its subdirectories walked. Visit order: the
// named path; then, per directory, its non-directories in directory order,
// then each subdirectory with everything below it, in directory order.
// Paths below a named path are the parent's path, "/" and the entry name,
// without normalisation ("." gives ./x, dir/ gives dir//x).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

#include "gacl/acl.h"

// The per-object operation: the object's path, its lstat record, its depth
// (0 for the named path) and the caller's context. 0 goes on; a negative
// result stops the walk at once; a positive one stops it when returned for
// a non-directory inside a directory and is ignored for a directory or a
// named path. Path and record belong to the walk.
using walk_callback_t = int (*)(const char *path, const struct stat *st, unsigned depth,
                                void *context);

// Walks each of the `count` paths in order with the depth limit (-1 when
// config.recurse is set, else config.max_depth) and the type mask (low 16
// bits of config.types) of the running command. A walk that fails or is
// stopped ends the command with the report "<path>: Accessing" and errno;
// the paths after it are not walked. Returns 0.
int walk_paths(int count, char *const *paths, walk_callback_t callback, void *context);

// Walks one named path. `max_depth` -1 (or any negative value) descends
// without limit, 0 visits the named path only, N opens directories down to
// depth N-1. `types` is a file-type mask (0: every type). Returns 0, the
// value that stopped the walk, or -1 with errno when an lstat, opening or
// reading a directory, or memory failed.
int walk_path(const char *path, walk_callback_t callback, void *context, int max_depth,
              uint16_t types);

// True when an object of mode `mode` passes the type mask: the mask is 0,
// or it shares a bit with the mode. The test is on bits, not on type codes,
// so a mask passes more types than its letters name (f also passes links).
bool file_type_passes(mode_t mode, uint16_t types);

// Reads the NFSv4 ACL of `path` (a symbolic link itself, not its target).
// `st` is the object's lstat record, or null to lstat it here. Returns 1
// with a new ACL in *acl (release it with gacl_free), 0 for a symbolic link
// on which the system supports no ACL (nothing stored), -1 with errno.
int get_path_acl(const char *path, const struct stat *st, gacl_t *acl);

// get_path_acl for a command that cannot go on without the ACL: a failed
// read ends the command with the report "<path>: Getting ACL" and errno.
// Null (errno EOPNOTSUPP) for a symbolic link that has no ACL.
gacl_ptr read_path_acl(const char *path, const struct stat *st);

// The ls-style mode text: a type character and the three permission
// triplets with set-id and sticky letters (s/S, t/T). Ten characters in a
// static buffer that the next call overwrites.
const char *mode_string(mode_t mode);

// The name of a file type code (st_mode & S_IFMT shifted right by 12):
// "fifo", "char-device", "directory", "block-device", "file", "link",
// "socket", "whiteout", else "unknown".
const char *file_type_name(unsigned type_code);
