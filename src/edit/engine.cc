#include "edit/engine.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "commands/update.h"
#include "commands/walk.h"
#include "gacl/text_out.h"
#include "util/escape.h"
#include "util/nomem.h"

namespace {

constexpr std::size_t EXPLAIN_SIZE = 1024;

// One path being edited.
struct edit_state {
    const char *path;
    const struct stat *st;
    gacl_ptr &acl;     // the working copy
    std::int32_t pos;  // the current position
};

bool is_named(gacl_tag_t tag) {
    return tag == GACL_TAG_TYPE_USER || tag == GACL_TAG_TYPE_GROUP;
}

std::int32_t count_of(gacl_t acl) {
    return acl->count;
}

// "$" in a walk is the last entry.
std::int32_t translate(std::int32_t position, std::int32_t count) {
    return position == RANGE_END ? count - 1 : position;
}

// range_add may put a new node in front, so the handle gives up the head
// for the call and takes back whatever the head is afterwards.
void add_position(range_ptr &list, std::int32_t low, std::int32_t high) {
    range_t *head = list.release();
    int rc = range_add(&head, low, high);
    list.reset(head);
    if (rc < 0) report(1, errno, "Malloc");
}

// The candidates of a selection: every entry, or the named positions that
// hold one, with "$" as the last entry. The positions between the last entry
// and "$" are passed over at once: none of them can hold an entry.
std::vector<bool> candidates(const range_t *positions, std::int32_t count) {
    std::vector<bool> out(static_cast<std::size_t>(count), positions == nullptr);
    for (const range_t *node = positions; node; node = node->next) {
        std::int64_t low = node->low < 0 ? 0 : node->low;
        std::int64_t high = node->high == RANGE_END ? count - 1 : node->high;
        if (high > count - 1) high = count - 1;
        for (std::int64_t i = low; i <= high; ++i)
            out[static_cast<std::size_t>(i)] = true;
        if (node->high == RANGE_END && count > 0) out[static_cast<std::size_t>(count - 1)] = true;
    }
    return out;
}

// Inserts the request's new entry at `at`: at the end when `at` lies beyond
// the last entry or below 0. Failures abandon the path.
void insert_entry(edit_state &s, const acecr_t &req, std::int64_t at) {
    std::int32_t count = count_of(s.acl.get());
    std::int32_t place = (at < 0 || at > count) ? count : static_cast<std::int32_t>(at);
    gacl_t acl = s.acl.get();
    gacl_entry_t entry = nullptr;
    if (gacl_create_entry_np(&acl, &entry, place) < 0) {
        report(1, errno, "Creating ACL Entry @ %d", place);
    }
    if (acl != s.acl.get()) {
        (void)s.acl.release();
        s.acl.reset(acl);
    }
    if (gacl_copy_entry(entry, req.entry.get()) < 0) report(1, errno, "Copying ACL Entry");
}

// Where "S" puts a new entry that replaced nothing: before the first entry
// of a later principal, before the first entry of another named user or
// group of the same kind, or before the first entry of the same principal
// with a lower entry type; else at the end.
std::int32_t ordered_place(gacl_t acl, const gacl_entry_t_struct *entry) {
    std::int32_t count = count_of(acl);
    if (!entry) return count;
    for (std::int32_t i = 0; i < count; ++i) {
        const gacl_entry_t_struct &e = acl->entries[i];
        if (entry->tag < e.tag) return i;
        if (entry->tag != e.tag) continue;
        if (is_named(e.tag) && entry->id != e.id) return i;
        if (entry->entry_type > e.entry_type) return i;
    }
    return count;
}

// "p" and "n".
int run_print(edit_state &s, const acecr_t &req, const range_t *targets) {
    bool numbered = req.action == 'n';
    if (!targets) return acecr_print_entry(s.path, s.acl.get(), s.pos, numbered);
    std::int32_t p = RANGE_WALK_START;
    while (range_next(targets, &p) == 1) {
        std::int32_t count = count_of(s.acl.get());
        s.pos = translate(p, count);
        if (acecr_print_entry(s.path, s.acl.get(), s.pos, numbered) < 0) return -1;
        if (s.pos >= count - 1) break;
    }
    return 0;
}

// "d": downwards, so that deleting an entry does not move the ones still to
// be deleted. A range that reaches "$" ends at the last entry, and "$" is
// that entry only once.
int run_delete(edit_state &s, const range_t *targets) {
    if (!targets) return gacl_delete_entry_np(s.acl.get(), s.pos);
    std::int32_t last = count_of(s.acl.get()) - 1;
    range_ptr walk;
    for (const range_t *node = targets; node; node = node->next) {
        if (node->high == RANGE_END) {
            add_position(walk, node->low <= last ? node->low : last, last);
        } else {
            add_position(walk, node->low, node->high);
        }
    }
    std::int32_t p = RANGE_WALK_START;
    while (range_prev(walk.get(), &p) == 1) {
        s.pos = p;
        if (gacl_delete_entry_np(s.acl.get(), p) < 0) return -1;
    }
    return 0;
}

// "a" and "i": after, or at, the highest target or else the current
// position.
int run_insert(edit_state &s, const acecr_t &req, const range_t *targets) {
    std::int32_t anchor = s.pos;
    if (targets) range_last(targets, &anchor);
    insert_entry(s, req, static_cast<std::int64_t>(anchor) + (req.action == 'a' ? 1 : 0));
    return 0;
}

// "s" and "S" with targets: replace each; when nothing was replaced, the new
// entry goes in at the current position (a failure of the walk stands).
int run_replace_targets(edit_state &s, const acecr_t &req, const range_t *targets) {
    int result = 0;
    bool replaced = false;
    std::int32_t p = RANGE_WALK_START;
    while (range_next(targets, &p) == 1) {
        std::int32_t count = count_of(s.acl.get());
        s.pos = translate(p, count);
        gacl_entry_t entry = nullptr;
        if (gacl_get_entry_np(s.acl.get(), s.pos, &entry) != 1 ||
            acecr_replace_entry(&req, entry) < 0) {
            result = -1;
            break;
        }
        replaced = true;
        if (s.pos >= count - 1) break;
    }
    if (!replaced) insert_entry(s, req, s.pos);
    return result;
}

// "s" with nothing named: every entry becomes the new entry (only the first
// when flags without "g" are given); an empty ACL gets it.
int run_replace_all(edit_state &s, const acecr_t &req) {
    std::int32_t count = count_of(s.acl.get());
    if (count == 0) {
        insert_entry(s, req, s.pos);
        return 0;
    }
    bool first_only = req.action_flags && req.action_flags->find('g') == std::string::npos;
    for (std::int32_t i = 0; i < count; ++i) {
        s.pos = i;
        gacl_entry_t entry = nullptr;
        if (gacl_get_entry_np(s.acl.get(), i, &entry) != 1) return -1;
        if (acecr_replace_entry(&req, entry) < 0) return -1;
        if (first_only) break;
    }
    return 0;
}

// One request against the working copy: 0 done, -1 failed (which ends the
// request's group). Reported failures throw.
int run_request(edit_state &s, const acecr_t &req) {
    if (req.types != 0 && !file_type_passes(s.st->st_mode, req.types)) return 0;

    const range_t *targets = req.positions.get();
    range_ptr selected;
    if (req.selection != 0) {
        selected = req.match
                       ? acecr_select_entries(targets, req.match.get(), req.match_op, s.acl.get())
                       : acecr_select_regex(targets, req.regex.get(), req.selection, s.acl.get());
        if (!selected && req.action != 'S') return 0;
        targets = selected.get();
    }

    switch (req.action) {
        case 'p':
        case 'n':
            return run_print(s, req, targets);
        case 'd':
            return run_delete(s, targets);
        case 'a':
        case 'i':
            return run_insert(s, req, targets);
        case 's':
            return targets ? run_replace_targets(s, req, targets) : run_replace_all(s, req);
        case 'S':
            if (targets) return run_replace_targets(s, req, targets);
            s.pos = ordered_place(s.acl.get(), req.entry.get());
            insert_entry(s, req, s.pos);
            return 0;
        default:
            errno = ENOSYS;
            return -1;
    }
}

void edit_path(const walk_object *object, const acecr_group_t *groups) {
    const char *path = object->path;
    const struct stat *st = &object->st;
    gacl_ptr current = read_object_acl(object);
    if (!current) return;
    gacl_ptr work(gacl_dup(current.get()));
    if (!work) report(1, errno, "%s: Internal Fault (gacl_dup)", shown_name(path).c_str());

    edit_state s{path, st, work, 0};
    for (const acecr_group_t *group = groups; group; group = group->next.get()) {
        for (const acecr_t *req = group->requests.get(); req; req = req->next.get()) {
            if (run_request(s, *req) < 0) break;
        }
    }
    if (update_acl(object, work.get(), current.get()) < 0) {
        report(1, errno, "%s: Setting ACL", shown_name(path).c_str());
    }
}

}  // namespace

int acecr_apply(const walk_object *object, void *context) {
    // A failure reported for this path ends here: the working copy is
    // dropped unwritten and the walk goes on with the next path.
    try {
        bool edited = or_enomem(false, [&] {
            edit_path(object, static_cast<const acecr_group_t *>(context));
            return true;
        });
        if (!edited) report(1, ENOMEM, "%s: Memory", shown_name(object->path).c_str());
    } catch (const command_abandoned &abandoned) {
        return abandoned.status;
    }
    return 0;
}

range_ptr acecr_select_entries(const range_t *positions, const gacl_entry_t_struct *match,
                               int match_op, gacl_t acl) {
    std::int32_t count = count_of(acl);
    std::vector<bool> examine = candidates(positions, count);
    range_ptr selected;
    for (std::int32_t i = 0; i < count; ++i) {
        if (!examine[static_cast<std::size_t>(i)]) continue;
        if (acecr_entry_matches(&acl->entries[i], match, match_op) != 1) continue;
        add_position(selected, i, i);
    }
    return selected;
}

range_ptr acecr_select_regex(const range_t *positions, const regex_t *regex, int selection,
                             gacl_t acl) {
    if (!regex) return nullptr;
    std::int32_t count = count_of(acl);
    std::vector<bool> examine = candidates(positions, count);
    range_ptr selected;
    char text[GACL_ENTRY_TEXT_SIZE];
    for (std::int32_t i = 0; i < count; ++i) {
        if (!examine[static_cast<std::size_t>(i)]) continue;
        if (gacl_entry_to_text_np(&acl->entries[i], text, sizeof text, 0) < 0) continue;
        int rc = regexec(regex, text, 0, nullptr, 0);
        if (rc != 0 && rc != REG_NOMATCH) {
            char explain[EXPLAIN_SIZE];
            regerror(rc, regex, explain, sizeof explain);
            report(1, 0, "%s: Regex: %s", text, explain);
        }
        if ((rc == 0) != (selection > 0)) continue;
        add_position(selected, i, i);
    }
    return selected;
}

int acecr_entry_matches(const gacl_entry_t_struct *entry, const gacl_entry_t_struct *match,
                        int match_op) {
    gacl_tag_t tag = 0, match_tag = 0;
    if (gacl_get_tag_type(entry, &tag) < 0 || gacl_get_tag_type(match, &match_tag) < 0) return -1;
    if (tag != match_tag) return 0;
    if (is_named(tag)) {
        gacl_qualifier_ptr id(gacl_get_qualifier(entry));
        gacl_qualifier_ptr match_id(gacl_get_qualifier(match));
        if (!id || !match_id) return -1;
        if (*id != *match_id) return 0;
    }
    gacl_entry_type_t type = 0, match_type = 0;
    if (gacl_get_entry_type_np(entry, &type) < 0 || gacl_get_entry_type_np(match, &match_type) < 0)
        return -1;
    if (type != match_type) return 0;
    if (entry->flags != match->flags) return 0;
    switch (match_op) {
        case '+':
            return (entry->perms & match->perms) == match->perms ? 1 : 0;
        case '-':
            return (entry->perms & match->perms) == 0 ? 1 : 0;
        case '=':
            return entry->perms == match->perms ? 1 : 0;
        default:
            return 1;
    }
}

int acecr_replace_entry(const acecr_t *request, gacl_entry_t entry) {
    if (!request || !request->entry || !entry) {
        errno = EINVAL;
        return -1;
    }
    const gacl_entry_t_struct &from = *request->entry;
    gacl_perm_t perms = from.perms;
    gacl_flag_t flags = from.flags;
    if (gacl_set_tag_type(entry, from.tag) < 0 || gacl_set_permset(entry, &perms) < 0 ||
        gacl_set_flagset_np(entry, &flags) < 0 ||
        gacl_set_entry_type_np(entry, from.entry_type) < 0) {
        return -1;
    }
    if (is_named(from.tag)) {
        gacl_qualifier_ptr id(gacl_get_qualifier(&from));
        if (!id || gacl_set_qualifier(entry, id.get()) < 0) return -1;
    }
    std::memcpy(entry->name, from.name, sizeof entry->name);
    entry->name[sizeof entry->name - 1] = '\0';
    return 1;
}

int acecr_print_entry(const char *path, gacl_t acl, int position, bool numbered) {
    // The entry is fetched and rendered first, so that a failing print
    // leaves no half line behind.
    gacl_entry_t entry = nullptr;
    int got = gacl_get_entry_np(acl, position, &entry);
    if (got != 1) {
        if (got == 0) errno = ENOENT;
        return -1;
    }
    char text[GACL_ENTRY_TEXT_SIZE];
    if (gacl_entry_to_text_np(entry, text, sizeof text, 0) < 0) return -1;
    if (!config.no_prefix) std::printf("%-20s\t", shown_name(path).c_str());
    if (numbered) std::printf("%-4d\t", position);
    std::printf("%s\n", text);
    return 0;
}
