// Expected texts of the shell's listings, shared by the shell's end-to-end
// tests.
#pragma once

#include <string>

namespace listing {

// One line of the COMMANDS listing: name, usage and description in columns.
inline std::string command(const std::string &name, const std::string &usage,
                           const std::string &description) {
    std::string line = "  " + name;
    line.resize(std::max<size_t>(line.size(), 22), ' ');
    line += "\t" + usage;
    line.resize(std::max<size_t>(line.size(), 22 + 1 + 30), ' ');
    return line + "\t" + description + "\n";
}

inline const std::string list_access = command("list-access", "<path>+", "List ACL(s)");
inline const std::string list_attribute =
    command("list-attribute", "[<path>]*", "List extended attributes");
inline const std::string config =
    command("config", "[<opt>[=<val>]]*", "Print/update default configuration");
inline const std::string help = command("help", "[<command>]*", "Display usage information");

inline const std::string all_commands =
    "COMMANDS:\n" + command("apply-access", "[<file>]*", "Restore ACL(s) from listing(s)") +
    command("change-directory", "[<path>]*", "Change work directory") + config +
    command("copy-access", "<src> <dst>+", "Copy ACL(s)") +
    command("delete-access", "<path>+", "Delete ACL(s)") +
    command("directory-listing", "[<path>]*", "List directory") +
    command("echo-text", "[<str>]*", "Print some text") +
    command("edit-access", "[<change>] <path>+", "Edit ACL(s)") +
    command("exit-command", "[<code>]", "Exit (with exit code)") +
    command("find-access", "<acl> <path>+", "Search ACL(s)") +
    command("get-access", "<var>=<path>+", "Get ACL into variable") +
    command("get-attribute", "<path>+ [<attr>]*", "Get extended attributes") + help +
    command("inherit-access", "<path>+", "Propage ACL(s) inheritance") + list_access +
    list_attribute + command("print-work-directory", "", "Print work directory") +
    command("remove-attribute", "<path> [<attr>]*", "Remove extended attributes") +
    command("rename-access", "<change> <path>+", "Rename ACL entries") +
    command("set-access", "<acl> <path>+", "Set ACL(s)") +
    command("set-attribute", "<path>+ [<attr>=<val>]*", "Set extended attributes") +
    command("touch-access", "<path>+", "Touch/update ACL(s)") +
    command("version", "", "Display program version");

inline const std::string global_options =
    "OPTIONS:\n"
    "  -h / --help      \t-\tDisplay usage\n"
    "  -D / --debug     \t-\tDebug level\n"
    "  -v / --verbose   \t-\tVerbosity level\n"
    "  -f / --force     \t-\tForce updates\n"
    "  -p / --print     \t-\tPrint updated ACLs\n"
    "  -s / --sort      \t-\tSort ACLs\n"
    "  -m / --merge     \t-\tMerge redundant ACL entries\n"
    "  -R / --relaxed   \t-\tRelaxed mode\n"
    "  -r / --recurse   \t-\tEnable recursion\n"
    "  -d / --depth     \t-\tIncrease/decrease max depth\n"
    "  -S / --style     \t-\tSelect ACL print style\n"
    "  -t / --type      \t-\tFile types to operate on\n"
    "  -n / --no-update \t-\tDisable modification\n"
    "  -N / --no-prefix \t-\tDo not prefix filenames\n"
    "  -k / --keep-going\t-\tKeep going after failures\n"
    "  -j / --jobs      \t-\tThreads reading ahead in walks\n";

inline const std::string attr_option = "  -X / --attr-options\t-\tExtended attribute options\n";

}  // namespace listing
