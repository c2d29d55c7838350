// Fuzz target: the ACL text reader. Whatever it accepts must read back the
// same after printing: text -> ACL -> text -> ACL gives equal ACLs, in the
// one-line form and, entry by entry, in the full form of the listings; a
// single entry read relaxed (unknown names allowed) does the same.
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "gacl/acl.h"
#include "gacl/text_in.h"
#include "gacl/text_out.h"

namespace {

// Same meaning: a name only counts where no id stands for the principal.
bool same_entry(const gacl_entry_t_struct &a, const gacl_entry_t_struct &b) {
    bool by_name = a.tag == GACL_TAG_TYPE_UNKNOWN || a.id == GACL_UNDEFINED_ID;
    return a.tag == b.tag && a.id == b.id && a.perms == b.perms && a.flags == b.flags &&
           a.entry_type == b.entry_type &&
           (!by_name || std::strncmp(a.name, b.name, sizeof a.name) == 0);
}

void check_entry(const std::string &text) {
    std::string scratch = text;
    gacl_entry_t_struct first{};
    if (gacl_entry_from_text_np(scratch.data(), &first, GACL_TEXT_RELAXED) != 0) return;
    for (int options : {0, GACL_TEXT_COMPACT}) {
        char printed[GACL_ENTRY_TEXT_SIZE];
        FUZZ_CHECK(gacl_entry_to_text_np(&first, printed, sizeof printed, options) >= 0);
        gacl_entry_t_struct again{};
        FUZZ_CHECK(gacl_entry_from_text_np(printed, &again, GACL_TEXT_RELAXED) == 0);
        FUZZ_CHECK(same_entry(first, again));
    }
}

void check_acl(const std::string &text) {
    gacl_ptr first(gacl_from_text(text.c_str()));
    if (!first) return;

    gacl_text_ptr line(gacl_to_text_np(first.get(), nullptr, GACL_TEXT_COMPACT));
    FUZZ_CHECK(line != nullptr);
    gacl_ptr again(gacl_from_text(line.get()));
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(again->count == first->count);
    for (int i = 0; i < first->count; i++)
        FUZZ_CHECK(same_entry(first->entries[i], again->entries[i]));

    // The full form: one entry a line, indented to align the colons.
    gacl_text_ptr full(gacl_to_text_np(first.get(), nullptr, 0));
    FUZZ_CHECK(full != nullptr);
    std::string lines = full.get();
    int index = 0;
    for (size_t start = 0; start < lines.size(); index++) {
        size_t end = lines.find('\n', start);
        FUZZ_CHECK(end != std::string::npos);
        std::string entry = lines.substr(start, end - start);
        entry.erase(0, entry.find_first_not_of(' '));
        gacl_entry_t_struct read{};
        FUZZ_CHECK(index < first->count);
        FUZZ_CHECK(gacl_entry_from_text_np(entry.data(), &read, 0) == 0);
        FUZZ_CHECK(same_entry(first->entries[index], read));
        start = end + 1;
    }
    FUZZ_CHECK(index == first->count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    check_acl(text);
    check_entry(text);
    return 0;
}
