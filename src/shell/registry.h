// The command registry: every command of the program in one list sorted by
// name, lookup by unique abbreviation, dispatch with option parsing, help
// listings, and completion of command and option names for the line editor.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/command.h"

constexpr int COMMAND_REGISTRY_SIZE = 1024;

struct command_registry_t {
    int32_t count = 0;  // the first `count` entries are sorted by name (strcmp)
    const command_t *commands[COMMAND_REGISTRY_SIZE] = {};
};

// The program's one registry, filled at start-up.
extern command_registry_t command_registry;

// True when `word` abbreviates `name` by '-'-separated parts: each part of
// the word is a prefix of the current part of the name (greedy), the word's
// dash may be left out where a name part ends, and name parts may be left
// out only at the end. "lac" and "listaccess" abbreviate "list-access";
// "help-" abbreviates "help". An empty word matches nothing.
bool name_match(const char *word, const char *name);

// Appends a null-terminated list of commands and sorts the registry again.
// 0, or -1 for a null list or when the registry would overflow (the entries
// up to the limit stay added).
int command_register(command_registry_t *reg, const command_t *const *list);

// Runs one command line (argv[0] the command word, argv[argc] null): "?"
// help, lookup by abbreviation ("%s: Unknown command" / "%s: Nonunique
// command" through report), current name, option parse with the global
// table and the command's own, then the handler with the remaining words.
// Result: the handler's status, -1 when a help listing was printed, or the
// negative result of a rejected option parse.
int command_dispatch(command_registry_t *reg, int argc, char **argv);

// Prints "COMMANDS:" and the line of every command that `name` abbreviates,
// each followed by its options when `with_options` is set; all commands
// without options when `name` is null or abbreviates none. Result: -1.
int command_help(const command_registry_t *reg, const char *name, FILE *out, bool with_options);

// Line-editor completion: the attempted-completion hook (command names for
// the first word, "--" options or file names for later ones) and its two
// generators. Generators start over when state is 0 and return a malloc'd
// name for the line editor, or null at the end.
char **complete_hook(const char *text, int start, int end);
char *complete_command(const char *text, int state);
char *complete_option(const char *text, int state);
