// Test helper: runs a program as a child process with chosen arguments,
// standard input, working directory and extra environment, and captures its
// exit status, standard output and standard error exactly.
#pragma once

#include <string>
#include <vector>

struct process_result {
    int status = -1;  // exit code; 128 + signal number when killed by a signal
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

struct process_spec {
    std::string program;            // path of the file to execute
    std::vector<std::string> argv;  // full argument vector, argv[0] included
    std::string input;              // written to standard input, then closed
    std::string cwd;                // working directory; empty: the test's own
    std::vector<std::string> env;   // "NAME=value" added to (or replacing in) the
                                    // test's environment; "NAME" alone unsets
};

// Runs the process to its end. The child inherits the test's environment
// (nss_wrapper, ASAN_OPTIONS, LC_ALL, ...) plus spec.env. A child that runs
// for minutes is killed so that a hang cannot stall the suite; the result
// then holds status 128 + SIGKILL.
process_result run_process(const process_spec &spec);

// Runs build/vossik with argv[0] "vossik" followed by `args`.
process_result run_vossik(const std::vector<std::string> &args, const std::string &input = "",
                          const std::string &cwd = "");

// Runs build/vossik under the invocation name `argv0` (multi-call mode),
// as if started through a link of that name.
process_result run_vossik_as(const std::string &argv0, const std::vector<std::string> &args,
                             const std::string &input = "", const std::string &cwd = "");

// Path of the built binary and of the test fixtures.
const char *vossik_binary();
const char *vossik_fixtures();
