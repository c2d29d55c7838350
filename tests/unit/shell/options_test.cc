// The option parser against the global option table (and a command table
// like edit-access's).
#include "shell/options.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "shell/global_options.h"

namespace {

std::string execute_value, file_value;

const option_t edit_table[] = {
    {"execute", 'e', OPT_TEXT, nullptr, &execute_value, "Commands (from string)"},
    {"file", 'E', OPT_TEXT, nullptr, &file_value, "Commands (from file)"},
    {nullptr, 0, 0, nullptr, nullptr, nullptr},
};

struct parse_outcome {
    int result = 0;     // the parse result, when nothing was thrown
    int abandoned = 0;  // the status report() carried, or 0
    std::string err;    // standard error
};

parse_outcome parse(std::vector<std::string> words, const option_t *own = nullptr) {
    config = config_t{};
    execute_value.clear();
    file_value.clear();
    current_name_set(nullptr);
    words.insert(words.begin(), "cmd");
    std::vector<char *> argv;
    for (auto &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    parse_outcome out;
    testing::internal::CaptureStderr();
    try {
        out.result = opts_parse(static_cast<int>(words.size()), argv.data(), {global_options, own});
    } catch (const command_abandoned &a) {
        out.abandoned = a.status;
    }
    out.err = testing::internal::GetCapturedStderr();
    return out;
}

struct parse_case {
    std::vector<std::string> words;
    int result;                          // expected parse result (when nothing is thrown)
    std::function<bool()> config_check;  // what the options did, or null
    const char *label;
};

TEST(OptionParser, GlobalOptionsAndTheirValues) {
    const parse_case cases[] = {
        {{}, 1, nullptr, "no words"},
        {{"file", "-v"}, 1, [] { return config.verbose == 0; }, "an operand ends the options"},
        {{"-n"}, 2, [] { return config.no_update == 1; }, "-n"},
        {{"--nu"}, 2, [] { return config.no_update == 1; }, "--nu"},
        {{"--np"}, 2, [] { return config.no_prefix == 1; }, "--np"},
        {{"--deb"}, 2, [] { return config.debug == 1; }, "--deb"},
        {{"-vv"}, 2, [] { return config.verbose == 2; }, "-vv counts"},
        {{"-vfr", "/x"},
         2,
         [] { return config.verbose == 1 && config.force == 1 && config.max_depth == -1; },
         "-vfr /x"},
        {{"-r", "2", "/x"}, 3, [] { return config.max_depth == 2; }, "-r 2"},
        {{"-r", "-1", "/x"}, 3, [] { return config.max_depth == -1; }, "-r -1"},
        {{"-r-5"}, 2, [] { return config.max_depth == -1; }, "-r-5: negative means no limit"},
        {{"-r0"}, 2, [] { return config.max_depth == 0; }, "-r0"},
        {{"-r", "-d"}, 3, [] { return config.max_depth == 0; }, "-r -d"},
        {{"-d", "-d"}, 3, [] { return config.max_depth == 2; }, "-d -d"},
        {{"-d-2"}, 2, [] { return config.max_depth == -2; }, "-d-2"},
        {{"--depth=3", "--dep"}, 3, [] { return config.max_depth == 4; }, "--depth=3 --dep"},
        // Sums stop at the ends of the field instead of overflowing.
        {{"-d", "2147483647", "-d", "1"},
         5,
         [] { return config.max_depth == 2147483647; },
         "-d 2147483647 -d 1"},
        {{"-d", "99999999999", "-d"},
         4,
         [] { return config.max_depth == 2147483647; },
         "-d huge -d"},
        {{"-d-2147483648", "-d-1"},
         3,
         [] { return config.max_depth == -2147483647 - 1; },
         "-d lowest -d-1"},
        {{"-D2147483647", "-D"}, 3, [] { return config.debug == 2147483647; }, "-D largest -D"},
        {{"-p2147483647", "-p"}, 3, [] { return config.print == 2147483647; }, "-p largest -p"},
        {{"-p2v"}, 2, [] { return config.print == 2 && config.verbose == 0; }, "-p2v"},
        {{"-p", "x"}, 2, [] { return config.print == 1; }, "-p x: x is an operand"},
        {{"-D3", "-D"}, 3, [] { return config.debug == 4; }, "-D3 -D"},
        {{"-Scsv"}, 2, [] { return config.style == ACL_STYLE_CSV; }, "-Scsv"},
        {{"-S", "csv", "f"}, 3, [] { return config.style == ACL_STYLE_CSV; }, "-S csv"},
        {{"--style=samba"}, 2, [] { return config.style == ACL_STYLE_SAMBA; }, "--style=samba"},
        {{"-tfd"}, 2, [] { return config.types == 0xC000; }, "-tfd"},
        {{"--", "-x"}, 2, nullptr, "-- ends the options"},
        {{"-", "-x"}, 2, nullptr, "- ends the options"},
        {{"-v", "--", "--", "-x"}, 3, [] { return config.verbose == 1; }, "only the first --"},
    };
    for (const auto &c : cases) {
        parse_outcome out = parse(c.words);
        EXPECT_EQ(out.abandoned, 0) << c.label;
        EXPECT_EQ(out.result, c.result) << c.label;
        EXPECT_EQ(out.err, "") << c.label;
        if (c.config_check) {
            EXPECT_TRUE(c.config_check()) << c.label;
        }
    }
}

// A rejected value is said in one line naming the option, the value and why,
// and does not abandon: the caller goes on with the negative result.
TEST(OptionParser, RejectedValuesSayWhy) {
    const std::string styles =
        " (default, standard, brief, verbose, csv, samba, icacls, solaris, primos)\n";
    const std::string letters = " (p c d b f l s w, + adds, - removes)\n";
    const struct {
        std::vector<std::string> words;
        std::string err;
    } cases[] = {
        {{"-Sfoo"}, "Error: --style=foo: Unknown style" + styles},
        {{"-vS", "-v"}, "Error: --style=-v: Unknown style" + styles},
        {{"-SBrief"}, "Error: --style=Brief: Unknown style" + styles},  // the display name
        {{"-Sbr"}, "Error: --style=br: Unknown style" + styles},        // no abbreviations
        {{"--style="}, "Error: --style=: Unknown style" + styles},
        {{"-S"}, "Error: --style: Missing value\n"},
        {{"--style", "csv"}, "Error: --style: Missing value\n"},  // not from the next word
        {{"-t", "z"}, "Error: --type=z: Unknown file type letter 'z'" + letters},
        {{"-td-x"}, "Error: --type=d-x: Unknown file type letter 'x'" + letters},
        {{"-t", "+d-d"}, "Error: --type=+d-d: No file type left\n"},
        {{"--verbose=2"}, "Error: --verbose=2: Takes no value\n"},
        {{"--print=-1"}, "Error: --print=-1: Not a number of 0 or more\n"},
        {{"--debug=x"}, "Error: --debug=x: Not a number of 0 or more\n"},
        {{"--depth=x"}, "Error: --depth=x: Not a number\n"},
        {{"--recurse="}, "Error: --recurse=: Not a number\n"},
        {{"-v", "--fi"}, "Error: --file: Missing value\n"},
    };
    for (const auto &c : cases) {
        parse_outcome out = parse(c.words, edit_table);
        EXPECT_EQ(out.abandoned, 0) << c.err;
        EXPECT_EQ(out.result, -1) << c.err;
        EXPECT_EQ(out.err, c.err);
    }
    EXPECT_EQ(config.types, 0) << "a rejected type text changes nothing";
}

TEST(OptionParser, ReportsUnknownAndAmbiguousOptions) {
    const struct {
        std::vector<std::string> words;
        bool edit_table;
        int status;
        const char *err;
    } cases[] = {
        {{"-no"}, false, 1, "Error: -o: Invalid option\n"},
        {{"-x"}, false, 1, "Error: -x: Invalid option\n"},
        {{"-D", "-3"}, false, 1, "Error: -3: Invalid option\n"},
        {{"--foo=1"}, false, 1, "Error: --foo=1: Invalid option\n"},
        {{"--=1"}, false, 1, "Error: --=1: Invalid option\n"},
        {{"--no"}, false, -1, "Warning: --no: Multiple options matches\n"},
        {{"--de"}, false, -1, "Warning: --de: Multiple options matches\n"},
        {{"--f"}, true, -1, "Warning: --f: Multiple options matches\n"},
        {{"-e"}, false, 1, "Error: -e: Invalid option\n"},
    };
    for (const auto &c : cases) {
        parse_outcome out = parse(c.words, c.edit_table ? edit_table : nullptr);
        EXPECT_EQ(out.abandoned, c.status) << c.err;
        EXPECT_EQ(out.err, c.err);
    }
}

TEST(OptionParser, CommandTableTakesPartWithTheGlobalOne) {
    parse_outcome out = parse({"--fi=script", "-e", "x=y", "-v", "path"}, edit_table);
    EXPECT_EQ(out.result, 5);
    EXPECT_EQ(file_value, "script");
    EXPECT_EQ(execute_value, "x=y");
    EXPECT_EQ(config.verbose, 1);

    out = parse({"-efirst", "-f"}, edit_table);
    EXPECT_EQ(out.result, 3);
    EXPECT_EQ(execute_value, "first");
    EXPECT_EQ(config.force, 1);

    out = parse({"-e"}, edit_table);
    EXPECT_EQ(out.result, -1) << "text value missing";
    EXPECT_EQ(out.err, "Error: --execute: Missing value\n");
}

TEST(OptionParser, RejectsBrokenTables) {
    const option_t twice[] = {{"one", 'v', OPT_SWITCH, nullptr, nullptr, ""},
                              {"bad", 'b', 3, nullptr, nullptr, ""},
                              {nullptr, 0, 0, nullptr, nullptr, nullptr}};
    parse_outcome out = parse({"-v"}, twice);
    EXPECT_EQ(out.abandoned, 1);
    EXPECT_EQ(out.err, "Error: -v: Multiple options matches\n");
    out = parse({"-b"}, twice);
    EXPECT_EQ(out.abandoned, 1);
    EXPECT_EQ(out.err, "Error: 3: Unknown option type\n");
}

TEST(OptionValue, ChecksByBaseType) {
    int count = 0, number = 5;
    std::string text = "old";
    const option_t sw = {"sw", 's', OPT_SWITCH, nullptr, &count, ""};
    const option_t uint_opt = {"u", 'u', OPT_UINT, nullptr, &number, ""};
    const option_t int_opt = {"i", 'i', OPT_INT | OPT_OPTIONAL, nullptr, &number, ""};
    const option_t text_opt = {"t", 't', OPT_TEXT, nullptr, &text, ""};
    const option_t bad = {"b", 'b', 5, nullptr, nullptr, ""};

    const struct {
        const option_t *opt;
        const char *value;
        int result;
        int err;
    } cases[] = {
        {nullptr, nullptr, -1, ENOSYS},
        {&bad, "1", -1, ENOSYS},
        {&sw, "1", -1, E2BIG},
        {&uint_opt, "-1", -1, EINVAL},
        {&uint_opt, "x", -1, EINVAL},
        {&uint_opt, nullptr, -1, ENOENT},
        {&text_opt, nullptr, -1, ENOENT},
    };
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(opts_set_value(c.opt, c.value, "ctx"), c.result);
        EXPECT_EQ(errno, c.err);
    }
    EXPECT_EQ(count, 0);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(text, "old");

    EXPECT_EQ(opts_set_value(&sw, nullptr, "ctx"), 0);
    EXPECT_EQ(opts_set_value(&sw, nullptr, "ctx"), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(opts_set_value(&uint_opt, " 42x", "ctx"), 0);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(opts_set_value(&int_opt, "-7", "ctx"), 0);
    EXPECT_EQ(number, -7);
    EXPECT_EQ(opts_set_value(&int_opt, nullptr, "ctx"), 0);
    EXPECT_EQ(number, -7);
    EXPECT_EQ(opts_set_value(&text_opt, "new", "ctx"), 0);
    EXPECT_EQ(text, "new");
}

int seen_handler(const char *name, const char *value, uint32_t type, const void *parsed,
                 void *target, const char *context) {
    auto *log = static_cast<std::string *>(target);
    *log = std::string(name) + "|" + (value ? value : "(none)") + "|" + std::to_string(type) + "|" +
           (parsed ? std::to_string(*static_cast<const int *>(parsed)) : "(none)") + "|" + context;
    return -3;
}

TEST(OptionValue, HandlerSeesEverythingAndDecides) {
    std::string log;
    const option_t opt = {"level", 'l', OPT_UINT | OPT_OPTIONAL, seen_handler, &log, ""};
    EXPECT_EQ(opts_set_value(&opt, "12", "list-access"), -3);
    EXPECT_EQ(log, "level|12|257|12|list-access");
    EXPECT_EQ(opts_set_value(&opt, nullptr, "ctx"), -3);
    EXPECT_EQ(log, "level|(none)|257|(none)|ctx");
}

// The config command's words: refused names and values are said as on the
// command line, without abandoning.
TEST(OptionValue, SetFromText) {
    config = config_t{};
    current_name_set(nullptr);
    const struct {
        const char *text;
        int result;
        int err;
        const char *line;
    } cases[] = {
        {"verbose", 0, 0, ""},
        {"depth=2", 0, 0, ""},
        {"style=csv", 0, 0, ""},
        {"depth=x", -1, EINVAL, "Error: --depth=x: Not a number\n"},
        {"de=1", -1, E2BIG, "Warning: de=1: Multiple options matches\n"},
        {"foo", -1, ENOENT, "Error: foo: Invalid option\n"},
        {"", -1, ENOENT, "Error: : Invalid option\n"},
        {"verbose=1", -1, E2BIG, "Error: --verbose=1: Takes no value\n"},
        {"style=foo", -1, 0,
         "Error: --style=foo: Unknown style (default, standard, brief, verbose, csv, samba, "
         "icacls, solaris, primos)\n"},
        {"style", -1, ENOENT, "Error: --style: Missing value\n"},
    };
    for (const auto &c : cases) {
        errno = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(opts_set_from_text(global_options, c.text, "config"), c.result) << c.text;
        if (c.err) {
            EXPECT_EQ(errno, c.err) << c.text;
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    }
    EXPECT_EQ(config.verbose, 1);
    EXPECT_EQ(config.max_depth, 2);
    EXPECT_EQ(config.style, ACL_STYLE_CSV);
}

TEST(OptionListing, OneLinePerOption) {
    const option_t own[] = {
        {"attr-options", 'X', OPT_TEXT, nullptr, nullptr, "Extended attribute options"},
        {nullptr, 0, 0, nullptr, nullptr, nullptr}};
    testing::internal::CaptureStdout();
    EXPECT_EQ(opts_print(stdout, {global_options, own}), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("OPTIONS:\n  -h / --help      \t-\tDisplay usage\n", 0), 0u) << out;
    EXPECT_NE(out.find("  -N / --no-prefix \t-\tDo not prefix filenames\n"
                       "  -k / --keep-going\t-\tKeep going after failures\n"
                       "  -j / --jobs      \t-\tThreads reading ahead in walks\n"
                       "  -X / --attr-options\t-\tExtended attribute options\n"),
              std::string::npos);
}

}  // namespace
