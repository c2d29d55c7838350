// The interactive loop: reads command lines (GNU Readline on a terminal),
// runs comments, "!" shell escapes and commands with ">" / "<" redirections,
// and shows the last status in the prompt ("> " 0, "? " negative, "! "
// positive).
#pragma once

// Runs until end of input; returns the status of the last line. A banner is
// printed first when standard input is a terminal.
int interactive_loop();

// Runs one input line given the status of the previous one; returns the new
// status (unchanged for comments and blank lines). Redirections are undone
// before it returns, also when the command was abandoned.
int process_line(const char *line, int status);
