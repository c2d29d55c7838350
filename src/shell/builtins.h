// The shell's own commands: version, config, help, echo-text, exit-command.
#pragma once

int cmd_version(int argc, char **argv);
int cmd_config(int argc, char **argv);
int cmd_help(int argc, char **argv);
int cmd_echo_text(int argc, char **argv);
int cmd_exit_command(int argc, char **argv);

// The banner line, "[VOSSIK, v<version>, ...]" (without newline).
const char *program_banner();
