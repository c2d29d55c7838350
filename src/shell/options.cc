// Option parser.
#include "shell/options.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "base/report.h"
#include "shell/registry.h"
#include "util/strutil.h"

namespace {

bool valid_base(uint32_t type) {
    uint32_t base = type & OPT_BASE_MASK;
    return base == OPT_SWITCH || base == OPT_UINT || base == OPT_INT || base == OPT_TEXT;
}

bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Whether `text` can be the value of a one-letter option of this base type
// taken from the rest of the word or from the next word.
bool looks_like_number(const char *text, bool may_be_negative) {
    if (is_digit(text[0])) return true;
    return may_be_negative && text[0] == '-' && is_digit(text[1]);
}

// A non-zero result of opts_set_value ends a parse; it must stay negative,
// as positive results are operand indexes.
int rejection(int r) {
    return r < 0 ? r : -1;
}

// "name" or "name=value", split at the first '='.
struct name_value {
    std::string name;
    std::optional<std::string> value;
    const char *value_text() const { return value ? value->c_str() : nullptr; }
};

name_value split_name_value(const char *text) {
    name_value nv{text ? text : "", std::nullopt};
    if (auto eq = nv.name.find('='); eq != std::string::npos) {
        nv.value = nv.name.substr(eq + 1);
        nv.name.resize(eq);
    }
    return nv;
}

// Counts the entries of the tables that `accepts` takes and leaves the last
// of them in *found.
template <typename Accepts>
int find_options(std::initializer_list<const option_t *> tables, Accepts accepts,
                 const option_t **found) {
    int matches = 0;
    for (const option_t *table : tables) {
        if (!table) break;
        for (const option_t *o = table; o->name; ++o) {
            if (accepts(*o)) {
                *found = o;
                ++matches;
            }
        }
    }
    return matches;
}

// A value the option cannot take: one line naming the option, the value and
// why, under the current name; the command does not run (the caller goes
// on with the rejection).
void refuse_value(const option_t *opt, const char *value, const char *why) {
    if (value) {
        report_on(current_name_get(), 1, 0, "--%s=%s: %s", opt->name, value, why);
    } else {
        report_on(current_name_get(), 1, 0, "--%s: %s", opt->name, why);
    }
}

}  // namespace

int opts_set_value(const option_t *opt, const char *value, const char *context) {
    if (!opt || !valid_base(opt->type)) {
        errno = ENOSYS;
        return -1;
    }
    uint32_t base = opt->type & OPT_BASE_MASK;
    bool optional = (opt->type & OPT_OPTIONAL) != 0;
    int number = 0;
    const void *parsed = nullptr;

    switch (base) {
        case OPT_SWITCH:
            if (value) {
                refuse_value(opt, value, "Takes no value");
                errno = E2BIG;
                return -1;
            }
            if (!opt->handler && opt->target) ++*static_cast<int *>(opt->target);
            break;
        case OPT_UINT:
        case OPT_INT:
            if (value) {
                if (!str_to_int(value, &number) || (base == OPT_UINT && number < 0)) {
                    refuse_value(opt, value,
                                 base == OPT_UINT ? "Not a number of 0 or more" : "Not a number");
                    errno = EINVAL;
                    return -1;
                }
                parsed = &number;
                if (!opt->handler && opt->target) *static_cast<int *>(opt->target) = number;
            } else if (!optional) {
                refuse_value(opt, nullptr, "Missing value");
                errno = ENOENT;
                return -1;
            }
            break;
        case OPT_TEXT:
            if (!value && !optional) {
                refuse_value(opt, nullptr, "Missing value");
                errno = ENOENT;
                return -1;
            }
            parsed = value;
            if (!opt->handler && opt->target) {
                auto *target = static_cast<std::string *>(opt->target);
                if (value) {
                    *target = value;
                } else {
                    target->clear();
                }
            }
            break;
    }
    if (!opt->handler) return 0;
    return opt->handler(opt->name, value, opt->type, parsed, opt->target, context);
}

int opts_parse(int argc, char **argv, std::initializer_list<const option_t *> tables) {
    const char *context = argc > 0 ? argv[0] : nullptr;
    int i = 1;
    while (i < argc) {
        const char *word = argv[i];
        if (word[0] != '-') return i;
        if (std::strcmp(word, "-") == 0 || std::strcmp(word, "--") == 0) return i + 1;

        if (word[1] == '-') {
            // --name or --name=value; the next word is never the value.
            name_value option = split_name_value(word + 2);
            const option_t *found = nullptr;
            int matches = find_options(
                tables, [&](const option_t &o) { return name_match(option.name.c_str(), o.name); },
                &found);
            if (matches == 0) report(1, 0, "%s: Invalid option", word);
            if (matches > 1) report(-1, 0, "%s: Multiple options matches", word);
            int r = opts_set_value(found, option.value_text(), context);
            if (r != 0) return rejection(r);
            ++i;
            continue;
        }

        // A group of one-letter options; a value ends the group.
        int next = i + 1;
        for (const char *p = word + 1; *p; ++p) {
            const option_t *found = nullptr;
            int matches = find_options(
                tables, [p](const option_t &o) { return o.letter != 0 && o.letter == *p; }, &found);
            if (matches == 0) report(1, 0, "-%c: Invalid option", *p);
            if (matches > 1) report(1, 0, "-%c: Multiple options matches", *p);
            if (!valid_base(found->type)) {
                report(1, 0, "%d: Unknown option type",
                       static_cast<int>(found->type & OPT_BASE_MASK));
            }

            const char *rest = p + 1;
            const char *following = i + 1 < argc ? argv[i + 1] : nullptr;
            const char *value = nullptr;
            switch (found->type & OPT_BASE_MASK) {
                case OPT_UINT:
                case OPT_INT: {
                    bool negative_ok = (found->type & OPT_BASE_MASK) == OPT_INT;
                    if (looks_like_number(rest, negative_ok)) {
                        value = rest;
                    } else if (following && looks_like_number(following, negative_ok)) {
                        value = following;
                        next = i + 2;
                    }
                    break;
                }
                case OPT_TEXT:
                    if (*rest) {
                        value = rest;
                    } else if (following) {
                        value = following;
                        next = i + 2;
                    }
                    break;
                default:
                    break;
            }
            int r = opts_set_value(found, value, context);
            if (r != 0) return rejection(r);
            if (value) break;
        }
        i = next;
    }
    return argc > 1 ? argc : 1;
}

int opts_set_from_text(const option_t *table, const char *text, const char *context) {
    name_value option = split_name_value(text);
    const option_t *found = nullptr;
    int matches = find_options(
        {table}, [&](const option_t &o) { return name_match(option.name.c_str(), o.name); },
        &found);
    // Said as the command line says it, but without abandoning: the config
    // command goes on with the rejection.
    if (matches == 0) {
        report_on(current_name_get(), 1, 0, "%s: Invalid option", text);
        errno = ENOENT;
        return -1;
    }
    if (matches > 1) {
        report_on(current_name_get(), -1, 0, "%s: Multiple options matches", text);
        errno = E2BIG;
        return -1;
    }
    return opts_set_value(found, option.value_text(), context);
}

int opts_print(FILE *out, std::initializer_list<const option_t *> tables) {
    std::fputs("OPTIONS:\n", out);
    for (const option_t *table : tables) {
        if (!table) break;
        for (const option_t *o = table; o->name; ++o) {
            // An option without a letter shows a blank rather than a NUL byte.
            std::fprintf(out, "  -%c / --%-10s\t%s\t%s\n", o->letter ? o->letter : ' ', o->name,
                         "-", o->description);
        }
    }
    return 0;
}
