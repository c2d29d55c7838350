// Test helper: reads and writes the ACL attribute security.nfs4acl_xdr
// directly, so that end-to-end tests check what a command left on disk
// without going through the program itself.
//
// Entries are written as "who:perms:flags:type", joined by ",":
//   who    owner@, group@, everyone@, user:<uid>, group:<gid>
//   perms  letters of r w x p D d a A R W c C o s, in that order
//   flags  letters of f d i n S F I, in that order
//   type   allow, deny, audit, alarm
#pragma once

#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace acl_disk {

inline constexpr const char *ATTRIBUTE = "security.nfs4acl_xdr";

struct bit {
    char letter;
    uint32_t wire;
};

inline constexpr bit PERMS[] = {
    {'r', 0x1},     {'w', 0x2},     {'x', 0x20},    {'p', 0x4},      {'D', 0x40},
    {'d', 0x10000}, {'a', 0x80},    {'A', 0x100},   {'R', 0x8},      {'W', 0x10},
    {'c', 0x20000}, {'C', 0x40000}, {'o', 0x80000}, {'s', 0x100000},
};
inline constexpr bit FLAGS[] = {
    {'f', 0x1}, {'d', 0x2}, {'i', 0x8}, {'n', 0x4}, {'S', 0x10}, {'F', 0x20}, {'I', 0x80},
};
inline constexpr const char *TYPES[] = {"allow", "deny", "audit", "alarm"};
inline constexpr uint32_t GROUP_MARK = 0x40;

inline uint32_t word(const std::string &blob, size_t at) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(blob[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

inline void put(std::string &blob, uint32_t w) {
    for (int shift = 24; shift >= 0; shift -= 8)
        blob.push_back(static_cast<char>(w >> shift));
}

inline std::string letters(const bit *table, size_t n, uint32_t value) {
    std::string s;
    for (size_t i = 0; i < n; i++)
        if (value & table[i].wire) s += table[i].letter;
    return s;
}

inline uint32_t bits(const bit *table, size_t n, const std::string &text) {
    uint32_t value = 0;
    for (char c : text) {
        size_t i = 0;
        while (i < n && table[i].letter != c)
            i++;
        if (i == n) throw std::invalid_argument("bad letter in " + text);
        value |= table[i].wire;
    }
    return value;
}

// The raw attribute of `path` itself (links not followed); "" with *present
// false when the attribute does not exist.
inline std::string raw(const std::string &path, bool *present = nullptr) {
    std::string blob(65536, '\0');
    ssize_t n = lgetxattr(path.c_str(), ATTRIBUTE, blob.data(), blob.size());
    if (present) *present = n >= 0;
    if (n < 0) {
        if (errno == ENODATA || errno == EOPNOTSUPP) return "";
        throw std::runtime_error(path + ": lgetxattr: " + std::strerror(errno));
    }
    blob.resize(static_cast<size_t>(n));
    return blob;
}

// The ACL stored for `path` in the notation above, or "none" when the
// attribute is absent.
inline std::string get(const std::string &path) {
    bool present = false;
    std::string blob = raw(path, &present);
    if (!present) return "none";
    if (blob.size() < 8) return "short";
    uint32_t count = word(blob, 4);
    if (blob.size() != 8 + 20 * static_cast<size_t>(count)) return "bad length";
    std::string out;
    for (uint32_t i = 0; i < count; i++) {
        size_t at = 8 + 20 * static_cast<size_t>(i);
        uint32_t type = word(blob, at), flag = word(blob, at + 4), iflag = word(blob, at + 8);
        uint32_t mask = word(blob, at + 12), who = word(blob, at + 16);
        std::string principal;
        if (iflag & 1)
            principal = who == 1 ? "owner@" : who == 2 ? "group@" : who == 3 ? "everyone@" : "?";
        else
            principal = std::string(flag & GROUP_MARK ? "group:" : "user:") + std::to_string(who);
        if (!out.empty()) out += ",";
        out += principal + ":" + letters(PERMS, std::size(PERMS), mask) + ":" +
               letters(FLAGS, std::size(FLAGS), flag & ~GROUP_MARK) + ":" +
               (type < 4 ? TYPES[type] : "?");
    }
    return out;
}

// The ACL-wide flags word stored for `path`; -1 when there is none.
inline int64_t acl_flags(const std::string &path) {
    bool present = false;
    std::string blob = raw(path, &present);
    return present && blob.size() >= 4 ? word(blob, 0) : -1;
}

// Stores the ACL `text` (notation above) as the attribute of `path`, with
// the ACL-wide flags word `flags`.
inline void set(const std::string &path, const std::string &text, uint32_t flags = 0) {
    std::vector<std::string> items;
    std::stringstream all(text);
    for (std::string item; std::getline(all, item, ',');)
        items.push_back(item);
    std::string blob;
    put(blob, flags);
    put(blob, static_cast<uint32_t>(items.size()));
    for (const std::string &item : items) {
        std::vector<std::string> f;
        std::stringstream one(item);
        for (std::string field; std::getline(one, field, ':');)
            f.push_back(field);
        if (item.back() == ':') f.push_back("");
        uint32_t iflag = 0, who = 0, group = 0;
        size_t next = 1;
        if (f[0] == "owner@" || f[0] == "group@" || f[0] == "everyone@") {
            iflag = 1;
            who = f[0] == "owner@" ? 1 : f[0] == "group@" ? 2 : 3;
        } else {
            group = f[0] == "group" ? GROUP_MARK : 0;
            who = static_cast<uint32_t>(std::stoul(f[1]));
            next = 2;
        }
        if (f.size() != next + 3) throw std::invalid_argument("bad entry " + item);
        uint32_t type = 0;
        while (type < 4 && f[next + 2] != TYPES[type])
            type++;
        if (type == 4) throw std::invalid_argument("bad type in " + item);
        put(blob, type);
        put(blob, bits(FLAGS, std::size(FLAGS), f[next + 1]) | group);
        put(blob, iflag);
        put(blob, bits(PERMS, std::size(PERMS), f[next]));
        put(blob, who);
    }
    if (lsetxattr(path.c_str(), ATTRIBUTE, blob.data(), blob.size(), 0) != 0)
        throw std::runtime_error(path + ": lsetxattr: " + std::strerror(errno));
}

// Stores an attribute whose length does not match its entry count, so that
// reading the ACL of `path` fails with EINVAL.
inline void set_broken(const std::string &path) {
    std::string blob;
    put(blob, 0);
    put(blob, 2);
    if (lsetxattr(path.c_str(), ATTRIBUTE, blob.data(), blob.size(), 0) != 0)
        throw std::runtime_error(path + ": lsetxattr: " + std::strerror(errno));
}

}  // namespace acl_disk
