// Global options and their handlers.
#include "shell/global_options.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "base/config.h"
#include "base/report.h"
#include "shell/registry.h"

namespace {

// "pcd" as "p c d".
std::string spaced(const char *letters) {
    std::string text;
    for (const char *c = letters; *c; ++c) {
        if (!text.empty()) text += ' ';
        text += *c;
    }
    return text;
}

int as_int(const void *parsed) {
    return *static_cast<const int *>(parsed);
}

// Counts and depths add up without overflowing: a sum beyond the field's
// range stays at its end.
int32_t saturating_add(int32_t value, int32_t add) {
    int64_t sum = static_cast<int64_t>(value) + add;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

// Lists the command named by the context (all commands when it names none)
// and keeps the command from running.
int opt_help(const char *, const char *, uint32_t, const void *, void *, const char *context) {
    return command_help(&command_registry, context, stdout, true);
}

// debug and print: the value, or one more without a value.
int opt_level(const char *, const char *, uint32_t, const void *parsed, void *target,
              const char *) {
    auto *level = static_cast<int32_t *>(target);
    *level = parsed ? as_int(parsed) : saturating_add(*level, 1);
    return 0;
}

// Counting switches: one more each time they are given.
int opt_count(const char *, const char *, uint32_t, const void *, void *target, const char *) {
    auto *count = static_cast<int32_t *>(target);
    *count = saturating_add(*count, 1);
    return 0;
}

int opt_set_one(const char *, const char *, uint32_t, const void *, void *target, const char *) {
    *static_cast<int32_t *>(target) = 1;
    return 0;
}

int opt_recurse(const char *, const char *, uint32_t, const void *parsed, void *, const char *) {
    config.max_depth = parsed && as_int(parsed) >= 0 ? as_int(parsed) : -1;
    return 0;
}

int opt_depth(const char *, const char *, uint32_t, const void *parsed, void *, const char *) {
    config.max_depth = saturating_add(config.max_depth, parsed ? as_int(parsed) : 1);
    return 0;
}

// A refused value is said in one line naming option, value and the choices;
// the command does not run.
int opt_style(const char *name, const char *value, uint32_t, const void *, void *, const char *) {
    int32_t code = 0;
    if (acl_style_parse(value, &code) != 1) {
        report_on(current_name_get(), 1, 0, "--%s=%s: Unknown style (%s)", name, value,
                  acl_style_names().c_str());
        return -1;
    }
    config.style = code;
    return 0;
}

int opt_type(const char *name, const char *value, uint32_t, const void *, void *, const char *) {
    int32_t mask = 0;
    int parsed = file_types_parse(value, &mask);
    if (parsed < 0) {
        const char *letters = file_type_letters();
        const char *bad = value;
        while (*bad != '\0' && (*bad == '+' || *bad == '-' || std::strchr(letters, *bad)))
            ++bad;
        report_on(current_name_get(), 1, 0,
                  "--%s=%s: Unknown file type letter '%c' (%s, + adds, - removes)", name, value,
                  *bad, spaced(letters).c_str());
        return -1;
    }
    if (parsed == 0) {
        report_on(current_name_get(), 1, 0, "--%s=%s: No file type left", name, value);
        return -1;
    }
    config.types = mask;
    return 0;
}

}  // namespace

const option_t global_options[] = {
    {"help", 'h', OPT_SWITCH, opt_help, nullptr, "Display usage"},
    {"debug", 'D', OPT_UINT | OPT_OPTIONAL, opt_level, &config.debug, "Debug level"},
    {"verbose", 'v', OPT_SWITCH, opt_count, &config.verbose, "Verbosity level"},
    {"force", 'f', OPT_SWITCH, opt_count, &config.force, "Force updates"},
    {"print", 'p', OPT_UINT | OPT_OPTIONAL, opt_level, &config.print, "Print updated ACLs"},
    {"sort", 's', OPT_SWITCH, opt_count, &config.sort, "Sort ACLs"},
    {"merge", 'm', OPT_SWITCH, opt_count, &config.merge, "Merge redundant ACL entries"},
    {"relaxed", 'R', OPT_SWITCH, opt_count, &config.relaxed, "Relaxed mode"},
    {"recurse", 'r', OPT_INT | OPT_OPTIONAL, opt_recurse, nullptr, "Enable recursion"},
    {"depth", 'd', OPT_INT | OPT_OPTIONAL, opt_depth, nullptr, "Increase/decrease max depth"},
    {"style", 'S', OPT_TEXT, opt_style, nullptr, "Select ACL print style"},
    {"type", 't', OPT_TEXT, opt_type, nullptr, "File types to operate on"},
    {"no-update", 'n', OPT_SWITCH, opt_set_one, &config.no_update, "Disable modification"},
    {"no-prefix", 'N', OPT_SWITCH, opt_set_one, &config.no_prefix, "Do not prefix filenames"},
    {"keep-going", 'k', OPT_SWITCH, opt_set_one, &config.keep_going, "Keep going after failures"},
    {"jobs", 'j', OPT_UINT, nullptr, &config.jobs, "Threads reading ahead in walks"},
    {nullptr, 0, 0, nullptr, nullptr, nullptr},
};
