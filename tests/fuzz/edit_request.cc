// Fuzz target: the reader of edit-access requests. Whatever it reads must
// hold what the edit engine relies on: an action letter, a selection that
// is either a compiled pattern or an entry with its operator, a new entry
// for every entry text, and valid position lists. A text it refuses leaves
// the requests read before the fault, each as valid.
#include <cctype>
#include <memory>
#include <string>

#include "edit/range.h"
#include "edit/request.h"
#include "fuzz_check.h"

namespace {

// Patterns go to regcomp(3), whose memory grows exponentially with stacked
// or nested repetition ("a++++++++++++++++++++++++" exhausts grep -E as
// well): inputs with more than a few repetition operators, or with more
// than one interval, are not explored.
bool tame_pattern(const std::string &text) {
    int operators = 0, intervals = 0;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '*' || c == '+' || c == '?') operators++;
        if (c == '{' && i + 1 < text.size() &&
            (std::isdigit(static_cast<unsigned char>(text[i + 1])) || text[i + 1] == ',')) {
            operators++;
            intervals++;
        }
    }
    return operators <= 6 && intervals <= 1;
}

void check_request(const acecr_t &req) {
    FUZZ_CHECK(std::isalpha(req.action));
    FUZZ_CHECK(req.selection >= -1 && req.selection <= 1);
    if (req.selection != 0) {
        bool by_entry = req.match != nullptr;
        FUZZ_CHECK(by_entry != static_cast<bool>(req.regex));
        FUZZ_CHECK(!by_entry || req.match_op == '+' || req.match_op == '-' || req.match_op == '=');
        FUZZ_CHECK(!by_entry || req.selection == 1);
    }
    FUZZ_CHECK(req.entry_text.has_value() == (req.entry != nullptr));
    if (req.positions) FUZZ_CHECK(range_len(req.positions.get()) >= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    if (!tame_pattern(text)) return 0;
    std::unique_ptr<acecr_t> requests;
    int rc = acecr_from_text(&requests, text.c_str());
    FUZZ_CHECK(rc == 0 || rc == -1);
    for (const acecr_t *req = requests.get(); req; req = req->next.get())
        check_request(*req);

    // Groups own their requests and release them all.
    FUZZ_CHECK(acecr_group_append(std::move(requests)) == 0);
    acecr_groups_free();
    FUZZ_CHECK(acecr_groups == nullptr);
    return 0;
}
