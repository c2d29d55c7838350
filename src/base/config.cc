// Configuration records and the option value vocabularies.
#include "base/config.h"

#include <cstring>
#include <string>

#include "base/version.h"

config_t config{};
config_t config_defaults{};

program_info_t program_info{"vossik", VOSSIK_VERSION, nullptr};

namespace {

struct style_name {
    const char *name;  // option value
    int32_t code;
    const char *display;  // as the config command shows it
};

constexpr style_name styles[] = {
    {"default", ACL_STYLE_DEFAULT, "Default"},
    {"standard", ACL_STYLE_STANDARD, "Standard"},
    {"brief", ACL_STYLE_BRIEF, "Brief"},
    {"verbose", ACL_STYLE_VERBOSE, "Verbose"},
    {"csv", ACL_STYLE_CSV, "CSV"},
    {"samba", ACL_STYLE_SAMBA, "Samba"},
    {"icacls", ACL_STYLE_ICACLS, "ICACLS"},
    {"solaris", ACL_STYLE_SOLARIS, "Solaris"},
    {"primos", ACL_STYLE_PRIMOS, "PRIMOS"},
};

// The system's S_IFMT codes, written out because Linux has no whiteout.
struct type_letter {
    char letter;
    int32_t code;
};

constexpr type_letter type_letters[] = {
    {'p', 0x1000}, {'c', 0x2000}, {'d', 0x4000}, {'b', 0x6000},
    {'f', 0x8000}, {'l', 0xA000}, {'s', 0xC000}, {'w', 0xE000},
};

}  // namespace

int acl_style_parse(const char *text, int32_t *code) {
    if (!text || !*text) return 0;
    for (const auto &s : styles) {
        if (std::strcmp(text, s.name) == 0) {
            *code = s.code;
            return 1;
        }
    }
    return -1;
}

std::string acl_style_names() {
    std::string names;
    for (const auto &s : styles) {
        if (!names.empty()) names += ", ";
        names += s.name;
    }
    return names;
}

const char *acl_style_name(int32_t code) {
    for (const auto &s : styles) {
        if (s.code == code) return s.display;
    }
    return nullptr;
}

int file_types_parse(const char *text, int32_t *mask) {
    *mask = 0;
    bool adding = true;
    for (const char *p = text ? text : ""; *p; ++p) {
        if (*p == '+') {
            adding = true;
            continue;
        }
        if (*p == '-') {
            adding = false;
            continue;
        }
        const type_letter *found = nullptr;
        for (const auto &t : type_letters) {
            if (t.letter == *p) found = &t;
        }
        if (!found) return -1;
        if (adding) {
            *mask |= found->code;
        } else {
            *mask &= ~found->code;
        }
    }
    return *mask != 0 ? 1 : 0;
}

const char *file_type_letters() {
    static const std::string letters = [] {
        std::string text;
        for (const auto &t : type_letters)
            text += t.letter;
        return text;
    }();
    return letters.c_str();
}
