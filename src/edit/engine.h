// The edit engine: applies the change requests of one edit-access run to the
// ACL of one path.
//
// Per path the engine reads the ACL, works on a copy, runs every request of
// every group in order against the copy, and hands the copy to update_acl.
// It keeps one cursor per path, the current position (0 when the path
// begins), which requests without positions act on and which requests move;
// the cursor carries over from request to request and from group to group.
//
// Two kinds of failure:
// - a request that cannot do its job (no entry at a named position, a failed
//   deletion or replacement, an unknown action letter) fails silently; the
//   rest of its group is skipped for this path, the other groups still run,
//   and the changes made so far are written;
// - a failure that is reported (an entry that cannot be created or copied,
//   a pattern that cannot be run, the ACL that cannot be read or written)
//   abandons the path: nothing is written for it.
#pragma once

#include <regex.h>
#include <sys/stat.h>

#include "commands/walk.h"
#include "edit/range.h"
#include "edit/request.h"
#include "gacl/acl.h"

// The walker callback (walk_callback_t) of edit-access for one object.
// `context` is the first group of the run (acecr_groups.get()). Returns 0 when the path is
// done (written, found unchanged, a symbolic link without ACL support, or
// groups ended by failed requests), or the non-zero status of a failure
// reported for this path, which was then abandoned. A report inside never
// reaches the caller's recovery point.
int acecr_apply(const walk_object *object, void *context);

// The positions of the entries of `acl` that match `match` under `match_op`
// (acecr_entry_matches). Candidates are every entry when `positions` is
// empty, else the entries at those positions ("$" is the last entry;
// positions without an entry are passed over). An empty result when nothing
// matched. Memory running out is reported as "Malloc" (status 1, which
// abandons the path).
range_ptr acecr_select_entries(const range_t *positions, const gacl_entry_t_struct *match,
                               int match_op, gacl_t acl);

// The positions of the entries whose full text matches `regex` anywhere
// (selection 1), or does not match it (selection -1); candidates as for
// acecr_select_entries, and an entry whose text cannot be made is passed
// over. An error of the pattern matcher itself is reported as
// "<entry text>: Regex: <explanation>", memory running out as "Malloc"
// (status 1, which abandons the path).
range_ptr acecr_select_regex(const range_t *positions, const regex_t *regex, int selection,
                             gacl_t acl);

// 1 when `entry` matches `match`: the same tag, for user and group entries
// the same id, the same entry type, the same flag word, and by the operator
// '+' every permission of `match` set in `entry`, '-' none of them, '=' the
// same permission word, 0 permissions not compared. 0 when not; -1 with
// errno when either entry cannot be read.
int acecr_entry_matches(const gacl_entry_t_struct *entry, const gacl_entry_t_struct *match,
                        int match_op);

// Makes `entry` (in the working copy) the request's new entry: tag, name,
// permissions, flags, entry type and, for user and group entries, the id.
// 1, or -1 with errno (EINVAL for a request without a new entry).
int acecr_replace_entry(const acecr_t *request, gacl_entry_t entry);

// Prints the entry of `acl` at `position` on standard output as one line:
// "%-20s\t" with `path` unless config.no_prefix, "%-4d\t" with the position
// when `numbered` (the "n" action), then the entry's full text. 0, or -1
// with nothing printed when there is no entry there or its text cannot be
// made.
int acecr_print_entry(const char *path, gacl_t acl, int position, bool numbered);
