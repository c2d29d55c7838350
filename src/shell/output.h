// Standard output and its write errors.
//
// stdio drops a buffer it could not write, and with it the reason: a
// listing sent to a full disk or a closed descriptor would end with status
// 0. So at start-up stdout becomes a stream over descriptor 1 that keeps
// the error number of the first write that fails, and every command line
// ends by asking for it. Redirections (dup2 on descriptor 1) work on it as
// on the original stream.
#pragma once

// Replaces stdout: buffered in large blocks for files and pipes, by lines at
// a terminal. Called once, before anything is written; if the stream cannot
// be made, stdout stays as it was (and write errors are still seen, though
// not always with their error number).
void output_init();

// Flushes stdout and returns the error number of the first write that
// failed since the last call (EIO when stdio saw a failure whose number was
// lost), or 0; the error is cleared.
int output_take_error();

// Ends the output of one command line whose status is `status`: a write
// that failed is reported ("Writing output" and its error text, without
// abandoning anything) and gives the status 1, unless the line failed
// already. A closed pipe (EPIPE) stays quiet and keeps the status, as a
// process killed by SIGPIPE would say nothing either.
int output_finish(int status);
