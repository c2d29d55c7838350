// Fuzz target: the change texts of rename-access. A text that is read must
// give at most one pair per item, each for users or groups; a refused text
// must not count as read.
#include <algorithm>
#include <memory>
#include <string>

#include "commands/rename.h"
#include "fuzz_check.h"
#include "gacl/acl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    auto list = std::make_unique<rename_list_t>();
    int rc = rename_list_parse(text.c_str(), list.get());
    FUZZ_CHECK(rc == 0 || rc == -1);
    if (rc != 0) return 0;
    long items = std::count(text.begin(), text.end(), ',') + 1;
    FUZZ_CHECK(list->count >= 0 && list->count <= RENAME_LIST_MAX && list->count <= items);
    for (int i = 0; i < list->count; i++) {
        const rename_pair_t &pair = list->pairs[i];
        FUZZ_CHECK(pair.tag == static_cast<int32_t>(GACL_TAG_TYPE_USER) ||
                   pair.tag == static_cast<int32_t>(GACL_TAG_TYPE_GROUP));
    }
    return 0;
}
