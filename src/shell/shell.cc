// Start-up and single command lines.
#include "shell/shell.h"

#include <cerrno>
#include <string>
#include <vector>

#include "base/config.h"
#include "base/report.h"
#include "edit/request.h"
#include "shell/command_table.h"
#include "shell/global_options.h"
#include "shell/interactive.h"
#include "shell/options.h"
#include "shell/output.h"
#include "shell/registry.h"
#include "util/escape.h"

int run_command(int argc, char **argv) {
    config = config_defaults;
    // edit-access collects change requests while its options are parsed; a
    // line that ends before or inside the command, however it ends, must
    // not hand them to the next edit-access of the session.
    struct release_requests {
        ~release_requests() { acecr_groups_free(); }
    } release;
    int status = command_dispatch(&command_registry, argc, argv);
    if (status > 0) report(status, errno, "%s", shown_name(argv[0]).c_str());
    return status;
}

int shell_main(int argc, char **argv) {
    std::string invoked = argc > 0 && argv[0] ? argv[0] : "vossik";
    std::string base = invoked.substr(invoked.rfind('/') + 1);  // npos + 1 == 0

    program_info.name = invoked;
    program_info.options = global_options;
    current_name_set(nullptr);
    command_register(&command_registry, misc_commands);
    command_register(&command_registry, basic_commands);
    command_register(&command_registry, acl_commands);

    // Until the interactive loop takes over, an abandoned command ends the
    // process with its status; output that could not be written fails it.
    try {
        if (base != "vossik") {
            // Multi-call: the invocation name is the command word.
            std::vector<char *> words(argv, argv + argc);
            words.push_back(nullptr);
            words[0] = base.data();
            program_info.name = "vossik";
            return output_finish(run_command(argc, words.data()));
        }
        int first = opts_parse(argc, argv, {global_options});
        if (first < 0) return output_finish(1);
        config_defaults = config;
        if (first < argc) return output_finish(run_command(argc - first, argv + first));
    } catch (const command_abandoned &abandoned) {
        return output_finish(abandoned.status);
    }
    return interactive_loop();
}
