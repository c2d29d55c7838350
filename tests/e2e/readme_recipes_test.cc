// The commands of the README's recipes, run as written (on a sample tree in
// place of /srv/share), in the order the README gives them: each must work.
#include <fstream>

#include "write_fixture.h"

namespace write_test {
namespace {

// The indented command lines of the "## Recipes" section.
std::vector<std::string> recipe_commands() {
    std::ifstream readme(std::string(vossik_fixtures()) + "/../../README.md");
    std::vector<std::string> commands;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("## ", 0) == 0) inside = line == "## Recipes";
        if (inside && line.rfind("    vossik ", 0) == 0) commands.push_back(line.substr(4));
    }
    return commands;
}

using ReadmeRecipes = WriteTest;

TEST_F(ReadmeRecipes, EveryCommandWorks) {
    std::vector<std::string> commands = recipe_commands();
    ASSERT_GE(commands.size(), 9u);

    // /srv/share: bob with entries of his own, a finance subtree.
    directory("srv");
    directory("srv/share");
    directory("srv/share/projects");
    directory("srv/share/finance");
    file("srv/share/report.txt");
    file("srv/share/projects/plan.txt");
    file("srv/share/finance/q1.txt");
    const std::string inheritable = "owner@:rwxpDdaARWcCos:fd:allow,everyone@:raRcs:fd:allow";
    for (const char *name : {"srv/share", "srv/share/projects", "srv/share/finance"})
        put(name, inheritable);
    put("srv/share/report.txt", "owner@:rwpaARWcCos::allow,user:1001:rw::allow");
    put("srv/share/projects/plan.txt", "owner@:rwpaARWcCos::allow");

    // "vossik" on the PATH is the binary under test.
    std::string bin = dir.file("bin");
    mkdir(bin.c_str(), 0755);
    symlink(vossik_binary(), (bin + "/vossik").c_str());
    const std::string path = "PATH=" + bin + ":/usr/bin:/bin";

    for (std::string command : commands) {
        const std::string tree = dir.file("srv/share");
        for (size_t at = 0; (at = command.find("/srv/share", at)) != std::string::npos;
             at += tree.size())
            command.replace(at, 10, tree);
        process_result r = run_process({"/bin/sh", {"sh", "-c", command}, "", dir.path(), {path}});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.err, "") << command;
        if (command.find(" p' ") != std::string::npos) {
            EXPECT_NE(r.out.find("user:bob:rw"), std::string::npos) << command << r.out;
        }
    }
    // The last recipe, inherit-access, replaced what the others wrote below
    // the top, the deny for alice included, as the README warns; the group
    // granted on the top stays, and bob has gone.
    EXPECT_EQ(acl("srv/share/finance/q1.txt"),
              "owner@:rwxpDdaARWcCos:I:allow,group:1001:rxaRcs:I:allow,everyone@:raRcs:I:allow");
    EXPECT_EQ(acl("srv/share/report.txt").find("user:1001"), std::string::npos);
}

}  // namespace
}  // namespace write_test
