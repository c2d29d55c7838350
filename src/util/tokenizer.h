// The command-line tokenizer: splits one line into words with single and
// double quotes, backslash escapes and environment variables ($NAME,
// ${NAME}, and $% for a literal '%').
#pragma once

#include <vector>

#include "util/strutil.h"

// Looks up a variable: a new value text, or null when it has no value.
using var_lookup_t = str_ptr (*)(const char *name, void *context);

// The default lookup: a copy of the process environment's value.
str_ptr env_lookup(const char *name, void *context);

// The next word of the text at *cursor (a new text, maybe empty), or null
// when the cursor or its text is missing or only white space remains. The
// cursor is left on the white-space character that ended the word, or on
// the end of the text. A null lookup means env_lookup.
str_ptr token_next(const char **cursor, var_lookup_t lookup, void *context);

// A word vector as a program's argv: words, then a null entry. It owns the
// words; argv() stays valid until the vector changes.
class argv_t {
  public:
    int count() const { return static_cast<int>(words_.size()); }
    char **argv() { return ptrs_.data(); }
    void push(str_ptr word);
    void clear();

  private:
    std::vector<str_ptr> words_;
    std::vector<char *> ptrs_{nullptr};
};

// Splits a line into words: the number of words (0 for an empty or blank
// line, which leaves a vector holding only the null entry), or -1 when
// memory runs out (then *out is left empty).
int argv_split(const char *line, var_lookup_t lookup, void *context, argv_t *out);

// Releases every word of the vector.
void argv_free(argv_t *vec);
