// The local NFSv4 domain: idmapd.conf's Domain, else the host's DNS domain.
#include "platform/nfs4_domain.h"

#include <gtest/gtest.h>

#include <string>

#include "support/tempdir.h"

namespace {

TEST(Nfs4Domain, TheDomainOfTheGeneralSection) {
    const struct {
        const char *what;
        std::string conf;
        std::string domain;
    } cases[] = {
        {"plain", "[General]\nDomain = example.org\n", "example.org"},
        {"any case, blanks and CRs", "[ general ]\r\n\tdomain=Example.ORG \r\n", "Example.ORG"},
        {"comments and other keys",
         "# Domain = no.org\n[General]\nVerbosity = 0\n; Domain = nor.org\nDomain = yes.org",
         "yes.org"},
        {"the last setting wins", "[General]\nDomain = a.org\nDomain = b.org\n", "b.org"},
        {"other sections", "[Mapping]\nDomain = no.org\n[General]\n[Translation]\nDomain = x\n",
         ""},
        {"outside any section", "Domain = no.org\n", ""},
        {"unclosed section", "[General\nDomain = no.org\n", ""},
        {"empty", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(nfs4_conf_domain(c.conf), c.domain);
    }
}

TEST(Nfs4Domain, TheConfigurationFileBeforeTheHostsDomain) {
    temp_dir dir;
    std::string with = dir.write("with.conf", "[General]\nDomain = conf.example\n");
    std::string without = dir.write("without.conf", "[General]\nVerbosity = 2\n");
    int asked = 0;
    auto host = [&] {
        ++asked;
        return std::string("host.example");
    };
    EXPECT_EQ(nfs4_local_domain(with.c_str(), host), "conf.example");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(nfs4_local_domain(without.c_str(), host), "host.example");
    EXPECT_EQ(nfs4_local_domain(dir.file("missing").c_str(), host), "host.example");
    EXPECT_EQ(nfs4_local_domain(dir.path().c_str(), host), "host.example");  // a directory
    EXPECT_EQ(nfs4_local_domain(without.c_str(), [] { return std::string(); }), "");
}

}  // namespace
