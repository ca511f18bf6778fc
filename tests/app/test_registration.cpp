// File-type registration: the desktop entry's Exec line, the edit of the user's
// mimeapps.list, the files it must leave alone and the programs it refuses; read back
// by the desktops' own tools (gio, xdg-mime) where they are installed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "files.h"
#include "mimeapps.h"
#include "registration.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::ScopedMessageBox;
using testing_support::TempDir;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Where a program is found in PATH; empty when it is not installed.
std::string FindProgram(const std::string& name) {
    const std::string path = plat::GetEnv("PATH").value_or("/usr/bin:/bin");
    std::stringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

struct ToolRun {
    int status = -1;
    std::string out;
};

// Runs a program with exactly the given environment and collects what it prints.
ToolRun RunWithEnvironment(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& environment) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 2);
        close(pipeFds[0]);
        std::vector<std::string> envText;
        for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
        std::vector<char*> envp, args;
        for (std::string& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ToolRun run;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) run.out.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// ---- The Exec line ----

TEST(DesktopExec, QuotesOnlyWhatTheEntrySyntaxReserves) {
    struct Case {
        const char* path;
        const char* value;  // as the entry's file holds it
    };
    for (const Case& c : {
             Case{"/usr/bin/zarvel", "/usr/bin/zarvel"},
             Case{"/opt/caf\xc3\xa9/a=b+c,d/zarvel", "/opt/caf\xc3\xa9/a=b+c,d/zarvel"},
             Case{"/opt/my apps/zarvel", "\"/opt/my apps/zarvel\""},
             Case{"/opt/it's/zarvel", "\"/opt/it's/zarvel\""},
             Case{"/opt/say \"hi\"/zarvel", "\"/opt/say \\\\\"hi\\\\\"/zarvel\""},
             Case{"/opt/100%/zarvel", "/opt/100%%/zarvel"},
             Case{"/opt/100% sure/zarvel", "\"/opt/100%% sure/zarvel\""},
             Case{"/opt/$HOME/zarvel", "\"/opt/\\\\$HOME/zarvel\""},
             Case{"/opt/`id`/zarvel", "\"/opt/\\\\`id\\\\`/zarvel\""},
             Case{"/opt/back\\slash/zarvel", "\"/opt/back\\\\\\\\slash/zarvel\""},
             Case{"/opt/a;b|c&d<e>f~g*h?i#j(k)/zarvel", "\"/opt/a;b|c&d<e>f~g*h?i#j(k)/zarvel\""},
         }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(QzDesktopExecProgram(c.path), std::optional<std::string>(c.value));
    }
}

// Each character the entry syntax reserves makes the argument quoted on its own; within
// the quotes four of them take a backslash, which the value's own escaping doubles.
TEST(DesktopExec, EachReservedCharacterAloneQuotesTheArgument) {
    struct Case {
        char reserved;
        const char* value;
    };
    for (const Case& c : {
             Case{' ', "\"/opt/a b/zarvel\""},
             Case{'"', "\"/opt/a\\\\\"b/zarvel\""},
             Case{'\'', "\"/opt/a'b/zarvel\""},
             Case{'\\', "\"/opt/a\\\\\\\\b/zarvel\""},
             Case{'>', "\"/opt/a>b/zarvel\""},
             Case{'<', "\"/opt/a<b/zarvel\""},
             Case{'~', "\"/opt/a~b/zarvel\""},
             Case{'|', "\"/opt/a|b/zarvel\""},
             Case{'&', "\"/opt/a&b/zarvel\""},
             Case{';', "\"/opt/a;b/zarvel\""},
             Case{'$', "\"/opt/a\\\\$b/zarvel\""},
             Case{'*', "\"/opt/a*b/zarvel\""},
             Case{'?', "\"/opt/a?b/zarvel\""},
             Case{'#', "\"/opt/a#b/zarvel\""},
             Case{'(', "\"/opt/a(b/zarvel\""},
             Case{')', "\"/opt/a)b/zarvel\""},
             Case{'`', "\"/opt/a\\\\`b/zarvel\""},
         }) {
        const std::string path = std::string("/opt/a") + c.reserved + "b/zarvel";
        SCOPED_TRACE(path);
        EXPECT_EQ(QzDesktopExecProgram(path), std::optional<std::string>(c.value));
    }
    // Characters that are not reserved stay bare.
    for (const char plain : std::string("=+,.-_:@!%^[]{}")) {
        const std::string path = std::string("/opt/a") + plain + "b/zarvel";
        const std::optional<std::string> value = QzDesktopExecProgram(path);
        ASSERT_TRUE(value) << path;
        EXPECT_NE(value->front(), '"') << path;
    }
}

TEST(DesktopExec, RefusesPathsNoEntryCanHold) {
    for (const std::string& path : {
             std::string(),
             std::string("/opt/x\nExec=/bin/echo INJECTED"),
             std::string("/opt/tab\there/zarvel"),
             std::string("/opt/cr\rhere/zarvel"),
             std::string("/opt/bell\a/zarvel"),
             std::string("/opt/del\x7f/zarvel"),
             std::string("/opt/nul\0/zarvel", 15),
             std::string("/opt/caf\xe9/zarvel"),           // Latin-1
             std::string("/opt/c1\xc2\x85/zarvel"),        // U+0085, a control
             std::string("/opt/over\xc0\xaf/zarvel"),      // overlong "/"
             std::string("/opt/half\xed\xa0\x80/zarvel"),  // a surrogate
             std::string("/opt/cut\xe2\x82"),
         }) {
        SCOPED_TRACE(path);
        EXPECT_EQ(QzDesktopExecProgram(path), std::nullopt);
    }
}

// ---- Editing mimeapps.list ----

std::string SetDefault(std::string text, const std::string& type = "application/x-ldraw") {
    std::string error;
    EXPECT_TRUE(QzSetDefaultApplication(text, type, "zarvel.desktop", error)) << error;
    return text;
}

TEST(MimeAppsEdit, ChangesOnlyTheTypesLines) {
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    };
    for (const Case& c : {
             Case{"new file", "", "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"},
             Case{"other groups only, no final newline",
                  "[Added Associations]\ntext/plain=editor.desktop;",
                  "[Added Associations]\ntext/plain=editor.desktop;\n\n"
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"},
             Case{"the rest of the list stays, zarvel first, once",
                  "[Default Applications]\n"
                  "application/x-ldraw=other.desktop;zarvel.desktop;fallback.desktop\n"
                  "# mine\nimage/png=viewer.desktop\n",
                  "[Default Applications]\n"
                  "application/x-ldraw=zarvel.desktop;other.desktop;fallback.desktop;\n"
                  "# mine\nimage/png=viewer.desktop\n"},
             Case{"added after the group's last entry, before the next group",
                  "[Default Applications]\nimage/png=viewer.desktop\n\n# next\n"
                  "[Added Associations]\nimage/png=viewer.desktop;\n",
                  "[Default Applications]\nimage/png=viewer.desktop\n"
                  "application/x-ldraw=zarvel.desktop;\n\n# next\n"
                  "[Added Associations]\nimage/png=viewer.desktop;\n"},
             Case{"another type that starts alike is not touched",
                  "[Default Applications]\napplication/x-ldraw-old=a.desktop\n",
                  "[Default Applications]\napplication/x-ldraw-old=a.desktop\n"
                  "application/x-ldraw=zarvel.desktop;\n"},
             Case{"CRLF lines and a header with blanks after it",
                  "[Default Applications] \t\r\nimage/png=viewer.desktop;\r\n"
                  "  application/x-ldraw = other.desktop;\r\n",
                  "[Default Applications] \t\r\nimage/png=viewer.desktop;\r\n"
                  "application/x-ldraw=zarvel.desktop;other.desktop;\r\n"},
             Case{"CRLF file, new line in CRLF",
                  "[Default Applications]\r\nimage/png=viewer.desktop;\r\n",
                  "[Default Applications]\r\nimage/png=viewer.desktop;\r\n"
                  "application/x-ldraw=zarvel.desktop;\r\n"},
             Case{"two groups, the type in both: both lines name zarvel first",
                  "[Default Applications]\napplication/x-ldraw=a.desktop;\n"
                  "[Added Associations]\nimage/png=b.desktop;\n"
                  "[Default Applications]\napplication/x-ldraw=c.desktop;\n",
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;a.desktop;\n"
                  "[Added Associations]\nimage/png=b.desktop;\n"
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;c.desktop;\n"},
             Case{"two groups, the type in neither: it goes to the last",
                  "[Default Applications]\nimage/png=a.desktop;\n\n"
                  "[Default Applications]\nimage/gif=b.desktop;\n\n[Removed Associations]\n",
                  "[Default Applications]\nimage/png=a.desktop;\n\n"
                  "[Default Applications]\nimage/gif=b.desktop;\n"
                  "application/x-ldraw=zarvel.desktop;\n\n[Removed Associations]\n"},
             Case{"a localised key is another key",
                  "[Default Applications]\napplication/x-ldraw[de]=a.desktop\n",
                  "[Default Applications]\napplication/x-ldraw[de]=a.desktop\n"
                  "application/x-ldraw=zarvel.desktop;\n"},
             Case{"an empty group", "[Default Applications]\n",
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"},
             Case{"an empty group before another",
                  "[Default Applications]\n[Added Associations]\nimage/png=b.desktop;\n",
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"
                  "[Added Associations]\nimage/png=b.desktop;\n"},
             Case{"an empty group, no final newline", "[Default Applications]",
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"},
             Case{"the user's last line, no final newline, stays whole",
                  "[Default Applications]\nimage/png=viewer.desktop",
                  "[Default Applications]\nimage/png=viewer.desktop\n"
                  "application/x-ldraw=zarvel.desktop;\n"},
             Case{"the same in CRLF", "[Default Applications]\r\nimage/png=viewer.desktop",
                  "[Default Applications]\r\nimage/png=viewer.desktop\r\n"
                  "application/x-ldraw=zarvel.desktop;\r\n"},
             Case{"a comment last, no final newline",
                  "[Default Applications]\nimage/png=viewer.desktop\n# mine",
                  "[Default Applications]\nimage/png=viewer.desktop\n"
                  "application/x-ldraw=zarvel.desktop;\n# mine"},
             Case{"the type's own line last, no final newline",
                  "[Default Applications]\napplication/x-ldraw=other.desktop",
                  "[Default Applications]\napplication/x-ldraw=zarvel.desktop;other.desktop;"},
             Case{"bytes that are not UTF-8 in other lines stay",
                  "# caf\xe9\n[Default Applications]\nx/y=\xff\xfe\n",
                  "# caf\xe9\n[Default Applications]\nx/y=\xff\xfe\n"
                  "application/x-ldraw=zarvel.desktop;\n"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SetDefault(c.before), c.after);
        // Again: nothing changes any more.
        EXPECT_EQ(SetDefault(c.after), c.after);
    }
}

TEST(MimeAppsEdit, TextsThatAreNoKeyFileAreLeftAsTheyAre) {
    for (const std::string& text : {
             std::string("[Default Applications]\nbogus line\n"),
             std::string("text/plain=a.desktop\n[Default Applications]\n"),
             std::string("[Default Applications]x\n"),
             std::string("[Default\tApplications]\n"),
             std::string("[Default Applications\n"),
             std::string("[]\n"),
             std::string("[Default Applications]\n=a.desktop\n"),
             std::string("[Default Applications]\n a=b\n[x] ]\n"),
             std::string("[Default Applications]\nkey[de=a\n"),
         }) {
        SCOPED_TRACE(text);
        std::string edited = text, error;
        EXPECT_FALSE(
            QzSetDefaultApplication(edited, "application/x-ldraw", "zarvel.desktop", error));
        EXPECT_EQ(edited, text);
        EXPECT_NE(error.find("line "), std::string::npos);
        EXPECT_EQ(QzDefaultApplications(text, "application/x-ldraw"), std::nullopt);
    }
}

TEST(MimeAppsEdit, ReadsTheFirstApplicationOfEveryLine) {
    const std::string text =
        "# comment\n[Default Applications]\r\n application/x-ldraw = a.desktop;b.desktop\r\n"
        "[Added Associations]\napplication/x-ldraw=x.desktop\n"
        "[Default Applications]\napplication/x-ldraw=;c\\;d.desktop;e\n";
    EXPECT_EQ(QzDefaultApplications(text, "application/x-ldraw"),
              (std::vector<std::string>{"a.desktop", "c\\;d.desktop"}));
    EXPECT_EQ(QzDefaultApplications(text, "image/png"), std::vector<std::string>{});
}

// ---- The store ----

class Registration : public ::testing::Test {
  protected:
    // A store whose icons are small texts naming their position and size.
    static QzXdgFileTypeStore Store() {
        return QzXdgFileTypeStore([](int position, int pixels, std::string& png) {
            png = std::to_string(position) + " " + std::to_string(pixels);
            return true;
        });
    }
    std::string Read(const std::string& relative) { return ReadAll(home.path() / relative); }
    fs::path List() const { return home.path() / "config" / "mimeapps.list"; }
    // The names in a folder, hidden temporary files included.
    static std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    int RegisterBoth() {
        boxes.box.calls.clear();
        return RegisterFileTypes(store, QZ_TYPE_DAT | QZ_TYPE_MPD);
    }
    void ExpectFailedAt(int code, const std::string& extension = ".dat") {
        ASSERT_EQ(boxes.box.calls.size(), 1u);
        EXPECT_EQ(boxes.box.calls[0].text, "Could not register " + extension +
                                               " for Qz\nError code: " + std::to_string(code));
        EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Exclamation);
    }

    TempDir home;
    // The store's folders, for as long as the test runs.
    ScopedEnv dataHome{"XDG_DATA_HOME", (home.path() / "data").c_str()};
    ScopedEnv configHome{"XDG_CONFIG_HOME", (home.path() / "config").c_str()};
    ScopedMessageBox boxes;
    QzXdgFileTypeStore store = Store();
};

TEST_F(Registration, FreshRegistrationOfBoth) {
    EXPECT_FALSE(IsFileTypeRegistered(store, QZ_TYPE_DAT | QZ_TYPE_MPD));
    EXPECT_FALSE(IsFileTypeRegistered(store, 0));
    ASSERT_EQ(RegisterBoth(), 0);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Qz registered, Thank You!");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Plain);
    EXPECT_TRUE(IsFileTypeRegistered(store, QZ_TYPE_DAT | QZ_TYPE_MPD));

    EXPECT_EQ(Read("config/mimeapps.list"),
              "[Default Applications]\n"
              "application/x-ldraw=zarvel.desktop;\n"
              "application/x-multi-part-ldraw=zarvel.desktop;\n");
    const std::string entry = Read("data/applications/zarvel.desktop");
    EXPECT_NE(entry.find("\nExec=" + *QzDesktopExecProgram(QzRunningProgram().path) + " %f\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("MimeType=application/x-ldraw;application/x-multi-part-ldraw;"),
              std::string::npos);
    const std::string package = Read("data/mime/packages/zarvel-application-x-ldraw.xml");
    EXPECT_NE(package.find("<comment>Qz dat file</comment>"), std::string::npos);
    EXPECT_NE(package.find("<glob pattern=\"*.ldr\"/>"), std::string::npos);
    EXPECT_EQ(Read("data/icons/hicolor/48x48/mimetypes/application-x-multi-part-ldraw.png"),
              "7 48");
    EXPECT_EQ(Read("data/icons/hicolor/16x16/apps/zarvel.png"), "0 16");
    // The MIME database was built: the globs are in it.
    EXPECT_NE(Read("data/mime/globs2").find("application/x-multi-part-ldraw:*.mpd"),
              std::string::npos);
    // File managers find the command-line program in PATH: none lies beside this one.
    EXPECT_EQ(Read("data/thumbnailers/zarvel.thumbnailer"),
              "[Thumbnailer Entry]\nTryExec=zarvel-cli\nExec=zarvel-cli thumbnail -s %s %u %o\n"
              "MimeType=application/x-ldraw;application/x-multi-part-ldraw;\n");
    // Nothing half-written stays behind.
    EXPECT_EQ(Names(home.path() / "config"), std::vector<std::string>{"mimeapps.list"});
    EXPECT_EQ(Names(home.path() / "data" / "thumbnailers"),
              std::vector<std::string>{"zarvel.thumbnailer"});
}

// The package installs the same entry as a registration writes without a program beside.
TEST(Thumbnailer, InstalledEntryIsTheOneOfTheProgramInPath) {
    EXPECT_EQ(ReadAll(testing_support::SourceDir() / "cli" / "zarvel.thumbnailer"),
              QzThumbnailerEntry("zarvel-cli"));
    EXPECT_EQ(QzThumbnailerEntry("/opt/tab\there/zarvel-cli"), std::nullopt);
    EXPECT_EQ(QzThumbnailerEntry("/opt/back\\slash/zarvel-cli"),
              std::optional<std::string>(
                  "[Thumbnailer Entry]\nTryExec=/opt/back\\\\slash/zarvel-cli\n"
                  "Exec=\"/opt/back\\\\\\\\slash/zarvel-cli\" thumbnail -s %s %u %o\n"
                  "MimeType=application/x-ldraw;application/x-multi-part-ldraw;\n"));
}

TEST_F(Registration, EditsTheUsersListKeepingEveryOtherLine) {
    const std::string others =
        "[Added Associations]\r\ntext/plain=editor.desktop;\r\n\r\n"
        "[Default Applications]  \r\napplication/x-ldraw=Zarvel.desktop;fallback.desktop;\r\n"
        "image/png=viewer.desktop\r\n";
    home.Write("config/mimeapps.list", others);
    // A default that differs only in letter case is another program's.
    EXPECT_FALSE(IsFileTypeRegistered(store, QZ_TYPE_DAT));
    ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_MPD), 0);
    EXPECT_FALSE(IsFileTypeRegistered(store, QZ_TYPE_DAT));
    EXPECT_TRUE(IsFileTypeRegistered(store, QZ_TYPE_MPD));
    ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT), 0);
    ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT), 0);  // again: nothing doubles
    EXPECT_EQ(Read("config/mimeapps.list"),
              "[Added Associations]\r\ntext/plain=editor.desktop;\r\n\r\n"
              "[Default Applications]  \r\n"
              "application/x-ldraw=zarvel.desktop;Zarvel.desktop;fallback.desktop;\r\n"
              "image/png=viewer.desktop\r\n"
              "application/x-multi-part-ldraw=zarvel.desktop;\r\n");
    EXPECT_TRUE(IsFileTypeRegistered(store, QZ_TYPE_DAT | QZ_TYPE_MPD));
}

TEST_F(Registration, TwoDefaultGroupsAreBothSeen) {
    home.Write("config/mimeapps.list",
               "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"
               "[Default Applications]\napplication/x-ldraw=other.desktop;\n");
    // The later line is the one a desktop takes: not registered.
    EXPECT_FALSE(IsFileTypeRegistered(store, QZ_TYPE_DAT));
    ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT), 0);
    EXPECT_EQ(Read("config/mimeapps.list"),
              "[Default Applications]\napplication/x-ldraw=zarvel.desktop;\n"
              "[Default Applications]\napplication/x-ldraw=zarvel.desktop;other.desktop;\n");
    EXPECT_TRUE(IsFileTypeRegistered(store, QZ_TYPE_DAT));
}

TEST_F(Registration, WritesThroughALinkAndKeepsTheMode) {
    const std::string target =
        home.Write("dotfiles/mimeapps.list", "[Default Applications]\nimage/png=a.desktop\n");
    fs::create_directories(home.path() / "config");
    fs::create_symlink("../dotfiles/mimeapps.list", List());
    chmod(target.c_str(), 0440);
    ASSERT_EQ(RegisterBoth(), 0);
    EXPECT_TRUE(fs::is_symlink(List()));
    EXPECT_EQ(fs::read_symlink(List()), "../dotfiles/mimeapps.list");
    EXPECT_EQ(ReadAll(target),
              "[Default Applications]\nimage/png=a.desktop\n"
              "application/x-ldraw=zarvel.desktop;\n"
              "application/x-multi-part-ldraw=zarvel.desktop;\n");
    EXPECT_EQ(ModeOf(target), 0440u);
    EXPECT_EQ(Names(home.path() / "dotfiles"), std::vector<std::string>{"mimeapps.list"});
}

// A list that is there but cannot be read, or is no list a desktop reads, is never
// replaced: registration fails at the extension step and the file stays as it was.
TEST_F(Registration, AListItCannotReadIsLeftAlone) {
    struct Case {
        const char* name;
        std::function<void()> make;   // puts the list in place
        std::function<void()> check;  // it is still there as it was
    };
    const std::string userText =
        "[Added Associations]\ntext/plain=editor.desktop;\n[Default Applications]\n"
        "image/png=viewer.desktop\nthis line is no entry\n";
    const fs::path config = home.path() / "config";
    std::vector<Case> cases = {
        {"a folder", [&] { fs::create_directories(List() / "inside"); },
         [&] { EXPECT_TRUE(fs::is_directory(List() / "inside")); }},
        {"a loop of links",
         [&] {
             fs::create_directories(config);
             fs::create_symlink("loop", List());
             fs::create_symlink("mimeapps.list", config / "loop");
         },
         [&] { EXPECT_EQ(fs::read_symlink(List()), "loop"); }},
        {"a file whose reading fails",
         // The kernel's file of the process memory: it opens, and reading its start
         // fails, for root too.
         [&] {
             fs::create_directories(config);
             fs::create_symlink("/proc/self/mem", List());
         },
         [&] { EXPECT_EQ(fs::read_symlink(List()), "/proc/self/mem"); }},
        {"a named pipe",
         [&] {
             fs::create_directories(config);
             ASSERT_EQ(mkfifo(List().c_str(), 0600), 0);
         },
         [&] { EXPECT_TRUE(fs::is_fifo(List())); }},
        {"a file that is no key file", [&] { home.Write("config/mimeapps.list", userText); },
         [&] { EXPECT_EQ(ReadAll(List()), userText); }},
    };
    if (geteuid() != 0)
        cases.push_back({"a file without read permission",
                         [&] {
                             home.Write("config/mimeapps.list",
                                        "[Default Applications]\nimage/png=a.desktop\n");
                             chmod(List().c_str(), 0);
                         },
                         [&] {
                             EXPECT_EQ(ModeOf(List()), 0u);
                             chmod(List().c_str(), 0600);
                             EXPECT_EQ(ReadAll(List()),
                                       "[Default Applications]\nimage/png=a.desktop\n");
                         }});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(config);
        c.make();
        const std::vector<std::string> before = Names(config);
        EXPECT_EQ(RegisterBoth(), QZ_REG_EXTENSION);
        ExpectFailedAt(QZ_REG_EXTENSION);
        EXPECT_NE(store.LastError().find("mimeapps.list"), std::string::npos) << store.LastError();
        EXPECT_FALSE(IsFileTypeRegistered(store, QZ_TYPE_DAT));
        EXPECT_EQ(Names(config), before);
        c.check();
    }
}

TEST_F(Registration, EachFailingStepHasItsCode) {
    struct Case {
        const char* blocked;  // a file where a folder must be made
        int code;
    };
    for (const Case& c :
         {Case{"data/mime", QZ_REG_DESCRIPTION}, Case{"data/icons", QZ_REG_ICON},
          Case{"data/applications", QZ_REG_OPEN}, Case{"data/thumbnailers", QZ_REG_OPEN}}) {
        SCOPED_TRACE(c.blocked);
        fs::remove_all(home.path() / "data");
        home.Write(c.blocked, "in the way");
        EXPECT_EQ(RegisterBoth(), c.code);
        // .dat failed: .mpd was not tried.
        ExpectFailedAt(c.code);
        EXPECT_EQ(ReadAll(home.path() / c.blocked), "in the way");
    }
}

TEST_F(Registration, RefusesAProgramNoEntryCanNameAndWritesNothing) {
    for (const QzProgramFile& program : {
             QzProgramFile{"/opt/x\nExec=/bin/echo INJECTED", true},
             QzProgramFile{"/opt/tab\there/zarvel", true},
             QzProgramFile{"/opt/caf\xe9/zarvel", true},
             QzProgramFile{"/opt/zarvel (deleted)", false},
         }) {
        SCOPED_TRACE(program.path);
        boxes.box.calls.clear();
        EXPECT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT | QZ_TYPE_MPD, program), QZ_REG_OPEN);
        ExpectFailedAt(QZ_REG_OPEN);
        EXPECT_FALSE(fs::exists(home.path() / "data"));
        EXPECT_FALSE(fs::exists(home.path() / "config"));
    }
}

TEST(RunningProgram, AFileDeletedOrReplacedSinceTheStartIsNotCurrent) {
    EXPECT_TRUE(QzRunningProgram().current);
    EXPECT_EQ(QzRunningProgram().path, fs::read_symlink("/proc/self/exe").string());

    // A copy of a program that waits, run, then deleted and put back anew.
    TempDir dir;
    const fs::path copy = dir.path() / "sleeper";
    fs::copy_file("/bin/sleep", copy);
    const pid_t child = fork();
    if (child == 0) {
        execl(copy.c_str(), "sleeper", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    const std::string link = "/proc/" + std::to_string(child) + "/exe";
    for (int i = 0; i < 500 && fs::read_symlink(link) != copy; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(QzProgramFileOf(link).path, copy.string());
    EXPECT_TRUE(QzProgramFileOf(link).current);
    fs::remove(copy);
    EXPECT_EQ(QzProgramFileOf(link).path, copy.string() + " (deleted)");
    EXPECT_FALSE(QzProgramFileOf(link).current);
    fs::copy_file("/bin/sleep", copy);  // another file under the old name
    EXPECT_FALSE(QzProgramFileOf(link).current);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// ---- Read back by the desktops' tools ----

class DesktopTools : public Registration {
  protected:
    // The environment of a desktop session that knows only the test's folders; the
    // system's folders hold another program for the type, which answers unless the
    // user's choice is read.
    std::map<std::string, std::string> Environment() {
        const fs::path system = home.path() / "system";
        fs::create_directories(system / "applications");
        std::ofstream(system / "applications" / "other.desktop")
            << "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n"
               "MimeType=application/x-ldraw;\n";
        std::ofstream(system / "applications" / "mimeinfo.cache")
            << "[MIME Cache]\napplication/x-ldraw=other.desktop;\n";
        return {{"HOME", home.path().string()},
                {"PATH", plat::GetEnv("PATH").value_or("/usr/bin:/bin")},
                {"XDG_CONFIG_HOME", (home.path() / "config").string()},
                {"XDG_DATA_HOME", (home.path() / "data").string()},
                {"XDG_CONFIG_DIRS", (home.path() / "etc").string()},
                {"XDG_DATA_DIRS", system.string()}};
    }
    // A program that writes where it was started from and its arguments to a file.
    QzProgramFile Recorder(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \""
                            << (home.path() / "ran").string() << "\"\n";
        fs::permissions(path, fs::perms::owner_all);
        return {path.string(), true};
    }
    // The user's cache of entries answers for the entry itself: the answer must come
    // from mimeapps.list.
    void DropUserCache() { fs::remove(home.path() / "data" / "applications" / "mimeinfo.cache"); }
};

TEST_F(DesktopTools, XdgMimeAnswersZarvelAfterRegistration) {
    const std::string xdgMime = FindProgram("xdg-mime");
    if (xdgMime.empty()) GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
    const auto env = Environment();
    const std::vector<std::string> query = {xdgMime, "query", "default", "application/x-ldraw"};
    EXPECT_EQ(RunWithEnvironment(query, env).out, "other.desktop\n");
    ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT | QZ_TYPE_MPD,
                                Recorder(home.path() / "bin" / "zarvel")),
              0);
    DropUserCache();
    EXPECT_EQ(RunWithEnvironment(query, env).out, "zarvel.desktop\n");
    EXPECT_EQ(
        RunWithEnvironment({xdgMime, "query", "default", "application/x-multi-part-ldraw"}, env)
            .out,
        "zarvel.desktop\n");
}

TEST_F(DesktopTools, GioOpensAModelWithTheRegisteredProgramWhateverItsPath) {
    const std::string gio = FindProgram("gio");
    if (gio.empty()) GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    const auto env = Environment();
    const std::string model = home.Write("models/my house.ldr", "0 House\n");
    // No "%": GLib 2.74 looks for the program before it turns "%%" into "%", and so
    // loads no entry whose program path holds one (the entry is right all the same).
    for (const char* folder : {"bin", "my apps", "it's \"odd\"", "$HOME `id` back\\slash",
                               "a;b|c&d<e>f~g*h?i#j(k)", "caf\xc3\xa9"}) {
        SCOPED_TRACE(folder);
        fs::remove_all(home.path() / "data");
        fs::remove(home.path() / "ran");
        const QzProgramFile program = Recorder(home.path() / folder / "zarvel");
        ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT | QZ_TYPE_MPD, program), 0);
        DropUserCache();
        const ToolRun query = RunWithEnvironment({gio, "mime", "application/x-ldraw"}, env);
        EXPECT_NE(query.out.find(": zarvel.desktop\n"), std::string::npos) << query.out;
        // The launcher runs exactly this program with exactly the model.
        const std::string entry = (home.path() / "data/applications/zarvel.desktop").string();
        EXPECT_EQ(RunWithEnvironment({gio, "launch", entry, model}, env).status, 0);
        const std::string expected = program.path + "\n" + model + "\n";
        std::string ran;
        for (int i = 0; i < 1000 && ran.size() < expected.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ran = ReadAll(home.path() / "ran");
        }
        EXPECT_EQ(ran, expected);
    }
}

// A file manager runs the thumbnailer's Exec line with the size, the file's URI and the
// output: the command-line program beside the registered one gets exactly them.
TEST_F(DesktopTools, ThumbnailerRunsTheCommandLineProgramBesideWhateverItsPath) {
    for (const char* folder : {"bin", "my apps", "it's \"odd\"", "$HOME `id` back\\slash",
                               "a;b|c&d<e>f~g*h?i#j(k)", "100%", "caf\xc3\xa9"}) {
        SCOPED_TRACE(folder);
        fs::remove_all(home.path() / "data");
        fs::remove(home.path() / "ran");
        const QzProgramFile program = Recorder(home.path() / folder / "zarvel");
        const QzProgramFile cli = Recorder(home.path() / folder / "zarvel-cli");
        ASSERT_EQ(RegisterFileTypes(store, QZ_TYPE_DAT | QZ_TYPE_MPD, program), 0);
        const std::string entry = ReadAll(home.path() / "data/thumbnailers/zarvel.thumbnailer");
        std::string value, exec;
        std::istringstream lines(entry);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("Exec=", 0) == 0) value = line.substr(5);
        // The key file's escaping, then the field codes as a file manager fills them in.
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                exec += value[++i];
            } else if (value[i] == '%' && i + 1 < value.size()) {
                const char code = value[++i];
                exec += code == 's'   ? "128"
                        : code == 'u' ? "'file:///m/my%20house.ldr'"
                        : code == 'o' ? "'/tmp/thumb 1.png'"
                                      : std::string(1, code);
            } else {
                exec += value[i];
            }
        }
        ASSERT_EQ(RunWithEnvironment({"/bin/sh", "-c", exec}, Environment()).status, 0) << exec;
        EXPECT_EQ(ReadAll(home.path() / "ran"), cli.path +
                                                    "\nthumbnail\n-s\n128\nfile:///m/"
                                                    "my%20house.ldr\n/tmp/thumb 1.png\n");
    }
}

}  // namespace
