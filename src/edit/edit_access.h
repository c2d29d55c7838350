// The edit-access command: changes ACL entries in place by change requests.
//
//   edit-access [-e TEXT]... [-E FILE]... [<change>] <path>+
//
// Requests come from "-e" (a request text), "-E" (a script of request
// lines; "-" is standard input) and, when neither is given, from a simple
// change request as the first argument. Each "-e" or "-E" adds one group to
// acecr_groups, in option order; the simple change request adds the last
// group. Every group runs against every path (acecr_apply). The groups
// belong to the run: they are released however the run ends, so no request
// of one run is ever applied in the next.
#pragma once

#include <cstdint>
#include <memory>

#include "base/command.h"
#include "edit/request.h"
#include "gacl/text_in.h"

// The command's own options: "execute" (-e) and "file" (-E), both handled by
// edit_script_option.
extern const option_t edit_access_options[];

// The handler (command_handler_t): argv[1..] are the words after the
// options. 0 when every path was edited. When a path was abandoned (its
// failure already reported, the walk went on with the next path), the
// command ends with status 1 and no further message.
int edit_access(int argc, char **argv);

// The handler of "execute" and "file" (option_handler_t): reads the text, or
// the script line by line, into one new group. 0 to accept; negative to
// reject (missing value, a bad request in the text: the reader has reported
// it). A bad script line is reported as "<line>: Invalid action at line <n>"
// and a script that cannot be opened as "<file>: Opening script"; both
// abandon the command. A rejection or abandonment releases every group the
// run has collected.
int edit_script_option(const char *name, const char *value, std::uint32_t type, const void *parsed,
                       void *target, const char *context);

// Reads a simple change request: pieces separated by "," or ";", each one
// request, optionally limited to file types by "?letters" at its end:
//   ENTRY               set: replace the entries of ENTRY's principal, type
//                       and flags, or add ENTRY at its ordered place; with
//                       no permissions, delete those entries
//   /SEARCH/ENTRY[/FLAGS]
//                       replace the entries that SEARCH names by ENTRY
// Search entries may name unknown users and groups; new entries may not.
// The requests in order, or null with errno when the text is blank or any
// piece cannot be read (EINVAL; *why, when given, then names the piece,
// counting from 1, and the reason) or memory runs out (ENOMEM).
std::unique_ptr<acecr_t> acecr_from_simple_text(const char *text, gacl_text_error_t *why = nullptr);
