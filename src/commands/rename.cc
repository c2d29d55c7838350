#include "commands/rename.h"

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>

#include "base/report.h"
#include "commands/update.h"
#include "commands/walk.h"
#include "gacl/acl.h"
#include "util/escape.h"
#include "util/names.h"
#include "util/strutil.h"

namespace {

constexpr int32_t NO_KIND = 0;
constexpr int32_t USER = static_cast<int32_t>(GACL_TAG_TYPE_USER);
constexpr int32_t GROUP = static_cast<int32_t>(GACL_TAG_TYPE_GROUP);

// A name of the given kind's database, else a decimal number.
bool id_of(int32_t kind, const std::string &text, int32_t *id) {
    uint32_t found = 0;
    bool named =
        kind == USER ? names_user_id(text.c_str(), &found) : names_group_id(text.c_str(), &found);
    if (named) {
        *id = static_cast<int32_t>(found);
        return true;
    }
    int number = 0;
    if (!str_to_int(text.c_str(), &number)) return false;
    *id = number;
    return true;
}

// Which database names `text`: USER, GROUP, NO_KIND for neither, -1 for
// both (ambiguous).
int32_t kind_of(const std::string &text, int32_t *id) {
    uint32_t uid = 0, gid = 0;
    bool user = names_user_id(text.c_str(), &uid);
    bool group = names_group_id(text.c_str(), &gid);
    if (user && group) return -1;
    if (user) *id = static_cast<int32_t>(uid);
    if (group) *id = static_cast<int32_t>(gid);
    return user ? USER : group ? GROUP : NO_KIND;
}

// kind:old:new. *pair is left alone (and true returned) for a kind that is
// neither user nor group: such items are ignored.
bool parse_three(std::string_view kind, const std::string &old_text, const std::string &new_text,
                 rename_pair_t *pair, bool *made) {
    *made = false;
    int32_t tag = NO_KIND;
    if (kind == "u" || kind == "user") tag = USER;
    if (kind == "g" || kind == "group") tag = GROUP;
    if (tag == NO_KIND) return true;
    if (!id_of(tag, old_text, &pair->old_id) || !id_of(tag, new_text, &pair->new_id)) return false;
    pair->tag = tag;
    *made = true;
    return true;
}

// old:new. The kind comes from whichever side names a user or a group; a
// side that names both, two numbers, or a user with a group are invalid.
bool parse_two(const std::string &old_text, const std::string &new_text, rename_pair_t *pair) {
    int32_t old_kind = kind_of(old_text, &pair->old_id);
    if (old_kind < 0) return false;
    if (old_kind == NO_KIND) {
        int number = 0;
        if (!str_to_int(old_text.c_str(), &number)) return false;
        pair->old_id = number;
    }
    int32_t new_kind = kind_of(new_text, &pair->new_id);
    if (new_kind < 0) return false;
    if (new_kind == NO_KIND) {
        int number = 0;
        if (old_kind == NO_KIND || !str_to_int(new_text.c_str(), &number)) return false;
        pair->new_id = number;
        pair->tag = old_kind;
        return true;
    }
    if (old_kind != NO_KIND && old_kind != new_kind) return false;
    pair->tag = new_kind;
    return true;
}

struct rename_context {
    const rename_list_t *list;
};

int rename_one(const char *path, const struct stat *st, unsigned, void *context) {
    const rename_list_t *list = static_cast<rename_context *>(context)->list;
    gacl_ptr acl = read_path_acl(path, st);
    if (!acl) return 0;

    bool changed = false;
    gacl_entry_t entry = nullptr;
    for (int more = gacl_get_entry(acl.get(), GACL_FIRST_ENTRY, &entry); more != 0;
         more = gacl_get_entry(acl.get(), GACL_NEXT_ENTRY, &entry)) {
        if (more < 0) return -1;
        gacl_tag_t tag = 0;
        if (gacl_get_tag_type(entry, &tag) != 0) return -1;
        if (tag != GACL_TAG_TYPE_USER && tag != GACL_TAG_TYPE_GROUP) continue;
        gacl_qualifier_ptr qualifier(gacl_get_qualifier(entry));
        if (!qualifier) return -1;
        // Each entry passes the list once, in order: a -> b, b -> c ends at c.
        uint32_t id = *qualifier;
        for (int32_t i = 0; i < list->count; i++) {
            const rename_pair_t &pair = list->pairs[i];
            if (static_cast<gacl_tag_t>(pair.tag) != tag ||
                static_cast<uint32_t>(pair.old_id) != id)
                continue;
            id = static_cast<uint32_t>(pair.new_id);
            if (gacl_set_qualifier(entry, &id) != 0) return -1;
            changed = true;
        }
    }
    if (!changed) return 0;
    if (update_acl(path, st, acl.get(), nullptr) < 0)
        report(1, errno, "%s: Setting ACL", shown_name(path).c_str());
    return 0;
}

}  // namespace

int rename_list_parse(const char *text, rename_list_t *list) {
    list->count = 0;
    if (!text) return 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty()) continue;

        size_t first = item.find(':');
        if (first == std::string_view::npos) return -1;
        size_t second = item.find(':', first + 1);
        rename_pair_t pair{};
        bool made = true;
        if (second == std::string_view::npos) {
            if (!parse_two(std::string(item.substr(0, first)), std::string(item.substr(first + 1)),
                           &pair))
                return -1;
        } else if (!parse_three(item.substr(0, first),
                                std::string(item.substr(first + 1, second - first - 1)),
                                std::string(item.substr(second + 1)), &pair, &made)) {
            return -1;
        }
        if (!made) continue;
        // Refused rather than cut short: a partial rename would look done.
        if (list->count >= RENAME_LIST_MAX) return -1;
        list->pairs[list->count++] = pair;
    }
    return 0;
}

int cmd_rename_access(int argc, char **argv) {
    if (argc < 2) report(1, 0, "Missing required arguments (<acl> <path>)");
    auto list = std::make_unique<rename_list_t>();
    if (rename_list_parse(argv[1], list.get()) != 0)
        report(1, 0, "%s: Invalid renamelist", argv[1]);
    rename_context context{list.get()};
    walk_paths(argc - 2, argv + 2, rename_one, &context);
    return 0;
}
