// ACL text output: one entry, or a whole ACL, in the notation
// principal:permissions:flags:type that the text input reads back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "gacl/acl.h"

// Text options (bits of an int; other bits have no effect here).
inline constexpr int GACL_TEXT_APPEND_ID =
    0x0040;                                       // "\t# uid=%d" / "\t# gid=%d" after named entries
inline constexpr int GACL_TEXT_COMPACT = 0x1000;  // absent letters and default fields left out;
                                                  // a whole ACL on one line, joined by ","
inline constexpr int GACL_TEXT_FIXED_WIDTH = 0x2000;  // align whole-ACL lines on column 18

// The buffer size the whole-ACL rendering and the edit engine use per entry.
inline constexpr size_t GACL_ENTRY_TEXT_SIZE = 1024;

// Renders one entry into `buf` (NUL-terminated, never past `size`). Full
// form: user:NAME / group:NAME / the name field, fourteen permission letters
// or "-", seven flag letters or "-", the type word. Compact form: only the
// letters of set bits, and flags and type only where they differ from the
// defaults the text input fills in. Returns the length of the text, or -1:
// EINVAL for a null entry or an entry type outside 0..3, ENOMEM when the
// text does not fit the buffer.
int gacl_entry_to_text_np(const gacl_entry_t_struct *entry, char *buf, size_t size, int options);

// Renders a whole ACL into a new text object (release it with gacl_free),
// sized to the text. Line form: one entry per line, the colon after each
// principal in one column; compact form: one line, entries joined by ",",
// no line break. The length (without the NUL) goes to *length when given.
// Walks the ACL with its cursor. nullptr with errno when an entry cannot be
// rendered (EINVAL) or memory runs out (ENOMEM).
char *gacl_to_text_np(gacl_t acl, ssize_t *length, int options);

// The text gacl_to_text_np makes, appended to *out instead: a caller that
// renders many ACLs reuses one buffer. 0, or -1 with errno as there (*out as
// it was).
int gacl_append_text_np(gacl_t acl, std::string *out, int options);
