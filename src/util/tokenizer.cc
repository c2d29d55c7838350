// Command-line tokenizer.
#include "util/tokenizer.h"

#include <cstdlib>
#include <new>
#include <string>

#include "util/nomem.h"
#include "util/strbuf.h"

namespace {

bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char escaped(char c) {
    switch (c) {
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return c;
    }
}

// Reads the variable reference after a '$' at *p and appends its value.
// Returns false when the word (and the line) ends with the reference, as an
// unclosed ${ does.
bool expand(const char *&p, strbuf_t &word, var_lookup_t lookup, void *context) {
    std::string name;
    bool goes_on = true;
    if (*p == '\0') return true;  // a trailing '$' is dropped
    if (*p == '%') {
        strbuf_putc(&word, '%');
        ++p;
        return true;
    }
    if (*p == '{') {
        ++p;
        while (*p && *p != '}')
            name += *p++;
        if (*p == '}') {
            ++p;
        } else {
            goes_on = false;
        }
    } else if (is_letter(*p)) {
        while (is_letter(*p))
            name += *p++;
    } else {
        return true;  // empty name: no value; the next character is read normally
    }
    if (!name.empty()) {
        str_ptr value = lookup(name.c_str(), context);
        if (value) {
            for (const char *v = value.get(); *v; ++v)
                strbuf_putc(&word, *v);
        }
    }
    return goes_on;
}

}  // namespace

str_ptr env_lookup(const char *name, void *) {
    return str_dup(std::getenv(name));
}

str_ptr token_next(const char **cursor, var_lookup_t lookup, void *context) {
    if (!cursor || !*cursor) return nullptr;
    if (!lookup) lookup = env_lookup;
    const char *p = *cursor;
    while (*p && str_is_space(static_cast<unsigned char>(*p)))
        ++p;
    if (!*p) {
        *cursor = p;
        return nullptr;
    }

    enum { NONE, SINGLE, DOUBLE } quote = NONE;
    strbuf_t word;
    // Memory exhaustion drops characters (strbuf_putc fails); the word goes on.
    while (*p) {
        char c = *p;
        if (quote == NONE && str_is_space(static_cast<unsigned char>(c))) break;
        ++p;
        if (c == '\'' && quote != DOUBLE) {
            quote = quote == SINGLE ? NONE : SINGLE;
        } else if (c == '"' && quote != SINGLE) {
            quote = quote == DOUBLE ? NONE : DOUBLE;
        } else if (c == '\\') {
            if (*p) strbuf_putc(&word, escaped(*p++));
        } else if (c == '$' && quote != SINGLE) {
            if (!expand(p, word, lookup, context)) break;
        } else {
            strbuf_putc(&word, c);
        }
    }
    *cursor = p;
    return str_dup(strbuf_get(&word));
}

void argv_t::push(str_ptr word) {
    ptrs_.back() = word.get();
    ptrs_.push_back(nullptr);
    words_.push_back(std::move(word));
}

void argv_t::clear() {
    words_.clear();
    ptrs_.assign(1, nullptr);
}

int argv_split(const char *line, var_lookup_t lookup, void *context, argv_t *out) {
    out->clear();
    int words = or_enomem(-1, [&] {
        const char *cursor = line;
        while (str_ptr word = token_next(&cursor, lookup, context))
            out->push(std::move(word));
        return out->count();
    });
    if (words < 0) out->clear();
    return words;
}

void argv_free(argv_t *vec) {
    if (vec) vec->clear();
}
