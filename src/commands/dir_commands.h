// The directory commands print-work-directory, change-directory and
// directory-listing: they show, change and list the process's own current
// directory, which every later relative path uses.
//
// Handlers take the word vector of the dispatcher (word 0 the command word),
// read config.verbose and config.debug, and return 0; every failure ends the
// command through report().
#pragma once

// print-work-directory: the current directory and a newline.
int cmd_print_work_directory(int argc, char **argv);

// change-directory [<path>]*: to $HOME without arguments; otherwise to each
// argument in turn, each relative to the one before ("New current
// directory: <dir>" when verbose).
int cmd_change_directory(int argc, char **argv);

// directory-listing [<path>]*: the sorted entry names of each directory
// (the current one without arguments); with verbose, a line of date, type,
// size and name per entry; with verbose 2, a header and file, byte,
// directory and free-space totals.
int cmd_directory_listing(int argc, char **argv);
