// Replays inputs through a fuzz target without libFuzzer: every file named
// on the command line, and every file of every directory named there (in
// name order), goes once through LLVMFuzzerTestOneInput. A failed property
// or a sanitizer report ends the run; so does a missing or empty corpus, so
// that a mistyped path cannot pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_check.h"

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Named first, so that a failing input is the last one shown. The bytes
    // go in a buffer of exactly their size: a read past the end is then
    // seen by AddressSanitizer.
    std::fprintf(stderr, "%s\n", file.c_str());
    auto exact = std::make_unique<uint8_t[]>(bytes.size());
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(exact.get(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file or directory>+\n", argv[0]);
        return 2;
    }
    static const uint8_t nothing = 0;
    LLVMFuzzerTestOneInput(&nothing, 0);  // libFuzzer starts with the empty input too
    for (int i = 1; i < argc; i++) {
        fs::path arg(argv[i]);
        std::error_code ec;
        std::vector<fs::path> files;
        if (fs::is_directory(arg, ec)) {
            for (const fs::directory_entry &e : fs::directory_iterator(arg, ec))
                if (e.is_regular_file()) files.push_back(e.path());
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(arg);
        }
        if (ec || files.empty()) {
            std::fprintf(stderr, "%s: no inputs\n", argv[i]);
            return 1;
        }
        for (const fs::path &f : files)
            if (!replay(f)) return 1;
        std::printf("%s: %zu inputs replayed\n", argv[i], files.size());
    }
    return 0;
}
