// The extended-attribute commands list-attribute, get-attribute,
// set-attribute and remove-attribute, and their one option, attr-options,
// which sets fs_xattr_flags for this and every later command.
//
// Handlers take the word vector of the dispatcher (word 0 the command word)
// and return 0; every failure ends the command through report().
#pragma once

#include "base/command.h"

// The option table of the four commands: attr-options (-X, text).
extern const option_t attr_options[];

// attr-options: "-" clears the flags; other values are read by
// fs_xattr_flags_parse into the int32_t at `target` (fs_xattr_flags). A bad
// letter ends the command with "--attr-options=<value>: Unknown letter 'X'
// (f, S, or - alone)", the letters before it staying in force.
int opt_attr_options(const char *name, const char *value, uint32_t type, const void *parsed,
                     void *target, const char *context);

// list-attribute [<path>]*: the attribute names of each path.
int cmd_list_attribute(int argc, char **argv);
// get-attribute <path> <attr>+: each value as a quoted text or as hexadecimal bytes.
int cmd_get_attribute(int argc, char **argv);
// set-attribute <path> <attr>=<val>+: each value stored with a terminating NUL.
int cmd_set_attribute(int argc, char **argv);
// remove-attribute <path> <attr>+.
int cmd_remove_attribute(int argc, char **argv);
