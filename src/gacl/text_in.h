// ACL text input: entries and whole ACLs read from the notation the text
// output writes, with shortcuts (u: and g: prefixes, bare user or group names
// and numbers, named permission sets, optional flag and type fields). User
// and group names are resolved through util/names.h while parsing.
#pragma once

#include "gacl/acl.h"

// Parse option: a user or group that the databases do not know is no error.
inline constexpr int GACL_TEXT_RELAXED = 0x0001;

// Fills `entry` from `text`, which is cut at its ":" separators (overwritten
// with NUL). Zero the entry first: fields whose text is empty are left as
// they were. Returns 0, or -1 with EINVAL for a malformed text or an unknown
// principal (strict), ENOMEM for a name longer than 255 characters. After a
// failure the entry may be partly filled.
int gacl_entry_from_text_np(char *text, gacl_entry_t entry, int options);

// A new ACL (type 0, cursor 0) from entries separated by any one of
// ", \t\n\r", parsed strictly. Capacity: the number of commas plus one, by
// the capacity rule (below 16 gives 128). nullptr with EINVAL for every
// failure (null or empty text, empty item, bad entry, too many entries).
gacl_t gacl_from_text(const char *text);
