// os_dir: reads the entries of an open directory descriptor without a
// stream of the C library. A recursive walk keeps each directory's
// descriptor after reading it, as the base of the calls on its entries; a
// C library stream would own that descriptor and close it with itself.
// The records are the system's own; each operating system has one
// implementation of reading and decoding them (linux_dir.cc,
// freebsd_dir.cc).
#pragma once

#include <cstddef>
#include <memory>

class os_dir_reader {
  public:
    // Reads the directory open as `fd`, from the position the descriptor is
    // at (a new descriptor is at the start). `fd` stays the caller's;
    // reading moves its position.
    explicit os_dir_reader(int fd);

    // The next entry, "." and ".." included: 1 with its name (valid until
    // the next call) and its type (a DT_* value; DT_UNKNOWN where the file
    // system does not say), 0 at the end, -1 with errno (ENOMEM when no
    // buffer could be had).
    int next(const char **name, unsigned char *type);

  private:
    // One buffer of entries, refilled from the system when used up.
    static constexpr size_t BUFFER_SIZE = 32768;

    // The system's side (linux_dir.cc, freebsd_dir.cc). fill() asks for the
    // next records: bytes read, 0 at the end, or -1 with errno. decode()
    // reads the record at `record`: its name and type, and its length.
    long fill();
    static size_t decode(const char *record, const char **name, unsigned char *type);

    int fd_;
    std::unique_ptr<char[]> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
};
