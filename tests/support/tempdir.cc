// Temporary directories for tests.
#include "support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

std::string default_base() {
    const char *base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

}  // namespace

temp_dir::temp_dir() : temp_dir(default_base()) {}

temp_dir::temp_dir(const std::string &base) {
    std::string pattern = base + "/vossik-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

temp_dir::~temp_dir() {
    // remove_all does not follow symbolic links; errors are ignored so that
    // a failing cleanup cannot hide the test's own result.
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string temp_dir::file(const std::string &name) const {
    return path_ + "/" + name;
}

std::string temp_dir::write(const std::string &name, const std::string &content) const {
    std::string p = file(name);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << content;
    return p;
}

std::string temp_dir::read(const std::string &name) const {
    std::ifstream f(file(name), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}
