// Extended-attribute commands.
#include "commands/attr_commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "fs/attr_io.h"
#include "util/escape.h"
#include "util/nomem.h"

const option_t attr_options[] = {
    {"attr-options", 'X', OPT_TEXT, opt_attr_options, &fs_xattr_flags,
     "Extended attribute options"},
    {nullptr, 0, 0, nullptr, nullptr, nullptr},
};

namespace {

// A value or a name list may change between asking its size and reading it;
// a few fresh attempts settle that.
constexpr int READ_ATTEMPTS = 8;

// Reads a whole value or name list through `read` (which follows the size
// protocol of fs/attr_io.h) into *out. 0, or -1 with errno.
template <typename Read>
int read_whole(Read read, std::vector<char> *out) {
    return or_enomem(-1, [&] {
        for (int attempt = 0; attempt < READ_ATTEMPTS; ++attempt) {
            ssize_t need = read(nullptr, 0);
            if (need < 0) return -1;
            // One byte more than asked: a value that grew is seen at once.
            out->resize(static_cast<size_t>(need) + 1);
            ssize_t got = read(out->data(), out->size());
            if (got >= 0 && static_cast<size_t>(got) <= static_cast<size_t>(need)) {
                out->resize(static_cast<size_t>(got));
                return 0;
            }
            if (got < 0 && errno != ERANGE) return -1;
        }
        errno = ERANGE;
        return -1;
    });
}

// The names, each ending in its NUL (the last one too, so that each can be
// shown as a C string).
int read_names(const char *path, std::vector<char> *out) {
    int rc = read_whole(
        [path](char *buffer, size_t size) {
            return fs_xattr_list(path, buffer, size, fs_xattr_flags);
        },
        out);
    if (rc < 0 || out->empty() || out->back() == '\0') return rc;
    return or_enomem(-1, [&] {
        out->push_back('\0');
        return 0;
    });
}

int read_value(const char *path, const char *name, std::vector<char> *out) {
    return read_whole(
        [path, name](char *buffer, size_t size) {
            return fs_xattr_get(path, name, buffer, size, fs_xattr_flags);
        },
        out);
}

// A value is shown as text when it is empty, or ends in its NUL with only
// printable characters below 0x80 before it.
bool is_text(const std::vector<char> &value) {
    if (value.empty()) return true;
    if (value.back() != '\0') return false;
    for (size_t i = 0; i + 1 < value.size(); ++i) {
        auto c = static_cast<unsigned char>(value[i]);
        if (c >= 0x80 || !std::isprint(c)) return false;
    }
    return true;
}

// The value as shown after "name =": a text in double quotes, each '"' in
// it after a backslash and the backslash itself escaped like a name, or
// else the bytes in hexadecimal. Throws std::bad_alloc.
std::string shown_value(const std::vector<char> &value) {
    std::string shown;
    if (!is_text(value)) {
        char hex[4];
        for (char c : value) {
            std::snprintf(hex, sizeof hex, " %02x", static_cast<unsigned char>(c));
            shown += hex;
        }
        return shown;
    }
    shown = " \"";
    std::string_view text(value.data(), value.empty() ? 0 : value.size() - 1);
    for (size_t start = 0; start < text.size();) {
        size_t quote = std::min(text.find('"', start), text.size());
        str_escape_append(&shown, text.substr(start, quote - start));
        if (quote < text.size()) shown += "\\\"";
        start = quote + 1;
    }
    shown += '"';
    return shown;
}

}  // namespace

int opt_attr_options(const char *name, const char *value, uint32_t, const void *, void *target,
                     const char *) {
    auto *flags = static_cast<int32_t *>(target);
    if (value == nullptr) value = "";
    if (std::strcmp(value, "-") == 0) {
        *flags = 0;
        return 0;
    }
    if (fs_xattr_flags_parse(value, flags) < 0) {
        const char *bad = value + std::strspn(value, "fS");
        report(1, 0, "--%s=%s: Unknown letter '%c' (f, S, or - alone)", name, value, *bad);
    }
    return 0;
}

int cmd_list_attribute(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const char *path = argv[i];
        std::vector<char> names;
        if (read_names(path, &names) < 0)
            report(1, errno, "%s: Getting Extended Attributes", shown_name(path).c_str());
        if (config.verbose != 0) {
            if (i > 1) std::putchar('\n');
            std::printf("Extended Attributes of %s:\n", shown_name(path).c_str());
        } else {
            std::printf("%s:\n", shown_name(path).c_str());
        }
        for (size_t pos = 0; pos < names.size();) {
            const char *name = names.data() + pos;
            std::printf("  %s\n", shown_name(name).c_str());
            pos += std::strlen(name) + 1;
        }
    }
    return 0;
}

int cmd_get_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    if (config.verbose != 0) std::printf("%s:\n", shown_name(path).c_str());
    for (int i = 2; i < argc; ++i) {
        std::vector<char> value;
        if (read_value(path, argv[i], &value) < 0)
            report(1, errno, "%s: %s: Getting Extended Attribute", shown_name(path).c_str(),
                   shown_name(argv[i]).c_str());
        std::string text;
        if (!or_enomem(false, [&] {
                text = shown_value(value);
                return true;
            }))
            report(1, ENOMEM, "%s: %s: Getting Extended Attribute", shown_name(path).c_str(),
                   shown_name(argv[i]).c_str());
        std::printf("  %s =%s\n", shown_name(argv[i]).c_str(), text.c_str());
    }
    return 0;
}

int cmd_set_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    for (int i = 2; i < argc; ++i) {
        const char *eq = std::strchr(argv[i], '=');
        if (eq == nullptr) report(1, 0, "%s: Missing '=' delimiter", shown_name(argv[i]).c_str());
        std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
        const char *value = eq + 1;
        // The terminating NUL is stored too: readers see a C string.
        if (fs_xattr_set(path, name.c_str(), value, std::strlen(value) + 1, fs_xattr_flags) < 0)
            report(1, errno, "%s: %s: Setting Extended Attribute", shown_name(path).c_str(),
                   shown_name(name.c_str()).c_str());
        if (config.debug != 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "setxattr: %s = \"%s\"\n", shown_name(name.c_str()).c_str(),
                         shown_name(value).c_str());
        }
    }
    return 0;
}

int cmd_remove_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (fs_xattr_delete(path, argv[i], fs_xattr_flags) < 0)
            report(1, errno, "%s: %s: Removing Extended Attribute", shown_name(path).c_str(),
                   shown_name(argv[i]).c_str());
        if (config.verbose != 0)
            std::printf("%s: Extended Attribute removed\n", shown_name(argv[i]).c_str());
    }
    return 0;
}
