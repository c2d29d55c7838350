#include "commands/list.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "base/config.h"
#include "base/report.h"
#include "commands/foreign_styles.h"
#include "commands/walk.h"
#include "gacl/system.h"
#include "gacl/text_out.h"
#include "util/escape.h"
#include "util/names.h"
#include "util/nomem.h"

namespace {

// Size of the buffer one entry is rendered into by the foreign styles.
constexpr size_t ENTRY_TEXT_SIZE = 2048;

// What every style shows of the object, prepared once per print without
// allocating (but for a name that must be escaped): listings of whole file
// systems print millions of these.
class object_info {
  public:
    // The path is shown escaped, so that a name cannot forge lines or fields
    // of a listing.
    object_info(const char *path, const struct stat *st) : st_(st), display_(without_dot(path)) {
        owner_name_ = names_user_name(static_cast<uint32_t>(st->st_uid));
        group_name_ = names_group_name(static_cast<uint32_t>(st->st_gid));
    }
    object_info(const object_info &) = delete;
    object_info &operator=(const object_info &) = delete;

    const char *display() const { return display_.c_str(); }
    std::string_view display_text() const { return {display_.c_str(), display_.size()}; }
    const struct stat *st() const { return st_; }
    int uid() const { return static_cast<int>(st_->st_uid); }
    int gid() const { return static_cast<int>(st_->st_gid); }

    // The owner as the header shows it: its name, else its number; null
    // for the id -1, which stands for no owner at all.
    const char *owner() const {
        if (st_->st_uid == static_cast<uid_t>(-1)) return nullptr;
        return owner_text();
    }
    const char *group() const {
        if (st_->st_gid == static_cast<gid_t>(-1)) return nullptr;
        return group_text();
    }
    // The same, never null, for the columns that must hold something.
    const char *owner_text() const {
        return owner_name_ ? owner_name_ : number(owner_number_, st_->st_uid);
    }
    const char *group_text() const {
        return group_name_ ? group_name_ : number(group_number_, st_->st_gid);
    }
    // Only what the databases know.
    const char *owner_name() const { return owner_name_; }
    const char *group_name() const { return group_name_; }

  private:
    // "./x" is shown as x; "." stays. The slashes after "./" go too:
    // entries below "./" are walked as ".//x", which must not be shown as
    // "/x", a path of the root directory.
    static const char *without_dot(const char *path) {
        if (path[0] != '.' || path[1] != '/') return path;
        path += 2;
        while (*path == '/')
            path++;
        return path;
    }

    // Ids without a name are shown as numbers, formatted only when needed.
    static const char *number(char *buf, unsigned id) {
        std::snprintf(buf, 16, "%u", id);
        return buf;
    }

    const struct stat *st_;
    shown_name display_;
    const char *owner_name_;
    const char *group_name_;
    mutable char owner_number_[16];
    mutable char group_number_[16];
};

// The text of one object, built in memory and written with one call: a call
// per line or field showed in profiles of large listings. What is built is
// written before a failure message, so that both keep their order.
class listing {
  public:
    // Goes on after what `text` holds already.
    listing(FILE *stream, std::string *text) : stream_(stream), text_(*text) {}
    listing(const listing &) = delete;
    listing &operator=(const listing &) = delete;

    void put(std::string_view s) { text_.append(s); }
    void put(char c) { text_ += c; }
    void put_line(std::string_view label, std::string_view value) {
        text_.append(label);
        text_.append(value);
        text_ += '\n';
    }
    // As fprintf would write it.
    void format(const char *fmt, ...) __attribute__((format(printf, 2, 3)));

    std::string *text() { return &text_; }
    size_t size() const { return text_.size(); }
    // Drops what was built after `size`.
    void cut(size_t size) { text_.resize(size); }

    // Writes what was built (errno is kept).
    void write() {
        int saved = errno;
        if (!text_.empty()) std::fwrite(text_.data(), 1, text_.size(), stream_);
        text_.clear();
        errno = saved;
    }
    FILE *stream() const { return stream_; }

  private:
    FILE *stream_;
    std::string &text_;
};

void listing::format(const char *fmt, ...) {
    char local[256];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(local, sizeof local, fmt, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof local) {
        text_.append(local, static_cast<size_t>(n));
        return;
    }
    size_t at = text_.size();
    text_.resize(at + static_cast<size_t>(n));
    va_start(args, fmt);
    std::vsnprintf(text_.data() + at, static_cast<size_t>(n) + 1, fmt, args);
    va_end(args);
}

bool verbose() {
    return config.verbose > 0;
}

// The display failure message: the listing goes on with the next object.
// What was built is written, and the stream flushed, first so that both
// show in order.
int display_failed(listing &out, const object_info &info, bool with_error) {
    int err = errno;
    out.write();
    std::fflush(out.stream());
    return report_on(program_info.name.c_str(), 1, with_error ? err : 0,
                     "%s: Unable to display ACL", info.display());
}

// One time line of the header; ctime's text ends in a newline.
void print_time(listing &out, const char *label, time_t when) {
    char text[64];
    if (ctime_r(&when, text) != nullptr) {
        out.put(label);
        out.put(text);
    } else {
        out.format("%s%lld\n", label, static_cast<long long>(when));
    }
}

time_t birth_time(const struct stat *st) {
#if defined(__FreeBSD__)
    return st->st_birthtim.tv_sec;
#else
    (void)st;  // Linux's stat record has no birth time
    return 0;
#endif
}

void print_header(listing &out, const object_info &info) {
    const struct stat *st = info.st();
    out.put_line("# file: ", info.display_text());
    if (info.owner() != nullptr) {
        if (verbose())
            out.format("# owner: %s (%d)\n", info.owner(), info.uid());
        else
            out.put_line("# owner: ", info.owner());
    }
    if (info.group() != nullptr) {
        if (verbose())
            out.format("# group: %s (%d)\n", info.group(), info.gid());
        else
            out.put_line("# group: ", info.group());
    }
    if (verbose()) out.put_line("# type: ", file_type_name((st->st_mode & S_IFMT) >> 12));
    if (config.verbose >= 2) {
        out.format("# size: %llu\n", static_cast<unsigned long long>(st->st_size));
        print_time(out, "# modified: ", st->st_mtime);
        print_time(out, "# changed:  ", st->st_ctime);
        print_time(out, "# accessed: ", st->st_atime);
        if (birth_time(st) != 0) print_time(out, "# created:  ", birth_time(st));
    }
}

// The comment after an entry of the verbose and primos styles.
void print_comment(listing &out, const gacl_entry_t_struct *entry, const object_info &info,
                   const char *lead) {
    const char *name;
    int id;
    switch (entry->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
            name = info.owner();
            id = info.uid();
            break;
        case GACL_TAG_TYPE_GROUP_OBJ:
            name = info.group();
            id = info.gid();
            break;
        case GACL_TAG_TYPE_USER:
        case GACL_TAG_TYPE_GROUP:
            if (verbose()) out.format("%s# (%d)", lead, static_cast<int>(entry->id));
            return;
        default:
            return;
    }
    if (name == nullptr)
        out.format("%s# (%d)", lead, id);
    else if (verbose())
        out.format("%s# %s (%d)", lead, name, id);
    else
        out.format("%s# %s", lead, name);
}

// Index of the colon that ends the principal of a short entry text: the
// first one, or for u:name and g:name the second; 0 without any.
size_t principal_end(const char *text, const gacl_entry_t_struct *entry) {
    const char *colon = std::strchr(text, ':');
    if (colon == nullptr) return 0;
    if (entry->tag == GACL_TAG_TYPE_USER || entry->tag == GACL_TAG_TYPE_GROUP) {
        const char *next = std::strchr(colon + 1, ':');
        if (next != nullptr) colon = next;
    }
    return static_cast<size_t>(colon - text);
}

// Appends the whole-ACL text of the default, standard and solaris styles.
// On failure whatever was built since `mark` is dropped, the display
// failure message follows, and the result is false.
bool render_lines(listing &out, size_t mark, gacl_t acl, const object_info &info, int options) {
    if (verbose()) options |= GACL_TEXT_APPEND_ID;
    if (gacl_append_text_np(acl, out.text(), options) == 0) return true;
    out.cut(mark);
    display_failed(out, info, false);
    return false;
}

int print_default(listing &out, gacl_t acl, const object_info &info) {
    size_t mark = out.size();
    print_header(out, info);
    return render_lines(out, mark, acl, info, 0) ? 0 : 1;
}

int print_standard(listing &out, gacl_t acl, const object_info &info) {
    size_t mark = out.size();
    out.put_line("# file: ", info.display_text());
    out.put_line("# owner: ", info.owner_text());
    out.put_line("# group: ", info.group_text());
    return render_lines(out, mark, acl, info, GACL_TEXT_FIXED_WIDTH) ? 0 : 1;
}

int print_brief(listing &out, gacl_t acl, const object_info &info, bool csv) {
    size_t mark = out.size();
    if (csv) {
        const char *owner = info.owner();
        const char *group = info.group();
        // A field holding the separator or a quote is quoted.
        str_csv_append(out.text(), info.display_text());
        out.put(';');
        size_t text_at = out.size();
        if (gacl_append_text_np(acl, out.text(), GACL_TEXT_COMPACT) != 0) {
            out.cut(mark);
            return display_failed(out, info, true);
        }
        if (std::string_view(*out.text()).substr(text_at).find_first_of(";\"") !=
            std::string_view::npos) {
            std::string text = out.text()->substr(text_at);
            out.cut(text_at);
            str_csv_append(out.text(), text);
        }
        out.format(";%d;%d;", info.uid(), info.gid());
        str_csv_append(out.text(), owner ? owner : "-");
        out.put(';');
        str_csv_append(out.text(), group ? group : "-");
        out.put('\n');
    } else {
        // The path padded to 24 columns, as "%-24s" would.
        std::string_view display = info.display_text();
        out.put(display);
        if (display.size() < 24) out.text()->append(24 - display.size(), ' ');
        out.put("  ");
        if (gacl_append_text_np(acl, out.text(), GACL_TEXT_COMPACT) != 0) {
            out.cut(mark);
            return display_failed(out, info, true);
        }
        out.put('\n');
    }
    return 0;
}

int print_verbose(listing &out, gacl_t acl, const object_info &info) {
    out.put_line("# file: ", info.display_text());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        const gacl_entry_t_struct *entry = &acl->entries[i];
        if (short_entry_text(entry, text, sizeof text) == nullptr)
            return display_failed(out, info, false);
        // The colon after the principal stands in column 18.
        int width = 18 - static_cast<int>(principal_end(text, entry));
        out.format("%*s%s", width, "", text);
        print_comment(out, entry, info, "\t");
        out.put('\n');
    }
    return 0;
}

int print_samba(listing &out, gacl_t acl, const object_info &info) {
    out.format("FILENAME:%s\nREVISION:1\nCONTROL:SR|DP\n", info.display());
    if (info.owner_name() != nullptr)
        out.format("OWNER:%s\n", info.owner_name());
    else
        out.format("OWNER:%d\n", info.uid());
    if (info.group_name() != nullptr)
        out.format("GROUP:%s\n", info.group_name());
    else
        out.format("GROUP:%d\n", info.gid());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        if (samba_entry_text(&acl->entries[i], text, sizeof text, info.st()) == nullptr)
            return display_failed(out, info, false);
        // The permission letters follow the last tab; they become a comment.
        const char *tab = std::strrchr(text, '\t');
        if (tab != nullptr)
            out.format("%-60.*s\t# %s\n", static_cast<int>(tab - text), text, tab + 1);
        else
            out.format("%s\n", text);
    }
    return 0;
}

int print_icacls(listing &out, gacl_t acl, const object_info &info) {
    out.put(info.display_text());
    // Later entries stand under the first one.
    int indent = static_cast<int>(info.display_text().size());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        if (icacls_entry_text(&acl->entries[i], text, sizeof text, info.st()) == nullptr) {
            if (i == 0) out.put('\n');
            return display_failed(out, info, false);
        }
        out.format("%*s %s\n", i == 0 ? 0 : indent, "", text);
    }
    // Without entries the path still ends its line, so that objects stay
    // one empty line apart.
    if (acl->count == 0) out.put('\n');
    return 0;
}

int print_solaris(listing &out, gacl_t acl, const object_info &info) {
    const struct stat *st = info.st();
    int trivial = 0;
    bool plain = gacl_is_trivial_np(acl, &trivial) == 0 && trivial == 1;
    char when[32] = "?";
    struct tm tm;
    time_t mtime = st->st_mtime;
    if (localtime_r(&mtime, &tm) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %R", &tm);
    out.format("%s%s %2lu %8s %8s %8llu %16s %s\n", mode_string(st->st_mode), plain ? " " : "+",
               static_cast<unsigned long>(st->st_nlink), info.owner_text(), info.group_text(),
               static_cast<unsigned long long>(st->st_size), when, info.display());
    return render_lines(out, out.size(), acl, info, 0) ? 0 : 1;
}

int print_primos(listing &out, gacl_t acl, const object_info &info) {
    out.format("ACL protecting \"%s\":\n", info.display());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        const gacl_entry_t_struct *entry = &acl->entries[i];
        if (short_entry_text(entry, text, sizeof text) == nullptr ||
            std::strchr(text, ':') == nullptr)
            return display_failed(out, info, false);
        // principal:permissions:flags:type
        size_t end = principal_end(text, entry);
        const char *perms = text + end + 1;
        const char *flags = std::strchr(perms, ':');
        flags = flags ? flags + 1 : perms + std::strlen(perms);
        const char *type = std::strchr(flags, ':');
        type = type ? type + 1 : flags + std::strlen(flags);

        out.format("\t%30.*s:  ", static_cast<int>(end), text);
        // Letters present, then a blank for each one absent: always as wide
        // as the fourteen letters.
        int blanks = 0;
        for (const char *p = perms; *p != ':' && *p != '\0'; p++) {
            if (*p == '-')
                blanks++;
            else
                out.put(*p);
        }
        out.format("%*s  ", blanks, "");
        int present = 0;
        blanks = 0;
        for (const char *p = flags; *p != ':' && *p != '\0'; p++)
            *p == '-' ? blanks++ : present++;
        if (present > 0) {
            out.put('(');
            for (const char *p = flags; *p != ':' && *p != '\0'; p++)
                if (*p != '-') out.put(*p);
            out.format(")%*s", blanks, "");
        } else {
            out.format("%*s", blanks + 2, "");
        }
        if (std::strcmp(type, "allow") != 0) out.format("  %-5s", type);
        print_comment(out, entry, info, "  ");
        out.put('\n');
    }
    return 0;
}

int print_styled(listing &out, gacl_t acl, const object_info &info) {
    if (acl == nullptr) {
        print_header(out, info);
        return 0;
    }
    switch (config.style) {
        case ACL_STYLE_DEFAULT:
            return print_default(out, acl, info);
        case ACL_STYLE_STANDARD:
            return print_standard(out, acl, info);
        case ACL_STYLE_BRIEF:
            return print_brief(out, acl, info, false);
        case ACL_STYLE_CSV:
            return print_brief(out, acl, info, true);
        case ACL_STYLE_VERBOSE:
            return print_verbose(out, acl, info);
        case ACL_STYLE_SAMBA:
            return print_samba(out, acl, info);
        case ACL_STYLE_ICACLS:
            return print_icacls(out, acl, info);
        case ACL_STYLE_SOLARIS:
            return print_solaris(out, acl, info);
        case ACL_STYLE_PRIMOS:
            return print_primos(out, acl, info);
        default:
            return -1;
    }
}

// What list_one keeps from one object to the next.
struct list_state {
    int listed = 0;
    std::string text;  // reused: one allocation for the whole listing
};

int list_one(const walk_object *object, void *context) {
    auto *state = static_cast<list_state *>(context);
    gacl_ptr acl = read_object_acl(object);
    state->text.clear();
    if (state->listed > 0) state->text += '\n';
    ++state->listed;
    print_acl(stdout, acl.get(), object->path, &object->st, &state->text);
    return 0;
}

}  // namespace

int print_acl(FILE *stream, gacl_t acl, const char *path, const struct stat *st,
              std::string *scratch) {
    std::string own;
    listing out(stream, scratch != nullptr ? scratch : &own);
    object_info info(path, st);
    // Out of memory: what was built is shown, then the failure message.
    constexpr int NO_MEMORY = -2;
    int result = or_enomem(NO_MEMORY, [&] { return print_styled(out, acl, info); });
    if (result == NO_MEMORY) return display_failed(out, info, true);
    out.write();
    return result;
}

int cmd_list_access(int argc, char **argv) {
    list_state state;
    return walk_paths(argc - 1, argv + 1, list_one, &state, walk_prefetch::acl);
}
