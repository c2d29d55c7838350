#include "platform/nfs4_domain.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "util/nomem.h"

namespace {

std::string_view trim(std::string_view s) {
    const char *blanks = " \t\r";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool same_words(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// What follows the first '.' of a host name, or "".
std::string after_first_dot(const char *name) {
    std::string_view s(name);
    size_t dot = s.find('.');
    return dot == std::string_view::npos ? std::string() : std::string(s.substr(dot + 1));
}

struct file_close {
    void operator()(FILE *f) const { std::fclose(f); }
};

struct addrinfo_release {
    void operator()(addrinfo *ai) const { freeaddrinfo(ai); }
};

}  // namespace

std::string nfs4_conf_domain(std::string_view conf) {
    bool general = false;
    std::string domain;
    while (!conf.empty()) {
        size_t end = conf.find('\n');
        std::string_view line = trim(conf.substr(0, end));
        conf = end == std::string_view::npos ? std::string_view() : conf.substr(end + 1);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            general = close != std::string_view::npos &&
                      same_words(trim(line.substr(1, close - 1)), "General");
            continue;
        }
        size_t eq = line.find('=');
        if (!general || eq == std::string_view::npos) continue;
        if (same_words(trim(line.substr(0, eq)), "Domain"))
            domain = std::string(trim(line.substr(eq + 1)));  // the last setting wins
    }
    return domain;
}

std::string nfs4_host_domain() {
    return or_enomem<std::string>({}, [] {
        char host[256] = {};  // host names have at most 255 bytes
        if (gethostname(host, sizeof host - 1) != 0) return std::string();
        std::string domain = after_first_dot(host);
        if (!domain.empty()) return domain;
        addrinfo hints{};
        hints.ai_flags = AI_CANONNAME;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        if (getaddrinfo(host, nullptr, &hints, &found) != 0) return std::string();
        std::unique_ptr<addrinfo, addrinfo_release> owned(found);
        return found->ai_canonname ? after_first_dot(found->ai_canonname) : std::string();
    });
}

std::string nfs4_local_domain(const char *conf_path,
                              const std::function<std::string()> &host_domain) {
    return or_enomem<std::string>({}, [&] {
        std::string domain;
        if (conf_path != nullptr) {
            std::unique_ptr<FILE, file_close> in(std::fopen(conf_path, "re"));
            std::string conf;
            char chunk[4096];
            for (size_t got; in && (got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;)
                conf.append(chunk, got);
            domain = nfs4_conf_domain(conf);
        }
        if (domain.empty() && host_domain) domain = host_domain();
        return domain;
    });
}
