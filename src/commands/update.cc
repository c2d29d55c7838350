#include "commands/update.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/config.h"
#include "base/report.h"
#include "commands/list.h"
#include "commands/walk.h"
#include "fs/acl_io.h"
#include "gacl/gacl.h"
#include "gacl/system.h"
#include "util/escape.h"
#include "util/strutil.h"

namespace {

// True when `object` is a symbolic link on which the system keeps no ACL.
// Asked before anything is printed for a link, so that a dry run (-n) or a
// print level of 2 does not show links that a real run leaves alone.
bool link_without_acl(const walk_object *object) {
    int saved = errno;
    gacl_t acl = nullptr;
    int got = get_object_acl(object, &acl);  // the walk's status: no second lstat
    gacl_ptr owned(got > 0 ? acl : nullptr);
    errno = saved;
    return got == 0;
}

// set-access and copy-access: directories get the ACL as given, every other
// object the copy without inheritance flags.
struct set_context {
    gacl_t dir;
    gacl_t file;
};

int set_one(const walk_object *object, void *context) {
    const auto *set = static_cast<const set_context *>(context);
    gacl_t acl = S_ISDIR(object->st.st_mode) ? set->dir : set->file;
    return update_acl(object, acl, nullptr) < 0 ? 1 : 0;
}

int touch_one(const walk_object *object, void *) {
    gacl_ptr acl = read_object_acl(object);
    if (!acl) return 0;
    return update_acl(object, acl.get(), acl.get()) < 0 ? 1 : 0;
}

int delete_one(const walk_object *object, void *) {
    const char *path = object->path;
    const bool link = S_ISLNK(object->st.st_mode);
    // A real run learns it from the failed removal below; a dry run asks.
    if (link && config.no_update && link_without_acl(object)) return 0;
    if (!config.no_update) {
        // The trivial ACL of the mode the walk saw, written to the object
        // itself: a link's own mode, never a target's.
        if (fs_acl_delete_at_np(object->dirfd, object->name, GACL_TYPE_NFS4, &object->st) != 0) {
            if (link && errno == EOPNOTSUPP) return 0;
            report(1, errno, "%s: Deleting ACL", shown_name(path).c_str());
        }
    }
    if (config.verbose)
        std::printf("%s: ACL Deleted%s\n", shown_name(path).c_str(),
                    config.no_update ? " (NOT)" : "");
    return 0;
}

int find_one(const walk_object *object, void *context) {
    const char *path = object->path;
    const struct stat *st = &object->st;
    auto pattern = static_cast<gacl_t>(context);
    gacl_ptr acl = read_object_acl(object);
    if (!acl) return 0;
    for (int i = 0; i < acl->count; i++) {
        for (int j = 0; j < pattern->count; j++) {
            int m = gacl_entry_match_np(&acl->entries[i], &pattern->entries[j]);
            if (m < 0) return -1;
            if (m == 0) continue;
            if (config.verbose) {
                print_acl(stdout, acl.get(), path, st);
            } else {
                std::printf("%s\n", shown_name(path).c_str());
            }
            return 0;
        }
    }
    return 0;
}

// The ACL argument of set-access and find-access. A text that does not parse
// ends the command with "<text>: Invalid ACL" and a line naming the entry
// and why.
gacl_ptr acl_argument(const char *text) {
    gacl_text_error_t why;
    gacl_ptr acl(gacl_from_text(text, &why));
    if (acl) return acl;
    report_on(current_name_get(), 1, errno, "%s: Invalid ACL", text);
    report_parse_error(text, "entry", why);
}

}  // namespace

int update_acl(const char *path, const struct stat *st, gacl_t acl, gacl_t current) {
    walk_object object = walk_named_object(path, *st);
    return update_acl(&object, acl, current);
}

int update_acl(const walk_object *object, gacl_t acl, gacl_t current) {
    const char *path = object->path;
    const struct stat *st = &object->st;
    const bool link = S_ISLNK(st->st_mode);
    // set-access and copy-access hand links over unread; one without ACL
    // support is no reason to stop a recursive run. A write learns it from
    // its failure; only a dry run or a print before the write must ask.
    if (link && !current && (config.no_update || config.print >= 2) && link_without_acl(object))
        return 0;

    gacl_t work = acl;
    gacl_ptr sorted, merged;
    if (config.sort) {
        sorted.reset(gacl_sort_np(work));
        if (!sorted) report(1, errno, "%s: Sorting ACL", shown_name(path).c_str());
        work = sorted.get();
    }
    if (config.merge) {
        merged.reset(gacl_merge_np(work));
        if (!merged) report(1, errno, "%s: Merging ACL", shown_name(path).c_str());
        work = merged.get();
        sorted.reset();
    }

    // `current` was just read from this object: what it holds for the
    // object itself goes with the write, which then need not ask for it.
    if (current && work != current) {
        work->acl_flags = current->acl_flags;
        work->origin = current->origin;
    }

    if (config.print >= 2) print_acl(stdout, work, path, st);

    if (current && !config.force && gacl_match_np(work, current) == 1) return 0;

    if (!config.no_update) {
        if (fs_acl_set_at_np(object->dirfd, object->name, GACL_TYPE_NFS4, work, st) != 0) {
            if (link && errno == EOPNOTSUPP) return 0;
            report(1, errno, "%s: Setting ACL", shown_name(path).c_str());
        }
    }

    if (config.print == 1) print_acl(stdout, work, path, st);
    if (config.verbose)
        std::printf("%s: ACL Updated%s\n", shown_name(path).c_str(),
                    config.no_update ? " (NOT)" : "");
    return 1;
}

int strip_inheritance(gacl_t acl) {
    gacl_entry_t entry = nullptr;
    for (int got = gacl_get_entry(acl, GACL_FIRST_ENTRY, &entry); got != 0;
         got = gacl_get_entry(acl, GACL_NEXT_ENTRY, &entry)) {
        if (got < 0) return -1;
        gacl_flagset_t flags = nullptr;
        if (gacl_get_flagset_np(entry, &flags) != 0) return -1;
        int inherited = gacl_get_flag_np(flags, GACL_FLAG_INHERITED);
        if (inherited < 0 || gacl_clear_flags_np(flags) != 0) return -1;
        if (inherited && gacl_add_flag_np(flags, GACL_FLAG_INHERITED) != 0) return -1;
        if (gacl_set_flagset_np(entry, flags) != 0) return -1;
    }
    return 0;
}

int cmd_set_access(int argc, char **argv) {
    if (argc < 2) report(1, 0, "Missing required arguments (<acl> <path>)");
    gacl_ptr dir = acl_argument(argv[1]);
    gacl_ptr file(gacl_dup(dir.get()));
    if (!file || strip_inheritance(file.get()) != 0) report(1, errno, "%s: Invalid ACL", argv[1]);
    set_context set{dir.get(), file.get()};
    return walk_paths(argc - 2, argv + 2, set_one, &set);
}

int cmd_copy_access(int argc, char **argv) {
    if (argc < 2) report(1, 0, "Missing required arguments (<src> <dst>)");
    gacl_ptr dir = read_path_acl(argv[1], nullptr);
    // A source link without an ACL has nothing to copy.
    if (!dir) return 0;
    gacl_ptr file(gacl_dup(dir.get()));
    if (!file || strip_inheritance(file.get()) != 0)
        report(1, errno, "%s: Internal Fault (gacl_dup)", shown_name(argv[1]).c_str());
    set_context set{dir.get(), file.get()};
    return walk_paths(argc - 2, argv + 2, set_one, &set);
}

int cmd_touch_access(int argc, char **argv) {
    return walk_paths(argc - 1, argv + 1, touch_one, nullptr, walk_prefetch::acl);
}

int cmd_delete_access(int argc, char **argv) {
    return walk_paths(argc - 1, argv + 1, delete_one, nullptr);
}

int cmd_find_access(int argc, char **argv) {
    if (argc < 2) report(1, 0, "Missing required arguments (<acl> <path>)");
    // A pattern that does not parse would match nothing and hide the typo.
    gacl_ptr pattern = acl_argument(argv[1]);
    return walk_paths(argc - 2, argv + 2, find_one, pattern.get(), walk_prefetch::acl);
}

int cmd_get_access(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *eq = std::strchr(arg, '=');
        if (!eq) report(1, 0, "%s: Missing required '=' character", arg);
        const int name_length = static_cast<int>(eq - arg);
        str_ptr name = str_ndup(arg, static_cast<size_t>(name_length));
        if (!name) report(1, errno, "%.*s: Memory allocation", name_length, arg);
        const char *path = eq + 1;

        gacl_ptr acl = read_path_acl(path, nullptr);
        if (!acl)
            report(1, errno, "%s: Getting ACL", shown_name(path).c_str());  // a link without an ACL
        gacl_text_ptr text(gacl_to_text_np(acl.get(), nullptr, GACL_TEXT_COMPACT));
        if (!text) report(1, errno, "%s: Converting ACL to text", shown_name(path).c_str());
        // setenv keeps its own copy for the rest of the process, so later
        // command lines can expand ${NAME}.
        if (setenv(name.get(), text.get(), 1) != 0) report(1, errno, "%s: Putenv", name.get());
    }
    return 0;
}
