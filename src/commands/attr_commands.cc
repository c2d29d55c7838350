// Extended-attribute commands.
#include "commands/attr_commands.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "fs/attr_io.h"
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

int read_names(const char *path, std::vector<char> *out) {
    return read_whole(
        [path](char *buffer, size_t size) {
            return fs_xattr_list(path, buffer, size, fs_xattr_flags);
        },
        out);
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

void print_value(const std::vector<char> &value) {
    if (is_text(value)) {
        std::fputs(" \"", stdout);
        for (size_t i = 0; i + 1 < value.size(); ++i) {
            if (value[i] == '"') std::putchar('\\');
            std::putchar(value[i]);
        }
        std::putchar('"');
    } else {
        for (char c : value)
            std::printf(" %02x", static_cast<unsigned char>(c));
    }
}

}  // namespace

int opt_attr_options(const char *, const char *value, uint32_t, const void *, void *target,
                     const char *) {
    auto *flags = static_cast<int32_t *>(target);
    if (value == nullptr) value = "";
    if (std::strcmp(value, "-") == 0) {
        *flags = 0;
        return 0;
    }
    if (fs_xattr_flags_parse(value, flags) < 0)
        report(1, 0, "%s: Invalid extended attribute flags", value);
    return 0;
}

int cmd_list_attribute(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const char *path = argv[i];
        std::vector<char> names;
        if (read_names(path, &names) < 0) report(1, errno, "%s: Getting Extended Attributes", path);
        if (config.verbose != 0) {
            if (i > 1) std::putchar('\n');
            std::printf("Extended Attributes of %s:\n", path);
        } else {
            std::printf("%s:\n", path);
        }
        for (size_t pos = 0; pos < names.size();) {
            size_t len = strnlen(names.data() + pos, names.size() - pos);
            std::printf("  %.*s\n", static_cast<int>(len), names.data() + pos);
            pos += len + 1;
        }
    }
    return 0;
}

int cmd_get_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    if (config.verbose != 0) std::printf("%s:\n", path);
    for (int i = 2; i < argc; ++i) {
        std::vector<char> value;
        if (read_value(path, argv[i], &value) < 0)
            report(1, errno, "%s: %s: Getting Extended Attribute", path, argv[i]);
        std::printf("  %s =", argv[i]);
        print_value(value);
        std::putchar('\n');
    }
    return 0;
}

int cmd_set_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    for (int i = 2; i < argc; ++i) {
        const char *eq = std::strchr(argv[i], '=');
        if (eq == nullptr) report(1, 0, "%s: Missing '=' delimiter", argv[i]);
        std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
        const char *value = eq + 1;
        // The terminating NUL is stored too: readers see a C string.
        if (fs_xattr_set(path, name.c_str(), value, std::strlen(value) + 1, fs_xattr_flags) < 0)
            report(1, errno, "%s: %s: Setting Extended Attribute", path, name.c_str());
        if (config.debug != 0) {
            std::fflush(stdout);
            std::fprintf(stderr, "setxattr: %s = \"%s\"\n", name.c_str(), value);
        }
    }
    return 0;
}

int cmd_remove_attribute(int argc, char **argv) {
    if (argc < 3) report(1, 0, "Missing required arguments");
    const char *path = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (fs_xattr_delete(path, argv[i], fs_xattr_flags) < 0)
            report(1, errno, "%s: %s: Removing Extended Attribute", path, argv[i]);
        if (config.verbose != 0) std::printf("%s: Extended Attribute removed\n", argv[i]);
    }
    return 0;
}
