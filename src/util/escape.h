// Names shown to people, and the csv fields of listings.
//
// Escaping: the bytes 0x01-0x1f, 0x7f and the backslash are written as a
// backslash and three octal digits ("\012" for a line feed, "\134" for the
// backslash itself); every other byte, UTF-8 included, stays as it is. So a
// name cannot forge a line, a field or a terminal sequence, names without
// such bytes are shown unchanged, and str_unescape gives the exact bytes
// back. Every listing, message and attribute text that shows a name uses
// these functions, and whatever reads listings back uses their inverses.
//
// Functions that build strings throw std::bad_alloc when memory runs out,
// except shown_name, which printing code uses as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True when `text` holds a byte that escaping rewrites.
bool str_needs_escape(std::string_view text);

// Appends `text`, escaped, to *out.
void str_escape_append(std::string *out, std::string_view text);

// `text` escaped.
std::string str_escape(std::string_view text);

// A name as it is shown, for one print or message:
//   std::printf("%s\n", shown_name(path).c_str());
// The name itself when nothing in it needs escaping (no copy is made, as
// for nearly every name), otherwise its escaped form, held by this object.
// Never throws: when memory runs out the text is "?", never the raw name.
// errno is left as it was, so that it can be made among the arguments of a
// report.
class shown_name {
  public:
    explicit shown_name(const char *text) noexcept;
    shown_name(const shown_name &) = delete;
    shown_name &operator=(const shown_name &) = delete;

    // Valid while both this object and the name it was made from live.
    const char *c_str() const noexcept { return text_; }
    // The length of c_str().
    size_t size() const noexcept { return length_; }

  private:
    std::string escaped_;
    const char *text_;
    size_t length_ = 0;
};

// The inverse of escaping: every backslash with three octal digits (001 to
// 377) becomes its byte. False, with *out unspecified, for a backslash that
// is not followed by three octal digits or that stands for the byte 0.
bool str_unescape(std::string_view text, std::string *out);

// Appends one field of a csv record (fields are separated by ';'): a field
// holding ';' or '"' is enclosed in double quotes with every '"' doubled;
// any other field as it is.
void str_csv_append(std::string *out, std::string_view field);

// Splits one csv record (without its line end) into its fields, undoing
// str_csv_append. False for a quoted field that is not closed or that is
// followed by anything but ';' or the end of the record.
bool str_csv_split(std::string_view record, std::vector<std::string> *fields);
