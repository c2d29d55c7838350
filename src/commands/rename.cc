#include "commands/rename.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/report.h"
#include "commands/update.h"
#include "commands/walk.h"
#include "gacl/acl.h"
#include "gacl/text_in.h"
#include "util/escape.h"
#include "util/names.h"

namespace {

constexpr int32_t NO_KIND = 0;
constexpr int32_t USER = static_cast<int32_t>(GACL_TAG_TYPE_USER);
constexpr int32_t GROUP = static_cast<int32_t>(GACL_TAG_TYPE_GROUP);

// An item that cannot be read: false, with the reason.
bool refuse(std::string *reason, std::string why) {
    *reason = std::move(why);
    return false;
}

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

// A decimal id as sscanf's "%d" reads it (leading blanks and a sign allowed,
// text after the digits ignored), taken as a 32-bit id so that 4294967294
// and -2 are the same. A number outside -2^31..2^32-1 is no id: it is
// refused rather than cut to some other id.
enum class Number { kNone, kOk, kRange };

Number read_id(const std::string &text, int32_t *id) {
    const char *p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p))) return Number::kNone;
    uint64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull)) return Number::kRange;
    }
    uint32_t bits = negative ? static_cast<uint32_t>(-static_cast<int64_t>(value))
                             : static_cast<uint32_t>(value);
    *id = static_cast<int32_t>(bits);
    return Number::kOk;
}

// A decimal id; else false with the reason: out of range, or `unknown` and
// the text when it is no number at all.
bool number_id(const std::string &text, int32_t *id, const char *unknown, std::string *reason) {
    switch (read_id(text, id)) {
        case Number::kOk:
            return true;
        case Number::kRange:
            return refuse(reason, "id " + quoted(text) + " out of range");
        case Number::kNone:
            break;
    }
    return refuse(reason, std::string(unknown) + " " + quoted(text));
}

// A name of the given kind's database, else a decimal id.
bool id_of(int32_t kind, const std::string &text, int32_t *id, std::string *reason) {
    uint32_t found = 0;
    bool named =
        kind == USER ? names_user_id(text.c_str(), &found) : names_group_id(text.c_str(), &found);
    if (named) {
        *id = static_cast<int32_t>(found);
        return true;
    }
    return number_id(text, id, kind == USER ? "unknown user" : "unknown group", reason);
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

// kind:old:new. *made is false (and true returned) for a kind that is
// neither user nor group: such items are ignored.
bool parse_three(std::string_view kind, const std::string &old_text, const std::string &new_text,
                 rename_pair_t *pair, bool *made, std::string *reason) {
    *made = false;
    int32_t tag = NO_KIND;
    if (kind == "u" || kind == "user") tag = USER;
    if (kind == "g" || kind == "group") tag = GROUP;
    if (tag == NO_KIND) return true;
    if (!id_of(tag, old_text, &pair->old_id, reason) ||
        !id_of(tag, new_text, &pair->new_id, reason))
        return false;
    pair->tag = tag;
    *made = true;
    return true;
}

// old:new. The kind comes from whichever side names a user or a group; a
// side that names both, two numbers, or a user with a group are invalid.
bool parse_two(const std::string &old_text, const std::string &new_text, rename_pair_t *pair,
               std::string *reason) {
    const std::string spelled_out =
        "write user:" + old_text + ":" + new_text + " or group:" + old_text + ":" + new_text;
    auto both = [&](const std::string &name) {
        return refuse(reason, quoted(name) + " is both a user and a group: " + spelled_out);
    };
    auto number = [&](const std::string &text, int32_t *id) {
        return number_id(text, id, "unknown user or group", reason);
    };

    int32_t old_kind = kind_of(old_text, &pair->old_id);
    if (old_kind < 0) return both(old_text);
    if (old_kind == NO_KIND && !number(old_text, &pair->old_id)) return false;
    int32_t new_kind = kind_of(new_text, &pair->new_id);
    if (new_kind < 0) return both(new_text);
    if (new_kind == NO_KIND) {
        if (!number(new_text, &pair->new_id)) return false;
        if (old_kind == NO_KIND) {
            return refuse(reason, "two numbers do not tell a user from a group: " + spelled_out);
        }
        pair->tag = old_kind;
        return true;
    }
    if (old_kind != NO_KIND && old_kind != new_kind) {
        return refuse(reason, quoted(old_text) + (old_kind == USER ? " is a user" : " is a group") +
                                  " but " + quoted(new_text) +
                                  (new_kind == USER ? " is a user" : " is a group"));
    }
    pair->tag = new_kind;
    return true;
}

struct rename_context {
    const rename_list_t *list;
};

int rename_one(const walk_object *object, void *context) {
    const rename_list_t *list = static_cast<rename_context *>(context)->list;
    gacl_ptr acl = read_object_acl(object);
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
    if (update_acl(object, acl.get(), nullptr) < 0)
        report(1, errno, "%s: Setting ACL", shown_name(object->path).c_str());
    return 0;
}

}  // namespace

int rename_list_parse(const char *text, rename_list_t *list, gacl_text_error_t *why) {
    list->count = 0;
    if (!text) return 0;
    std::string_view rest(text);
    std::string reason;
    for (int number = 1; !rest.empty(); number++) {
        size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty()) continue;

        size_t first = item.find(':');
        size_t second = first == std::string_view::npos ? first : item.find(':', first + 1);
        rename_pair_t pair{};
        bool made = true;
        bool read = false;
        if (first == std::string_view::npos) {
            read = refuse(&reason, "no \":\" (write OLD:NEW, user:OLD:NEW or group:OLD:NEW)");
        } else if (second == std::string_view::npos) {
            read = parse_two(std::string(item.substr(0, first)),
                             std::string(item.substr(first + 1)), &pair, &reason);
        } else {
            read = parse_three(item.substr(0, first),
                               std::string(item.substr(first + 1, second - first - 1)),
                               std::string(item.substr(second + 1)), &pair, &made, &reason);
        }
        // Refused rather than cut short: a partial rename would look done.
        if (read && made && list->count >= RENAME_LIST_MAX) {
            read = refuse(&reason, "more than " + std::to_string(RENAME_LIST_MAX) + " renames");
        }
        if (!read) {
            if (why) *why = {number, std::string(item), reason};
            return -1;
        }
        if (made) list->pairs[list->count++] = pair;
    }
    return 0;
}

int cmd_rename_access(int argc, char **argv) {
    if (argc < 2) report(1, 0, "Missing required arguments (<acl> <path>)");
    auto list = std::make_unique<rename_list_t>();
    gacl_text_error_t why;
    if (rename_list_parse(argv[1], list.get(), &why) != 0) {
        report_on(current_name_get(), 1, 0, "%s: Invalid renamelist", argv[1]);
        report_parse_error(argv[1], "item", why);
    }
    rename_context context{list.get()};
    walk_paths(argc - 2, argv + 2, rename_one, &context, walk_prefetch::acl);
    return 0;
}
