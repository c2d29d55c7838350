// Command names by abbreviation, the registry, dispatch and help listings.
#include "shell/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "shell/command_table.h"
#include "shell/global_options.h"

namespace {

command_registry_t full_registry() {
    command_registry_t reg;
    command_register(&reg, misc_commands);
    command_register(&reg, basic_commands);
    command_register(&reg, acl_commands);
    return reg;
}

// Every command the word abbreviates, in registry order.
std::vector<std::string> commands_matching(const char *word) {
    static const command_registry_t reg = full_registry();
    std::vector<std::string> found;
    for (int i = 0; i < reg.count; ++i) {
        if (name_match(word, reg.commands[i]->name)) found.push_back(reg.commands[i]->name);
    }
    return found;
}

std::vector<std::string> options_matching(const char *word) {
    std::vector<std::string> found;
    for (const option_t *o = global_options; o->name; ++o) {
        if (name_match(word, o->name)) found.push_back(o->name);
    }
    return found;
}

using names = std::vector<std::string>;

TEST(NameMatch, CommandAbbreviationsByParts) {
    const struct {
        const char *word;
        names expected;
    } cases[] = {
        {"lac", {"list-access"}},
        {"listaccess", {"list-access"}},
        {"list-access", {"list-access"}},
        {"list", {"list-access", "list-attribute"}},
        {"list-", {"list-access", "list-attribute"}},
        {"la", {"list-access", "list-attribute"}},
        {"list-a", {"list-access", "list-attribute"}},
        {"l-", {}},
        {"li-", {}},
        {"edac", {"edit-access"}},
        {"edit", {"edit-access"}},
        {"ed-ac", {"edit-access"}},
        {"ec", {"echo-text", "exit-command"}},
        {"cd", {"change-directory"}},
        {"pwd", {"print-work-directory"}},
        {"dl", {"directory-listing"}},
        {"help-", {"help"}},
        {"helpx", {}},
        {"", {}},
        {"version", {"version"}},
        {"x", {}},
        {"list-access-", {"list-access"}},
        {"list-accessx", {}},
        {"ls", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(commands_matching(c.word), c.expected) << c.word;
}

// Every abbreviation by parts of `name`: a beginning of each part, later
// parts left out, the parts joined with or without their dash.
void abbreviations(const std::vector<std::string> &parts, size_t part, const std::string &typed,
                   std::vector<std::string> *out) {
    for (size_t n = 1; n <= parts[part].size(); ++n) {
        std::string word = typed + parts[part].substr(0, n);
        out->push_back(word);
        if (part + 1 == parts.size()) continue;
        abbreviations(parts, part + 1, word, out);
        abbreviations(parts, part + 1, word + "-", out);
    }
}

// apply-access came after the other commands: every word that named one of
// them (or several, or none) still does, so no abbreviation and no
// multi-call link name (lac, edac, cd, ...) changed its meaning.
TEST(NameMatch, ApplyAccessTakesNoAbbreviationOfAnotherCommand) {
    std::vector<std::string> words = {"lac", "edac", "ed-ac", "cd", "pwd", "dl", "ec", "la", "a"};
    for (const command_t *const *list : {misc_commands, basic_commands, acl_commands}) {
        for (; *list; ++list) {
            std::vector<std::string> parts;
            std::string name = (*list)->name;
            for (size_t start = 0, dash;; start = dash + 1) {
                dash = name.find('-', start);
                parts.push_back(name.substr(start, dash - start));
                if (dash == std::string::npos) break;
            }
            abbreviations(parts, 0, "", &words);
        }
    }
    size_t apply_words = 0;
    for (const std::string &word : words) {
        names found = commands_matching(word.c_str());
        auto apply = std::find(found.begin(), found.end(), "apply-access");
        if (apply == found.end()) continue;
        ++apply_words;
        EXPECT_EQ(found.size(), 1u) << word;
        EXPECT_EQ(word[0], 'a') << word;  // no other command starts with a
    }
    EXPECT_GT(apply_words, 0u);
    EXPECT_EQ(commands_matching("lac"), names{"list-access"});
    EXPECT_EQ(commands_matching("aa"), names{"apply-access"});
    EXPECT_EQ(commands_matching("apac"), names{"apply-access"});
}

TEST(NameMatch, OptionAbbreviations) {
    const struct {
        const char *word;
        names expected;
    } cases[] = {
        {"nu", {"no-update"}},      {"np", {"no-prefix"}},      {"no", {"no-update", "no-prefix"}},
        {"de", {"debug", "depth"}}, {"deb", {"debug"}},         {"st", {"style"}},
        {"ver", {"verbose"}},       {"s", {"sort", "style"}},   {"k", {"keep-going"}},
        {"kg", {"keep-going"}},     {"keep-g", {"keep-going"}}, {"j", {"jobs"}},
        {"jo", {"jobs"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(options_matching(c.word), c.expected) << c.word;
    EXPECT_FALSE(name_match(nullptr, "help"));
}

TEST(Registry, HoldsAllCommandsInByteOrder) {
    command_registry_t reg = full_registry();
    const char *expected[] = {"apply-access",
                              "change-directory",
                              "config",
                              "copy-access",
                              "delete-access",
                              "directory-listing",
                              "echo-text",
                              "edit-access",
                              "exit-command",
                              "find-access",
                              "get-access",
                              "get-attribute",
                              "help",
                              "inherit-access",
                              "list-access",
                              "list-attribute",
                              "print-work-directory",
                              "remove-attribute",
                              "rename-access",
                              "set-access",
                              "set-attribute",
                              "touch-access",
                              "version"};
    ASSERT_EQ(reg.count, 23);
    for (int i = 0; i < 23; ++i)
        EXPECT_STREQ(reg.commands[i]->name, expected[i]);
}

TEST(Registry, StopsAtItsSize) {
    command_registry_t reg;
    EXPECT_EQ(command_register(&reg, nullptr), -1);
    // acl_commands holds 11 commands: 93 lists fit, the 94th only in part.
    for (int round = 0; round < 93; ++round)
        ASSERT_EQ(command_register(&reg, acl_commands), 0);
    EXPECT_EQ(reg.count, 1023);
    EXPECT_EQ(command_register(&reg, acl_commands), -1);
    EXPECT_EQ(reg.count, COMMAND_REGISTRY_SIZE);
    for (int i = 1; i < reg.count; ++i) {
        EXPECT_LE(std::strcmp(reg.commands[i - 1]->name, reg.commands[i]->name), 0);
    }
}

// A small registry whose handler records what it was given.
std::vector<std::string> handled;
std::string name_while_running;

int record(int argc, char **argv) {
    handled.assign(argv, argv + argc);
    EXPECT_EQ(argv[argc], nullptr);
    name_while_running = current_name_get() ? current_name_get() : "";
    return 42;
}

const option_t own_options[] = {{"only-here", 'O', OPT_SWITCH, nullptr, nullptr, "Own option"},
                                {nullptr, 0, 0, nullptr, nullptr, nullptr}};
const command_t alpha = {"alpha-beta", record, own_options, "<x>+", "First"};
const command_t alpine = {"alpine", record, nullptr, "", "Second"};
const command_t *const test_list[] = {&alpine, &alpha, nullptr};

struct dispatched {
    int result = 0;
    int abandoned = 0;
    std::string out, err;
};

dispatched dispatch(std::vector<std::string> words) {
    command_registry_t reg;
    command_register(&reg, test_list);
    handled.clear();
    config = config_t{};
    current_name_set(nullptr);
    program_info.name = "vossik";
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    dispatched d;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try {
        d.result = command_dispatch(&reg, static_cast<int>(words.size()), argv.data());
    } catch (const command_abandoned &a) {
        d.abandoned = a.status;
    }
    d.err = testing::internal::GetCapturedStderr();
    d.out = testing::internal::GetCapturedStdout();
    return d;
}

const char alpha_line[] = "  alpha-beta          \t<x>+                          \tFirst\n";
const char alpine_line[] = "  alpine              \t                              \tSecond\n";

TEST(Dispatch, RunsTheHandlerWithTheOperands) {
    dispatched d = dispatch({"ab", "-v", "--only", "one", "-two"});
    EXPECT_EQ(d.result, 42);
    EXPECT_EQ(handled, (names{"ab", "one", "-two"}));
    EXPECT_EQ(name_while_running, "vossik alpha-beta");
    EXPECT_EQ(config.verbose, 1);

    d = dispatch({"alpine", "--", "-v"});
    EXPECT_EQ(handled, (names{"alpine", "-v"}));
    EXPECT_EQ(config.verbose, 0);
}

TEST(Dispatch, RefusesUnknownAndNonuniqueWords) {
    dispatched d = dispatch({"alp", "x"});
    EXPECT_EQ(d.abandoned, 1);
    EXPECT_EQ(d.err, "Error: alp: Nonunique command\n");
    d = dispatch({"beta"});
    EXPECT_EQ(d.err, "Error: beta: Unknown command\n");
    EXPECT_TRUE(handled.empty());
    d = dispatch({"alpine", "--only"});
    EXPECT_EQ(d.err, "vossik alpine: Error: --only: Invalid option\n") << "not alpine's option";
    EXPECT_EQ(dispatch({}).result, 0);
}

TEST(Dispatch, QuestionMarkListsInsteadOfRunning) {
    dispatched d = dispatch({"?"});
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.out, std::string("COMMANDS:\n") + alpha_line + alpine_line);

    d = dispatch({"?", "alpi"});
    EXPECT_EQ(d.out, std::string("COMMANDS:\n") + alpine_line);

    d = dispatch({"ab", "?"});
    EXPECT_EQ(d.result, -1);
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(d.out.rfind(std::string("COMMANDS:\n") + alpha_line + "OPTIONS:\n  -h / --help", 0),
              0u);
    EXPECT_NE(d.out.find("  -O / --only-here \t-\tOwn option\n"), std::string::npos);

    // Help names what the typed word names; the handler does not run.
    d = dispatch({"alpine", "-h"});
    EXPECT_EQ(d.result, -1);
    EXPECT_TRUE(handled.empty());
}

TEST(Dispatch, RejectedOptionValueSkipsTheHandler) {
    dispatched d = dispatch({"alpine", "-Sfoo", "x"});
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.err,
              "vossik alpine: Error: --style=foo: Unknown style (default, standard, brief, "
              "verbose, csv, samba, icacls, solaris, primos)\n");
    EXPECT_TRUE(handled.empty());
}

// Every name a completion generator offers for `text`, in order.
names completions(char *(*generator)(const char *, int), const char *text) {
    names offered;
    for (int state = 0;; ++state) {
        char *name = generator(text, state);
        if (!name) break;
        offered.push_back(name);
        std::free(name);
    }
    return offered;
}

TEST(Completion, CommandNamesAndGlobalOptions) {
    if (command_registry.count == 0) {
        command_register(&command_registry, misc_commands);
        command_register(&command_registry, basic_commands);
        command_register(&command_registry, acl_commands);
    }
    const struct {
        char *(*generator)(const char *, int);
        const char *text;
        names expected;
    } cases[] = {
        {complete_command, "la", {"list-access", "list-attribute"}},
        {complete_command, "echo-t", {"echo-text"}},
        {complete_command, "ec", {"echo-text", "exit-command"}},
        {complete_command, "l-", {}},
        {complete_command, "", {}},
        {complete_option, "--st", {"--style="}},
        {complete_option, "--ver", {"--verbose"}},
        {complete_option, "--no", {"--no-update", "--no-prefix"}},
        {complete_option, "--de", {"--debug", "--depth"}},
        {complete_option, "--t", {"--type="}},
        {complete_option, "--k", {"--keep-going"}},
        {complete_option, "--j", {"--jobs="}},
        {complete_option, "--attr", {}},  // commands' own options are not offered
        {complete_option, "--", {}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(completions(c.generator, c.text), c.expected) << c.text;
    }
    // A new request (state 0) starts again from the first name.
    EXPECT_EQ(completions(complete_command, "la"), (names{"list-access", "list-attribute"}));
}

}  // namespace
