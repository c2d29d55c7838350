#include "gacl/text_in.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "gacl/vocab.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

int fail(int error) {
    errno = error;
    return -1;
}

// A refusal: errno, and the reason when the caller asked for one.
int refuse(std::string *reason, int error, std::string why) {
    if (reason != nullptr) *reason = std::move(why);
    return fail(error);
}

std::string quoted(const char *text) {
    return std::string("\"") + text + "\"";
}

// Reads the number a principal starts with: an optional sign and decimal
// digits, anything after them ignored ("1001x" is 1001). Values are taken as
// 32-bit ids, so -2 is 4294967294; a number outside -2^31..2^32-1 is no id
// and refused rather than wrapped into some other user's.
enum class Number { kNone, kOk, kRange };

Number leading_number(const char *text, uint32_t *id) {
    const char *p = text;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return Number::kNone;
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull)) return Number::kRange;
    }
    *id = negative ? static_cast<uint32_t>(-static_cast<int64_t>(value))
                   : static_cast<uint32_t>(value);
    return Number::kOk;
}

int copy_name(gacl_entry_t entry, const char *name, std::string *reason) {
    size_t n = std::strlen(name);
    if (n >= sizeof entry->name) {
        return refuse(reason, ENOMEM,
                      "name longer than " + std::to_string(sizeof entry->name - 1) + " characters");
    }
    std::memcpy(entry->name, name, n + 1);
    return 0;
}

// user:NAME or group:NAME (or u:/g:), NAME already cut out of the text.
int named_principal(gacl_entry_t entry, const char *name, bool group, bool relaxed,
                    std::string *reason) {
    entry->tag = group ? GACL_TAG_TYPE_GROUP : GACL_TAG_TYPE_USER;
    const std::string unknown =
        std::string(group ? "unknown group " : "unknown user ") + quoted(name);
    uint32_t id = 0;
    switch (leading_number(name, &id)) {
        case Number::kRange:
            return refuse(reason, EINVAL, "id " + quoted(name) + " out of range");
        case Number::kOk: {
            entry->id = id;
            const char *found = group ? names_group_name(id) : names_user_name(id);
            if (found != nullptr) return copy_name(entry, found, reason);
            if (!relaxed) return refuse(reason, EINVAL, unknown);
            // Printed back as the id, signed like the names of ids read
            // from the system.
            std::snprintf(entry->name, sizeof entry->name, "%d", static_cast<int32_t>(id));
            return 0;
        }
        case Number::kNone:
            break;
    }
    if (copy_name(entry, name, reason) < 0) return -1;
    bool found = group ? names_group_id(name, &id) : names_user_id(name, &id);
    if (found) {
        entry->id = id;
    } else if (relaxed) {
        entry->id = GACL_UNDEFINED_ID;
    } else {
        return refuse(reason, EINVAL, unknown);
    }
    return 0;
}

// owner@, group@, everyone@, or a bare user or group name or number.
int bare_principal(gacl_entry_t entry, const char *text, bool relaxed, std::string *reason) {
    if (copy_name(entry, text, reason) < 0) return -1;
    entry->id = GACL_UNDEFINED_ID;
    if (std::strcmp(text, GACL_TEXT_OWNER) == 0) {
        entry->tag = GACL_TAG_TYPE_USER_OBJ;
        return 0;
    }
    if (std::strcmp(text, GACL_TEXT_GROUP_OBJ) == 0) {
        entry->tag = GACL_TAG_TYPE_GROUP_OBJ;
        return 0;
    }
    if (std::strcmp(text, GACL_TEXT_EVERYONE) == 0) {
        entry->tag = GACL_TAG_TYPE_EVERYONE;
        return 0;
    }

    uint32_t id = 0, uid = 0, gid = 0;
    bool user = false, group = false;
    switch (leading_number(text, &id)) {
        case Number::kRange:
            return refuse(reason, EINVAL, "id " + quoted(text) + " out of range");
        case Number::kOk:
            entry->id = uid = gid = id;  // kept even when neither database knows it
            user = names_user_name(id) != nullptr;
            group = names_group_name(id) != nullptr;
            break;
        case Number::kNone:
            user = names_user_id(text, &uid);
            group = names_group_id(text, &gid);
            break;
    }
    // A principal that could be either is ambiguous, relaxed or not.
    if (user && group) {
        return refuse(
            reason, EINVAL,
            quoted(text) + " is both a user and a group: write user:" + text + " or group:" + text);
    }
    if (user) {
        entry->tag = GACL_TAG_TYPE_USER;
        entry->id = uid;
    } else if (group) {
        entry->tag = GACL_TAG_TYPE_GROUP;
        entry->id = gid;
    } else if (relaxed) {
        entry->tag = GACL_TAG_TYPE_UNKNOWN;
    } else {
        return refuse(reason, EINVAL, "unknown user or group " + quoted(text));
    }
    return 0;
}

// Cuts `text` at its first ':' and returns what follows, or nullptr when
// there is no ':'.
char *cut(char *text) {
    char *colon = std::strchr(text, ':');
    if (colon == nullptr) return nullptr;
    *colon = '\0';
    return colon + 1;
}

bool starts_with(const char *text, const char *prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int parse_perms(const char *field, gacl_perm_t *perms, std::string *reason) {
    for (const gacl_perm_set_word_t *set = gacl_perm_set_words; set->word != nullptr; set++) {
        if (std::strcmp(field, set->word) == 0) {
            *perms = set->perms;
            return 0;
        }
    }
    gacl_perm_t bits = 0;
    for (const char *c = field; *c != '\0'; c++) {
        if (*c == '-') continue;
        const gacl_perm_row_t *row = gacl_perm_table;
        while (row->bit != 0 && row->letter != *c)
            row++;
        if (row->bit == 0) {
            return refuse(reason, EINVAL, std::string("unknown permission letter '") + *c + "'");
        }
        bits |= row->bit;
    }
    *perms = bits;
    return 0;
}

int parse_flags(const char *field, gacl_flag_t *flags, std::string *reason) {
    gacl_flag_t bits = 0;
    for (const char *c = field; *c != '\0'; c++) {
        if (*c == '-') continue;
        const gacl_flag_row_t *row = gacl_flag_table;
        while (row->bit != 0 && row->letter != *c)
            row++;
        if (row->bit == 0) {
            return refuse(reason, EINVAL, std::string("unknown flag letter '") + *c + "'");
        }
        bits = static_cast<gacl_flag_t>(bits | row->bit);
    }
    *flags = bits;
    return 0;
}

}  // namespace

namespace {

int parse_entry(char *text, gacl_entry_t entry, int options, std::string *reason) {
    const bool relaxed = (options & GACL_TEXT_RELAXED) != 0;

    // 1. Principal; `rest` is what follows it.
    char *rest = nullptr;
    const char *prefix = nullptr;
    bool group = false;
    for (const char *p : {"user:", "u:"}) {
        if (prefix == nullptr && starts_with(text, p)) prefix = p;
    }
    for (const char *p : {"group:", "g:"}) {
        if (prefix == nullptr && starts_with(text, p)) {
            prefix = p;
            group = true;
        }
    }
    if (prefix != nullptr) {
        char *name = text + std::strlen(prefix);
        rest = cut(name);
        if (rest == nullptr) rest = name + std::strlen(name);
        if (named_principal(entry, name, group, relaxed, reason) < 0) return -1;
    } else {
        if (*text == '\0') return refuse(reason, EINVAL, "empty entry");
        rest = cut(text);
        if (rest == nullptr) return refuse(reason, EINVAL, "no \":\" after " + quoted(text));
        if (bare_principal(entry, text, relaxed, reason) < 0) return -1;
    }

    // 2. Permission field and remainder.
    char *perm_field = rest;
    char *remainder = cut(perm_field);

    // 3. Permissions; an empty field leaves them as they were.
    if (*perm_field != '\0' && parse_perms(perm_field, &entry->perms, reason) < 0) return -1;

    // 4. Flags and type.
    gacl_entry_type_t type = -1;
    if (remainder == nullptr) {
        entry->flags = 0;
    } else if ((type = gacl_entry_type_from_word_np(remainder)) >= 0) {
        entry->flags = 0;
    } else {
        char *type_field = cut(remainder);
        if (*remainder != '\0' && parse_flags(remainder, &entry->flags, reason) < 0) return -1;
        if (type_field != nullptr) {
            if (std::strchr(type_field, ':') != nullptr) {
                return refuse(reason, EINVAL, "too many \":\" fields");
            }
            type = gacl_entry_type_from_word_np(type_field);
            if (type < 0) {
                return refuse(
                    reason, EINVAL,
                    "unknown type " + quoted(type_field) + " (allow, deny, audit, alarm)");
            }
        }
    }

    // 5. Entry type; a bare "none" denies everything (user:bob:none).
    if (type >= 0) {
        entry->entry_type = type;
    } else if (std::strcmp(perm_field, "none") == 0) {
        entry->perms = GACL_PERM_FULL_SET;
        entry->entry_type = GACL_ENTRY_TYPE_DENY;
    } else {
        entry->entry_type = GACL_ENTRY_TYPE_ALLOW;
    }
    return 0;
}

constexpr const char *kSeparators = ", \t\n\r";

gacl_t parse_acl(const char *text, gacl_text_error_t *why) {
    int commas = 0;
    for (const char *c = text; *c != '\0'; c++) {
        if (*c == ',') commas++;
    }
    gacl_ptr acl(gacl_init(commas + (*text != '\0' ? 1 : 0)));
    if (!acl) return nullptr;

    std::string copy(text);
    std::string reason;
    size_t start = 0;
    for (int number = 1;; number++) {
        char *item = copy.data() + start;
        size_t len = std::strcspn(item, kSeparators);
        bool last = item[len] == '\0';
        item[len] = '\0';
        gacl_t handle = acl.get();
        gacl_entry_t entry = nullptr;
        int failed = 0;
        if (*text == '\0') {
            failed = refuse(&reason, EINVAL, "empty text");
        } else if (*item == '\0') {
            failed = refuse(&reason, EINVAL,
                            "empty entry (entries are separated by one comma or blank)");
        } else if (acl->count >= GACL_MAX_ENTRIES) {
            failed = refuse(&reason, ENOMEM,
                            "too many entries (at most " + std::to_string(GACL_MAX_ENTRIES) + ")");
        } else if (gacl_create_entry_np(&handle, &entry, -1) < 0) {
            return nullptr;  // out of memory: nothing to say about the text
        } else {
            failed = parse_entry(item, entry, 0, &reason);
        }
        if (failed < 0) {
            // The parser has cut its copy apart; the original shows the entry.
            if (why != nullptr) *why = {number, std::string(text + start, len), reason};
            return nullptr;
        }
        if (last) break;
        start += len + 1;
    }
    acl->cursor = 0;
    return acl.release();
}

}  // namespace

int gacl_entry_from_text_np(char *text, gacl_entry_t entry, int options, std::string *reason) {
    if (text == nullptr || entry == nullptr) return fail(EINVAL);
    return or_enomem(-1, [&] { return parse_entry(text, entry, options, reason); });
}

gacl_t gacl_from_text(const char *text, gacl_text_error_t *why) {
    gacl_t acl = nullptr;
    if (text != nullptr) {
        acl = or_enomem<gacl_t>(nullptr, [&] { return parse_acl(text, why); });
    }
    // Whatever went wrong, the caller learns only that the text is no ACL.
    if (acl == nullptr) errno = EINVAL;
    return acl;
}
