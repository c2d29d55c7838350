// apply: reads back listings that list-access wrote in the standard or the
// default style, and the apply-access command, which sets every listed
// object's ACL to exactly the listed one (a restore from a backup made with
// `vossik -r -S standard list-access tree > acls`).
//
// A listing is a sequence of objects separated by empty lines. Each object
// is a "# file: PATH" line (PATH escaped: backslash and three octal digits
// for the bytes 0x01-0x1f, 0x7f and the backslash), header lines ("# owner:",
// "# group:", and what -v adds: "# type:", "# size:", the time lines), then
// one line per entry in the full form principal:permissions:flags:type,
// blanks before it, optionally followed by the "\t# uid=N" / "\t# gid=N"
// comment of -v. Users and groups are resolved by name; a number stands
// for an id that had no name when the listing was made.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gacl/acl.h"

// Reads the objects of one listing, in order. The text is not copied: it
// must outlive the reader.
class listing_reader {
  public:
    explicit listing_reader(std::string_view text) : rest_(text) {}

    // The next object: 1 with its path (unescaped; "." for the empty path
    // that a listing of "./" shows) in *path and a new ACL (type NFS4, the
    // entries in listed order, none for an object listed with a header
    // alone) in *acl; 0 after the last object; -1 for a malformed listing, with
    // line() and why() telling where and what. Throws std::bad_alloc when
    // memory runs out.
    int next(std::string *path, gacl_ptr *acl);

    // Number (from 1) of the line that was read last: after -1, the line
    // that is wrong.
    int line() const { return line_; }
    // What is wrong with it, as a sentence fragment for a message.
    const std::string &why() const { return why_; }

  private:
    // 1 with the next line (without its line end), 0 at the end, -1 for
    // a line that cannot be part of a listing.
    int take_line(std::string_view *line);
    int fail(std::string why);

    std::string_view rest_;
    int line_ = 0;
    int objects_ = 0;
    std::string why_;
    std::vector<gacl_entry_t_struct> entries_;
};

// apply-access [<file>]*: "-", and no file at all, read standard input
// (the option parser takes a lone "-" as the end of the options). Every
// listing is read and checked whole first: one that cannot be read
// ("<file>: Opening listing" / "Reading listing" with errno), that lists
// nothing ("<file>: No objects listed") or that is malformed
// ("<file>: line N: <why>") ends the command before anything is written.
// Then each listed object's ACL goes through update_acl (-n, -v, -p, -f,
// -s, -m as everywhere), compared with the object's ACL, so that only
// objects that differ are written; one whose ACL cannot be read is written
// without comparing. Objects are reached through fs_open_parent: a
// symbolic link on the way that is neither root's nor ours is not followed.
// An object that cannot be reached ends the command with "<path>:
// Accessing" and errno (ELOOP for such a link); with -k (config.keep_going)
// each failing object is reported, the others are still written, and the
// command ends with status 1 afterwards.
int cmd_apply_access(int argc, char **argv);
