#include "commands/inherit.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "base/config.h"
#include "base/report.h"
#include "commands/update.h"
#include "commands/walk.h"
#include "gacl/acl.h"
#include "gacl/vocab.h"
#include "util/escape.h"

namespace {

// The templates of one named path, made from the first object its walk
// hands over: the ACL for directories below it and the ACL for the rest.
struct inherit_context {
    gacl_ptr dir;
    gacl_ptr file;
};

// Clears `clear` and then sets `set` in the flags of every entry.
int change_flags(gacl_t acl, gacl_flag_t set, gacl_flag_t clear) {
    gacl_entry_t entry = nullptr;
    for (int got = gacl_get_entry(acl, GACL_FIRST_ENTRY, &entry); got != 0;
         got = gacl_get_entry(acl, GACL_NEXT_ENTRY, &entry)) {
        gacl_flagset_t flags = nullptr;
        if (got < 0 || gacl_get_flagset_np(entry, &flags) != 0) return -1;
        if (gacl_delete_flag_np(flags, clear) != 0 || gacl_add_flag_np(flags, set) != 0) return -1;
        if (gacl_set_flagset_np(entry, flags) != 0) return -1;
    }
    return 0;
}

// The template source: made inheritable and written back, then turned into
// the two templates. -1 with errno when a copy or an accessor fails; the
// context then stays empty.
int make_templates(const walk_object *object, gacl_t acl, inherit_context *context) {
    gacl_ptr dir(gacl_dup(acl));
    if (!dir) return -1;
    const gacl_flag_t inheritable =
        S_ISDIR(object->st.st_mode) ? GACL_FLAG_FILE_INHERIT | GACL_FLAG_DIRECTORY_INHERIT : 0;
    if (change_flags(dir.get(), inheritable, GACL_FLAG_NO_PROPAGATE_INHERIT) != 0) return -1;
    if (update_acl(object, dir.get(), acl) < 0)
        report(1, errno, "%s: Setting ACL", shown_name(object->path).c_str());

    if (change_flags(dir.get(), GACL_FLAG_INHERITED, GACL_FLAG_INHERIT_ONLY) != 0) return -1;
    gacl_ptr file(gacl_dup(dir.get()));
    if (!file || strip_inheritance(file.get()) != 0) return -1;
    context->dir = std::move(dir);
    context->file = std::move(file);
    return 0;
}

int inherit_one(const walk_object *object, void *data) {
    auto *context = static_cast<inherit_context *>(data);
    gacl_ptr acl = read_object_acl(object);
    if (!acl) return 0;

    if (!context->dir) return make_templates(object, acl.get(), context);

    gacl_t chosen = S_ISDIR(object->st.st_mode) ? context->dir.get() : context->file.get();
    if (update_acl(object, chosen, acl.get()) < 0)
        report(1, errno, "%s: Setting ACL", shown_name(object->path).c_str());
    return 0;
}

}  // namespace

int cmd_inherit_access(int argc, char **argv) {
    const int max_depth = config.recurse ? -1 : config.max_depth;
    const auto types = static_cast<uint16_t>(config.types & 0xFFFF);
    bool failed = false;
    for (int i = 1; i < argc; i++) {
        inherit_context context;
        if (walk_path(argv[i], inherit_one, &context, max_depth, types, walk_prefetch::acl) != 0)
            failed = true;
    }
    // Under keep-going each failure has been reported as it came; a silent
    // one would leave the tree half-propagated with status 0.
    if (failed) throw command_abandoned{1};
    return 0;
}
