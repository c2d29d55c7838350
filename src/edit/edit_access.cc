#include "edit/edit_access.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "base/cancel.h"
#include "base/config.h"
#include "base/report.h"
#include "commands/walk.h"
#include "edit/engine.h"
#include "gacl/text_in.h"
#include "util/escape.h"
#include "util/nomem.h"

const option_t edit_access_options[] = {
    {"execute", 'e', OPT_TEXT, edit_script_option, nullptr, "Commands (from string)"},
    {"file", 'E', OPT_TEXT, edit_script_option, nullptr, "Commands (from file)"},
    {nullptr, 0, 0, nullptr, nullptr, nullptr},
};

namespace {

// Script lines are read in pieces of at most this size, the NUL included.
constexpr int SCRIPT_LINE_SIZE = 2048;

bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Releases the run's groups however the command ends.
struct groups_release {
    groups_release() = default;
    ~groups_release() { acecr_groups_free(); }
    groups_release(const groups_release &) = delete;
    groups_release &operator=(const groups_release &) = delete;
};

// The walk context of one run: the groups, and whether a path was
// abandoned.
struct edit_run {
    acecr_group_t *groups;
    bool abandoned;
};

// An abandoned path has been reported; the walk goes on with the next
// object whether it was named or found below a directory (the walker would
// end the whole command on a file inside a directory, with a misleading
// "Accessing" error), and the command's status says it afterwards.
int edit_one(const walk_object *object, void *context) {
    auto *run = static_cast<edit_run *>(context);
    if (acecr_apply(object, run->groups) != 0) run->abandoned = true;
    return 0;
}

struct file_closer {
    void operator()(std::FILE *f) const noexcept {
        if (f != stdin) std::fclose(f);
    }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Reads the script `name` ("-": standard input) into *list, one line at a
// time. Failures release the run's groups and abandon the command.
void read_script(const char *name, std::unique_ptr<acecr_t> *list) {
    bool from_stdin = std::strcmp(name, "-") == 0;
    cancel_point();
    file_ptr file(from_stdin ? stdin : std::fopen(name, "r"));
    if (!file) {
        int saved = errno;
        acecr_groups_free();
        report(1, saved, "%s: Opening script", shown_name(name).c_str());
    }
    // Each line's requests go after the last one read: appending from the
    // head of the list every time would make long scripts quadratic.
    std::unique_ptr<acecr_t> *end = list;
    while (*end)
        end = &(*end)->next;
    char line[SCRIPT_LINE_SIZE];
    int number = 0;
    while (std::fgets(line, sizeof line, file.get())) {
        cancel_point();
        std::size_t length = std::strlen(line);
        while (length > 0 && is_space(line[length - 1]))
            line[--length] = '\0';
        ++number;
        if (acecr_from_text(end, line) < 0) {
            acecr_groups_free();
            report(1, 0, "%s: Invalid action at line %d", line, number);
        }
        while (*end)
            end = &(*end)->next;
    }
    bool failed = std::ferror(file.get()) != 0;
    int saved = errno;
    // Standard input may be read again later (the interactive mode).
    if (from_stdin) std::clearerr(stdin);
    if (failed) {
        acecr_groups_free();
        report(1, saved, "%s: Reading script", shown_name(name).c_str());
    }
}

// One piece of a simple change request; null with errno and *reason when it
// cannot be read.
std::unique_ptr<acecr_t> simple_piece(std::string piece, std::string *reason) {
    auto req = std::make_unique<acecr_t>();
    if (std::size_t mark = piece.find('?'); mark != std::string::npos) {
        std::int32_t mask = 0;
        // Letters up to an invalid character stay applied.
        file_types_parse(piece.c_str() + mark + 1, &mask);
        req->types = static_cast<std::uint16_t>(mask);
        piece.resize(mark);
    }
    req->selection = 1;
    req->match_op = 0;
    req->match = std::make_unique<gacl_entry_t_struct>();

    std::size_t second = piece.empty() || piece[0] != '/' ? std::string::npos : piece.find('/', 1);
    if (second != std::string::npos) {
        // /search/replacement[/flags]
        std::string search = piece.substr(1, second - 1);
        std::size_t third = piece.find('/', second + 1);
        std::string replacement = piece.substr(
            second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
        if (third != std::string::npos) req->action_flags = piece.substr(third + 1);
        if (gacl_entry_from_text_np(search.data(), req->match.get(), GACL_TEXT_RELAXED, reason) <
            0) {
            return nullptr;
        }
        req->entry_text = replacement;
        req->entry = std::make_unique<gacl_entry_t_struct>();
        if (gacl_entry_from_text_np(replacement.data(), req->entry.get(), 0, reason) < 0) {
            return nullptr;
        }
        req->action = 's';
        return req;
    }

    // An entry to set, or with no permissions, to delete.
    if (!piece.empty() && piece[0] == '/') piece.erase(0, 1);
    req->entry_text = piece;
    if (gacl_entry_from_text_np(piece.data(), req->match.get(), GACL_TEXT_RELAXED, reason) < 0) {
        return nullptr;
    }
    req->entry = std::make_unique<gacl_entry_t_struct>(*req->match);
    req->action = req->match->perms != 0 ? 'S' : 'd';
    return req;
}

}  // namespace

int edit_script_option(const char *name, const char *value, std::uint32_t, const void *, void *,
                       const char *) {
    if (!name || !value) {
        acecr_groups_free();
        return -1;
    }
    std::unique_ptr<acecr_t> list;
    if (std::strcmp(name, "file") == 0) {
        read_script(value, &list);
    } else if (acecr_from_text(&list, value) < 0) {
        // The reader has said what was wrong; the run will not go on.
        acecr_groups_free();
        return -1;
    }
    if (acecr_group_append(std::move(list)) < 0) {
        int saved = errno;
        acecr_groups_free();
        report(1, saved, "%s: Unable to add change requests", value);
    }
    return 0;
}

std::unique_ptr<acecr_t> acecr_from_simple_text(const char *text, gacl_text_error_t *why) {
    if (!text) {
        errno = EINVAL;
        return nullptr;
    }
    while (is_space(*text))
        ++text;
    if (*text == '\0') {
        if (why) *why = {1, "", "empty request"};
        errno = EINVAL;
        return nullptr;
    }
    return or_enomem<std::unique_ptr<acecr_t>>(nullptr, [&]() -> std::unique_ptr<acecr_t> {
        std::string copy(text);
        std::unique_ptr<acecr_t> head;
        std::unique_ptr<acecr_t> *tail = &head;
        std::size_t start = 0;
        for (int number = 1;; number++) {
            std::size_t end = copy.find_first_of(",;", start);
            std::string piece = copy.substr(start, end == std::string::npos ? end : end - start);
            std::string reason;
            std::unique_ptr<acecr_t> req = simple_piece(piece, &reason);
            if (!req) {
                if (why) *why = {number, piece, reason};
                return nullptr;
            }
            *tail = std::move(req);
            tail = &(*tail)->next;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return head;
    });
}

int edit_access(int argc, char **argv) {
    groups_release release;
    if (argc <= 1) report(1, 0, "Missing required arguments");

    int first = 1;
    if (!acecr_groups && argc > 2) {
        gacl_text_error_t why;
        std::unique_ptr<acecr_t> simple = acecr_from_simple_text(argv[1], &why);
        if (!simple) {
            report_on(current_name_get(), 1, 0, "%s: Invalid simple change request", argv[1]);
            report_parse_error(argv[1], "request", why);
        }
        if (acecr_group_append(std::move(simple)) < 0) {
            report(1, errno, "%s: Unable to add simple change request", argv[1]);
        }
        first = 2;
    }
    if (!acecr_groups) report(1, 0, "Invalid or no change request");

    edit_run run{acecr_groups.get(), false};
    int status = walk_paths(argc - first, argv + first, edit_one, &run, walk_prefetch::acl);
    // Each failed path has been reported already; the status is what
    // scripts go by.
    if (run.abandoned) throw command_abandoned{1};
    return status;
}
