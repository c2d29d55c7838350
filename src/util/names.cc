#include "util/names.h"
#include "util/nomem.h"

#include <grp.h>
#include <pwd.h>

#include <array>
#include <cerrno>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>

namespace {

// Nodes of an unordered_map never move, and none is ever erased, so pointers
// into the cached strings stay valid however large the cache grows.
struct IdNames {
    std::unordered_map<uint32_t, std::optional<std::string>> map;
    // The latest answers, by the low bits of the id, in front of the map: a
    // listing asks for the same few ids for every file, and the hash
    // look-up showed in its profiles.
    struct Recent {
        uint32_t id = 0;
        bool known = false;
        const char *name = nullptr;
    };
    std::array<Recent, 16> recent{};
};

struct NameCache {
    IdNames user_names;
    IdNames group_names;
    std::unordered_map<std::string, std::optional<uint32_t>> user_ids;
    std::unordered_map<std::string, std::optional<uint32_t>> group_ids;
};

NameCache &cache() {
    static NameCache names;
    return names;
}

// The database calls may set errno even when they succeed; callers of this
// module set their own errors and must not see ours.
class ErrnoKeeper {
  public:
    ErrnoKeeper() : saved_(errno) {}
    ~ErrnoKeeper() { errno = saved_; }
    ErrnoKeeper(const ErrnoKeeper &) = delete;
    ErrnoKeeper &operator=(const ErrnoKeeper &) = delete;

  private:
    int saved_;
};

// A cache that cannot grow must not end the program: the answer is "not
// found" with ENOMEM, and nothing is remembered, so the next call asks again.
template <typename Lookup>
const char *cached_name(IdNames &names, uint32_t id, Lookup lookup) {
    IdNames::Recent &recent = names.recent[id % names.recent.size()];
    if (recent.known && recent.id == id) return recent.name;
    return or_enomem<const char *>(nullptr, [&]() -> const char * {
        auto it = names.map.find(id);
        if (it == names.map.end()) {
            ErrnoKeeper keep;
            const char *found = lookup(id);
            std::optional<std::string> name;
            if (found != nullptr) name = found;
            it = names.map.emplace(id, std::move(name)).first;
        }
        const char *name = it->second ? it->second->c_str() : nullptr;
        recent = IdNames::Recent{id, true, name};
        return name;
    });
}

template <typename Lookup>
bool cached_id(std::unordered_map<std::string, std::optional<uint32_t>> &map, const char *name,
               uint32_t *id, Lookup lookup) {
    if (name == nullptr || *name == '\0') return false;
    return or_enomem<bool>(false, [&]() -> bool {
        auto it = map.find(name);
        if (it == map.end()) {
            ErrnoKeeper keep;
            it = map.emplace(name, lookup(name)).first;
        }
        if (!it->second) return false;
        if (id != nullptr) *id = *it->second;
        return true;
    });
}

}  // namespace

const char *names_user_name(uint32_t uid) {
    return cached_name(cache().user_names, uid, [](uint32_t id) -> const char * {
        const struct passwd *pw = getpwuid(static_cast<uid_t>(id));
        return pw != nullptr ? pw->pw_name : nullptr;
    });
}

const char *names_group_name(uint32_t gid) {
    return cached_name(cache().group_names, gid, [](uint32_t id) -> const char * {
        const struct group *gr = getgrgid(static_cast<gid_t>(id));
        return gr != nullptr ? gr->gr_name : nullptr;
    });
}

bool names_user_id(const char *name, uint32_t *uid) {
    return cached_id(cache().user_ids, name, uid, [](const char *n) -> std::optional<uint32_t> {
        const struct passwd *pw = getpwnam(n);
        if (pw == nullptr) return std::nullopt;
        return static_cast<uint32_t>(pw->pw_uid);
    });
}

bool names_group_id(const char *name, uint32_t *gid) {
    return cached_id(cache().group_ids, name, gid, [](const char *n) -> std::optional<uint32_t> {
        const struct group *gr = getgrnam(n);
        if (gr == nullptr) return std::nullopt;
        return static_cast<uint32_t>(gr->gr_gid);
    });
}
