// report: the one message function of the program, and the abandonment of
// a running command.
//
// Every message line goes to standard error as
//   [current_name ": "] level ": " message [": " strerror(err)] "\n"
// with level "Info" (status 0), "Warning" (status < 0) or "Error" (status > 0).
// Standard output is flushed first so that a terminal shows both in order.
//
// A non-zero status abandons the running command: report throws
// command_abandoned carrying the status, and the innermost recovery point
// (the shell, or a nested one inside edit-access) catches it. Code after a
// non-zero report never runs; everything the command owns is released by
// destructors on the way out.
#pragma once

// Thrown by report() for a non-zero status. Catch it by reference; `status`
// is the status the recovery point goes on with.
struct command_abandoned {
    int status;
};

// Writes one message line (see above). Returns 0 for status 0; throws
// command_abandoned{status} for any other status. errno is left intact.
// After Ctrl-C (base/cancel.h) a non-zero status writes nothing and throws
// command_abandoned{CANCEL_STATUS} instead.
int report(int status, int err, const char *format, ...) __attribute__((format(printf, 3, 4)));

// Writes one message line as report() does, under `prefix` instead of the
// current name (none for null), and never abandons: for failures after which
// the command goes on. Returns `status`; errno is left intact. After Ctrl-C
// (base/cancel.h) a non-zero status writes nothing.
int report_on(const char *prefix, int status, int err, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

struct gacl_text_error_t;

// The second line after a text that did not parse (an ACL, a change request,
// a rename list), once the caller has written the text's own error line
// with report_on:
//   <text>: <unit> <n> "<item>": <reason>
// e.g. `u:bob:r,u:nosuch:r: entry 2 "u:nosuch:r": unknown user "nosuch"`.
// Then abandons the command with status 1, as the first line would have;
// without the second line when `why` names no item (item 0).
[[noreturn]] void report_parse_error(const char *text, const char *unit,
                                     const gacl_text_error_t &why);

// The prefix of every message line: null while none is set (at start-up and
// in multi-call mode before a command is found). current_name_set copies the
// text; null clears it.
const char *current_name_get();
void current_name_set(const char *name);
