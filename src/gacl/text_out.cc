#include "gacl/text_out.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "gacl/vocab.h"
#include "util/nomem.h"

namespace {

// Appends to a caller's buffer, never past its size; remembers whether the
// text had to be cut.
class BoundedText {
  public:
    BoundedText(char *buf, size_t size) : buf_(buf), size_(size) {
        if (size_ > 0) buf_[0] = '\0';
    }

    void add(const char *s, size_t n) {
        if (overflow_ || n >= size_ - len_) {
            overflow_ = true;
            return;
        }
        std::memcpy(buf_ + len_, s, n);
        len_ += n;
        buf_[len_] = '\0';
    }
    void add(const char *s) { add(s, std::strlen(s)); }
    void add(char c) { add(&c, 1); }

    size_t length() const { return len_; }
    size_t room() const { return size_ - len_; }
    bool overflow() const { return overflow_; }

  private:
    char *buf_;
    size_t size_;
    size_t len_ = 0;
    bool overflow_ = false;
};

// The name field may lack its NUL in a record built by hand; never read
// past it.
size_t name_length(const gacl_entry_t_struct *entry) {
    return strnlen(entry->name, sizeof entry->name);
}

// Width of an entry's principal for the column, or -1 for a tag that has no
// fixed text.
int principal_width(const gacl_entry_t_struct *entry) {
    switch (entry->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
        case GACL_TAG_TYPE_GROUP_OBJ:
        case GACL_TAG_TYPE_OTHER:
            return 6;
        case GACL_TAG_TYPE_MASK:
            return 5;
        case GACL_TAG_TYPE_EVERYONE:
            return 9;
        case GACL_TAG_TYPE_USER:
            return 5 + static_cast<int>(name_length(entry));
        case GACL_TAG_TYPE_GROUP:
            return 6 + static_cast<int>(name_length(entry));
        default:
            return -1;
    }
}

// The column on which the colon after each principal stands.
int alignment_column(gacl_t acl, int options) {
    if (options & GACL_TEXT_FIXED_WIDTH) return 18;
    int widest = 0;
    for (int i = 0; i < acl->count; i++) {
        int w = principal_width(&acl->entries[i]);
        if (w < 0) {
            widest = -1;
            break;
        }
        if (w > widest) widest = w;
    }
    return widest + 8;
}

// The letters of a permission or flag table (its rows before the closing
// zero row) for the bits in `set` alone, as the compact form writes them.
// A fixed-length loop without a branch per letter.
template <typename Row, size_t Rows, typename Bits>
void compact_letters(const Row (&table)[Rows], Bits set, char *out, size_t *n) {
    size_t at = *n;
    for (size_t i = 0; i + 1 < Rows; i++) {
        out[at] = table[i].letter;
        at += (set & table[i].bit) != 0;
    }
    *n = at;
}

// The letters of every row as fixed-width text ('-' for a clear bit), by
// table look-up: for each value of one byte of the word, the rows whose bit
// lies in that byte hold their letter or '-' and the others 0, so that the
// text of a word is its bytes' texts or-ed together. Made once from the
// tables (the same rows compact_letters() walks) at start-up.
struct letter_block {
    char c[16];
};

struct letter_tables {
    letter_block perm[2][256];  // by the low and the high byte of the word
    letter_block flag[256];
};

template <typename Row, size_t Rows>
void fill_letters(const Row (&table)[Rows], unsigned shift, letter_block (&out)[256]) {
    static_assert(Rows - 1 <= sizeof(letter_block::c));
    for (unsigned v = 0; v < 256; ++v) {
        out[v] = letter_block{};
        for (size_t i = 0; i + 1 < Rows; i++) {
            const unsigned byte = (static_cast<unsigned>(table[i].bit) >> shift) & 0xFFu;
            if (byte == 0) continue;  // the other byte's row
            out[v].c[i] = (v & byte) != 0 ? table[i].letter : '-';
        }
    }
}

letter_tables make_letter_tables() {
    letter_tables t;
    fill_letters(gacl_perm_table, 0, t.perm[0]);
    fill_letters(gacl_perm_table, 8, t.perm[1]);
    fill_letters(gacl_flag_table, 0, t.flag);
    return t;
}

// Made at start-up from tables that are constant-initialized; no guard to
// check on every entry.
const letter_tables LETTERS = make_letter_tables();

// Appends the fixed-width letters of the permission and flag words at
// out[*n] (14 and 7 characters), '-' for a clear bit.
void perm_letters(gacl_perm_t perms, char *out, size_t *n) {
    static_assert(sizeof(gacl_perm_t) * 8 >= 16 && std::size(gacl_perm_table) == 15);
    const char *lo = LETTERS.perm[0][perms & 0xFFu].c;
    const char *hi = LETTERS.perm[1][(perms >> 8) & 0xFFu].c;
    char block[16];
    for (size_t i = 0; i < sizeof block; i++)
        block[i] = static_cast<char>(lo[i] | hi[i]);
    std::memcpy(out + *n, block, std::size(gacl_perm_table) - 1);
    *n += std::size(gacl_perm_table) - 1;
}

void flag_letters(gacl_flag_t flags, char *out, size_t *n) {
    static_assert(std::size(gacl_flag_table) == 8);
    std::memcpy(out + *n, LETTERS.flag[flags & 0xFFu].c, std::size(gacl_flag_table) - 1);
    *n += std::size(gacl_flag_table) - 1;
}

constexpr char BLANKS[32] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                             ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                             ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

// Index of the colon that ends the principal in an entry's text: the first
// colon, or for user:NAME and group:NAME the first after "user:"/"group:"
// (a colon inside NAME counts); the text after the name starts with one.
size_t principal_end(const gacl_entry_t_struct *entry) {
    size_t prefix = 0;
    if (entry->tag == GACL_TAG_TYPE_USER) prefix = std::strlen(GACL_TEXT_USER_PREFIX);
    if (entry->tag == GACL_TAG_TYPE_GROUP) prefix = std::strlen(GACL_TEXT_GROUP_PREFIX);
    const size_t length = name_length(entry);
    const void *colon = std::memchr(entry->name, ':', length);
    if (colon == nullptr) return prefix + length;
    return prefix + static_cast<size_t>(static_cast<const char *>(colon) - entry->name);
}

}  // namespace

int gacl_entry_to_text_np(const gacl_entry_t_struct *entry, char *buf, size_t size, int options) {
    if (entry == nullptr || buf == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const char *type_word = gacl_entry_type_word_np(entry->entry_type);
    if (type_word == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const bool compact = (options & GACL_TEXT_COMPACT) != 0;
    BoundedText out(buf, size);

    if (entry->tag == GACL_TAG_TYPE_USER) out.add(GACL_TEXT_USER_PREFIX);
    if (entry->tag == GACL_TAG_TYPE_GROUP) out.add(GACL_TEXT_GROUP_PREFIX);
    out.add(entry->name, name_length(entry));
    if (out.overflow() || out.room() < 2) {
        errno = ENOMEM;
        return -1;
    }

    // The letters go into a local buffer first and reach `out` in one or two
    // appends: a bounded append per letter was a sixth of a listing's work.
    char tail[std::size(gacl_perm_table) + std::size(gacl_flag_table) + 2];
    size_t n = 0;
    tail[n++] = ':';
    if (compact)
        compact_letters(gacl_perm_table, entry->perms, tail, &n);
    else
        perm_letters(entry->perms, tail, &n);

    const bool default_tail =
        entry->entry_type == GACL_ENTRY_TYPE_ALLOW && (entry->flags & GACL_FLAG_ALL) == 0;
    if (!compact || !default_tail) {
        tail[n++] = ':';
        if (compact)
            compact_letters(gacl_flag_table, entry->flags, tail, &n);
        else
            flag_letters(entry->flags, tail, &n);
        if (!compact || entry->entry_type != GACL_ENTRY_TYPE_ALLOW) {
            tail[n++] = ':';
            out.add(tail, n);
            out.add(type_word);
            n = 0;
        }
    }
    if (n > 0) out.add(tail, n);

    if (options & GACL_TEXT_APPEND_ID) {
        char comment[32];
        if (entry->tag == GACL_TAG_TYPE_USER) {
            std::snprintf(comment, sizeof comment, "\t# uid=%d", static_cast<int32_t>(entry->id));
            out.add(comment);
        } else if (entry->tag == GACL_TAG_TYPE_GROUP) {
            std::snprintf(comment, sizeof comment, "\t# gid=%d", static_cast<int32_t>(entry->id));
            out.add(comment);
        }
    }

    if (out.overflow()) {
        errno = ENOMEM;
        return -1;
    }
    return static_cast<int>(out.length());
}

int gacl_append_text_np(gacl_t acl, std::string *out, int options) {
    if (out == nullptr) {
        errno = EINVAL;
        return -1;
    }
    gacl_entry_t entry = nullptr;
    // Validates the ACL and restarts its cursor before anything is built.
    int more = gacl_get_entry(acl, GACL_FIRST_ENTRY, &entry);
    if (more < 0) return -1;

    const bool compact = (options & GACL_TEXT_COMPACT) != 0;
    const int column = alignment_column(acl, options);
    const size_t start = out->size();
    bool built = or_enomem(false, [&] {
        // A line is built whole, blanks and line end included, and appended
        // once. The column is at most the widest principal (a name of
        // GACL_NAME_SIZE - 1 and its prefix) plus 8.
        constexpr size_t MAX_PAD = GACL_NAME_SIZE + 16;
        char line[MAX_PAD + GACL_ENTRY_TEXT_SIZE + 1];
        bool first = true;
        // The ACL is validated above: its entries are walked directly, the
        // cursor left where a walk with gacl_get_entry() leaves it.
        for (int i = 0; i < acl->count; i++, acl->cursor = i) {
            entry = &acl->entries[i];
            size_t pad = 0;
            if (!compact) {
                size_t offset = principal_end(entry);
                if (column > 0 && static_cast<size_t>(column) > offset)
                    pad = static_cast<size_t>(column) - offset;
                if (pad > MAX_PAD) return errno = ENOMEM, false;  // cannot happen
                // Usually a few blanks: a fixed block (the text overwrites
                // what is too many) costs less than a memset of the count.
                if (pad <= sizeof BLANKS)
                    std::memcpy(line, BLANKS, sizeof BLANKS);
                else
                    std::memset(line, ' ', pad);
            } else if (!first) {
                line[pad++] = ',';
            }
            int n = gacl_entry_to_text_np(entry, line + pad, GACL_ENTRY_TEXT_SIZE,
                                          options | GACL_TEXT_FIXED_WIDTH);
            if (n < 0) return false;
            size_t length = pad + static_cast<size_t>(n);
            if (!compact) line[length++] = '\n';
            out->append(line, length);
            first = false;
        }
        return true;
    });
    if (built) return 0;
    int err = errno;
    out->resize(start);  // shrinking: cannot throw
    errno = err;
    return -1;
}

char *gacl_to_text_np(gacl_t acl, ssize_t *length, int options) {
    std::string text;
    if (gacl_append_text_np(acl, &text, options) != 0) return nullptr;
    char *result = gacl_new_text_np(text.data(), text.size());
    if (result != nullptr && length != nullptr) *length = static_cast<ssize_t>(text.size());
    return result;
}
