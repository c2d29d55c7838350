// Change requests of edit-access: the request record, groups of requests,
// and the reader of the request language.
//
// One request is
//   [{types}] [positions] [/selection/[+|-|=|!]] action[flags] [new entry]
// and a text holds any number of them, separated by ";", line feeds or
// carriage returns. Requests are read once and never changed afterwards;
// the edit engine runs them against every path.
#pragma once

#include <regex.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "edit/range.h"
#include "gacl/acl.h"

// A compiled POSIX extended regular expression, freed with its owner.
class acecr_regex_t {
  public:
    acecr_regex_t() = default;
    ~acecr_regex_t();
    acecr_regex_t(const acecr_regex_t &) = delete;
    acecr_regex_t &operator=(const acecr_regex_t &) = delete;

    // Compiles `pattern` (REG_EXTENDED, case-sensitive), replacing whatever
    // was compiled before. 0, or the regcomp error code with its explanation
    // written into explain[size].
    int compile(const char *pattern, char *explain, std::size_t size);

    // The compiled pattern for regexec/regerror, or nullptr when none.
    const regex_t *get() const { return compiled_ ? &re_ : nullptr; }
    explicit operator bool() const { return compiled_; }

  private:
    regex_t re_{};
    bool compiled_ = false;
};

// One change request. A new record is all "none": every path, no
// positions, no selection, no entries, no action.
struct acecr_t {
    std::uint16_t types = 0;     // file-type filter (file_types_parse); 0 = every path
    range_ptr positions;         // positions named; empty = none
    std::int32_t match_op = 0;   // entry selection operator: 0, '+', '-' or '='
    std::int32_t selection = 0;  // 0 none; 1 select matching; -1 select non-matching (pattern)
    acecr_regex_t regex;         // pattern of a selection without a `match` entry
    std::unique_ptr<gacl_entry_t_struct> match;  // entry of an entry selection
    std::optional<std::string> entry_text;       // text of the new entry, as written
    std::unique_ptr<gacl_entry_t_struct> entry;  // the new entry, parsed from entry_text
    std::int32_t action = 0;                     // action letter
    std::optional<std::string> action_flags;     // characters right after the letter ("g")
    std::unique_ptr<acecr_t> next;               // next request of the same group

    acecr_t() = default;
    ~acecr_t();  // releases the rest of the chain too, without deep recursion
    acecr_t(const acecr_t &) = delete;
    acecr_t &operator=(const acecr_t &) = delete;
};

// One group of requests: when a request fails on a path, the rest of its
// group is skipped for that path.
struct acecr_group_t {
    std::unique_ptr<acecr_t> requests;
    std::unique_ptr<acecr_group_t> next;

    acecr_group_t() = default;
    ~acecr_group_t();
    acecr_group_t(const acecr_group_t &) = delete;
    acecr_group_t &operator=(const acecr_group_t &) = delete;
};

// Every group of the running edit-access command, in the order added. Empty
// when a run begins; the command releases it with acecr_groups_free.
extern std::unique_ptr<acecr_group_t> acecr_groups;

// Reads every request of `text` and appends them, in order, to the end of
// *list. `list` may be the link at the end of a longer list (the `next` of
// its last request): callers that append many texts to one list pass that
// link, so that nothing is walked. 0 on success (also when the text holds no
// request). On a bad
// request the cause has been reported (an "Error" line through report,
// then "acecr_from_text: error-catched"), the requests read before it stay
// appended, and the result is -1; the command is not abandoned. -1 with
// EINVAL (no message) for a null list or text, with ENOMEM when the text
// cannot be copied.
int acecr_from_text(std::unique_ptr<acecr_t> *list, const char *text);

// Appends a new group holding `requests` (possibly none) at the end of
// acecr_groups. 0, or -1 with ENOMEM when the group cannot be allocated
// (the requests are then released).
int acecr_group_append(std::unique_ptr<acecr_t> requests);

// Releases every group and request; acecr_groups becomes empty.
void acecr_groups_free();
