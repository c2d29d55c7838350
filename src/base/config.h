// The configuration record that the global options fill and every command
// reads, the program record, and the two value vocabularies of the global
// options (print-style names and file-type letters).
#pragma once

#include <cstdint>
#include <string>

#include "base/command.h"

struct config_t {
    int32_t debug;      // debug level
    int32_t verbose;    // verbosity level
    int32_t force;      // non-zero: force updates
    int32_t print;      // print level for updated ACLs
    int32_t sort;       // non-zero: sort ACLs
    int32_t merge;      // non-zero: merge redundant entries
    int32_t recurse;    // non-zero: unlimited recursion (no option sets it)
    int32_t relaxed;    // non-zero: relaxed mode
    int32_t no_update;  // 1: change nothing on disk
    int32_t no_prefix;  // 1: do not prefix output lines with file names
    int32_t types;      // file-type filter mask (file_types_parse); 0 = every type
    int32_t style;      // print-style code (ACL_STYLE_*)
    int32_t max_depth;  // recursion limit: 0 none, -1 no limit, N levels

    // non-zero: a walk reports each failing object and goes on
    int32_t keep_going;
    // threads that read ahead in walks: 0 one per CPU, 1 none
    int32_t jobs;
};

// `config` holds the values in force for the running command; the shell
// copies `config_defaults` into it before every command. Both start zeroed.
extern config_t config;
extern config_t config_defaults;

// Print-style codes (the `style` field).
constexpr int32_t ACL_STYLE_DEFAULT = 0x00;
constexpr int32_t ACL_STYLE_STANDARD = 0x01;
constexpr int32_t ACL_STYLE_BRIEF = 0x02;
constexpr int32_t ACL_STYLE_VERBOSE = 0x03;
constexpr int32_t ACL_STYLE_CSV = 0x10;
constexpr int32_t ACL_STYLE_SAMBA = 0x20;
constexpr int32_t ACL_STYLE_ICACLS = 0x30;
constexpr int32_t ACL_STYLE_SOLARIS = 0x40;
constexpr int32_t ACL_STYLE_PRIMOS = 0x50;

// The program record. `name` prefixes messages: word 0 of the program's
// arguments as given, or "vossik" in multi-call mode. `options` is the
// global option table; the shell sets it at start-up (null before).
struct program_info_t {
    std::string name;
    const char *version;
    const option_t *options;
};
extern program_info_t program_info;

// Style name (option value, exact and case-sensitive) to code: 1 and *code
// set for one of the nine names; 0 for a null or empty text (*code left
// alone); -1 for any other text.
int acl_style_parse(const char *text, int32_t *code);

// The nine style names, as the style option takes them: "default, standard,
// brief, ...".
std::string acl_style_names();

// Display name of a style code ("Default", "CSV", ...), or null for a code
// without a style.
const char *acl_style_name(int32_t code);

// File-type letters (p c d b f l s w, with "+" adding and "-" removing the
// following letters' S_IFMT codes) to a mask. *mask is updated as each
// letter is applied, starting from 0. Returns 1 when the mask is non-zero,
// 0 when it is zero, -1 at the first character that is not a letter, "+"
// or "-" (the letters before it stay applied).
int file_types_parse(const char *text, int32_t *mask);

// The file-type letters in table order, "pcdbflsw".
const char *file_type_letters();
