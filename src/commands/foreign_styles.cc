#include "commands/foreign_styles.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "gacl/vocab.h"
#include "util/names.h"

namespace {

struct flag_word {
    gacl_flag_t bit;
    const char *word;
};

// Inheritance and audit flags in the order the foreign notations list them.
constexpr flag_word flag_words[] = {
    {GACL_FLAG_FILE_INHERIT, "OI"}, {GACL_FLAG_DIRECTORY_INHERIT, "CI"},
    {GACL_FLAG_INHERITED, "I"},     {GACL_FLAG_NO_PROPAGATE_INHERIT, "NP"},
    {GACL_FLAG_INHERIT_ONLY, "IO"}, {GACL_FLAG_SUCCESSFUL_ACCESS, "S"},
    {GACL_FLAG_FAILED_ACCESS, "F"},
};

struct right_word {
    gacl_perm_t bit;
    const char *word;
};

constexpr right_word right_words[] = {
    {GACL_PERM_READ_DATA, "R"},        {GACL_PERM_WRITE_DATA, "W"},
    {GACL_PERM_EXECUTE, "X"},          {GACL_PERM_DELETE, "D"},
    {GACL_PERM_WRITE_ACL, "P"},        {GACL_PERM_WRITE_OWNER, "O"},
    {GACL_PERM_READ_ATTRIBUTES, "RA"}, {GACL_PERM_WRITE_ATTRIBUTES, "WA"},
    {GACL_PERM_DELETE_CHILD, "DC"},    {GACL_PERM_APPEND_DATA, "AD"},
    {GACL_PERM_READ_XATTRS, "REA"},    {GACL_PERM_WRITE_XATTRS, "WEA"},
    {GACL_PERM_SYNCHRONIZE, "S"},      {GACL_PERM_READ_ACL, "AS"},
};

// Builds one line in the caller's buffer. Anything that does not fit makes
// the whole line fail: a cut text must never pass for a complete one.
class line {
  public:
    line(char *buf, size_t size) : buf_(buf), size_(size), ok_(buf != nullptr && size > 0) {
        if (ok_) buf_[0] = '\0';
    }

    void add(const char *s) {
        size_t n = std::strlen(s);
        if (!ok_ || n >= size_ - len_) return overflow();
        std::memcpy(buf_ + len_, s, n + 1);
        len_ += n;
    }

    void add(char c) {
        char s[2] = {c, '\0'};
        add(s);
    }

    __attribute__((format(printf, 2, 3))) void addf(const char *format, ...) {
        if (!ok_) return;
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(buf_ + len_, size_ - len_, format, args);
        va_end(args);
        if (n < 0 || static_cast<size_t>(n) >= size_ - len_) return overflow();
        len_ += static_cast<size_t>(n);
    }

    // Words of the set bits, joined by `separator`.
    template <typename Row, size_t N, typename Word>
    void add_words(const Row (&rows)[N], Word word, const char *separator) {
        bool first = true;
        for (const Row &row : rows) {
            if (!(word & row.bit)) continue;
            if (!first) add(separator);
            add(row.word);
            first = false;
        }
    }

    // The buffer, or null with ENOMEM (and an empty buffer) after an overflow.
    char *finish() {
        if (ok_) return buf_;
        if (buf_ != nullptr && size_ > 0) buf_[0] = '\0';
        errno = ENOMEM;
        return nullptr;
    }

  private:
    void overflow() {
        ok_ = false;
        if (buf_ != nullptr && size_ > 0) buf_[0] = '\0';
    }

    char *buf_;
    size_t size_;
    size_t len_ = 0;
    bool ok_;
};

char *invalid() {
    errno = EINVAL;
    return nullptr;
}

bool is_user_name(const char *name) {
    return names_user_id(name, nullptr);
}

bool is_group_name(const char *name) {
    return names_group_id(name, nullptr);
}

// The group principal shared by ICACLS (prefix "") and Samba ("ACL:"): the
// name, GROUP=name when a user has the same name, GID=n without a name.
void add_group_obj(line *out, const char *prefix, uint32_t gid) {
    const char *name = names_group_name(gid);
    if (name == nullptr)
        out->addf("%sGID=%u:", prefix, gid);
    else
        out->addf("%s%s%s:", prefix, is_user_name(name) ? "GROUP=" : "", name);
}

bool add_samba_principal(line *out, const gacl_entry_t_struct *entry, const struct stat *st) {
    const char *name;
    switch (entry->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
            name = names_user_name(st->st_uid);
            if (name != nullptr)
                out->addf("ACL:%s:", name);
            else
                out->addf("ACL:%u:", static_cast<unsigned>(st->st_uid));
            return true;
        case GACL_TAG_TYPE_USER:
            // "(user)" tells the user apart from a group of the same name or
            // number.
            name = names_user_name(entry->id);
            if (name != nullptr)
                out->addf("ACL:%s%s:", name, is_group_name(name) ? "(user)" : "");
            else
                out->addf("ACL:%u%s:", entry->id, names_group_name(entry->id) ? "(user)" : "");
            return true;
        case GACL_TAG_TYPE_GROUP_OBJ:
            add_group_obj(out, "ACL:", static_cast<uint32_t>(st->st_gid));
            return true;
        case GACL_TAG_TYPE_GROUP:
            name = names_group_name(entry->id);
            if (name != nullptr)
                out->addf("ACL:%s%s:", name, is_user_name(name) ? "(group)" : "");
            else
                out->addf("ACL:%u%s:", entry->id, names_user_name(entry->id) ? "(group)" : "");
            return true;
        case GACL_TAG_TYPE_MASK:
            out->add("ACL:mask@:");
            return true;
        case GACL_TAG_TYPE_OTHER:
        case GACL_TAG_TYPE_EVERYONE:
            out->add("ACL:Everyone:");
            return true;
        default:
            return false;
    }
}

bool add_icacls_principal(line *out, const gacl_entry_t_struct *entry, const struct stat *st) {
    const char *name;
    switch (entry->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
        case GACL_TAG_TYPE_USER: {
            uint32_t uid =
                entry->tag == GACL_TAG_TYPE_USER ? entry->id : static_cast<uint32_t>(st->st_uid);
            name = names_user_name(uid);
            if (name != nullptr)
                out->addf("%s:", name);
            else
                out->addf("%u:", uid);
            return true;
        }
        case GACL_TAG_TYPE_GROUP_OBJ:
            add_group_obj(out, "", static_cast<uint32_t>(st->st_gid));
            return true;
        case GACL_TAG_TYPE_GROUP:
            add_group_obj(out, "", entry->id);
            return true;
        case GACL_TAG_TYPE_MASK:
            out->add("mask@:");
            return true;
        case GACL_TAG_TYPE_OTHER:
        case GACL_TAG_TYPE_EVERYONE:
            out->add("Everyone:");
            return true;
        default:
            return false;
    }
}

const char *samba_type_word(gacl_entry_type_t type) {
    switch (type) {
        case GACL_ENTRY_TYPE_ALLOW:
            return "ALLOWED/";
        case GACL_ENTRY_TYPE_DENY:
            return "DENIED/";
        case GACL_ENTRY_TYPE_AUDIT:
            return "AUDIT/";
        case GACL_ENTRY_TYPE_ALARM:
            return "ALARM/";
        default:
            return nullptr;
    }
}

}  // namespace

char *samba_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size,
                       const struct stat *st) {
    if (entry == nullptr || st == nullptr) return invalid();
    line out(buf, size);
    if (!add_samba_principal(&out, entry, st)) return invalid();
    const char *type = samba_type_word(entry->entry_type);
    if (type == nullptr) return invalid();
    out.add(type);
    out.add_words(flag_words, entry->flags, "|");
    out.add('/');
    out.add_words(right_words, entry->perms, "|");
    out.add('\t');
    char letters[16];
    out.add(gacl_permset_letters_np(&entry->perms, letters, sizeof letters));
    return out.finish();
}

char *icacls_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size,
                        const struct stat *st) {
    if (entry == nullptr || st == nullptr) return invalid();
    line out(buf, size);
    if (!add_icacls_principal(&out, entry, st)) return invalid();
    for (const flag_word &f : flag_words) {
        if (!(entry->flags & f.bit)) continue;
        out.add('(');
        out.add(f.word);
        out.add(')');
    }
    // The rights of a deny entry are what it takes away: say so.
    if (entry->entry_type == GACL_ENTRY_TYPE_DENY) out.add("(DENY)");
    out.add('(');
    out.add_words(right_words, entry->perms, ",");
    out.add(')');
    return out.finish();
}

char *short_entry_text(const gacl_entry_t_struct *entry, char *buf, size_t size) {
    if (entry == nullptr) return invalid();
    line out(buf, size);
    const char *name;
    switch (entry->tag) {
        case GACL_TAG_TYPE_USER_OBJ:
            out.add(GACL_TEXT_OWNER);
            break;
        case GACL_TAG_TYPE_USER:
            name = names_user_name(entry->id);
            if (name != nullptr)
                out.addf("u:%s", name);
            else
                out.addf("u:%u", entry->id);
            break;
        case GACL_TAG_TYPE_GROUP_OBJ:
            out.add(GACL_TEXT_GROUP_OBJ);
            break;
        case GACL_TAG_TYPE_GROUP:
            name = names_group_name(entry->id);
            if (name != nullptr)
                out.addf("g:%s", name);
            else
                out.addf("g:%u", entry->id);
            break;
        case GACL_TAG_TYPE_MASK:
            out.add(GACL_TEXT_MASK);
            break;
        case GACL_TAG_TYPE_OTHER:
            out.add(GACL_TEXT_OTHER);
            break;
        case GACL_TAG_TYPE_EVERYONE:
            out.add(GACL_TEXT_EVERYONE);
            break;
        default:
            return invalid();
    }
    char letters[16];
    out.add(':');
    out.add(gacl_permset_letters_np(&entry->perms, letters, sizeof letters));
    out.add(':');
    out.add(gacl_flagset_letters_np(&entry->flags, letters, sizeof letters));
    out.add(':');
    const char *type = gacl_entry_type_word_np(entry->entry_type);
    out.add(type != nullptr ? type : "");
    return out.finish();
}
