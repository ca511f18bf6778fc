// The scripts of scripts/, run in a scratch folder with a stand-in for the programs they
// call.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

using testing_support::Slurp;
using testing_support::TempDir;

// Runs a shell command line; returns its exit status.
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// scripts/package.sh runs the packager through this: the list of what
// `cmake --install` wrote stays that list, whatever the packager's own install writes.
TEST(Scripts, PackagingKeepsTheListOfWhatCmakeInstallWrote) {
    TempDir dir;
    const std::string script =
        std::string(ZARVEL_SOURCE_ROOT) + "/scripts/keep-install-manifest.sh";
    const std::string build = dir.path().string();
    const std::string packager = "sh -c 'echo /usr/bin/zarvel > install_manifest.txt'";
    const std::string installed = "/usr/local/bin/zarvel\n/usr/local/bin/zarvel-cli\n";
    dir.Write("install_manifest.txt", installed);
    EXPECT_EQ(Shell("bash '" + script + "' '" + build + "' " + packager), 0);
    EXPECT_EQ(Slurp(build + "/install_manifest.txt"), installed);

    // Without a list before, there is none after; a failing packager's status comes back.
    std::filesystem::remove(build + "/install_manifest.txt");
    EXPECT_EQ(Shell("bash '" + script + "' '" + build + "' " + packager), 0);
    EXPECT_FALSE(std::filesystem::exists(build + "/install_manifest.txt"));
    dir.Write("install_manifest.txt", installed);
    EXPECT_EQ(Shell("bash '" + script + "' '" + build +
                    "' sh -c 'echo /usr/bin/x > install_manifest.txt; exit 3'"),
              3);
    EXPECT_EQ(Slurp(build + "/install_manifest.txt"), installed);
}

}  // namespace
