#include "commands/apply.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "commands/update.h"
#include "commands/walk.h"
#include "fs/path.h"
#include "gacl/vocab.h"
#include "util/escape.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

constexpr std::string_view FILE_LINE = "# file: ";

// The header lines of the default style (with -v and -vv) and the standard
// style, after "# file:". Their values are not needed: owners are not
// restored, and the rest describes the object as it was.
constexpr std::string_view HEADER_LINES[] = {
    "# owner: ",    "# group: ",    "# type: ",     "# size: ",
    "# modified: ", "# changed:  ", "# accessed: ", "# created:  ",
};

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// The text before and after the last ':' of `text`; false without one.
bool cut_last(std::string_view text, std::string_view *before, std::string_view *after) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    *before = text.substr(0, colon);
    *after = text.substr(colon + 1);
    return true;
}

// A field of the full form: one letter of the table (in table order) or a
// dash in every position.
template <typename Row, typename Bits>
bool letters(std::string_view field, const Row *table, size_t size, Bits *bits) {
    if (field.size() != size) return false;
    Bits value = 0;
    for (size_t i = 0; i < size; ++i) {
        if (field[i] == '-') continue;
        if (field[i] != table[i].letter) return false;
        value = static_cast<Bits>(value | table[i].bit);
    }
    *bits = value;
    return true;
}

// The "\t# uid=N" or "\t# gid=N" that -v appends to named entries.
bool is_id_comment(std::string_view comment) {
    if (!starts_with(comment, "\t# uid=") && !starts_with(comment, "\t# gid=")) return false;
    std::string_view number = comment.substr(7);
    if (!number.empty() && number[0] == '-') number.remove_prefix(1);
    if (number.empty()) return false;
    for (char c : number)
        if (!is_digit(c)) return false;
    return true;
}

// A user or group named in an entry: by name, or by the number a listing
// shows for an id without a name (signed, as FreeBSD prints ids).
bool principal_id(std::string_view text, bool group, gacl_entry_t_struct *e, std::string *why) {
    const char *kind = group ? "group" : "user";
    if (text.empty()) {
        *why = std::string("empty ") + kind + " name";
        return false;
    }
    std::string name(text);
    if (name.size() >= sizeof e->name) {
        *why = std::string(kind) + " name longer than 255 characters";
        return false;
    }
    std::string_view digits = name;
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    bool number = !digits.empty();
    for (char c : digits)
        number = number && is_digit(c);
    if (number) {
        uint64_t value = 0;
        for (char c : digits) {
            value = value * 10 + static_cast<uint64_t>(c - '0');
            if (value > (negative ? 0x80000000ull : 0xFFFFFFFFull)) {
                *why = std::string(kind) + " id out of range: " + name;
                return false;
            }
        }
        e->id = negative ? static_cast<uint32_t>(-static_cast<int64_t>(value))
                         : static_cast<uint32_t>(value);
        // -1 stands for no user or group at all; no store takes it.
        if (e->id == GACL_UNDEFINED_ID) {
            *why = std::string(kind) + " id out of range: " + name;
            return false;
        }
        const char *known = group ? names_group_name(e->id) : names_user_name(e->id);
        std::snprintf(e->name, sizeof e->name, "%s", known ? known : name.c_str());
        return true;
    }
    bool found = group ? names_group_id(name.c_str(), &e->id) : names_user_id(name.c_str(), &e->id);
    if (!found) {
        *why = std::string("unknown ") + kind + " " + name;
        return false;
    }
    std::memcpy(e->name, name.c_str(), name.size() + 1);
    return true;
}

// One entry line: blanks, principal:permissions:flags:type in the full
// form, maybe the id comment of -v.
bool parse_entry(std::string_view line, gacl_entry_t_struct *e, std::string *why) {
    *e = gacl_entry_t_struct{};
    size_t start = line.find_first_not_of(' ');
    std::string_view text = line.substr(start == std::string_view::npos ? line.size() : start);
    if (size_t tab = text.rfind('\t'); tab != std::string_view::npos) {
        if (!is_id_comment(text.substr(tab))) {
            *why = "unexpected text after the entry";
            return false;
        }
        text = text.substr(0, tab);
    }

    std::string_view principal, perms, flags, type;
    if (!cut_last(text, &text, &type) || !cut_last(text, &text, &flags) ||
        !cut_last(text, &principal, &perms)) {
        *why = "not principal:permissions:flags:type";
        return false;
    }
    if (!letters(perms, gacl_perm_table, 14, &e->perms)) {
        *why = "permissions are not the 14 letters rwxpDdaARWcCos or dashes";
        return false;
    }
    if (!letters(flags, gacl_flag_table, 7, &e->flags)) {
        *why = "flags are not the 7 letters fdinSFI or dashes";
        return false;
    }
    e->entry_type = -1;
    for (int t = 0; t < 4; ++t)
        if (type == gacl_entry_type_words[t]) e->entry_type = t;
    if (e->entry_type < 0) {
        *why = "unknown entry type " + std::string(type);
        return false;
    }

    if (starts_with(principal, "user:") || starts_with(principal, "group:")) {
        bool group = principal[0] == 'g';
        e->tag = group ? GACL_TAG_TYPE_GROUP : GACL_TAG_TYPE_USER;
        return principal_id(principal.substr(group ? 6 : 5), group, e, why);
    }
    static const struct {
        const char *text;
        gacl_tag_t tag;
    } specials[] = {{GACL_TEXT_OWNER, GACL_TAG_TYPE_USER_OBJ},
                    {GACL_TEXT_GROUP_OBJ, GACL_TAG_TYPE_GROUP_OBJ},
                    {GACL_TEXT_EVERYONE, GACL_TAG_TYPE_EVERYONE}};
    for (const auto &s : specials) {
        if (principal == s.text) {
            e->tag = s.tag;
            e->id = GACL_UNDEFINED_ID;
            std::strcpy(e->name, s.text);
            return true;
        }
    }
    *why = "unknown principal " + std::string(principal);
    return false;
}

}  // namespace

int listing_reader::take_line(std::string_view *line) {
    if (rest_.empty()) return 0;
    size_t end = rest_.find('\n');
    *line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++line_;
    // list-access ends every line: a listing that stops inside one was cut
    // short, and its last object may have lost entries.
    if (end == std::string_view::npos) return fail("No line end: the listing is cut short");
    // A path or name holding one would be cut there by the system calls.
    if (line->find('\0') != std::string_view::npos) return fail("NUL byte in the line");
    return 1;
}

int listing_reader::fail(std::string why) {
    why_ = std::move(why);
    return -1;
}

int listing_reader::next(std::string *path, gacl_ptr *acl) {
    std::string_view line;
    int got;
    // Objects are one empty line apart; an object that could not be shown
    // when the listing was made leaves one more.
    do {
        if ((got = take_line(&line)) <= 0) return got;
    } while (line.empty());
    if (!starts_with(line, FILE_LINE)) {
        return fail(objects_ == 0 ? "Not a listing in the standard or default style"
                                  : "Expected \"# file: \" after an empty line");
    }
    if (!str_unescape(line.substr(FILE_LINE.size()), path))
        return fail("Invalid escape in the path");
    // "./" is listed as the empty path.
    if (path->empty()) *path = ".";

    entries_.clear();
    while ((got = take_line(&line)) > 0 && !line.empty()) {
        if (starts_with(line, FILE_LINE)) return fail("No empty line before \"# file: \"");
        if (line[0] == '#') {
            if (!entries_.empty()) return fail("Header line after the entries");
            bool known = false;
            for (std::string_view key : HEADER_LINES)
                known = known || starts_with(line, key);
            if (!known) return fail("Unknown header line");
            continue;
        }
        if (entries_.size() == GACL_MAX_ENTRIES)
            return fail("More than " + std::to_string(GACL_MAX_ENTRIES) + " entries");
        gacl_entry_t_struct entry;
        std::string why;
        if (!parse_entry(line, &entry, &why)) return fail("Invalid entry: " + why);
        entries_.push_back(entry);
    }
    if (got < 0) return -1;

    gacl_ptr made(gacl_init(static_cast<int>(entries_.size())));
    if (!made) throw std::bad_alloc();
    for (const gacl_entry_t_struct &entry : entries_) {
        gacl_t handle = made.get();
        gacl_entry_t slot = nullptr;
        if (gacl_create_entry_np(&handle, &slot, -1) != 0) throw std::bad_alloc();
        gacl_copy_entry(slot, &entry);
    }
    // The listing was read from the system: as an ACL read from it, it
    // compares equal to the object's ACL when nothing changed.
    made->type = GACL_TYPE_NFS4;
    made->cursor = 0;
    *acl = std::move(made);
    ++objects_;
    return 1;
}

namespace {

struct file_closer {
    void operator()(std::FILE *f) const noexcept {
        if (f != stdin) std::fclose(f);
    }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Runs one step of reading the listing `name`: running out of memory ends
// the command with "<name>: Reading listing".
template <typename Step>
void reading(const char *name, Step &&step) {
    if (!or_enomem(false, [&] {
            step();
            return true;
        }))
        report(1, ENOMEM, "%s: Reading listing", shown_name(name).c_str());
}

// The whole listing `name` ("-": standard input).
std::string read_listing(const char *name) {
    bool from_stdin = std::strcmp(name, "-") == 0;
    file_ptr file(from_stdin ? stdin : std::fopen(name, "r"));
    if (!file) report(1, errno, "%s: Opening listing", shown_name(name).c_str());
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        reading(name, [&] { text.append(buffer, got); });
    bool failed = std::ferror(file.get()) != 0;
    int saved = errno;
    // Standard input may be read again later (the interactive mode).
    if (from_stdin) std::clearerr(stdin);
    if (failed) report(1, saved, "%s: Reading listing", shown_name(name).c_str());
    return text;
}

// Checks a whole listing before anything is written.
void check_listing(const char *name, std::string_view text) {
    listing_reader reader(text);
    std::string path;
    gacl_ptr acl;
    int got, objects = 0;
    do {
        reading(name, [&] { got = reader.next(&path, &acl); });
        objects += got > 0;
    } while (got > 0);
    if (got < 0)
        report(1, 0, "%s: line %d: %s", shown_name(name).c_str(), reader.line(),
               shown_name(reader.why().c_str()).c_str());
    if (objects == 0) report(1, 0, "%s: No objects listed", shown_name(name).c_str());
}

// Sets the ACL of one listed object. The object is reached as the walk
// that listed it reached it: no symbolic link on the way is followed unless
// it is root's or our own, and the object itself is never followed.
void apply_one(const char *path, gacl_t listed) {
    std::string name;
    fs_fd dir(fs_open_parent(path, &name));
    walk_object object{dir.get(), name.c_str(), path, {}, 0};
    if (!dir || fs_lstat_at(dir.get(), name.c_str(), &object.st) != 0)
        report(1, errno, "%s: Accessing", shown_name(path).c_str());
    gacl_t current = nullptr;
    int got = get_object_acl(&object, &current);
    gacl_ptr owned(got > 0 ? current : nullptr);
    // A link without an ACL keeps having none.
    if (got == 0) return;
    // An ACL that cannot be read is what a restore must be able to mend:
    // it is written without comparing.
    update_acl(&object, listed, owned.get());
}

}  // namespace

int cmd_apply_access(int argc, char **argv) {
    // The option parser takes a lone "-" as the end of the options, so
    // "apply-access -" arrives here without a file: both read standard input.
    static char standard_input[] = "-";
    char *stdin_only[] = {standard_input};
    char **files = argc > 1 ? argv + 1 : stdin_only;
    const int count = argc > 1 ? argc - 1 : 1;

    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text = read_listing(files[i]);
        reading(files[i], [&] { texts.push_back(std::move(text)); });
        check_listing(files[i], texts.back());
    }

    bool failed = false;
    for (int i = 0; i < count; ++i) {
        listing_reader reader(texts[static_cast<size_t>(i)]);
        std::string path;
        gacl_ptr acl;
        for (;;) {
            cancel_point();
            int got = 0;
            reading(files[i], [&] { got = reader.next(&path, &acl); });
            if (got <= 0) break;
            if (!config.keep_going) {
                apply_one(path.c_str(), acl.get());
                continue;
            }
            // The failure has been reported; the other objects still get
            // their ACLs, and the status says it afterwards.
            try {
                apply_one(path.c_str(), acl.get());
            } catch (const command_abandoned &) {
                if (cancel_requested()) throw;  // Ctrl-C ends the restore all the same
                failed = true;
            }
        }
    }
    if (failed) throw command_abandoned{1};
    return 0;
}
