// The words and letters of ACL entries: the fourteen NFSv4 permissions, the
// seven entry flags, the named permission sets, the entry type words and the
// principal texts. The bit values are FreeBSD's, so permission and flag words
// pass to and from the system unchanged. The text forms walk the tables in
// their stored order, which is therefore part of the behaviour.
#pragma once

#include <cstddef>

#include "gacl/acl.h"

// Permission bits.
inline constexpr gacl_perm_t GACL_PERM_EXECUTE = 0x0001;
inline constexpr gacl_perm_t GACL_PERM_READ_DATA = 0x0008;
inline constexpr gacl_perm_t GACL_PERM_WRITE_DATA = 0x0010;
inline constexpr gacl_perm_t GACL_PERM_APPEND_DATA = 0x0020;
inline constexpr gacl_perm_t GACL_PERM_READ_XATTRS = 0x0040;
inline constexpr gacl_perm_t GACL_PERM_WRITE_XATTRS = 0x0080;
inline constexpr gacl_perm_t GACL_PERM_DELETE_CHILD = 0x0100;
inline constexpr gacl_perm_t GACL_PERM_READ_ATTRIBUTES = 0x0200;
inline constexpr gacl_perm_t GACL_PERM_WRITE_ATTRIBUTES = 0x0400;
inline constexpr gacl_perm_t GACL_PERM_DELETE = 0x0800;
inline constexpr gacl_perm_t GACL_PERM_READ_ACL = 0x1000;
inline constexpr gacl_perm_t GACL_PERM_WRITE_ACL = 0x2000;
inline constexpr gacl_perm_t GACL_PERM_WRITE_OWNER = 0x4000;
inline constexpr gacl_perm_t GACL_PERM_SYNCHRONIZE = 0x8000;

// Named permission sets (full_set is every permission of the table).
inline constexpr gacl_perm_t GACL_PERM_FULL_SET = 0xFFF9;
inline constexpr gacl_perm_t GACL_PERM_MODIFY_SET = 0x9FF9;
inline constexpr gacl_perm_t GACL_PERM_WRITE_SET = 0x04B0;
inline constexpr gacl_perm_t GACL_PERM_READ_SET = 0x1248;

// Flag bits.
inline constexpr gacl_flag_t GACL_FLAG_FILE_INHERIT = 0x0001;
inline constexpr gacl_flag_t GACL_FLAG_DIRECTORY_INHERIT = 0x0002;
inline constexpr gacl_flag_t GACL_FLAG_NO_PROPAGATE_INHERIT = 0x0004;
inline constexpr gacl_flag_t GACL_FLAG_INHERIT_ONLY = 0x0008;
inline constexpr gacl_flag_t GACL_FLAG_SUCCESSFUL_ACCESS = 0x0010;
inline constexpr gacl_flag_t GACL_FLAG_FAILED_ACCESS = 0x0020;
inline constexpr gacl_flag_t GACL_FLAG_INHERITED = 0x0080;
// Every flag of the flag table (0x0040 belongs to none).
inline constexpr gacl_flag_t GACL_FLAG_ALL = 0x00BF;

struct gacl_perm_row_t {
    gacl_perm_t bit;
    char letter;
    const char *name;
};

struct gacl_flag_row_t {
    gacl_flag_t bit;
    char letter;
};

// The fourteen permissions in canonical order, r w x p D d a A R W c C o s,
// closed by a row whose bit and letter are 0.
extern const gacl_perm_row_t gacl_perm_table[15];
// The same rows in display order (d before D), for the foreign print styles.
extern const gacl_perm_row_t gacl_perm_display_table[15];
// The seven flags in letter order f d i n S F I, closed by a zero row.
extern const gacl_flag_row_t gacl_flag_table[8];

struct gacl_perm_set_word_t {
    const char *word;
    gacl_perm_t perms;
};
// The words of the named sets accepted in place of letters: full_set, all,
// modify_set, modify, write_set, write, read_set, read, empty_set, empty,
// none. Closed by {nullptr, 0}.
extern const gacl_perm_set_word_t gacl_perm_set_words[12];

// "allow", "deny", "audit", "alarm", indexed by entry type.
extern const char *const gacl_entry_type_words[4];

// Principal texts.
inline constexpr const char *GACL_TEXT_OWNER = "owner@";
inline constexpr const char *GACL_TEXT_GROUP_OBJ = "group@";
inline constexpr const char *GACL_TEXT_EVERYONE = "everyone@";
inline constexpr const char *GACL_TEXT_MASK = "mask@";    // foreign styles only
inline constexpr const char *GACL_TEXT_OTHER = "other@";  // foreign styles only
inline constexpr const char *GACL_TEXT_USER_PREFIX = "user:";
inline constexpr const char *GACL_TEXT_GROUP_PREFIX = "group:";

// The word of an entry type, or nullptr outside 0..3.
const char *gacl_entry_type_word_np(gacl_entry_type_t type);

// The entry type of a word ("allow" ...), or -1 when it is none of the four.
gacl_entry_type_t gacl_entry_type_from_word_np(const char *word);

// Writes the fourteen permission letters in display order (d before D), "-"
// for each absent one, and a NUL. A null buffer means one static buffer of 64
// bytes that the next call overwrites (a larger size counts as 64). Returns
// the text; nullptr with ENOMEM when size < 16, EINVAL for a null handle.
char *gacl_permset_letters_np(const gacl_perm_t *permset, char *buf, size_t size);

// Writes the seven flag letters f d i n S F I, "-" for each absent one, and a
// NUL; the same buffer rules with a static buffer of its own. nullptr with
// ENOMEM when size < 9, EINVAL for a null handle.
char *gacl_flagset_letters_np(const gacl_flag_t *flagset, char *buf, size_t size);
