#include "commands/list.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

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

bool verbose() {
    return config.verbose > 0;
}

// The display failure message: the listing goes on with the next object.
// A listing written to another stream is flushed first so that both show
// in order.
int display_failed(FILE *stream, const object_info &info, bool with_error) {
    int err = errno;
    std::fflush(stream);
    return report_on(program_info.name.c_str(), 1, with_error ? err : 0,
                     "%s: Unable to display ACL", info.display());
}

// One time line of the header; ctime's text ends in a newline.
void print_time(FILE *stream, const char *label, time_t when) {
    char text[64];
    if (ctime_r(&when, text) != nullptr)
        std::fprintf(stream, "%s%s", label, text);
    else
        std::fprintf(stream, "%s%lld\n", label, static_cast<long long>(when));
}

time_t birth_time(const struct stat *st) {
#if defined(__FreeBSD__)
    return st->st_birthtim.tv_sec;
#else
    (void)st;  // Linux's stat record has no birth time
    return 0;
#endif
}

void print_header(FILE *stream, const object_info &info) {
    const struct stat *st = info.st();
    // The usual three lines in one call: a call per line showed in profiles.
    if (!verbose() && info.owner() != nullptr && info.group() != nullptr) {
        std::fprintf(stream, "# file: %s\n# owner: %s\n# group: %s\n", info.display(), info.owner(),
                     info.group());
        return;
    }
    std::fprintf(stream, "# file: %s\n", info.display());
    if (info.owner() != nullptr) {
        if (verbose())
            std::fprintf(stream, "# owner: %s (%d)\n", info.owner(), info.uid());
        else
            std::fprintf(stream, "# owner: %s\n", info.owner());
    }
    if (info.group() != nullptr) {
        if (verbose())
            std::fprintf(stream, "# group: %s (%d)\n", info.group(), info.gid());
        else
            std::fprintf(stream, "# group: %s\n", info.group());
    }
    if (verbose())
        std::fprintf(stream, "# type: %s\n", file_type_name((st->st_mode & S_IFMT) >> 12));
    if (config.verbose >= 2) {
        std::fprintf(stream, "# size: %llu\n", static_cast<unsigned long long>(st->st_size));
        print_time(stream, "# modified: ", st->st_mtime);
        print_time(stream, "# changed:  ", st->st_ctime);
        print_time(stream, "# accessed: ", st->st_atime);
        if (birth_time(st) != 0) print_time(stream, "# created:  ", birth_time(st));
    }
}

// The comment after an entry of the verbose and primos styles.
void print_comment(FILE *stream, const gacl_entry_t_struct *entry, const object_info &info,
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
            if (verbose()) std::fprintf(stream, "%s# (%d)", lead, static_cast<int>(entry->id));
            return;
        default:
            return;
    }
    if (name == nullptr)
        std::fprintf(stream, "%s# (%d)", lead, id);
    else if (verbose())
        std::fprintf(stream, "%s# %s (%d)", lead, name, id);
    else
        std::fprintf(stream, "%s# %s", lead, name);
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

// The whole-ACL text of the default, standard and solaris styles, or null
// after the display failure message.
gacl_text_ptr render_lines(FILE *stream, gacl_t acl, const object_info &info, int options) {
    if (verbose()) options |= GACL_TEXT_APPEND_ID;
    gacl_text_ptr text(gacl_to_text_np(acl, nullptr, options));
    if (!text) display_failed(stream, info, false);
    return text;
}

int print_default(FILE *stream, gacl_t acl, const object_info &info) {
    gacl_text_ptr text = render_lines(stream, acl, info, 0);
    if (!text) return 1;
    print_header(stream, info);
    std::fputs(text.get(), stream);
    return 0;
}

int print_standard(FILE *stream, gacl_t acl, const object_info &info) {
    gacl_text_ptr text = render_lines(stream, acl, info, GACL_TEXT_FIXED_WIDTH);
    if (!text) return 1;
    std::fprintf(stream, "# file: %s\n# owner: %s\n# group: %s\n", info.display(),
                 info.owner_text(), info.group_text());
    std::fputs(text.get(), stream);
    return 0;
}

int print_brief(FILE *stream, gacl_t acl, const object_info &info, bool csv) {
    gacl_text_ptr text(gacl_to_text_np(acl, nullptr, GACL_TEXT_COMPACT));
    if (!text) return display_failed(stream, info, true);
    if (csv) {
        const char *owner = info.owner();
        const char *group = info.group();
        // A field holding the separator or a quote is quoted.
        std::string record;
        bool built = or_enomem(false, [&] {
            str_csv_append(&record, info.display());
            record += ';';
            str_csv_append(&record, text.get());
            record += ';' + std::to_string(info.uid()) + ';' + std::to_string(info.gid()) + ';';
            str_csv_append(&record, owner ? owner : "-");
            record += ';';
            str_csv_append(&record, group ? group : "-");
            record += '\n';
            return true;
        });
        if (!built) return display_failed(stream, info, true);
        std::fputs(record.c_str(), stream);
    } else {
        std::fprintf(stream, "%-24s  %s\n", info.display(), text.get());
    }
    return 0;
}

int print_verbose(FILE *stream, gacl_t acl, const object_info &info) {
    std::fprintf(stream, "# file: %s\n", info.display());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        const gacl_entry_t_struct *entry = &acl->entries[i];
        if (short_entry_text(entry, text, sizeof text) == nullptr)
            return display_failed(stream, info, false);
        // The colon after the principal stands in column 18.
        int width = 18 - static_cast<int>(principal_end(text, entry));
        std::fprintf(stream, "%*s%s", width, "", text);
        print_comment(stream, entry, info, "\t");
        std::fputc('\n', stream);
    }
    return 0;
}

int print_samba(FILE *stream, gacl_t acl, const object_info &info) {
    std::fprintf(stream, "FILENAME:%s\nREVISION:1\nCONTROL:SR|DP\n", info.display());
    if (info.owner_name() != nullptr)
        std::fprintf(stream, "OWNER:%s\n", info.owner_name());
    else
        std::fprintf(stream, "OWNER:%d\n", info.uid());
    if (info.group_name() != nullptr)
        std::fprintf(stream, "GROUP:%s\n", info.group_name());
    else
        std::fprintf(stream, "GROUP:%d\n", info.gid());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        if (samba_entry_text(&acl->entries[i], text, sizeof text, info.st()) == nullptr)
            return display_failed(stream, info, false);
        // The permission letters follow the last tab; they become a comment.
        const char *tab = std::strrchr(text, '\t');
        if (tab != nullptr)
            std::fprintf(stream, "%-60.*s\t# %s\n", static_cast<int>(tab - text), text, tab + 1);
        else
            std::fprintf(stream, "%s\n", text);
    }
    return 0;
}

int print_icacls(FILE *stream, gacl_t acl, const object_info &info) {
    std::fputs(info.display(), stream);
    // Later entries stand under the first one.
    int indent = static_cast<int>(std::strlen(info.display()));
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        if (icacls_entry_text(&acl->entries[i], text, sizeof text, info.st()) == nullptr) {
            if (i == 0) std::fputc('\n', stream);
            return display_failed(stream, info, false);
        }
        std::fprintf(stream, "%*s %s\n", i == 0 ? 0 : indent, "", text);
    }
    // Without entries the path still ends its line, so that objects stay
    // one empty line apart.
    if (acl->count == 0) std::fputc('\n', stream);
    return 0;
}

int print_solaris(FILE *stream, gacl_t acl, const object_info &info) {
    const struct stat *st = info.st();
    int trivial = 0;
    bool plain = gacl_is_trivial_np(acl, &trivial) == 0 && trivial == 1;
    char when[32] = "?";
    struct tm tm;
    time_t mtime = st->st_mtime;
    if (localtime_r(&mtime, &tm) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %R", &tm);
    std::fprintf(stream, "%s%s %2lu %8s %8s %8llu %16s %s\n", mode_string(st->st_mode),
                 plain ? " " : "+", static_cast<unsigned long>(st->st_nlink), info.owner_text(),
                 info.group_text(), static_cast<unsigned long long>(st->st_size), when,
                 info.display());
    gacl_text_ptr text = render_lines(stream, acl, info, 0);
    if (!text) return 1;
    std::fputs(text.get(), stream);
    return 0;
}

int print_primos(FILE *stream, gacl_t acl, const object_info &info) {
    std::fprintf(stream, "ACL protecting \"%s\":\n", info.display());
    char text[ENTRY_TEXT_SIZE];
    for (int i = 0; i < acl->count; i++) {
        const gacl_entry_t_struct *entry = &acl->entries[i];
        if (short_entry_text(entry, text, sizeof text) == nullptr ||
            std::strchr(text, ':') == nullptr)
            return display_failed(stream, info, false);
        // principal:permissions:flags:type
        size_t end = principal_end(text, entry);
        const char *perms = text + end + 1;
        const char *flags = std::strchr(perms, ':');
        flags = flags ? flags + 1 : perms + std::strlen(perms);
        const char *type = std::strchr(flags, ':');
        type = type ? type + 1 : flags + std::strlen(flags);

        std::fprintf(stream, "\t%30.*s:  ", static_cast<int>(end), text);
        // Letters present, then a blank for each one absent: always as wide
        // as the fourteen letters.
        int blanks = 0;
        for (const char *p = perms; *p != ':' && *p != '\0'; p++) {
            if (*p == '-')
                blanks++;
            else
                std::fputc(*p, stream);
        }
        std::fprintf(stream, "%*s  ", blanks, "");
        int present = 0;
        blanks = 0;
        for (const char *p = flags; *p != ':' && *p != '\0'; p++)
            *p == '-' ? blanks++ : present++;
        if (present > 0) {
            std::fputc('(', stream);
            for (const char *p = flags; *p != ':' && *p != '\0'; p++)
                if (*p != '-') std::fputc(*p, stream);
            std::fprintf(stream, ")%*s", blanks, "");
        } else {
            std::fprintf(stream, "%*s", blanks + 2, "");
        }
        if (std::strcmp(type, "allow") != 0) std::fprintf(stream, "  %-5s", type);
        print_comment(stream, entry, info, "  ");
        std::fputc('\n', stream);
    }
    return 0;
}

int list_one(const walk_object *object, void *context) {
    auto *listed = static_cast<int *>(context);
    gacl_ptr acl = read_object_acl(object);
    if (*listed > 0) std::fputc('\n', stdout);
    ++*listed;
    print_acl(stdout, acl.get(), object->path, &object->st);
    return 0;
}

}  // namespace

int print_acl(FILE *stream, gacl_t acl, const char *path, const struct stat *st) {
    object_info info(path, st);
    if (acl == nullptr) {
        print_header(stream, info);
        return 0;
    }
    switch (config.style) {
        case ACL_STYLE_DEFAULT:
            return print_default(stream, acl, info);
        case ACL_STYLE_STANDARD:
            return print_standard(stream, acl, info);
        case ACL_STYLE_BRIEF:
            return print_brief(stream, acl, info, false);
        case ACL_STYLE_CSV:
            return print_brief(stream, acl, info, true);
        case ACL_STYLE_VERBOSE:
            return print_verbose(stream, acl, info);
        case ACL_STYLE_SAMBA:
            return print_samba(stream, acl, info);
        case ACL_STYLE_ICACLS:
            return print_icacls(stream, acl, info);
        case ACL_STYLE_SOLARIS:
            return print_solaris(stream, acl, info);
        case ACL_STYLE_PRIMOS:
            return print_primos(stream, acl, info);
        default:
            return -1;
    }
}

int cmd_list_access(int argc, char **argv) {
    int listed = 0;
    return walk_paths(argc - 1, argv + 1, list_one, &listed, walk_prefetch::acl);
}
