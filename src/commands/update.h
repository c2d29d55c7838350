// update: the one pipeline through which every ACL write passes, and the
// simple ACL commands built on the path walker: set-access, touch-access,
// copy-access, delete-access, find-access and get-access.
//
// The commands read config (verbose, force, print, sort, merge, no_update)
// and end at the first failure through report(): objects handled before it
// keep what was written to them, the failing object keeps its old ACL (each
// write replaces the ACL in one step), later objects are not touched.
#pragma once

#include <sys/stat.h>

#include "commands/walk.h"
#include "gacl/acl.h"

// Writes `acl` to the walked object `object` as configured: sorted
// (config.sort) and merged (config.merge) into a copy of its own, printed
// with print_acl before the comparison when config.print >= 2, compared with
// `current` (when given) and left alone when equal unless config.force,
// written unless config.no_update (to the object itself through its
// directory's descriptor, a final link never followed), printed after the
// write when config.print == 1, and reported as "<path>: ACL Updated"
// (" (NOT)" under no_update) when config.verbose. A symbolic link on which
// the system supports no ACL is skipped silently. Returns 1 when the ACL
// was written (or would have been under no_update), 0 when it was left
// alone. Failures end the command through report(): "<path>: Sorting ACL",
// "<path>: Merging ACL", "<path>: Setting ACL". Neither `acl` nor `current`
// changes hands; `acl` (or the sorted or merged copy written) takes
// current's ACL-wide flags word and origin, so that the object keeps its
// word without the store asking for it again.
int update_acl(const walk_object *object, gacl_t acl, gacl_t current);

// update_acl for the named path `path` (resolved as typed, a final link not
// followed), whose lstat record is `st`.
int update_acl(const char *path, const struct stat *st, gacl_t acl, gacl_t current);

// Clears every flag of every entry except inherited, which stays as it was:
// the ACL a non-directory gets from a directory ACL. Works in place. 0, or
// -1 with errno when an entry accessor fails.
int strip_inheritance(gacl_t acl);

// Command handlers (the form of command_handler_t). argv[1..] are the words
// after the options.
int cmd_set_access(int argc, char **argv);     // <acl> <path>+
int cmd_touch_access(int argc, char **argv);   // <path>+
int cmd_copy_access(int argc, char **argv);    // <src> <dst>+
int cmd_delete_access(int argc, char **argv);  // <path>+
int cmd_find_access(int argc, char **argv);    // <acl> <path>+
int cmd_get_access(int argc, char **argv);     // <var>=<path>+
