// The program's commands in three static, null-terminated lists; the shell
// registers all three at start-up.
#pragma once

#include "base/command.h"

extern const command_t *const basic_commands[];  // version, config, help
extern const command_t *const acl_commands[];    // the ACL commands
extern const command_t *const misc_commands[];   // exit, echo, directories, attributes
