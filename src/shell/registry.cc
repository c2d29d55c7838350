// Command registry, dispatch, help listings and completion.
#include "shell/registry.h"

#include <readline/readline.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "shell/global_options.h"
#include "shell/options.h"
#include "util/escape.h"
#include "util/strutil.h"

command_registry_t command_registry;

bool name_match(const char *word, const char *name) {
    if (!word || !name || !*word) return false;
    size_t w = 0, n = 0;
    for (;;) {
        size_t k = 0;
        while (word[w + k] && name[n + k] && word[w + k] == name[n + k])
            ++k;
        if (!word[w + k]) return true;  // the word ends inside the equal run
        if (k == 0) return false;
        char c = word[w + k], d = name[n + k];
        if (c != '-' && d == '-') {
            // The name's part ends where the word goes on: the word left
            // out the dash, so go on with the name's next part.
            w += k;
            n += k + 1;
            continue;
        }
        // Skip the rest of the name's part (using up the word's dash).
        w += k + (c == '-' ? 1 : 0);
        const char *dash = std::strchr(name + n + k, '-');
        if (!dash) return !word[w];
        if (!word[w]) return false;
        n = static_cast<size_t>(dash - name) + 1;
    }
}

int command_register(command_registry_t *reg, const command_t *const *list) {
    if (!list) return -1;
    int result = 0;
    for (; *list; ++list) {
        if (reg->count >= COMMAND_REGISTRY_SIZE) {
            result = -1;
            break;
        }
        reg->commands[reg->count++] = *list;
    }
    std::sort(
        reg->commands, reg->commands + reg->count,
        [](const command_t *a, const command_t *b) { return std::strcmp(a->name, b->name) < 0; });
    return result;
}

int command_help(const command_registry_t *reg, const char *name, FILE *out, bool with_options) {
    auto line = [out](const command_t *c) {
        std::fprintf(out, "  %-20s\t%-30s\t%s\n", c->name, c->usage, c->description);
    };
    bool listed = false;
    if (name) {
        for (int i = 0; i < reg->count; ++i) {
            const command_t *c = reg->commands[i];
            if (!name_match(name, c->name)) continue;
            if (!listed) std::fputs("COMMANDS:\n", out);
            listed = true;
            line(c);
            if (with_options) opts_print(out, {global_options, c->options});
        }
    }
    if (!listed) {
        std::fputs("COMMANDS:\n", out);
        for (int i = 0; i < reg->count; ++i)
            line(reg->commands[i]);
    }
    return -1;
}

int command_dispatch(command_registry_t *reg, int argc, char **argv) {
    if (argc < 1 || !argv[0]) return 0;
    if (std::strcmp(argv[0], "?") == 0) {
        return command_help(reg, argc > 1 ? argv[1] : nullptr, stdout, false);
    }
    if (argc > 1 && std::strcmp(argv[1], "?") == 0) {
        return command_help(reg, argv[0], stdout, true);
    }

    const command_t *found = nullptr;
    int matches = 0;
    for (int i = 0; i < reg->count; ++i) {
        if (name_match(argv[0], reg->commands[i]->name)) {
            found = reg->commands[i];
            ++matches;
        }
    }
    // In multi-call mode the word is the name of a link.
    if (matches == 0) report(1, 0, "%s: Unknown command", shown_name(argv[0]).c_str());
    if (matches > 1) report(1, 0, "%s: Nonunique command", shown_name(argv[0]).c_str());

    std::string prefix = program_info.name + " " + found->name;
    current_name_set(prefix.c_str());

    // The option handlers see the full command name as their context (the
    // help option lists that command); the handler sees the typed word.
    std::vector<char *> words(argv, argv + argc);
    words.push_back(nullptr);
    std::string full_name = found->name;
    words[0] = full_name.data();
    int first = opts_parse(argc, words.data(), {global_options, found->options});
    if (first < 0) return first;

    std::vector<char *> operands{argv[0]};
    operands.insert(operands.end(), argv + first, argv + argc);
    operands.push_back(nullptr);
    return found->handler(static_cast<int>(operands.size()) - 1, operands.data());
}

// The generators hand malloc'd copies to the line editor, which frees them.
char *complete_command(const char *text, int state) {
    static int next;
    if (state == 0) next = 0;
    while (next < command_registry.count) {
        const command_t *c = command_registry.commands[next++];
        if (name_match(text, c->name)) return strdup(c->name);
    }
    return nullptr;
}

char *complete_option(const char *text, int state) {
    static int next;
    if (state == 0) next = 0;
    const char *name = std::strlen(text) >= 2 ? text + 2 : "";
    for (; global_options[next].name; ++next) {
        const option_t &o = global_options[next];
        if (!name_match(name, o.name)) continue;
        ++next;
        bool takes_value = (o.type & OPT_BASE_MASK) != OPT_SWITCH && !(o.type & OPT_OPTIONAL);
        std::string completion = std::string("--") + o.name + (takes_value ? "=" : "");
        // The value follows the '=' directly: no blank after the completion.
        if (takes_value) rl_completion_append_character = '\0';
        return strdup(completion.c_str());
    }
    return nullptr;
}

char **complete_hook(const char *text, int start, int) {
    rl_attempted_completion_over = 1;
    int leading = 0;
    while (rl_line_buffer[leading] &&
           str_is_space(static_cast<unsigned char>(rl_line_buffer[leading])))
        ++leading;
    if (start > leading) {
        if (std::strncmp(text, "--", 2) == 0) return rl_completion_matches(text, complete_option);
        return rl_completion_matches(text, rl_filename_completion_function);
    }
    return rl_completion_matches(text, complete_command);
}
