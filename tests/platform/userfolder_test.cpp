// The user's home and freedesktop folders, whatever the environment says.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "files.h"
#include "test_support.h"

namespace {

using testing_support::ScopedEnv;

std::string AccountHome() {
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

TEST(UserFolder, TakesAnAbsoluteVariableAndIgnoresARelativeOne) {
    ScopedEnv home("HOME", "/home/someone");
    struct Case {
        const char* value;  // null: unset
        const char* folder;
    };
    for (const Case& c :
         {Case{"/xdg/config", "/xdg/config"}, Case{nullptr, "/home/someone/.config"},
          Case{"", "/home/someone/.config"}, Case{"relative/config", "/home/someone/.config"},
          Case{"./config", "/home/someone/.config"}, Case{"~/config", "/home/someone/.config"}}) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        ScopedEnv config("XDG_CONFIG_HOME", c.value);
        EXPECT_EQ(plat::UserFolder("XDG_CONFIG_HOME", "/.config"), c.folder);
    }
}

TEST(UserFolder, WithoutAUsableHomeTheAccountsHomeFolder) {
    const std::string account = AccountHome();
    if (account.empty() || account[0] != '/') GTEST_SKIP() << "the account has no home folder";
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/home"}) {
        SCOPED_TRACE(value ? value : "(unset)");
        ScopedEnv home("HOME", value);
        EXPECT_EQ(plat::HomeFolder(), account);
        const std::string base = account == "/" ? "" : account;
        EXPECT_EQ(plat::UserFolder("XDG_DATA_HOME", "/.local/share"), base + "/.local/share");
        EXPECT_NE(plat::UserFolder("XDG_DATA_HOME", "/.local/share"), "/.local/share");
    }
    ScopedEnv home("HOME", "/home/set/");
    EXPECT_EQ(plat::UserFolder("XDG_DATA_HOME", "/.local/share"), "/home/set/.local/share");
}

TEST(UserFolder, TheEnvironmentIsSettledForOthersToRead) {
    const std::string account = AccountHome();
    if (account.empty() || account[0] != '/') GTEST_SKIP() << "the account has no home folder";
    ScopedEnv home("HOME", nullptr);
    ScopedEnv config("XDG_CONFIG_HOME", "relative");
    ScopedEnv data("XDG_DATA_HOME", "/absolute/data");
    ScopedEnv cache("XDG_CACHE_HOME", "");
    ScopedEnv state("XDG_STATE_HOME", "state");
    plat::SettleUserFolderEnvironment();
    EXPECT_EQ(plat::GetEnv("HOME"), account);
    EXPECT_EQ(plat::GetEnv("XDG_CONFIG_HOME"), std::nullopt);
    EXPECT_EQ(plat::GetEnv("XDG_DATA_HOME"), "/absolute/data");
    EXPECT_EQ(plat::GetEnv("XDG_CACHE_HOME"), std::nullopt);  // empty counts as unset
    EXPECT_EQ(plat::GetEnv("XDG_STATE_HOME"), std::nullopt);
}

}  // namespace
