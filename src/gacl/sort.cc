#include "gacl/sort.h"

#include <cerrno>
#include <new>
#include <vector>

#include "gacl/vocab.h"
#include "util/nomem.h"

namespace {

template <typename T>
int order(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool inherited(const gacl_entry_t_struct *e) {
    return (e->flags & GACL_FLAG_INHERITED) != 0;
}

bool has_id(const gacl_entry_t_struct *e) {
    return e->tag == GACL_TAG_TYPE_USER || e->tag == GACL_TAG_TYPE_GROUP;
}

// Stable bottom-up merge sort. Every step takes the left element unless the
// right one compares strictly before it, so indices stay within the runs and
// every pass ends, however inconsistent the comparison is (inherit_only
// entries make it so).
void merge_sort(gacl_entry_t_struct *entries, size_t n) {
    std::vector<gacl_entry_t_struct> scratch(n);
    gacl_entry_t_struct *from = entries;
    gacl_entry_t_struct *to = scratch.data();
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            size_t mid = lo + width < n ? lo + width : n;
            size_t hi = mid + width < n ? mid + width : n;
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                to[k++] = gacl_entry_compare_np(&from[j], &from[i]) < 0 ? from[j++] : from[i++];
            }
            while (i < mid)
                to[k++] = from[i++];
            while (j < hi)
                to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    if (from != entries) {
        for (size_t k = 0; k < n; k++)
            entries[k] = from[k];
    }
}

// Entries i and k say something about the same principal in the same way:
// rules 1, 3, 4 and 5 of the canonical order, without the inherit_only rule.
bool mergeable(const gacl_entry_t_struct *a, const gacl_entry_t_struct *b) {
    return inherited(a) == inherited(b) && a->tag == b->tag && (!has_id(a) || a->id == b->id) &&
           a->entry_type == b->entry_type;
}

}  // namespace

int gacl_entry_compare_np(const gacl_entry_t_struct *a, const gacl_entry_t_struct *b) {
    if (a == nullptr || b == nullptr) return 0;
    if (inherited(a) != inherited(b)) return inherited(a) ? 1 : -1;
    if (((a->flags | b->flags) & GACL_FLAG_INHERIT_ONLY) != 0) return 0;
    if (a->tag != b->tag) return order(a->tag, b->tag);
    // Ids are unsigned: uid 4294967294 comes after uid 1000.
    if (has_id(a) && a->id != b->id) return order(a->id, b->id);
    return order(b->entry_type, a->entry_type);  // alarm, audit, deny, allow
}

gacl_t gacl_sort_np(gacl_t acl) {
    gacl_ptr copy(gacl_dup(acl));
    if (!copy) return nullptr;
    auto sorted = or_enomem(false, [&] {
        merge_sort(copy->entries, static_cast<size_t>(copy->count));
        return true;
    });
    if (!sorted) return nullptr;
    return copy.release();
}

gacl_t gacl_merge_np(gacl_t acl) {
    gacl_ptr copy(gacl_dup(acl));
    if (!copy) return nullptr;
    gacl_entry_t_struct *e = copy->entries;
    for (int i = 0; i < copy->count; i++) {
        for (int k = i + 1; k < copy->count;) {
            if (!mergeable(&e[i], &e[k])) {
                k++;
                continue;
            }
            // Only what the vocabulary knows is carried over.
            e[i].perms |= e[k].perms & GACL_PERM_FULL_SET;
            e[i].flags = static_cast<gacl_flag_t>((e[i].flags | (e[k].flags & GACL_FLAG_ALL)) &
                                                  ~GACL_FLAG_INHERITED);
            gacl_delete_entry_np(copy.get(), k);
            // The merged entry may now match entries it did not match
            // before (it lost its inherited flag): look again from i+1.
            k = i + 1;
        }
    }
    copy->cursor = 0;
    return copy.release();
}

int gacl_entry_match_np(const gacl_entry_t_struct *a, const gacl_entry_t_struct *b) {
    if (a == nullptr || b == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return a->tag == b->tag && (!has_id(a) || a->id == b->id) && a->entry_type == b->entry_type &&
                   a->perms == b->perms && a->flags == b->flags
               ? 1
               : 0;
}

int gacl_match_np(gacl_t a, gacl_t b) {
    gacl_entry_t ea = nullptr, eb = nullptr;
    int ra = gacl_get_entry(a, GACL_FIRST_ENTRY, &ea);
    int rb = gacl_get_entry(b, GACL_FIRST_ENTRY, &eb);
    if (ra < 0 || rb < 0) return -1;
    if (a == b) return 1;  // one cursor cannot walk both sides
    if (a->count != b->count || a->type != b->type) return 0;
    for (; ra == 1 && rb == 1; ra = gacl_get_entry(a, GACL_NEXT_ENTRY, &ea),
                               rb = gacl_get_entry(b, GACL_NEXT_ENTRY, &eb)) {
        int m = gacl_entry_match_np(ea, eb);
        if (m != 1) return m;
    }
    return ra == rb ? 1 : 0;
}
