// nfs4_domain: the local NFSv4 domain, which turns user and group names into
// the name@domain principals of NFSv4 ACLs. As the NFS id mapper decides it:
// the Domain setting of the [General] section of idmapd.conf, else the DNS
// domain of this host.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Where the id mapper keeps its settings.
constexpr const char *NFS4_IDMAPD_CONF = "/etc/idmapd.conf";

// The Domain value of the [General] section of the idmapd.conf text `conf`
// (section and key in any case, '#' and ';' comment lines); empty when there
// is none.
std::string nfs4_conf_domain(std::string_view conf);

// The DNS domain of this host: what follows the first '.' of its name, or
// else of its canonical name; empty when neither has one.
std::string nfs4_host_domain();

// The local NFSv4 domain: the one set in the file at `conf_path` (a missing
// or unreadable file sets none), else what `host_domain` answers. Empty when
// neither knows one.
std::string nfs4_local_domain(const char *conf_path,
                              const std::function<std::string()> &host_domain = nfs4_host_domain);
