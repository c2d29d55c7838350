#include "gacl/vocab.h"

#include <cerrno>
#include <cstring>

constexpr gacl_perm_row_t gacl_perm_table[15] = {
    {GACL_PERM_READ_DATA, 'r', "read_data"},
    {GACL_PERM_WRITE_DATA, 'w', "write_data"},
    {GACL_PERM_EXECUTE, 'x', "execute"},
    {GACL_PERM_APPEND_DATA, 'p', "append_data"},
    {GACL_PERM_DELETE_CHILD, 'D', "delete_child"},
    {GACL_PERM_DELETE, 'd', "delete"},
    {GACL_PERM_READ_ATTRIBUTES, 'a', "read_attributes"},
    {GACL_PERM_WRITE_ATTRIBUTES, 'A', "write_attributes"},
    {GACL_PERM_READ_XATTRS, 'R', "read_xattrs"},
    {GACL_PERM_WRITE_XATTRS, 'W', "write_xattrs"},
    {GACL_PERM_READ_ACL, 'c', "read_acl"},
    {GACL_PERM_WRITE_ACL, 'C', "write_acl"},
    {GACL_PERM_WRITE_OWNER, 'o', "write_owner"},
    {GACL_PERM_SYNCHRONIZE, 's', "synchronize"},
    {0, 0, nullptr},
};

namespace {

// The same rows with delete (d) before delete_child (D).
constexpr gacl_perm_row_t display_row(size_t i) {
    return gacl_perm_table[i == 4 ? 5 : i == 5 ? 4 : i];
}

}  // namespace

constinit const gacl_perm_row_t gacl_perm_display_table[15] = {
    display_row(0),  display_row(1),  display_row(2),  display_row(3),  display_row(4),
    display_row(5),  display_row(6),  display_row(7),  display_row(8),  display_row(9),
    display_row(10), display_row(11), display_row(12), display_row(13), display_row(14),
};

const gacl_flag_row_t gacl_flag_table[8] = {
    {GACL_FLAG_FILE_INHERIT, 'f'},      {GACL_FLAG_DIRECTORY_INHERIT, 'd'},
    {GACL_FLAG_INHERIT_ONLY, 'i'},      {GACL_FLAG_NO_PROPAGATE_INHERIT, 'n'},
    {GACL_FLAG_SUCCESSFUL_ACCESS, 'S'}, {GACL_FLAG_FAILED_ACCESS, 'F'},
    {GACL_FLAG_INHERITED, 'I'},         {0, 0},
};

const gacl_perm_set_word_t gacl_perm_set_words[12] = {
    {"full_set", GACL_PERM_FULL_SET},
    {"all", GACL_PERM_FULL_SET},
    {"modify_set", GACL_PERM_MODIFY_SET},
    {"modify", GACL_PERM_MODIFY_SET},
    {"write_set", GACL_PERM_WRITE_SET},
    {"write", GACL_PERM_WRITE_SET},
    {"read_set", GACL_PERM_READ_SET},
    {"read", GACL_PERM_READ_SET},
    {"empty_set", 0},
    {"empty", 0},
    {"none", 0},
    {nullptr, 0},
};

const char *const gacl_entry_type_words[4] = {"allow", "deny", "audit", "alarm"};

const char *gacl_entry_type_word_np(gacl_entry_type_t type) {
    if (type < GACL_ENTRY_TYPE_ALLOW || type > GACL_ENTRY_TYPE_ALARM) return nullptr;
    return gacl_entry_type_words[type];
}

gacl_entry_type_t gacl_entry_type_from_word_np(const char *word) {
    if (word == nullptr) return -1;
    for (gacl_entry_type_t t = GACL_ENTRY_TYPE_ALLOW; t <= GACL_ENTRY_TYPE_ALARM; t++) {
        if (std::strcmp(word, gacl_entry_type_words[t]) == 0) return t;
    }
    return -1;
}

namespace {

constexpr size_t kStaticSize = 64;

// Checks the buffer rules shared by both letter functions; returns the
// buffer to write into, or nullptr with errno.
char *letters_buffer(const void *handle, char *buf, size_t size, size_t needed, char *fallback) {
    if (handle == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    if (buf == nullptr) {
        buf = fallback;
        if (size > kStaticSize) size = kStaticSize;
    }
    if (size < needed) {
        errno = ENOMEM;
        return nullptr;
    }
    return buf;
}

}  // namespace

char *gacl_permset_letters_np(const gacl_perm_t *permset, char *buf, size_t size) {
    static char static_buf[kStaticSize];
    char *out = letters_buffer(permset, buf, size, 16, static_buf);
    if (out == nullptr) return nullptr;
    size_t n = 0;
    for (const gacl_perm_row_t *row = gacl_perm_display_table; row->bit != 0; row++) {
        out[n++] = gacl_get_perm_np(permset, row->bit) == 1 ? row->letter : '-';
    }
    out[n] = '\0';
    return out;
}

char *gacl_flagset_letters_np(const gacl_flag_t *flagset, char *buf, size_t size) {
    static char static_buf[kStaticSize];
    char *out = letters_buffer(flagset, buf, size, 9, static_buf);
    if (out == nullptr) return nullptr;
    size_t n = 0;
    for (const gacl_flag_row_t *row = gacl_flag_table; row->bit != 0; row++) {
        out[n++] = gacl_get_flag_np(flagset, row->bit) == 1 ? row->letter : '-';
    }
    out[n] = '\0';
    return out;
}
