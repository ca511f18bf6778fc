// The files zarvel-cli writes (the PNG of render, the scene of pov, the exports) replace what was
// there only when complete: through a symbolic link onto the file it points to, never
// leaving a partial file or a temporary one, and onto a pipe or a device in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli_run.h"
#include "clock.h"
#include "povwriter.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Entries;
using testing_support::Slurp;
using testing_support::TempDir;

struct Writer {
    const char* name;
    // The command line before "-o FILE".
    std::vector<std::string> args;
    // How every file it writes starts.
    std::string start;
};

std::ostream& operator<<(std::ostream& out, const Writer& w) { return out << w.name; }

const std::string kLibrary = testing_support::ExamplesDir().string();
const std::string kModel = (testing_support::ExamplesDir() / "models" / "car.ldr").string();

class Export : public ::testing::TestWithParam<Writer> {
  protected:
    void SetUp() override {
        // The same second for every run: scenes written twice are equal.
        plat::SetTimeSource([] { return std::time_t(1796689821); });
    }
    void TearDown() override { plat::SetTimeSource(nullptr); }
    testing_support::CliRun Run(const std::string& output) {
        std::vector<std::string> args = GetParam().args;
        args.insert(args.end(), {"-o", output});
        return testing_support::RunZarvelCli(args);
    }
    // What the command writes to a new regular file.
    std::string Reference() {
        const std::string path = (reference.path() / "out").string();
        const testing_support::CliRun r = Run(path);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string text = Slurp(path);
        EXPECT_EQ(text.rfind(GetParam().start, 0), 0u);
        return text;
    }

    TempDir dir, reference;
};

TEST_P(Export, SymlinkStaysAndTheFileItPointsToIsReplaced) {
    const std::string target = dir.Write("real/picture", "the user's old file");
    const std::string link = (dir.path() / "link").string();
    fs::create_symlink("real/picture", link);
    // A reader of the old file keeps reading the old file: it is replaced, not rewritten.
    std::ifstream before(target, std::ios::binary);

    const testing_support::CliRun r = Run(link);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(target), Reference());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "the user's old file");
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"link", "real"}));
    EXPECT_EQ(Entries(dir.path() / "real"), std::vector<std::string>{"picture"});
}

TEST_P(Export, FailedWriteLeavesTheOldFileByteForByteAndNoTemporaryFile) {
    constexpr uint64_t kLimit = 1024;
    ASSERT_GT(Reference().size(), kLimit);
    std::string old(4000, '\0');
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7);
    const std::string path = dir.Write("out", old);
    testing_support::CliRun r;
    {
        testing_support::ScopedFileSizeLimit full(kLimit);
        r = Run(path);
    }
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err, "");
    EXPECT_EQ(Slurp(path), old);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"out"});
}

TEST_P(Export, PipeIsWrittenInPlace) {
    const std::string expected = Reference();
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    // Drained meanwhile: the pipe holds less than a picture.
    std::atomic<bool> finished{false};
    std::string received;
    std::thread drain([&] {
        char buffer[4096];
        for (;;) {
            pollfd p{reader, POLLIN, 0};
            poll(&p, 1, 20);
            const ssize_t n = read(reader, buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, static_cast<size_t>(n));
            else if (finished)
                return;
        }
    });
    const testing_support::CliRun r = Run(fifo);
    finished = true;
    drain.join();
    close(reader);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(received, expected);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"pipe"});
}

TEST_P(Export, DeviceIsWrittenInPlaceAndStaysADevice) {
    const testing_support::CliRun r = Run("/dev/null");
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// Every command that writes a file, with what goes before its model and its output.
struct Command {
    std::vector<std::string> before;
    // True when the output is an option ("-o FILE"), false when it follows the model.
    bool outputOption;
    std::vector<std::string> Args(const std::string& model, const std::string& output) const {
        std::vector<std::string> args = before;
        args.push_back(model);
        if (outputOption) args.push_back("-o");
        args.push_back(output);
        return args;
    }
};
const Command kWriters[] = {
    {{"render", "--ldraw", kLibrary}, true},
    {{"pov", "--ldraw", kLibrary}, true},
    {{"export", "--ldraw", kLibrary, "--format", "glb"}, true},
    {{"thumbnail", "--cpu-limit", "0"}, false},
};

TEST(WritingCommands, AnEmptyOutputNameIsAUsageError) {
    for (const Command& command : kWriters) {
        const testing_support::CliRun r = testing_support::RunZarvelCli(command.Args(kModel, ""));
        EXPECT_EQ(r.status, 2) << command.before[0];
        EXPECT_EQ(r.err,
                  "zarvel-cli: the output file name is empty\n"
                  "Run with --help for more information.\n");
    }
}

TEST(WritingCommands, AnOutputThatIsTheModelItselfIsRefused) {
    TempDir dir;
    const std::string model = dir.Write("models/same.ldr", Slurp(kModel));
    const std::string link = (dir.path() / "models/link.png").string();
    fs::create_symlink("same.ldr", link);
    const std::string hard = (dir.path() / "models/hard.png").string();
    fs::create_hard_link(model, hard);
    const std::string upper = (dir.path() / "models/SAME.LDR").string();
    struct Case {
        std::string model;  // as typed
        std::string output;
    };
    for (const Case& c : {Case{model, model}, Case{model, link}, Case{model, hard},
                          // The model is found in any letter case.
                          Case{upper, model}, Case{"file://" + model, model}}) {
        for (const Command& command : kWriters) {
            if (c.model.starts_with("file:") && command.outputOption) continue;
            SCOPED_TRACE(command.before[0] + " " + c.model + " " + c.output);
            const testing_support::CliRun r =
                testing_support::RunZarvelCli(command.Args(c.model, c.output));
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, "zarvel-cli: the output " + c.output + " is the model file " +
                                 (c.model.starts_with("file:") ? model : c.model) +
                                 ": it would be replaced\nRun with --help for more information.\n");
            EXPECT_EQ(Slurp(model), Slurp(kModel));
        }
    }
    EXPECT_EQ(Entries(dir.path() / "models"),
              (std::vector<std::string>{"hard.png", "link.png", "same.ldr"}));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, Export,
    ::testing::Values(
        Writer{"render", {"render", "--ldraw", kLibrary, kModel, "--size", "320x240"}, "\x89PNG"},
        Writer{"pov", {"pov", "--ldraw", kLibrary, kModel}, "// Generated by"},
        Writer{"glb", {"export", "--ldraw", kLibrary, "--format", "glb", kModel}, "glTF"},
        Writer{"stl", {"export", "--ldraw", kLibrary, "--format", "stl", kModel}, "Zarvel"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
