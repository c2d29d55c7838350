// rename: the rename-access command, which replaces user and group
// identities inside ACLs, and the reader of its change texts.
#pragma once

#include <cstdint>

#include "gacl/text_in.h"

// The most pairs one change text may hold.
inline constexpr int RENAME_LIST_MAX = 1024;

// One rename: entries with tag `tag` (GACL_TAG_TYPE_USER or
// GACL_TAG_TYPE_GROUP) and id `old_id` get `new_id`.
struct rename_pair_t {
    int32_t tag;
    int32_t old_id;
    int32_t new_id;
};

// The pairs of one change text, in the order of the text.
struct rename_list_t {
    int32_t count;
    rename_pair_t pairs[RENAME_LIST_MAX];
};

// Reads a change text into `list`: items separated by "," (empty items
// skipped), each either kind:old:new (kind u/user or g/group; any other kind
// is ignored) or old:new (the kind follows the side that names a user or a
// group). Old and new are names, looked up in the user or group database,
// or decimal ids. 0 with the list filled (an empty text gives an empty
// list), or -1 for an invalid text: an item without ":", a name that is
// neither known nor a number, a number outside -2^31..2^32-1, a two-field
// item whose kind cannot be told or mixes a user with a group, or more than
// RENAME_LIST_MAX pairs; then *why (when given) names the item, counting
// empty ones, and the reason.
int rename_list_parse(const char *text, rename_list_t *list, gacl_text_error_t *why = nullptr);

// rename-access <change> <path>+ (the form of command_handler_t).
int cmd_rename_access(int argc, char **argv);
