// What the fuzz targets share: the entry point libFuzzer calls, and a check
// that ends the run with a message when a property fails, so that libFuzzer
// (and the replay driver of make check) record the input as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

#define FUZZ_CHECK(cond)                                                                     \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)

// The input as a C text: the readers take NUL-terminated texts, so it ends
// at its first NUL byte.
inline std::string fuzz_text(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    text.resize(text.find('\0') == std::string::npos ? size : text.find('\0'));
    return text;
}
