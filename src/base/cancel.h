// cancel: Ctrl-C in the interactive mode. The SIGINT handler only notes the
// request; the running command looks at it between objects and in loops
// that may run long (cancel_point), and ends as if abandoned, with status
// CANCEL_STATUS and no message. Outside the interactive mode no handler is
// installed and SIGINT ends the process as usual.
#pragma once

// The status of a command ended by Ctrl-C (128 + SIGINT, as shells have it).
inline constexpr int CANCEL_STATUS = 130;

// Installs the handler. It does not restart interrupted calls, so a command
// waiting for input (a script read from the terminal, a FIFO) stops waiting;
// the failure that follows ends the command as a cancellation (see report).
void cancel_install();

// Whether Ctrl-C was pressed since the last cancel_clear.
bool cancel_requested();

// Forgets an earlier Ctrl-C: the shell calls it before each line.
void cancel_clear();

// Ends the running command when Ctrl-C was pressed: throws
// command_abandoned{CANCEL_STATUS}, as report does, without a message. Call
// it in the command's own thread; helper threads ask cancel_requested.
void cancel_point();
