#include "util/escape.h"

#include <array>
#include <cerrno>

#include "util/nomem.h"

namespace {

// The bytes escaping rewrites (1), and the NUL that ends a C string (2): a
// table, because every path a listing shows is scanned byte by byte.
constexpr std::array<unsigned char, 256> byte_class = [] {
    std::array<unsigned char, 256> table{};
    table[0] = 2;
    for (int c = 0x01; c <= 0x1f; c++)
        table[c] = 1;
    table[0x7f] = 1;
    table['\\'] = 1;
    return table;
}();

bool must_escape(unsigned char c) {
    return byte_class[c] == 1;
}

bool is_octal(char c) {
    return c >= '0' && c <= '7';
}

}  // namespace

bool str_needs_escape(std::string_view text) {
    for (char c : text)
        if (must_escape(static_cast<unsigned char>(c))) return true;
    return false;
}

void str_escape_append(std::string *out, std::string_view text) {
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (!must_escape(byte)) {
            *out += c;
            continue;
        }
        const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                              static_cast<char>('0' + ((byte >> 3) & 7)),
                              static_cast<char>('0' + (byte & 7))};
        out->append(octal, sizeof octal);
    }
}

std::string str_escape(std::string_view text) {
    std::string out;
    str_escape_append(&out, text);
    return out;
}

shown_name::shown_name(const char *text) noexcept : text_(text) {
    // One pass finds the end or the first byte to rewrite.
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    while (byte_class[*p] == 0)
        p++;
    if (*p == '\0') {
        length_ = static_cast<size_t>(p - reinterpret_cast<const unsigned char *>(text));
        return;
    }
    int saved = errno;
    text_ = or_enomem<const char *>("?", [&] {
        str_escape_append(&escaped_, text);
        return escaped_.c_str();
    });
    length_ = text_ == escaped_.c_str() ? escaped_.size() : 1;
    errno = saved;
}

bool str_unescape(std::string_view text, std::string *out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        // "\ooo": three digits, the first at most 3 (one byte).
        if (text.size() - i < 4) return false;
        if (!is_octal(text[i + 1]) || text[i + 1] > '3' || !is_octal(text[i + 2]) ||
            !is_octal(text[i + 3]))
            return false;
        int byte = (text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0');
        if (byte == 0) return false;
        *out += static_cast<char>(byte);
        i += 3;
    }
    return true;
}

void str_csv_append(std::string *out, std::string_view field) {
    if (field.find_first_of(";\"") == std::string_view::npos) {
        out->append(field);
        return;
    }
    *out += '"';
    for (char c : field) {
        if (c == '"') *out += '"';
        *out += c;
    }
    *out += '"';
}

bool str_csv_split(std::string_view record, std::vector<std::string> *fields) {
    fields->clear();
    size_t i = 0;
    for (;;) {
        std::string field;
        if (i < record.size() && record[i] == '"') {
            // Quoted: up to the '"' that is not doubled.
            for (++i;; ++i) {
                if (i >= record.size()) return false;
                if (record[i] != '"') {
                    field += record[i];
                } else if (i + 1 < record.size() && record[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            if (i < record.size() && record[i] != ';') return false;
        } else {
            size_t end = record.find(';', i);
            if (end == std::string_view::npos) end = record.size();
            field.assign(record.substr(i, end - i));
            i = end;
        }
        fields->push_back(std::move(field));
        if (i >= record.size()) return true;
        ++i;  // the ';'
    }
}
