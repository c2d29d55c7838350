// The command table: one record per command. A command built in another
// module gets that module's header below and its handler (and option table)
// in its record.
#include "shell/command_table.h"

#include <cerrno>

#include "base/report.h"
#include "commands/apply.h"
#include "commands/attr_commands.h"
#include "commands/dir_commands.h"
#include "commands/inherit.h"
#include "commands/list.h"
#include "commands/rename.h"
#include "commands/update.h"
#include "edit/edit_access.h"
#include "shell/builtins.h"

namespace {

// Built-in commands.
const command_t version_command = {"version", cmd_version, nullptr, "", "Display program version"};
const command_t config_command = {"config", cmd_config, nullptr, "[<opt>[=<val>]]*",
                                  "Print/update default configuration"};
const command_t help_command = {"help", cmd_help, nullptr, "[<command>]*",
                                "Display usage information"};

// ACL commands.
const command_t list_access_command = {"list-access", cmd_list_access, nullptr, "<path>+",
                                       "List ACL(s)"};
const command_t set_access_command = {"set-access", cmd_set_access, nullptr, "<acl> <path>+",
                                      "Set ACL(s)"};
const command_t edit_access_command = {"edit-access", edit_access, edit_access_options,
                                       "[<change>] <path>+", "Edit ACL(s)"};
const command_t touch_access_command = {"touch-access", cmd_touch_access, nullptr, "<path>+",
                                        "Touch/update ACL(s)"};
const command_t get_access_command = {"get-access", cmd_get_access, nullptr, "<var>=<path>+",
                                      "Get ACL into variable"};
const command_t copy_access_command = {"copy-access", cmd_copy_access, nullptr, "<src> <dst>+",
                                       "Copy ACL(s)"};
const command_t delete_access_command = {"delete-access", cmd_delete_access, nullptr, "<path>+",
                                         "Delete ACL(s)"};
const command_t find_access_command = {"find-access", cmd_find_access, nullptr, "<acl> <path>+",
                                       "Search ACL(s)"};
const command_t rename_access_command = {"rename-access", cmd_rename_access, nullptr,
                                         "<change> <path>+", "Rename ACL entries"};
const command_t inherit_access_command = {"inherit-access", cmd_inherit_access, nullptr, "<path>+",
                                          "Propage ACL(s) inheritance"};
const command_t apply_access_command = {"apply-access", cmd_apply_access, nullptr, "[<file>]*",
                                        "Restore ACL(s) from listing(s)"};

// Shell, directory and attribute commands.
const command_t exit_command_command = {"exit-command", cmd_exit_command, nullptr, "[<code>]",
                                        "Exit (with exit code)"};
const command_t echo_text_command = {"echo-text", cmd_echo_text, nullptr, "[<str>]*",
                                     "Print some text"};
const command_t change_directory_command = {"change-directory", cmd_change_directory, nullptr,
                                            "[<path>]*", "Change work directory"};
const command_t print_work_directory_command = {"print-work-directory", cmd_print_work_directory,
                                                nullptr, "", "Print work directory"};
const command_t directory_listing_command = {"directory-listing", cmd_directory_listing, nullptr,
                                             "[<path>]*", "List directory"};
const command_t list_attribute_command = {"list-attribute", cmd_list_attribute, attr_options,
                                          "[<path>]*", "List extended attributes"};
const command_t get_attribute_command = {"get-attribute", cmd_get_attribute, attr_options,
                                         "<path>+ [<attr>]*", "Get extended attributes"};
const command_t set_attribute_command = {"set-attribute", cmd_set_attribute, attr_options,
                                         "<path>+ [<attr>=<val>]*", "Set extended attributes"};
const command_t remove_attribute_command = {"remove-attribute", cmd_remove_attribute, attr_options,
                                            "<path> [<attr>]*", "Remove extended attributes"};

}  // namespace

const command_t *const basic_commands[] = {&version_command, &config_command, &help_command,
                                           nullptr};

const command_t *const acl_commands[] = {
    &list_access_command,   &set_access_command,     &edit_access_command,   &touch_access_command,
    &get_access_command,    &copy_access_command,    &delete_access_command, &find_access_command,
    &rename_access_command, &inherit_access_command, &apply_access_command,  nullptr};

const command_t *const misc_commands[] = {&exit_command_command,      &echo_text_command,
                                          &change_directory_command,  &print_work_directory_command,
                                          &directory_listing_command, &list_attribute_command,
                                          &get_attribute_command,     &set_attribute_command,
                                          &remove_attribute_command,  nullptr};
