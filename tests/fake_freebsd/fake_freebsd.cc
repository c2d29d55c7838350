// The in-memory FreeBSD of fake_freebsd.h: acl(3) and extattr(2) as their
// manual pages describe them, over a map of files, with every call recorded.
#include "fake_freebsd.h"

#include <dirent.h>
#include <sys/extattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#ifndef ENOATTR
#define ENOATTR ENODATA  // FreeBSD's "Attribute not found"; Linux names it ENODATA
#endif

namespace {

struct node {
    std::string target;  // not empty: a symbolic link to this path
    bool nfs4 = true;
    std::vector<acl_entry> acl;
    std::map<std::pair<int, std::string>, std::string> attrs;
};

struct world {
    std::map<std::string, node> files;
    std::vector<std::string> calls;
    std::map<std::string, std::pair<int, int>> failures;  // function → (calls to go, errno)
    std::map<std::string, std::pair<int, std::function<void()>>>
        actions;  // function → (to go, what)
    std::map<acl_t, std::unique_ptr<acl_t_struct>> acls;
    std::map<void *, std::unique_ptr<uid_t>> qualifiers;
    int bad_frees = 0;
    std::map<int, std::string> dirs;  // descriptor of open_dir → directory
    std::string cwd;                  // "" : the process's own directory
};

// Descriptors of open_dir start here, far above any real one.
constexpr int FIRST_DIR_FD = 100000;

world &w() {
    static world the_world;
    return the_world;
}

std::string hex(unsigned long v) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", v);
    return text;
}

// Records the call; returns the errno it must fail with, or 0.
int enter(const std::string &function, const std::string &args = "") {
    w().calls.push_back(args.empty() ? function : function + " " + args);
    auto action = w().actions.find(function);
    if (action != w().actions.end() && --action->second.first == 0) {
        std::function<void()> run = std::move(action->second.second);
        w().actions.erase(action);
        run();
    }
    auto planned = w().failures.find(function);
    if (planned == w().failures.end()) return 0;
    if (--planned->second.first > 0) return 0;
    int err = planned->second.second;
    w().failures.erase(planned);
    return err;
}

int fail(int err) {
    errno = err;
    return -1;
}

// The file at `path`, following symbolic links unless `link`; null with
// errno when there is none.
node *lookup(const char *path, bool link) {
    if (path == nullptr) return errno = EFAULT, nullptr;
    std::string p = path;
    if (!w().cwd.empty() && p[0] != '/') p = w().cwd + "/" + p;
    for (int hops = 0; hops < 32; ++hops) {
        auto found = w().files.find(p);
        if (found == w().files.end()) return errno = ENOENT, nullptr;
        if (found->second.target.empty() || link) return &found->second;
        p = found->second.target;
    }
    return errno = ELOOP, nullptr;
}

bool live(acl_t acl) {
    return acl != nullptr && w().acls.count(acl) != 0;
}

// The live ACL an entry handle points into, or null.
acl_t owner_of(acl_entry_t entry) {
    for (auto &held : w().acls) {
        acl_entry *first = held.first->ats_acl.acl_entry;
        if (entry >= first && entry < first + held.first->ats_acl.acl_cnt) return held.first;
    }
    return nullptr;
}

// The entry's ACL after branding it `brand`: null with EINVAL when the
// entry is not live or the ACL already holds the other kind of entries.
acl_t brand(acl_entry_t entry, int brand) {
    acl_t acl = owner_of(entry);
    if (acl == nullptr) return errno = EINVAL, nullptr;
    if (brand != ACL_BRAND_UNKNOWN) {
        if (acl->ats_brand != ACL_BRAND_UNKNOWN && acl->ats_brand != brand)
            return errno = EINVAL, nullptr;
        acl->ats_brand = brand;
    }
    return acl;
}

acl_t new_acl(int brand_of) {
    auto made = std::make_unique<acl_t_struct>();
    std::memset(made.get(), 0, sizeof *made);
    made->ats_acl.acl_maxcnt = ACL_MAX_ENTRIES;
    made->ats_cur_entry = -1;
    made->ats_brand = brand_of;
    acl_t acl = made.get();
    w().acls.emplace(acl, std::move(made));
    return acl;
}

bool nfs4_tag(acl_tag_t tag) {
    return tag == ACL_USER_OBJ || tag == ACL_USER || tag == ACL_GROUP_OBJ || tag == ACL_GROUP ||
           tag == ACL_EVERYONE;
}

// A permission or flag argument: one or more of the bits the library knows.
bool perm_valid(acl_perm_t perm) {
    return perm != 0 && (perm & ~static_cast<acl_perm_t>(ACL_PERM_BITS | ACL_NFS4_PERM_BITS)) == 0;
}

bool flag_valid(acl_flag_t flag) {
    return flag != 0 && (flag & ~static_cast<acl_flag_t>(ACL_FLAGS_BITS)) == 0;
}

bool entry_type_valid(acl_entry_type_t type) {
    return type == ACL_ENTRY_TYPE_ALLOW || type == ACL_ENTRY_TYPE_DENY ||
           type == ACL_ENTRY_TYPE_AUDIT || type == ACL_ENTRY_TYPE_ALARM;
}

acl_t get_acl_call(const char *function, const char *path, acl_type_t type, bool link) {
    if (int err = enter(function, std::string(path ? path : "(null)") + " " + std::to_string(type)))
        return errno = err, nullptr;
    node *n = lookup(path, link);
    if (n == nullptr) return nullptr;
    if (type != ACL_TYPE_NFS4) return errno = EINVAL, nullptr;
    if (!n->target.empty() || !n->nfs4) return errno = EOPNOTSUPP, nullptr;
    acl_t acl = new_acl(ACL_BRAND_NFS4);
    acl->ats_acl.acl_cnt = static_cast<unsigned>(n->acl.size());
    std::copy(n->acl.begin(), n->acl.end(), acl->ats_acl.acl_entry);
    return acl;
}

// What the kernel checks before it accepts an NFSv4 ACL.
int set_acl_call(const char *function, const char *path, acl_type_t type, acl_t acl, bool link) {
    if (int err = enter(function, std::string(path ? path : "(null)") + " " + std::to_string(type)))
        return fail(err);
    if (!live(acl)) return fail(EINVAL);
    node *n = lookup(path, link);
    if (n == nullptr) return -1;
    if (type != ACL_TYPE_NFS4) return fail(EINVAL);
    if (!n->target.empty() || !n->nfs4) return fail(EOPNOTSUPP);
    if (acl->ats_brand == ACL_BRAND_POSIX) return fail(EINVAL);
    const acl_entry *first = acl->ats_acl.acl_entry;
    std::vector<acl_entry> entries(first, first + acl->ats_acl.acl_cnt);
    for (const acl_entry &e : entries) {
        if (!nfs4_tag(e.ae_tag) || !entry_type_valid(e.ae_entry_type)) return fail(EINVAL);
        if ((e.ae_tag == ACL_USER || e.ae_tag == ACL_GROUP) && e.ae_id == ACL_UNDEFINED_ID)
            return fail(EINVAL);
    }
    n->acl = std::move(entries);
    return 0;
}

std::string list_of(const node &n, int ns) {
    std::string list;
    for (const auto &attr : n.attrs) {
        if (attr.first.first != ns) continue;
        list.push_back(static_cast<char>(attr.first.second.size()));
        list += attr.first.second;
    }
    return list;
}

bool namespace_valid(int ns) {
    return ns == EXTATTR_NAMESPACE_USER || ns == EXTATTR_NAMESPACE_SYSTEM;
}

int name_valid(const char *name) {
    if (name == nullptr) return fail(EFAULT);
    if (*name == '\0') return fail(EINVAL);
    if (std::strlen(name) > EXTATTR_MAXNAMELEN) return fail(ENAMETOOLONG);
    return 0;
}

std::string args(const char *path, int ns, const char *name = nullptr) {
    std::string text = std::string(path ? path : "(null)") + " " + std::to_string(ns);
    if (name != nullptr) text += std::string(" ") + name;
    return text;
}

// As UFS does, a list or value longer than the buffer is cut off to fit.
ssize_t deliver(const std::string &what, void *data, size_t nbytes) {
    if (data == nullptr) return static_cast<ssize_t>(what.size());
    size_t n = std::min(what.size(), nbytes);
    std::memcpy(data, what.data(), n);
    return static_cast<ssize_t>(n);
}

ssize_t list_call(const char *function, const char *path, int ns, void *data, size_t nbytes,
                  bool link) {
    if (int err = enter(function, args(path, ns) + (data ? " " + std::to_string(nbytes) : " null")))
        return fail(err);
    node *n = lookup(path, link);
    if (n == nullptr) return -1;
    if (!namespace_valid(ns)) return fail(EINVAL);
    return deliver(list_of(*n, ns), data, nbytes);
}

ssize_t get_call(const char *function, const char *path, int ns, const char *name, void *data,
                 size_t nbytes, bool link) {
    if (int err =
            enter(function, args(path, ns, name) + (data ? " " + std::to_string(nbytes) : " null")))
        return fail(err);
    node *n = lookup(path, link);
    if (n == nullptr) return -1;
    if (!namespace_valid(ns)) return fail(EINVAL);
    if (name_valid(name) != 0) return -1;
    auto found = n->attrs.find({ns, name});
    if (found == n->attrs.end()) return fail(ENOATTR);
    return deliver(found->second, data, nbytes);
}

ssize_t set_call(const char *function, const char *path, int ns, const char *name, const void *data,
                 size_t nbytes, bool link) {
    if (int err = enter(function, args(path, ns, name) + " " + std::to_string(nbytes)))
        return fail(err);
    node *n = lookup(path, link);
    if (n == nullptr) return -1;
    if (!namespace_valid(ns)) return fail(EINVAL);
    if (name_valid(name) != 0) return -1;
    if (data == nullptr && nbytes != 0) return fail(EFAULT);
    n->attrs[{ns, name}] = std::string(static_cast<const char *>(data), nbytes);
    return static_cast<ssize_t>(nbytes);
}

int delete_call(const char *function, const char *path, int ns, const char *name, bool link) {
    if (int err = enter(function, args(path, ns, name))) return fail(err);
    node *n = lookup(path, link);
    if (n == nullptr) return -1;
    if (!namespace_valid(ns)) return fail(EINVAL);
    if (name_valid(name) != 0) return -1;
    if (n->attrs.erase({ns, name}) == 0) return fail(ENOATTR);
    return 0;
}

}  // namespace

namespace fake_freebsd {

void reset() {
    world &the = w();
    the.files.clear();
    the.calls.clear();
    the.failures.clear();
    the.actions.clear();
    the.acls.clear();
    the.qualifiers.clear();
    the.bad_frees = 0;
    the.dirs.clear();
    the.cwd.clear();
}

int open_dir(const std::string &path) {
    int fd = FIRST_DIR_FD + static_cast<int>(w().dirs.size());
    w().dirs[fd] = path;
    return fd;
}

const std::string &cwd() {
    return w().cwd;
}

void add_file(const std::string &path, std::vector<acl_entry> acl, bool nfs4) {
    node n;
    n.nfs4 = nfs4;
    n.acl = std::move(acl);
    w().files[path] = std::move(n);
}

void add_link(const std::string &path, const std::string &target) {
    node n;
    n.target = target;
    w().files[path] = std::move(n);
}

std::vector<acl_entry> acl_of(const std::string &path) {
    auto found = w().files.find(path);
    return found == w().files.end() ? std::vector<acl_entry>{} : found->second.acl;
}

void set_attr(const std::string &path, int ns, const std::string &name, const std::string &value) {
    w().files[path].attrs[{ns, name}] = value;
}

std::optional<std::string> attr_of(const std::string &path, int ns, const std::string &name) {
    auto found = w().files.find(path);
    if (found == w().files.end()) return std::nullopt;
    auto attr = found->second.attrs.find({ns, name});
    if (attr == found->second.attrs.end()) return std::nullopt;
    return attr->second;
}

void fail(const std::string &function, int err, int nth) {
    w().failures[function] = {nth, err};
}

void before(const std::string &function, int nth, std::function<void()> action) {
    w().actions[function] = {nth, std::move(action)};
}

const std::vector<std::string> &calls() {
    return w().calls;
}

void clear_calls() {
    w().calls.clear();
}

std::vector<std::string> calls_of(const std::vector<std::string> &functions) {
    std::vector<std::string> chosen;
    for (const std::string &call : w().calls) {
        std::string function = call.substr(0, call.find(' '));
        if (std::find(functions.begin(), functions.end(), function) != functions.end())
            chosen.push_back(call);
    }
    return chosen;
}

int live_objects() {
    return static_cast<int>(w().acls.size() + w().qualifiers.size());
}

int bad_frees() {
    return w().bad_frees;
}

}  // namespace fake_freebsd

extern "C" {

acl_t acl_init(int count) {
    if (int err = enter("acl_init", std::to_string(count))) return errno = err, nullptr;
    if (count < 0) return errno = EINVAL, nullptr;
    if (count > ACL_MAX_ENTRIES) return errno = ENOMEM, nullptr;
    return new_acl(ACL_BRAND_UNKNOWN);
}

int acl_free(void *obj_p) {
    if (int err = enter("acl_free", w().acls.count(static_cast<acl_t>(obj_p)) ? "acl"
                                    : w().qualifiers.count(obj_p)             ? "qualifier"
                                                                              : "other"))
        return fail(err);
    if (w().acls.erase(static_cast<acl_t>(obj_p)) != 0) return 0;
    if (w().qualifiers.erase(obj_p) != 0) return 0;
    ++w().bad_frees;
    return fail(EINVAL);
}

acl_t acl_get_file(const char *path_p, acl_type_t type) {
    return get_acl_call("acl_get_file", path_p, type, false);
}

acl_t acl_get_link_np(const char *path_p, acl_type_t type) {
    return get_acl_call("acl_get_link_np", path_p, type, true);
}

int acl_set_file(const char *path_p, acl_type_t type, acl_t acl) {
    return set_acl_call("acl_set_file", path_p, type, acl, false);
}

int acl_set_link_np(const char *path_p, acl_type_t type, acl_t acl) {
    return set_acl_call("acl_set_link_np", path_p, type, acl, true);
}

int acl_get_brand_np(acl_t acl, int *brand_p) {
    if (int err = enter("acl_get_brand_np")) return fail(err);
    if (!live(acl) || brand_p == nullptr) return fail(EINVAL);
    *brand_p = acl->ats_brand;
    return 0;
}

int acl_get_entry(acl_t acl, int entry_id, acl_entry_t *entry_p) {
    if (int err = enter("acl_get_entry", std::to_string(entry_id))) return fail(err);
    if (!live(acl) || entry_p == nullptr) return fail(EINVAL);
    if (entry_id == ACL_FIRST_ENTRY) {
        acl->ats_cur_entry = 0;
    } else if (entry_id == ACL_NEXT_ENTRY && acl->ats_cur_entry >= 0) {
        ++acl->ats_cur_entry;
    } else {
        return fail(EINVAL);  // an unknown id, or "next" before "first"
    }
    if (static_cast<unsigned>(acl->ats_cur_entry) >= acl->ats_acl.acl_cnt) return 0;
    *entry_p = &acl->ats_acl.acl_entry[acl->ats_cur_entry];
    return 1;
}

int acl_create_entry_np(acl_t *acl_p, acl_entry_t *entry_p, int index) {
    if (int err = enter("acl_create_entry_np", std::to_string(index))) return fail(err);
    if (acl_p == nullptr || !live(*acl_p) || entry_p == nullptr) return fail(EINVAL);
    struct acl &a = (*acl_p)->ats_acl;
    if (a.acl_cnt >= ACL_MAX_ENTRIES) return fail(ENOMEM);
    if (index < 0 || static_cast<unsigned>(index) > a.acl_cnt) return fail(ERANGE);
    std::copy_backward(a.acl_entry + index, a.acl_entry + a.acl_cnt, a.acl_entry + a.acl_cnt + 1);
    acl_entry &e = a.acl_entry[index];
    e.ae_tag = ACL_UNDEFINED_TAG;
    e.ae_id = ACL_UNDEFINED_ID;
    e.ae_perm = ACL_PERM_NONE;
    e.ae_entry_type = 0;
    e.ae_flags = 0;
    ++a.acl_cnt;
    (*acl_p)->ats_cur_entry = -1;
    *entry_p = &e;
    return 0;
}

int acl_create_entry(acl_t *acl_p, acl_entry_t *entry_p) {
    if (acl_p == nullptr || !live(*acl_p)) return fail(EINVAL);
    return acl_create_entry_np(acl_p, entry_p, static_cast<int>((*acl_p)->ats_acl.acl_cnt));
}

int acl_get_tag_type(acl_entry_t entry_d, acl_tag_t *tag_type_p) {
    if (int err = enter("acl_get_tag_type")) return fail(err);
    if (owner_of(entry_d) == nullptr || tag_type_p == nullptr) return fail(EINVAL);
    *tag_type_p = entry_d->ae_tag;
    return 0;
}

int acl_set_tag_type(acl_entry_t entry_d, acl_tag_t tag_type) {
    if (int err = enter("acl_set_tag_type", std::to_string(tag_type))) return fail(err);
    int kind = ACL_BRAND_UNKNOWN;
    switch (tag_type) {
        case ACL_USER_OBJ:
        case ACL_USER:
        case ACL_GROUP_OBJ:
        case ACL_GROUP:
            break;
        case ACL_MASK:
        case ACL_OTHER:
            kind = ACL_BRAND_POSIX;
            break;
        case ACL_EVERYONE:
            kind = ACL_BRAND_NFS4;
            break;
        default:
            return fail(EINVAL);
    }
    if (brand(entry_d, kind) == nullptr) return -1;
    entry_d->ae_tag = tag_type;
    return 0;
}

void *acl_get_qualifier(acl_entry_t entry_d) {
    if (int err = enter("acl_get_qualifier")) return errno = err, nullptr;
    if (owner_of(entry_d) == nullptr) return errno = EINVAL, nullptr;
    if (entry_d->ae_tag != ACL_USER && entry_d->ae_tag != ACL_GROUP) return errno = EINVAL, nullptr;
    auto id = std::make_unique<uid_t>(entry_d->ae_id);
    void *handed = id.get();
    w().qualifiers.emplace(handed, std::move(id));
    return handed;
}

int acl_set_qualifier(acl_entry_t entry_d, const void *tag_qualifier_p) {
    if (int err =
            enter("acl_set_qualifier",
                  tag_qualifier_p ? std::to_string(*static_cast<const uid_t *>(tag_qualifier_p))
                                  : "null"))
        return fail(err);
    if (owner_of(entry_d) == nullptr || tag_qualifier_p == nullptr) return fail(EINVAL);
    if (entry_d->ae_tag != ACL_USER && entry_d->ae_tag != ACL_GROUP) return fail(EINVAL);
    entry_d->ae_id = *static_cast<const uid_t *>(tag_qualifier_p);
    return 0;
}

int acl_get_permset(acl_entry_t entry_d, acl_permset_t *permset_p) {
    if (int err = enter("acl_get_permset")) return fail(err);
    if (owner_of(entry_d) == nullptr || permset_p == nullptr) return fail(EINVAL);
    *permset_p = reinterpret_cast<int *>(&entry_d->ae_perm);
    return 0;
}

int acl_set_permset(acl_entry_t entry_d, acl_permset_t permset_d) {
    if (int err = enter("acl_set_permset")) return fail(err);
    if (owner_of(entry_d) == nullptr || permset_d == nullptr) return fail(EINVAL);
    entry_d->ae_perm = static_cast<acl_perm_t>(*permset_d);
    return 0;
}

int acl_clear_perms(acl_permset_t permset_d) {
    if (int err = enter("acl_clear_perms")) return fail(err);
    if (permset_d == nullptr) return fail(EINVAL);
    *permset_d = ACL_PERM_NONE;
    return 0;
}

int acl_add_perm(acl_permset_t permset_d, acl_perm_t perm) {
    if (int err = enter("acl_add_perm", hex(perm))) return fail(err);
    if (permset_d == nullptr || !perm_valid(perm)) return fail(EINVAL);
    *permset_d = static_cast<int>(static_cast<acl_perm_t>(*permset_d) | perm);
    return 0;
}

int acl_delete_perm(acl_permset_t permset_d, acl_perm_t perm) {
    if (int err = enter("acl_delete_perm", hex(perm))) return fail(err);
    if (permset_d == nullptr || !perm_valid(perm)) return fail(EINVAL);
    *permset_d = static_cast<int>(static_cast<acl_perm_t>(*permset_d) & ~perm);
    return 0;
}

int acl_get_perm_np(acl_permset_t permset_d, acl_perm_t perm) {
    if (int err = enter("acl_get_perm_np", hex(perm))) return fail(err);
    if (permset_d == nullptr || !perm_valid(perm)) return fail(EINVAL);
    return (static_cast<acl_perm_t>(*permset_d) & perm) != 0;
}

int acl_get_flagset_np(acl_entry_t entry_d, acl_flagset_t *flagset_p) {
    if (int err = enter("acl_get_flagset_np")) return fail(err);
    if (owner_of(entry_d) == nullptr || flagset_p == nullptr) return fail(EINVAL);
    *flagset_p = &entry_d->ae_flags;
    return 0;
}

int acl_set_flagset_np(acl_entry_t entry_d, acl_flagset_t flagset_d) {
    if (int err = enter("acl_set_flagset_np")) return fail(err);
    if (flagset_d == nullptr || brand(entry_d, ACL_BRAND_NFS4) == nullptr) return fail(EINVAL);
    entry_d->ae_flags = *flagset_d;
    return 0;
}

int acl_clear_flags_np(acl_flagset_t flagset_d) {
    if (int err = enter("acl_clear_flags_np")) return fail(err);
    if (flagset_d == nullptr) return fail(EINVAL);
    *flagset_d = 0;
    return 0;
}

int acl_add_flag_np(acl_flagset_t flagset_d, acl_flag_t flag) {
    if (int err = enter("acl_add_flag_np", hex(flag))) return fail(err);
    if (flagset_d == nullptr || !flag_valid(flag)) return fail(EINVAL);
    *flagset_d = static_cast<acl_flag_t>(*flagset_d | flag);
    return 0;
}

int acl_delete_flag_np(acl_flagset_t flagset_d, acl_flag_t flag) {
    if (int err = enter("acl_delete_flag_np", hex(flag))) return fail(err);
    if (flagset_d == nullptr || !flag_valid(flag)) return fail(EINVAL);
    *flagset_d = static_cast<acl_flag_t>(*flagset_d & ~flag);
    return 0;
}

int acl_get_flag_np(acl_flagset_t flagset_d, acl_flag_t flag) {
    if (int err = enter("acl_get_flag_np", hex(flag))) return fail(err);
    if (flagset_d == nullptr || !flag_valid(flag)) return fail(EINVAL);
    return (*flagset_d & flag) != 0;
}

int acl_get_entry_type_np(acl_entry_t entry_d, acl_entry_type_t *entry_type_p) {
    if (int err = enter("acl_get_entry_type_np")) return fail(err);
    acl_t acl = owner_of(entry_d);
    if (acl == nullptr || entry_type_p == nullptr || acl->ats_brand == ACL_BRAND_POSIX)
        return fail(EINVAL);
    *entry_type_p = entry_d->ae_entry_type;
    return 0;
}

int acl_set_entry_type_np(acl_entry_t entry_d, acl_entry_type_t entry_type) {
    if (int err = enter("acl_set_entry_type_np", hex(entry_type))) return fail(err);
    if (!entry_type_valid(entry_type) || brand(entry_d, ACL_BRAND_NFS4) == nullptr)
        return fail(EINVAL);
    entry_d->ae_entry_type = entry_type;
    return 0;
}

int fchdir(int fd) {
    auto dir = w().dirs.find(fd);
    if (int err = enter("fchdir", dir != w().dirs.end() ? dir->second : "home")) return fail(err);
    w().cwd = dir != w().dirs.end() ? dir->second : "";
    return 0;
}

ssize_t getdents(int fd, char *buf, size_t nbytes) {
    if (int err = enter("getdents")) return fail(err);
    static_assert(sizeof(struct dirent) == sizeof(struct dirent64) &&
                  offsetof(struct dirent, d_reclen) == offsetof(struct dirent64, d_reclen) &&
                  offsetof(struct dirent, d_name) == offsetof(struct dirent64, d_name));
    return getdents64(fd, buf, nbytes);
}

ssize_t extattr_list_file(const char *path, int attrnamespace, void *data, size_t nbytes) {
    return list_call("extattr_list_file", path, attrnamespace, data, nbytes, false);
}

ssize_t extattr_list_link(const char *path, int attrnamespace, void *data, size_t nbytes) {
    return list_call("extattr_list_link", path, attrnamespace, data, nbytes, true);
}

ssize_t extattr_get_file(const char *path, int attrnamespace, const char *attrname, void *data,
                         size_t nbytes) {
    return get_call("extattr_get_file", path, attrnamespace, attrname, data, nbytes, false);
}

ssize_t extattr_get_link(const char *path, int attrnamespace, const char *attrname, void *data,
                         size_t nbytes) {
    return get_call("extattr_get_link", path, attrnamespace, attrname, data, nbytes, true);
}

ssize_t extattr_set_file(const char *path, int attrnamespace, const char *attrname,
                         const void *data, size_t nbytes) {
    return set_call("extattr_set_file", path, attrnamespace, attrname, data, nbytes, false);
}

ssize_t extattr_set_link(const char *path, int attrnamespace, const char *attrname,
                         const void *data, size_t nbytes) {
    return set_call("extattr_set_link", path, attrnamespace, attrname, data, nbytes, true);
}

int extattr_delete_file(const char *path, int attrnamespace, const char *attrname) {
    return delete_call("extattr_delete_file", path, attrnamespace, attrname, false);
}

int extattr_delete_link(const char *path, int attrnamespace, const char *attrname) {
    return delete_call("extattr_delete_link", path, attrnamespace, attrname, true);
}

}  // extern "C"
