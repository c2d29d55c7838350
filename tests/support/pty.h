// Test helper: runs a program in a pseudo-terminal (forkpty), types into it
// and reads what it shows, as a person at a terminal would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class pty_process {
  public:
    // Starts `program` (default: build/vossik) with the full argument vector
    // `argv` (argv[0] included; default {"vossik"}) on a new terminal of 80x24,
    // with TERM=dumb unless `env` sets it. `env` entries are "NAME=value".
    explicit pty_process(std::vector<std::string> argv = {"vossik"}, const std::string &cwd = "",
                         std::vector<std::string> env = {}, const std::string &program = "");
    ~pty_process();  // kills the child if it still runs
    pty_process(const pty_process &) = delete;
    pty_process &operator=(const pty_process &) = delete;

    // Types `keys` (raw bytes: "\t" for Tab, "\r" for Enter, "\x04" for ^D).
    void send(const std::string &keys);

    // Reads until `text` appears in the output after the read mark, then
    // moves the mark past it. False when the program ends first or nothing
    // shows for a long time (a guard against hangs, not a time check).
    bool wait_for(const std::string &text);

    // Output since the read mark (what wait_for has not consumed yet), and
    // everything the terminal has shown since the start.
    std::string pending() const { return output_.substr(mark_); }
    const std::string &output() const { return output_; }

    // Reads to the end of the program's output and returns its exit status
    // (128 + signal number when killed; -1 when it did not end in time).
    int wait_exit();

  private:
    bool read_some(int timeout_ms);

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
    size_t mark_ = 0;
    int status_ = -1;
    bool ended_ = false;
};
