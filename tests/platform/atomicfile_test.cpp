#include "atomicfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedFileSizeLimit;
using testing_support::Slurp;
using testing_support::TempDir;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Only the named files are in the folder: no temporary file was left behind.
std::vector<std::string> Entries(const TempDir& dir) {
    return testing_support::Entries(dir.path());
}

TEST(AtomicFile, NewFileGetsTheContentAndNothingElseRemains) {
    TempDir dir;
    const std::string path = (dir.path() / "scene.pov").string();
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(path, "camera {}\n", error)) << error;
    EXPECT_EQ(Slurp(path), "camera {}\n");
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"scene.pov"});
}

// A file that did not exist gets the mode any new file of the user's gets: 0666 less the
// umask, not the temporary file's 0600.
TEST(AtomicFile, NewFileGetsTheModeOfTheUmask) {
    TempDir dir;
    struct Case {
        mode_t umask, mode;
    };
    for (const Case& c : {Case{022, 0644}, Case{077, 0600}, Case{002, 0664}, Case{0, 0666},
                          Case{027, 0640}, Case{0777, 0}}) {
        const mode_t before = umask(c.umask);
        const std::string path = (dir.path() / ("new" + std::to_string(c.umask))).string();
        std::string error;
        const bool written = plat::WriteFileAtomically(path, "x", error);
        umask(before);
        ASSERT_TRUE(written) << error;
        EXPECT_EQ(ModeOf(path), c.mode) << "umask " << std::oct << c.umask;
    }
}

TEST(AtomicFile, ReplacedFileKeepsItsModeEvenWhenReadOnly) {
    TempDir dir;
    const std::string path = dir.Write("mine.txt", "old");
    chmod(path.c_str(), 0444);
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(path, "new", error)) << error;
    EXPECT_EQ(Slurp(path), "new");
    EXPECT_EQ(ModeOf(path), 0444u);
    chmod(path.c_str(), 0600);
    ASSERT_TRUE(plat::WriteFileAtomically(path, "newer", error)) << error;
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST(AtomicFile, SymlinkIsWrittenThroughAndStaysALink) {
    TempDir dir;
    const std::string target = dir.Write("dotfiles/mimeapps.list", "old");
    const std::string link = (dir.path() / "link.list").string();
    fs::create_symlink("dotfiles/mimeapps.list", link);
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(link, "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(Entries(dir), (std::vector<std::string>{"dotfiles", "link.list"}));
}

TEST(AtomicFile, DanglingLinkCreatesTheFileItPointsTo) {
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string link = (dir.path() / "out.png").string();
    fs::create_symlink("real/picture.png", link);
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(link, "png", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp((dir.path() / "real/picture.png").string()), "png");
}

TEST(AtomicFile, FailedWriteLeavesTheOldFileExactlyAsItWas) {
    TempDir dir;
    const std::string path = dir.Write("scene.pov", "the user's scene");
    std::string error;
    {
        ScopedFileSizeLimit limit(4096);
        plat::AtomicFile out;
        ASSERT_TRUE(out.Open(path, error)) << error;
        const std::string block(64 * 1024, 'x');
        std::fwrite(block.data(), 1, block.size(), out.File());
        EXPECT_FALSE(out.Commit(error));
    }
    EXPECT_NE(error.find("scene.pov"), std::string::npos) << error;
    EXPECT_EQ(Slurp(path), "the user's scene");
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"scene.pov"});
}

TEST(AtomicFile, AbandonedWriteRemovesOnlyItsTemporaryFile) {
    TempDir dir;
    const std::string path = dir.Write("a.txt", "kept");
    {
        plat::AtomicFile out;
        std::string error;
        ASSERT_TRUE(out.Open(path, error));
        std::fputs("half", out.File());
    }
    EXPECT_EQ(Slurp(path), "kept");
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"a.txt"});
}

TEST(AtomicFile, DeviceIsWrittenInPlaceAndNeverReplaced) {
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically("/dev/null", "nothing", error)) << error;
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(AtomicFile, PipeIsWrittenInPlaceAndOneWithoutReaderIsRefused) {
    TempDir dir;
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(plat::WriteFileAtomically(fifo, "x", error));
    EXPECT_NE(error.find("pipe"), std::string::npos);

    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(plat::WriteFileAtomically(fifo, "through", error)) << error;
    char buffer[16] = {};
    EXPECT_EQ(read(reader, buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer), "through");
    close(reader);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(AtomicFile, FolderAndMissingFolderAreRefused) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(plat::WriteFileAtomically(dir.path().string(), "x", error));
    EXPECT_FALSE(plat::WriteFileAtomically((dir.path() / "no/such/file").string(), "x", error));
    EXPECT_NE(error.find("no/such/file"), std::string::npos) << error;
}

// What a file manager's thumbnail service does: it makes an empty file, hands its name
// to the thumbnailer and reads the picture through the descriptor it kept.
TEST(AtomicFile, AnEmptyFileIsWrittenInPlaceForWhoeverHoldsIt) {
    TempDir dir;
    const std::string path = dir.Write("thumbnail.png", "");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const int held = open(path.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    struct stat before {};
    fstat(held, &before);

    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(path, "\x89PNG picture", error)) << error;
    char buffer[64] = {};
    EXPECT_EQ(pread(held, buffer, sizeof buffer, 0), 12);
    EXPECT_EQ(std::string(buffer), "\x89PNG picture");
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"thumbnail.png"});

    // A file that is no longer empty is replaced as any other: the holder keeps the old.
    ASSERT_TRUE(plat::WriteFileAtomically(path, "second", error)) << error;
    EXPECT_EQ(Slurp(path), "second");
    EXPECT_EQ(pread(held, buffer, sizeof buffer, 0), 12);
    close(held);
}

TEST(AtomicFile, AFailedOrAbandonedWriteLeavesAnEmptyFileEmpty) {
    TempDir dir;
    const std::string path = dir.Write("thumbnail.png", "");
    std::string error;
    {
        ScopedFileSizeLimit full(1024);
        EXPECT_FALSE(plat::WriteFileAtomically(path, std::string(4000, 'x'), error));
    }
    EXPECT_EQ(fs::file_size(path), 0u);
    {
        plat::AtomicFile file;
        ASSERT_TRUE(file.Open(path, error)) << error;
        std::fputs("half a picture", file.File());
    }
    EXPECT_EQ(fs::file_size(path), 0u);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{"thumbnail.png"});
}

TEST(AtomicFile, AnEmptyNameIsNoFile) {
    std::string error;
    plat::AtomicFile file;
    EXPECT_FALSE(file.Open("", error));
    EXPECT_EQ(error, "Cannot write : No such file or directory");
    EXPECT_EQ(file.ErrorNumber(), ENOENT);
}

// Two files that belong together (a scene and its buffer) are both put in place or
// neither is.
struct Pair {
    plat::AtomicFile first, second;
    bool Open(const std::string& a, const std::string& b) {
        std::string error;
        return first.Open(a, error) && second.Open(b, error);
    }
    void Write(const std::string& a, const std::string& b) {
        std::fputs(a.c_str(), first.File());
        std::fputs(b.c_str(), second.File());
    }
};

TEST(CommitTogether, BothFilesNewOrReplacedAndNothingElseRemains) {
    TempDir dir;
    const std::string scene = (dir.path() / "m.gltf").string();
    const std::string buffer = (dir.path() / "m.bin").string();
    for (const char* round : {"new", "replaced"}) {
        Pair pair;
        ASSERT_TRUE(pair.Open(scene, buffer));
        pair.Write(std::string("scene ") + round, std::string("buffer ") + round);
        std::string error;
        EXPECT_TRUE(plat::CommitTogether(pair.first, pair.second, error)) << error;
        EXPECT_EQ(Slurp(scene), std::string("scene ") + round);
        EXPECT_EQ(Slurp(buffer), std::string("buffer ") + round);
        EXPECT_EQ(Entries(dir), (std::vector<std::string>{"m.bin", "m.gltf"}));
    }
}

TEST(CommitTogether, AFailedWriteOfEitherLeavesBothOldFiles) {
    for (const bool firstFails : {true, false}) {
        TempDir dir;
        const std::string scene = dir.Write("m.gltf", "old scene");
        const std::string buffer = dir.Write("m.bin", "old buffer");
        std::string error;
        {
            ScopedFileSizeLimit limit(4096);
            Pair pair;
            ASSERT_TRUE(pair.Open(scene, buffer));
            const std::string block(64 * 1024, 'x');
            pair.Write(firstFails ? block : "small", firstFails ? "small" : block);
            EXPECT_FALSE(plat::CommitTogether(pair.first, pair.second, error));
        }
        EXPECT_NE(error.find(firstFails ? "m.gltf" : "m.bin"), std::string::npos) << error;
        EXPECT_EQ(Slurp(scene), "old scene");
        EXPECT_EQ(Slurp(buffer), "old buffer");
        EXPECT_EQ(Entries(dir), (std::vector<std::string>{"m.bin", "m.gltf"}));
    }
}

// The second file cannot be put in place after the first was (something took its name
// meanwhile): the first goes back to what it was, an old file or none.
TEST(CommitTogether, TheFirstIsPutBackWhenTheSecondCannotFollow) {
    for (const bool firstExisted : {true, false}) {
        TempDir dir;
        const std::string scene = (dir.path() / "m.gltf").string();
        if (firstExisted) dir.Write("m.gltf", "old scene");
        const std::string buffer = (dir.path() / "m.bin").string();
        Pair pair;
        ASSERT_TRUE(pair.Open(scene, buffer));
        pair.Write("new scene", "new buffer");
        fs::create_directory(buffer);
        dir.Write("m.bin/inside", "a folder's file");
        std::string error;
        EXPECT_FALSE(plat::CommitTogether(pair.first, pair.second, error));
        EXPECT_NE(error.find("m.bin"), std::string::npos) << error;
        if (firstExisted) {
            EXPECT_EQ(Slurp(scene), "old scene");
            EXPECT_EQ(Entries(dir), (std::vector<std::string>{"m.bin", "m.gltf"}));
        } else {
            EXPECT_EQ(Entries(dir), std::vector<std::string>{"m.bin"});
        }
        EXPECT_EQ(testing_support::Entries(dir.path() / "m.bin"),
                  std::vector<std::string>{"inside"});
    }
}

TEST(FollowLinks, ChainsRelativeLinksAndStopsAtLoops) {
    TempDir dir;
    const fs::path base = dir.path();
    fs::create_directory(base / "a");
    fs::create_symlink("a/two", base / "one");
    fs::create_symlink("../end", base / "a/two");
    EXPECT_EQ(fs::path(plat::FollowLinks((base / "one").string())).lexically_normal(),
              (base / "end").lexically_normal());
    fs::create_symlink("loop2", base / "loop1");
    fs::create_symlink("loop1", base / "loop2");
    EXPECT_EQ(plat::FollowLinks((base / "loop1").string()), "");
    std::string error;
    EXPECT_FALSE(plat::WriteFileAtomically((base / "loop1").string(), "x", error));
}

}  // namespace
