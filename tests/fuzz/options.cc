// Fuzz target: the option parser, over the global options (whose handlers
// fill the configuration), the attribute commands' table and a table of
// every base type with plain targets. The input is one word per line. The
// parse must end in an operand index within the words or a rejection,
// leave the words as they were, and abandon the command only through
// report; name=value texts (the config command) must not fail otherwise.
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "commands/attr_commands.h"
#include "fuzz_check.h"
#include "shell/global_options.h"
#include "shell/options.h"

namespace {

int uint_value, int_value, optional_value, switch_value;
std::string text_value, optional_text;

const option_t own_options[] = {
    {"unsigned-number", 'u', OPT_UINT, nullptr, &uint_value, "a non-negative number"},
    {"signed-number", 'i', OPT_INT, nullptr, &int_value, "a number"},
    {"maybe-number", 'o', OPT_INT | OPT_OPTIONAL, nullptr, &optional_value, "a number or none"},
    {"switch-on", 'w', OPT_SWITCH, nullptr, &switch_value, "a switch"},
    {"text-value", 'T', OPT_TEXT, nullptr, &text_value, "a text"},
    {"maybe-text", 'M', OPT_TEXT | OPT_OPTIONAL, nullptr, &optional_text, "a text or none"},
    {nullptr, 0, 0, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    std::vector<std::string> words{"cmd"};
    for (size_t start = 0; start <= text.size() && words.size() < 64;) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const std::vector<std::string> given = words;
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    config = config_t{};
    uint_value = int_value = optional_value = switch_value = 0;
    text_value.clear();
    optional_text.clear();
    try {
        int r = opts_parse(argc, argv.data(), {global_options, attr_options, own_options});
        FUZZ_CHECK(r < 0 || (r >= 1 && r <= argc));
    } catch (const command_abandoned &a) {
        FUZZ_CHECK(a.status != 0);
    }
    FUZZ_CHECK(words == given);

    for (int i = 1; i < argc; i++) {
        config = config_t{};
        try {
            opts_set_from_text(global_options, argv[static_cast<size_t>(i)], "config");
        } catch (const command_abandoned &) {
            FUZZ_CHECK(false);  // the config command reports its own errors
        }
    }
    return 0;
}
