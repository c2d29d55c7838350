// list: prints the ACL of one file-system object in the configured print
// style, and the list-access command.
//
// Styles (config.style): default, standard, brief, verbose, csv, samba,
// icacls, solaris, primos. The path is shown without a leading "./"; owner
// and group names come from the cached user and group databases (a number
// when an id has none). config.verbose > 0 adds ids (and, for the default
// style, the file type); config.verbose >= 2 adds size and times.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "gacl/acl.h"

// Prints `acl` of the object at `path` with lstat record `st` to `stream`.
// Without an ACL (null: a symbolic link that can have none) only the header
// ("# file:", "# owner:", "# group:" and what -v adds) is printed, whatever
// the style.
// Returns 0; 1 when the ACL cannot be rendered, after the message
// "<program>: Error: <path>: Unable to display ACL" on standard error (the
// caller goes on with the next object); -1 for a style code without a style
// (nothing printed). The text is built in memory and written in one call;
// a caller that prints many objects passes a `scratch` buffer to build it
// in, so that one allocation serves them all: what it holds is written
// first (a separator, say), and it is left empty.
int print_acl(FILE *stream, gacl_t acl, const char *path, const struct stat *st,
              std::string *scratch = nullptr);

// list-access <path>+: prints the ACL of every object the walk visits, one
// empty line between objects. A failed read ends the command with
// "<path>: Getting ACL".
int cmd_list_access(int argc, char **argv);
