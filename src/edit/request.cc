#include "edit/request.h"

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
#include "gacl/text_in.h"
#include "util/nomem.h"

std::unique_ptr<acecr_group_t> acecr_groups;

acecr_regex_t::~acecr_regex_t() {
    if (compiled_) regfree(&re_);
}

int acecr_regex_t::compile(const char *pattern, char *explain, std::size_t size) {
    if (compiled_) {
        regfree(&re_);
        compiled_ = false;
    }
    int rc = regcomp(&re_, pattern, REG_EXTENDED);
    if (rc != 0) {
        regerror(rc, &re_, explain, size);
        return rc;
    }
    compiled_ = true;
    return 0;
}

// Unlinks one successor at a time, so a long chain is not released by one
// nested destructor call per request.
acecr_t::~acecr_t() {
    std::unique_ptr<acecr_t> rest = std::move(next);
    while (rest)
        rest = std::move(rest->next);
}

acecr_group_t::~acecr_group_t() {
    std::unique_ptr<acecr_group_t> rest = std::move(next);
    while (rest)
        rest = std::move(rest->next);
}

namespace {

constexpr std::size_t REGEX_EXPLAIN_SIZE = 1024;

bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

char *skip_space(char *s) {
    while (is_space(*s))
        ++s;
    return s;
}

std::unique_ptr<gacl_entry_t_struct> new_entry_record() {
    auto entry = or_enomem<std::unique_ptr<gacl_entry_t_struct>>(
        nullptr, [] { return std::make_unique<gacl_entry_t_struct>(); });
    if (!entry) report(1, ENOMEM, "Malloc");
    return entry;
}

// {letters}: a "{" without a "}" later in the piece is skipped alone.
char *read_types(char *s, acecr_t *req) {
    if (*s != '{') return s;
    char *close = std::strchr(s + 1, '}');
    if (!close) return s + 1;
    std::string letters(s + 1, close);
    std::int32_t mask = 0;
    // Letters up to an invalid character stay applied; that is no error.
    file_types_parse(letters.c_str(), &mask);
    req->types = static_cast<std::uint16_t>(mask);
    return close + 1;
}

// The piece being read, for the line that says where a text went wrong.
struct piece_t {
    const char *text;   // the whole text given to the reader
    int number;         // the piece's position in it, from 1
    std::string shown;  // the piece without surrounding blanks
};

// After the reader's own error line: the line naming the piece and why,
// which also ends the reading.
[[noreturn]] void refuse_piece(const piece_t &piece, std::string reason) {
    report_parse_error(piece.text, "request", {piece.number, piece.shown, std::move(reason)});
}

// /text/ followed by "+", "-" or "=" selects by entry; otherwise /text/ is
// a pattern, selecting the entries whose text matches it (or, with "!"
// after the closing "/", those whose text does not).
char *read_selection(char *s, acecr_t *req, const piece_t &piece) {
    if (*s != '/') return s;
    char *close = std::strchr(s + 1, '/');
    if (!close) return s + 1;
    std::string text(s + 1, close);
    char *after = close + 1;
    req->selection = 1;
    if (*after == '+' || *after == '-' || *after == '=') {
        req->match = new_entry_record();
        std::string scratch = text;
        std::string reason;
        if (gacl_entry_from_text_np(scratch.data(), req->match.get(), 0, &reason) < 0) {
            report_on(current_name_get(), 1, 0, "%s: Invalid GACL Entry", text.c_str());
            refuse_piece(piece, reason);
        }
        req->match_op = *after;
        return after + 1;
    }
    if (*after == '!') {
        req->selection = -1;
        ++after;
    }
    char explain[REGEX_EXPLAIN_SIZE];
    if (req->regex.compile(text.c_str(), explain, sizeof explain) != 0) {
        report_on(current_name_get(), 1, 0, "%s: Regex: %s", text.c_str(), explain);
        refuse_piece(piece, "invalid pattern \"" + text + "\"");
    }
    return after;
}

// One piece of the text (NUL-terminated, without its separator), the
// `number`th of `text`. nullptr for a blank piece or a comment; a failure is
// reported and throws.
std::unique_ptr<acecr_t> read_piece(char *s, const char *text, int number) {
    s = skip_space(s);
    if (*s == '\0' || *s == '#') return nullptr;
    piece_t piece{text, number, s};
    while (!piece.shown.empty() && is_space(piece.shown.back()))
        piece.shown.pop_back();

    auto req =
        or_enomem<std::unique_ptr<acecr_t>>(nullptr, [] { return std::make_unique<acecr_t>(); });
    if (!req) report(1, ENOMEM, "Malloc");

    s = read_types(s, req.get());

    // Text that is no position is left for what follows.
    s = skip_space(s);
    range_t *positions = nullptr;
    const char *cursor = s;
    // The result only explains a failure below: a position text that
    // cannot be read is where the action letter is then looked for.
    char *unread_positions = range_from_text(&positions, &cursor) < 0 ? s : nullptr;
    req->positions.reset(positions);
    s += cursor - s;

    s = read_selection(skip_space(s), req.get(), piece);

    s = skip_space(s);
    if (!std::isalpha(static_cast<unsigned char>(*s))) {
        report_on(current_name_get(), 1, 0, "%s: Invalid ACL Entry", s);
        if (s == unread_positions) {
            refuse_piece(piece, "invalid position at \"" + std::string(s) + "\"");
        }
        refuse_piece(piece, *s ? "no action letter at \"" + std::string(s) + "\""
                               : std::string("no action letter"));
    }
    req->action = static_cast<unsigned char>(*s++);
    char *flags_end = s;
    while (*flags_end && !is_space(*flags_end))
        ++flags_end;
    if (flags_end != s) req->action_flags.emplace(s, flags_end);

    s = skip_space(flags_end);
    if (*s) {
        bool kept = or_enomem(false, [&] {
            req->entry_text.emplace(s);
            return true;
        });
        if (!kept) report(1, ENOMEM, "Memory");
        req->entry = new_entry_record();
        // The parser cuts its text apart; entry_text keeps what was written.
        std::string scratch = *req->entry_text;
        std::string reason;
        if (gacl_entry_from_text_np(scratch.data(), req->entry.get(), 0, &reason) < 0) {
            report_on(current_name_get(), 1, 0, "Invalid ACL Entry");
            refuse_piece(piece, reason);
        }
    }
    return req;
}

}  // namespace

int acecr_from_text(std::unique_ptr<acecr_t> *list, const char *text) {
    if (!list || !text) {
        errno = EINVAL;
        return -1;
    }
    std::string copy;
    bool copied = or_enomem(false, [&] {
        copy = text;
        return true;
    });
    if (!copied) return -1;
    std::unique_ptr<acecr_t> *tail = list;
    while (*tail)
        tail = &(*tail)->next;

    // A failure reported while reading ends here instead of abandoning the
    // command; the request being read is released on the way out.
    try {
        char *piece = copy.data();
        for (int number = 1;; number++) {
            char *end = piece + std::strcspn(piece, ";\n\r");
            bool last = *end == '\0';
            *end = '\0';
            std::unique_ptr<acecr_t> req;
            bool read = or_enomem(false, [&] {
                req = read_piece(piece, text, number);
                return true;
            });
            if (!read) report(1, ENOMEM, "Malloc");
            if (req) {
                *tail = std::move(req);
                tail = &(*tail)->next;
            }
            if (last) break;
            piece = end + 1;
        }
    } catch (const command_abandoned &) {
        if (cancel_requested()) throw;  // Ctrl-C is no fault of the text
        int saved = errno;
        std::fflush(stdout);
        std::fputs("acecr_from_text: error-catched\n", stderr);
        std::fflush(stderr);
        errno = saved;
        return -1;
    }
    return 0;
}

int acecr_group_append(std::unique_ptr<acecr_t> requests) {
    auto group = or_enomem<std::unique_ptr<acecr_group_t>>(
        nullptr, [] { return std::make_unique<acecr_group_t>(); });
    if (!group) return -1;
    group->requests = std::move(requests);
    std::unique_ptr<acecr_group_t> *tail = &acecr_groups;
    while (*tail)
        tail = &(*tail)->next;
    *tail = std::move(group);
    return 0;
}

void acecr_groups_free() {
    acecr_groups.reset();
}
