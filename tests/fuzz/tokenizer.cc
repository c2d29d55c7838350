// Fuzz target: the command-line tokenizer. argv_split and a loop of
// token_next must give the same words, the cursor must only move forward
// within the text, and a line without quotes, escapes or variables must
// split exactly at its white space.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "util/strutil.h"
#include "util/tokenizer.h"

namespace {

// A fixed lookup, so that the target does not depend on the environment:
// "EMPTY" is empty, "UNSET" has no value, every other name is its own value
// in lower case plus a blank (which must not split the word).
str_ptr lookup(const char *name, void *) {
    if (std::strcmp(name, "UNSET") == 0) return nullptr;
    if (std::strcmp(name, "EMPTY") == 0) return str_dup("");
    std::string value;
    for (const char *c = name; *c; c++)
        value += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    value += ' ';
    return str_dup(value.c_str());
}

std::vector<std::string> plain_split(const std::string &line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (str_is_space(static_cast<unsigned char>(c))) {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line = fuzz_text(data, size);

    argv_t split;
    int count = argv_split(line.c_str(), lookup, nullptr, &split);
    FUZZ_CHECK(count == split.count());
    FUZZ_CHECK(split.argv()[count] == nullptr);

    std::vector<std::string> words;
    const char *cursor = line.c_str();
    while (str_ptr word = token_next(&cursor, lookup, nullptr)) {
        FUZZ_CHECK(cursor > line.c_str() && cursor <= line.c_str() + line.size());
        words.emplace_back(word.get());
    }
    FUZZ_CHECK(static_cast<int>(words.size()) == count);
    for (int i = 0; i < count; i++)
        FUZZ_CHECK(words[static_cast<size_t>(i)] == split.argv()[i]);

    if (line.find_first_of("'\"\\$") == std::string::npos) {
        std::vector<std::string> plain = plain_split(line);
        FUZZ_CHECK(plain == words);
    }
    argv_free(&split);
    FUZZ_CHECK(split.count() == 0);
    return 0;
}
