// The records that describe commands and options. Header only: command
// modules below the shell define their own command_t records and option
// tables against this header without depending on the shell's top.
#pragma once

#include <cstdint>

// Option type word: the low 8 bits are the base type, OPT_OPTIONAL marks a
// value that may be left out. Any other base type is invalid.
constexpr uint32_t OPT_SWITCH = 0;  // takes no value
constexpr uint32_t OPT_UINT = 1;    // non-negative integer
constexpr uint32_t OPT_INT = 2;     // integer
constexpr uint32_t OPT_TEXT = 4;    // text
constexpr uint32_t OPT_OPTIONAL = 0x100;
constexpr uint32_t OPT_BASE_MASK = 0xff;

// Carries out an option. Arguments, in order: the option's long name, the
// value text as written (null when none), the type word, the parsed value
// (null for a switch and a left-out optional value; a `const int *` for base
// types 1 and 2; the value text, a `const char *`, for base type 4), the
// option's target and the context name (the full command name, or word 0 of
// the program's arguments for the global options). Returns 0 to accept, a
// negative value to reject (the command then does not run).
using option_handler_t = int (*)(const char *name, const char *value, uint32_t type,
                                 const void *parsed, void *target, const char *context);

// One option; a table of them ends with an entry whose name is null.
// Without a handler the value goes to `target`: an `int` for base types 0 to
// 2 (a switch counts up by one), a `std::string` for base type 4.
struct option_t {
    const char *name;          // long name, abbreviable by '-'-separated parts
    char letter;               // one-letter name, 0 for none
    uint32_t type;             // type word (see OPT_*)
    option_handler_t handler;  // or null
    void *target;              // or null
    const char *description;   // text of the OPTIONS listing
};

// Runs a command. argv[0] is the command word as typed (maybe abbreviated),
// argv[1..argc-1] are the words after the options, argv[argc] is null.
// Returns 0 for success, a negative warning status (the handler has printed
// what it had to say) or a positive error status (the shell then prints an
// error line with strerror(errno)). To stop at once, call report() with a
// non-zero status.
using command_handler_t = int (*)(int argc, char **argv);

struct command_t {
    const char *name;  // full command name
    command_handler_t handler;
    const option_t *options;  // the command's own option table, or null
    const char *usage;
    const char *description;
};
