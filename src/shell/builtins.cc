// Built-in commands.
#include "shell/builtins.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/config.h"
#include "base/report.h"
#include "shell/global_options.h"
#include "shell/options.h"
#include "shell/registry.h"
#include "util/strutil.h"

const char *program_banner() {
    static const std::string banner =
        std::string("[VOSSIK, v") + program_info.version + ", NFSv4 ACL manager]";
    return banner.c_str();
}

int cmd_version(int, char **) {
    std::printf("%s\n", program_banner());
    std::printf("\n");
    std::printf("Lists, searches and edits NFSv4 ACLs and extended attributes.\n");
    std::printf("Built:   %s %s\n", __DATE__, __TIME__);
    std::printf("Free software: use it, share it, mend it.\n");
    return 0;
}

int cmd_config(int argc, char **argv) {
    if (argc == 1) {
        auto yes_no = [](int32_t v) { return v ? "Yes" : "No"; };
        std::printf("CONFIGURATION:\n");
        std::printf("  Debug Level:        %d\n", config.debug);
        std::printf("  Verbosity Level:    %d\n", config.verbose);
        std::printf("  Force Mode:         %s\n", yes_no(config.force));
        std::printf("  Sort Mode:          %s\n", yes_no(config.sort));
        std::printf("  Merge Mode:         %s\n", yes_no(config.merge));
        std::printf("  Relaxed Mode:       %s\n", yes_no(config.relaxed));
        std::printf("  Recurse Mode:       %s\n", yes_no(config.recurse));
        if (config.max_depth < 0) {
            std::printf("  Recurse Max Depth:  No Limit\n");
        } else {
            std::printf("  Recurse Max Depth:  %d\n", config.max_depth);
        }
        std::printf("  Print Level:        %d\n", config.print);
        std::printf("  Update:             %s\n", config.no_update ? "No" : "Yes");
        std::printf("  Prefix:             %s\n", config.no_prefix ? "No" : "Yes");
        const char *style = acl_style_name(config.style);
        std::printf("  Style:              %s\n", style ? style : "?");
        std::printf("  Keep Going:         %s\n", yes_no(config.keep_going));
        if (config.jobs == 0)
            std::printf("  Jobs:               Auto\n");
        else
            std::printf("  Jobs:               %d\n", config.jobs);
    }
    for (int i = 1; i < argc; ++i) {
        int r = opts_set_from_text(global_options, argv[i], argv[0]);
        if (r != 0) return r < 0 ? r : -1;
    }
    config_defaults = config;
    return 0;
}

int cmd_help(int argc, char **argv) {
    if (argc > 1) {
        int r = -1;
        for (int i = 1; i < argc; ++i)
            r = command_help(&command_registry, argv[i], stdout, true);
        return r;
    }
    command_help(&command_registry, nullptr, stdout, false);
    std::printf("\n");
    opts_print(stdout, {global_options});
    std::fputs(
        "\nDETAILS:\n"
        "  All options & commands may be abbreviated as long as they are unique.\n"
        "  For option & command names consisting of multiple 'parts' (list-access)\n"
        "  the name may be abbreviated using characters from each part, for example:\n"
        "    -n / -no / --nu     = --no-update\n"
        "    lac / list / list-a = list-access\n"
        "    edac / edit / ed-ac = edit-access\n"
        "\n"
        "  If invoked without a command the tool will enter an interactive mode.\n"
        "  All commands take the same options and they can also be used in the interactive "
        "mode.\n"
        "\n"
        "  ACL styles supported: default, csv, brief, verbose, samba, icacls, solaris, primos\n"
        "\n"
        "  You may access environment variables using ${NAME}.\n",
        stdout);
    return 0;
}

int cmd_echo_text(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (i > 1) std::putchar(' ');
        std::fputs(argv[i], stdout);
    }
    std::putchar('\n');
    return 0;
}

int cmd_exit_command(int argc, char **argv) {
    int code = 0;
    if (argc > 1 && !str_to_int(argv[1], &code)) report(1, 0, "%s: Invalid exit code", argv[1]);
    std::fflush(stdout);
    std::exit(code);
}
