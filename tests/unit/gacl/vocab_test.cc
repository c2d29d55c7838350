#include "gacl/vocab.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

TEST(Vocab, TablesInTheirStoredOrder) {
    std::string letters, display, flags;
    gacl_perm_t all = 0;
    for (const gacl_perm_row_t *r = gacl_perm_table; r->bit != 0; r++) {
        letters += r->letter;
        all |= r->bit;
    }
    for (const gacl_perm_row_t *r = gacl_perm_display_table; r->bit != 0; r++)
        display += r->letter;
    gacl_flag_t all_flags = 0;
    for (const gacl_flag_row_t *r = gacl_flag_table; r->bit != 0; r++) {
        flags += r->letter;
        all_flags = static_cast<gacl_flag_t>(all_flags | r->bit);
    }
    EXPECT_EQ(letters, "rwxpDdaARWcCos");
    EXPECT_EQ(display, "rwxpdDaARWcCos");
    EXPECT_EQ(flags, "fdinSFI");
    EXPECT_EQ(all, GACL_PERM_FULL_SET);
    EXPECT_EQ(all_flags, GACL_FLAG_ALL);
    EXPECT_EQ(gacl_perm_table[4].bit, GACL_PERM_DELETE_CHILD);
    EXPECT_STREQ(gacl_perm_table[4].name, "delete_child");
    EXPECT_EQ(gacl_flag_table[2].bit, GACL_FLAG_INHERIT_ONLY);
    EXPECT_EQ(gacl_flag_table[3].bit, GACL_FLAG_NO_PROPAGATE_INHERIT);
}

TEST(Vocab, NamedSets) {
    EXPECT_EQ(GACL_PERM_MODIFY_SET,
              GACL_PERM_FULL_SET & ~(GACL_PERM_WRITE_ACL | GACL_PERM_WRITE_OWNER));
    EXPECT_EQ(GACL_PERM_WRITE_SET, GACL_PERM_WRITE_DATA | GACL_PERM_APPEND_DATA |
                                       GACL_PERM_WRITE_ATTRIBUTES | GACL_PERM_WRITE_XATTRS);
    EXPECT_EQ(GACL_PERM_READ_SET, GACL_PERM_READ_DATA | GACL_PERM_READ_ATTRIBUTES |
                                      GACL_PERM_READ_XATTRS | GACL_PERM_READ_ACL);
    std::string words;
    for (const gacl_perm_set_word_t *w = gacl_perm_set_words; w->word != nullptr; w++) {
        words += std::string(w->word) + "=" + std::to_string(w->perms) + " ";
    }
    EXPECT_EQ(words,
              "full_set=65529 all=65529 modify_set=40953 modify=40953 write_set=1200 write=1200 "
              "read_set=4680 read=4680 empty_set=0 empty=0 none=0 ");
}

TEST(Vocab, EntryTypeWords) {
    const char *words[] = {"allow", "deny", "audit", "alarm"};
    for (gacl_entry_type_t t = 0; t < 4; t++) {
        EXPECT_STREQ(gacl_entry_type_word_np(t), words[t]);
        EXPECT_EQ(gacl_entry_type_from_word_np(words[t]), t);
    }
    EXPECT_EQ(gacl_entry_type_word_np(4), nullptr);
    EXPECT_EQ(gacl_entry_type_word_np(-1), nullptr);
    EXPECT_EQ(gacl_entry_type_from_word_np("Allow"), -1);
    EXPECT_EQ(gacl_entry_type_from_word_np("allow:"), -1);
    EXPECT_EQ(gacl_entry_type_from_word_np(""), -1);
    EXPECT_EQ(gacl_entry_type_from_word_np(nullptr), -1);
}

TEST(Vocab, PermsetLetters) {
    struct {
        gacl_perm_t perms;
        const char *text;
    } cases[] = {
        {0x0009, "r-x-----------"},
        {GACL_PERM_DELETE, "----d---------"},  // fifth in display order
        {GACL_PERM_DELETE_CHILD, "-----D--------"},
        {GACL_PERM_FULL_SET, "rwxpdDaARWcCos"},
        {0x0006, "--------------"},  // bits of no permission
        {0, "--------------"},
    };
    char buf[16];
    for (auto c : cases) {
        EXPECT_STREQ(gacl_permset_letters_np(&c.perms, buf, sizeof buf), c.text) << c.perms;
    }
}

TEST(Vocab, FlagsetLetters) {
    struct {
        gacl_flag_t flags;
        const char *text;
    } cases[] = {
        {0x000B, "fdi----"},
        {GACL_FLAG_NO_PROPAGATE_INHERIT, "---n---"},
        {GACL_FLAG_ALL, "fdinSFI"},
        {0x0040, "-------"},
        {GACL_FLAG_SUCCESSFUL_ACCESS | GACL_FLAG_INHERITED, "----S-I"},
    };
    char buf[9];
    for (auto c : cases) {
        EXPECT_STREQ(gacl_flagset_letters_np(&c.flags, buf, sizeof buf), c.text) << c.flags;
    }
}

TEST(Vocab, LetterBuffers) {
    gacl_perm_t perms = GACL_PERM_READ_DATA;
    gacl_flag_t flags = GACL_FLAG_FILE_INHERIT;
    char buf[16];

    errno = 0;
    EXPECT_EQ(gacl_permset_letters_np(&perms, buf, 15), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    errno = 0;
    EXPECT_EQ(gacl_flagset_letters_np(&flags, buf, 8), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    errno = 0;
    EXPECT_EQ(gacl_permset_letters_np(nullptr, buf, sizeof buf), nullptr);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(gacl_flagset_letters_np(nullptr, buf, sizeof buf), nullptr);
    EXPECT_EQ(errno, EINVAL);

    // A null buffer means one static buffer per function, reused.
    char *p1 = gacl_permset_letters_np(&perms, nullptr, 1000);
    char *p2 = gacl_permset_letters_np(&perms, nullptr, 64);
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(p1, p2);
    char *f1 = gacl_flagset_letters_np(&flags, nullptr, 9);
    char *f2 = gacl_flagset_letters_np(&flags, nullptr, 100);
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(f1, f2);
    EXPECT_NE(f1, p1);
    EXPECT_STREQ(f1, "f------");
    EXPECT_STREQ(p1, "r-------------");
    EXPECT_EQ(gacl_flagset_letters_np(&flags, nullptr, 8), nullptr) << "the size still counts";
}
