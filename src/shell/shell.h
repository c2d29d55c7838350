// The program's start-up (multi-call, one command line, interactive) and
// the running of one command line.
#pragma once

// Program entry: registers the commands, parses the global options and runs
// in one of the three modes. Result: the process's exit status.
int shell_main(int argc, char **argv);

// Runs one command line already split into words (argv[0] the command
// word): restores `config` from `config_defaults` and dispatches. A positive
// status is reported as "<word 0>: <strerror(errno)>" and abandons the
// command (report throws); otherwise the status is returned.
int run_command(int argc, char **argv);
