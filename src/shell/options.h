// The option parser: one-letter groups and long options (abbreviable by
// parts) described by option_t tables, value checks by base type, the
// name=value form of the config command, and the OPTIONS listing.
#pragma once

#include <cstdio>
#include <initializer_list>

#include "base/command.h"

// Parses options from argv[1] on against the tables (a null table ends the
// list). Result: the index of the first operand (argc when all words were
// options; a lone "-" or "--" ends the options and is used up), or the
// negative result of a rejected value. Unknown and ambiguous options are
// reported through report() and abandon the command. argv is not changed.
int opts_parse(int argc, char **argv, std::initializer_list<const option_t *> tables);

// Checks and converts `value` (null: none) for one option, then calls its
// handler or stores into its target. 0, the handler's result, or -1 with
// errno ENOSYS (no option or invalid base type), E2BIG (value for a switch),
// EINVAL (unreadable or negative number) or ENOENT (missing mandatory value).
// A value refused here, or by a handler of the program's tables, is said in
// one error line (e.g. "--verbose=2: Takes no value"), without abandoning.
int opts_set_value(const option_t *opt, const char *value, const char *context);

// Applies "name" or "name=value" against one table; as opts_set_value, or
// -1 with ENOENT (no such option) or E2BIG (name not unique), each said in a
// line as the command line says it, without abandoning.
int opts_set_from_text(const option_t *table, const char *text, const char *context);

// Prints "OPTIONS:" and one line per option of the tables. Result: 0.
int opts_print(FILE *out, std::initializer_list<const option_t *> tables);
