// ACL text input: entries and whole ACLs read from the notation the text
// output writes, with shortcuts (u: and g: prefixes, bare user or group names
// and numbers, named permission sets, optional flag and type fields). User
// and group names are resolved through util/names.h while parsing.
#pragma once

#include <string>

#include "gacl/acl.h"

// Parse option: a user or group that the databases do not know is no error.
inline constexpr int GACL_TEXT_RELAXED = 0x0001;

// Why a list did not parse, for the caller to tell the user (nothing here
// prints): the failing item's position counting from 1 (empty items count),
// its text as written, and a short reason in lower case, such as
//   unknown user "bob"
//   "alice" is both a user and a group: write user:alice or group:alice
//   unknown permission letter 'e'
// The ACL reader fills it; the readers of other lists (rename lists, change
// requests) use the same record for their own items.
struct gacl_text_error_t {
    int item = 0;
    std::string text;
    std::string reason;
};

// Fills `entry` from `text`, which is cut at its ":" separators (overwritten
// with NUL). Zero the entry first: fields whose text is empty are left as
// they were. Returns 0, or -1 with EINVAL for a malformed text or an unknown
// principal (strict), ENOMEM for a name longer than 255 characters; then
// *reason (when given) says why (see gacl_text_error_t). After a failure the
// entry may be partly filled.
int gacl_entry_from_text_np(char *text, gacl_entry_t entry, int options,
                            std::string *reason = nullptr);

// A new ACL (type 0, cursor 0) from entries separated by any one of
// ", \t\n\r", parsed strictly, with room made for the number of commas
// plus one. nullptr with EINVAL for every failure (null or empty text, empty
// item, bad entry, more than GACL_MAX_ENTRIES entries); then *why (when
// given) names the failing entry, except for a null text or exhausted
// memory.
gacl_t gacl_from_text(const char *text, gacl_text_error_t *why = nullptr);
