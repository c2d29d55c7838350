// Reading listings back: what list-access writes in the standard and default
// styles, and the lines a listing must not hold.
#include "commands/apply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gacl/text_out.h"

namespace {

// Every object of `text` as "path => compact ACL text with ids", or the
// refusal as "line N: why".
std::vector<std::string> read_all(const std::string &text) {
    std::vector<std::string> got;
    listing_reader reader(text);
    std::string path;
    gacl_ptr acl;
    int r;
    while ((r = reader.next(&path, &acl)) > 0) {
        EXPECT_EQ(acl->type, GACL_TYPE_NFS4);
        gacl_text_ptr shown(
            gacl_to_text_np(acl.get(), nullptr, GACL_TEXT_COMPACT | GACL_TEXT_APPEND_ID));
        got.push_back(path + " => " + (shown ? shown.get() : "?"));
    }
    if (r < 0) got.push_back("line " + std::to_string(reader.line()) + ": " + reader.why());
    return got;
}

TEST(ListingReader, ReadsStandardAndDefaultStyles) {
    // The standard style: every tag, type and flag; a user and a group
    // without a name (shown as numbers, -2 for 4294967294); the id comments
    // of -v; a name wider than the column; a link listed by its header
    // alone.
    const std::string standard =
        "# file: dir\n"
        "# owner: root\n"
        "# group: root\n"
        "            owner@:rwxpDdaARWcCos:fd-----:allow\n"
        "          user:bob:r-x-----------:fdi----:allow\t# uid=1001\n"
        "        group:devs:r-------------:fd-----:deny\t# gid=1001\n"
        "         user:4242:rw------------:-------:allow\n"
        "            group@:-w------------:fdinSF-:audit\n"
        "          group:-2:r-------------:-------:alarm\n"
        "         everyone@:--------------:------I:allow\n"
        "user:verylongusername:r-------------:-------:allow\n"
        "\n"
        "# file: dir/link\n"
        "# owner: root\n"
        "# group: root\n";
    EXPECT_EQ(read_all(standard),
              (std::vector<std::string>{
                  "dir => owner@:rwxpDdaARWcCos:fd,user:bob:rx:fdi\t# uid=1001,"
                  "group:devs:r:fd:deny\t# gid=1001,user:4242:rw\t# uid=4242,"
                  "group@:w:fdinSF:audit,group:-2:r::alarm\t# gid=-2,everyone@::I,"
                  "user:verylongusername:r\t# uid=1234",
                  "dir/link => ",
              }));

    // The default style with -vv: header lines of its own, entries aligned
    // on another column; "./" listed as the empty path; escaped bytes; an
    // object that could not be shown leaves one more empty line.
    const std::string with_times =
        "# file: \n"
        "# owner: alice (1000)\n"
        "# group: staff (20)\n"
        "# type: directory\n"
        "# size: 4096\n"
        "# modified: Thu Mar  4 05:06:07 2021\n"
        "# changed:  Thu Mar  4 05:06:07 2021\n"
        "# accessed: Thu Mar  4 05:06:07 2021\n"
        "# created:  Thu Mar  4 05:06:07 2021\n"
        "   owner@:rw-p--aARWcCos:-------:allow\n"
        "\n"
        "\n"
        "# file: a b\\134c\\012d \n"
        "   group@:r-------------:-------:allow\n";
    EXPECT_EQ(read_all(with_times), (std::vector<std::string>{
                                        ". => owner@:rwpaARWcCos",
                                        "a b\\c\nd  => group@:r",
                                    }));
}

TEST(ListingReader, RefusesMalformedLines) {
    const std::string head = "# file: f\n# owner: root\n# group: root\n";
    const std::string entry = "    owner@:rw-p--aARWcCos:-------:allow\n";
    std::string too_many = head;
    for (int i = 0; i <= GACL_MAX_ENTRIES; ++i)
        too_many += entry;
    const struct {
        std::string text;
        std::string refusal;
    } cases[] = {
        // Other styles, and what is not a listing at all.
        {"f                         owner@:rw\n",
         "line 1: Not a listing in the standard or default style"},
        {"FILENAME:f\nREVISION:1\n", "line 1: Not a listing in the standard or default style"},
        {"-rw-r--r--+  1 root root 0 2024-01-01 00:00 f\n",
         "line 1: Not a listing in the standard or default style"},
        {"#file: f\n", "line 1: Not a listing in the standard or default style"},
        // Headers.
        {head + "# mode: 0644\n" + entry, "line 4: Unknown header line"},
        {head + entry + "# owner: root\n", "line 5: Header line after the entries"},
        {head + entry + "# file: g\n", "line 5: No empty line before \"# file: \""},
        {head + entry + "\n" + entry, "line 6: Expected \"# file: \" after an empty line"},
        {"# file: a\\b\n", "line 1: Invalid escape in the path"},
        {"# file: a\\400\n", "line 1: Invalid escape in the path"},
        {"# file: a\\000\n", "line 1: Invalid escape in the path"},
        {std::string("# file: a\0b\n", 12), "line 1: NUL byte in the line"},
        {head + "    owner@:rw-p--aARWcCos:-------:allow",
         "line 4: No line end: the listing is cut short"},
        // Entries.
        {head + "    owner@:rw\n", "line 4: Invalid entry: not principal:permissions:flags:type"},
        {head + "    user:bob:rwx\n",
         "line 4: Invalid entry: not principal:permissions:flags:type"},
        {head + "    owner@:rwx:fd:allow\n",
         "line 4: Invalid entry: permissions are not the 14 letters rwxpDdaARWcCos or dashes"},
        {head + "    owner@:wrxp--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: permissions are not the 14 letters rwxpDdaARWcCos or dashes"},
        {head + "    owner@:rw-p--aARWcCos:fd:allow\n",
         "line 4: Invalid entry: flags are not the 7 letters fdinSFI or dashes"},
        {head + "    owner@:rw-p--aARWcCos:-------:permit\n",
         "line 4: Invalid entry: unknown entry type permit"},
        {head + "    owner@:rw-p--aARWcCos:-------:allow\r\n",
         "line 4: Invalid entry: unknown entry type allow\r"},
        {head + "    bob:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: unknown principal bob"},
        {head + "    u:bob:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: unknown principal u:bob"},
        {head + "    user:nosuchuser:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: unknown user nosuchuser"},
        {head + "    group:bob:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: unknown group bob"},
        {head + "    user::rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: empty user name"},
        {head + "    user:4294967296:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: user id out of range: 4294967296"},
        {head + "    group:-2147483649:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: group id out of range: -2147483649"},
        {head + "    user:bob:rw-p--aARWcCos:-------:allow\t# root\n",
         "line 4: Invalid entry: unexpected text after the entry"},
        {head + "    user:bob:rw-p--aARWcCos:-------:allow\t# uid=\n",
         "line 4: Invalid entry: unexpected text after the entry"},
        {head + "    user:-1:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: user id out of range: -1"},
        {head + "    group:4294967295:rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: group id out of range: 4294967295"},
        {too_many, "line 4100: More than 4096 entries"},
        {head + "    user:" + std::string(256, 'x') + ":rw-p--aARWcCos:-------:allow\n",
         "line 4: Invalid entry: user name longer than 255 characters"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> got = read_all(c.text);
        ASSERT_FALSE(got.empty()) << c.text;
        EXPECT_EQ(got.back(), c.refusal) << c.text;
    }
}

TEST(ListingReader, NothingListed) {
    EXPECT_TRUE(read_all("").empty());
    EXPECT_TRUE(read_all("\n\n").empty());
}

}  // namespace
