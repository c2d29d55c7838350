// Test helper: a fresh temporary directory, removed with everything in it
// when the object goes out of scope.
#pragma once

#include <string>

class temp_dir {
  public:
    // Creates a new directory under $TMPDIR (or /tmp). Throws on failure.
    temp_dir();
    // Creates a new directory under `base`. Throws on failure.
    explicit temp_dir(const std::string &base);
    ~temp_dir();
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;

    const std::string &path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string &name) const;
    // Writes `content` into path()/name (created or truncated); returns its path.
    std::string write(const std::string &name, const std::string &content) const;
    // Reads path()/name whole; an empty text when it cannot be read.
    std::string read(const std::string &name) const;

  private:
    std::string path_;
};
