#include "files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "atomicfile.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Slurp;
using testing_support::TempDir;

std::optional<std::string> Resolve(const TempDir& dir, const std::string& relative) {
    return plat::ResolvePath(dir.path().string() + "/" + relative);
}

std::string Under(const TempDir& dir, const std::string& relative) {
    return dir.path().string() + "/" + relative;
}

// Adds a file the way the program writes one, leaving the lookup cache alone (unlike
// TempDir::Write, which clears it).
void AddFile(const TempDir& dir, const std::string& relative, const std::string& content) {
    std::string error;
    ASSERT_TRUE(plat::WriteFileAtomically(Under(dir, relative), content, error)) << error;
}

// A small library with the directory names written three ways.
class ResolvePathTest : public testing::Test {
  protected:
    void SetUp() override {
        dir.Write("PARTS/upper.dat", "0 upper\n");
        dir.Write("Parts/mixed.dat", "0 mixed\n");
        dir.Write("parts/lower.dat", "0 lower\n");
        dir.Write("parts/s/3001s01.dat", "0 subpart\n");
        dir.Write("p/stud.dat", "0 stud\n");
        dir.Write("x/Foo.dat", "0 Foo\n");
        dir.Write("x/foo.dat", "0 foo\n");
        plat::ClearPathCache();
    }
    TempDir dir;
};

TEST_F(ResolvePathTest, ExactNamesResolveToThemselves) {
    EXPECT_EQ(Resolve(dir, "PARTS/upper.dat"), Under(dir, "PARTS/upper.dat"));
    EXPECT_EQ(Resolve(dir, "Parts/mixed.dat"), Under(dir, "Parts/mixed.dat"));
    EXPECT_EQ(Resolve(dir, "parts/lower.dat"), Under(dir, "parts/lower.dat"));
    EXPECT_EQ(Resolve(dir, "parts"), Under(dir, "parts"));
}

TEST_F(ResolvePathTest, AnyLetterCaseAndBackslashes) {
    EXPECT_EQ(Resolve(dir, "parts\\s\\3001S01.DAT"), Under(dir, "parts/s/3001s01.dat"));
    EXPECT_EQ(Resolve(dir, "PARTS\\S\\3001s01.dat"), Under(dir, "parts/s/3001s01.dat"));
    EXPECT_EQ(Resolve(dir, "P\\STUD.DAT"), Under(dir, "p/stud.dat"));
    EXPECT_EQ(plat::ResolvePath(dir.path().string() + "\\p\\Stud.Dat"), Under(dir, "p/stud.dat"));
}

TEST_F(ResolvePathTest, ExactMatchWinsOverFoldedOne) {
    EXPECT_EQ(Resolve(dir, "x/foo.dat"), Under(dir, "x/foo.dat"));
    EXPECT_EQ(Resolve(dir, "x/Foo.dat"), Under(dir, "x/Foo.dat"));
    // Neither is exact: the first in sorted order, every time.
    EXPECT_EQ(Resolve(dir, "x/FOO.dat"), Under(dir, "x/Foo.dat"));
    EXPECT_EQ(Resolve(dir, "X/fOO.DAT"), Under(dir, "x/Foo.dat"));
}

// With PARTS, Parts and parts side by side, the one holding the file is found.
TEST_F(ResolvePathTest, TriesEveryFoldedDirectory) {
    EXPECT_EQ(Resolve(dir, "pArTs/upper.dat"), Under(dir, "PARTS/upper.dat"));
    EXPECT_EQ(Resolve(dir, "pArTs/MIXED.DAT"), Under(dir, "Parts/mixed.dat"));
    EXPECT_EQ(Resolve(dir, "PARTS/LOWER.DAT"), Under(dir, "parts/lower.dat"));
    EXPECT_EQ(Resolve(dir, "Parts\\s\\3001s01.dat"), Under(dir, "parts/s/3001s01.dat"));
}

// "x -> ." and "X -> .": a reference 20 levels deep has 2^20 spellings on disk. Each
// directory is listed once and each (directory, depth) walked once, so the work grows
// with the depth; a name found at the end is found through the exact spelling.
TEST(ResolvePathWork, CaseVariantLinksToTheSameFolderCostTheDepthNotItsSpellings) {
    TempDir dir;
    fs::create_symlink(".", dir.path() / "x");
    fs::create_symlink(".", dir.path() / "X");
    dir.Write("real.dat", "0 real\n");
    std::string deep;
    for (int i = 0; i < 20; ++i) deep += "x/";
    for (const auto& [name, found] : {std::pair{"missing.dat", false}, {"real.dat", true}}) {
        plat::ClearPathCache();
        EXPECT_EQ(Resolve(dir, deep + name).has_value(), found) << name;
        const plat::PathLookupWork work = plat::PathLookupWorkSinceClear();
        // The folders above the test's own, and the test's folder once.
        const uint64_t levels =
            static_cast<uint64_t>(std::distance(dir.path().begin(), dir.path().end()));
        EXPECT_LE(work.listings, levels) << name;
        EXPECT_LE(work.steps, levels + 2 * 21) << name;
    }
    EXPECT_EQ(Resolve(dir, deep + "REAL.DAT"), Under(dir, deep + "real.dat"));
    EXPECT_EQ(Resolve(dir, "X/x/real.dat"), Under(dir, "X/x/real.dat"));
}

TEST_F(ResolvePathTest, Misses) {
    EXPECT_EQ(Resolve(dir, "parts/3001.dat"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "nothere/3001.dat"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "parts/lower.dat/x"), std::nullopt);  // a file used as a folder
    EXPECT_EQ(Resolve(dir, "parts/lower.dat/.."), std::nullopt);
    EXPECT_EQ(Resolve(dir, "parts/lower.da"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "parts/lower.dat "), std::nullopt);
    EXPECT_EQ(plat::ResolvePath(""), std::nullopt);
    EXPECT_EQ(Resolve(dir, std::string(300, 'a')), std::nullopt);
    EXPECT_EQ(Resolve(dir, "parts/" + std::string(5000, 'b') + ".dat"), std::nullopt);
    std::string withNul = Under(dir, "parts/lower.dat");
    withNul.insert(withNul.size() - 4, 1, '\0');
    EXPECT_EQ(plat::ResolvePath(withNul), std::nullopt);
    EXPECT_EQ(plat::ResolvePath(Under(dir, "parts/lower.dat") + std::string(1, '\0')),
              std::nullopt);
}

TEST_F(ResolvePathTest, DotsAndEmptyComponents) {
    std::optional<std::string> viaDots = Resolve(dir, "parts/../P/./STUD.DAT");
    ASSERT_TRUE(viaDots);
    EXPECT_TRUE(fs::equivalent(*viaDots, Under(dir, "p/stud.dat")));
    EXPECT_EQ(Resolve(dir, "./parts//s\\\\3001s01.dat"), Under(dir, "parts/s/3001s01.dat"));
    EXPECT_EQ(Resolve(dir, "parts/s/"), Under(dir, "parts/s"));
    EXPECT_EQ(Resolve(dir, "nothere/../parts"), std::nullopt);
}

TEST_F(ResolvePathTest, RootAndRelativePaths) {
    EXPECT_EQ(plat::ResolvePath("/"), "/");
    EXPECT_EQ(plat::ResolvePath("//"), "/");
    std::string previous = fs::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    plat::ClearPathCache();
    std::optional<std::string> relative = plat::ResolvePath("PARTS\\S\\3001S01.DAT");
    std::optional<std::string> dot = plat::ResolvePath(".");
    std::optional<std::string> up = plat::ResolvePath("P/../x/foo.dat");
    ASSERT_EQ(chdir(previous.c_str()), 0);
    plat::ClearPathCache();
    EXPECT_EQ(relative, "parts/s/3001s01.dat");
    EXPECT_EQ(dot, ".");
    EXPECT_EQ(up, "p/../x/foo.dat");
}

// A file that appears, goes or changes its letter case is seen by the very next
// lookup: no listing kept from before can hide it.
TEST_F(ResolvePathTest, EveryLookupSeesTheDiskAsItIs) {
    EXPECT_EQ(Resolve(dir, "parts/NEW.DAT"), std::nullopt);
    AddFile(dir, "parts/new.dat", "0 new\n");
    EXPECT_EQ(Resolve(dir, "parts/NEW.DAT"), Under(dir, "parts/new.dat"));
    fs::rename(Under(dir, "parts/new.dat"), Under(dir, "parts/New.dat"));
    EXPECT_EQ(Resolve(dir, "parts/new.dat"), Under(dir, "parts/New.dat"));
    fs::remove(Under(dir, "parts/New.dat"));
    EXPECT_EQ(Resolve(dir, "parts/NEW.DAT"), std::nullopt);
    // Through a link to the folder and through "..": the same listing, current too.
    fs::create_symlink(Under(dir, "parts"), dir.path() / "linked");
    EXPECT_EQ(Resolve(dir, "linked/LATE.DAT"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "x/../parts/LATE.DAT"), std::nullopt);
    AddFile(dir, "parts/late.dat", "0 late\n");
    EXPECT_EQ(Resolve(dir, "linked/LATE.DAT"), Under(dir, "linked/late.dat"));
    EXPECT_EQ(Resolve(dir, "x/../parts/LATE.DAT"), Under(dir, "x/../parts/late.dat"));
}

// Lookups keep the listings of folders that did not change and read again those that
// did: added, removed and renamed files, a folder replaced by another of the same name,
// and the current directory after a change of directory.
TEST_F(ResolvePathTest, LookupsListAgainOnlyWhatChanged) {
    // Folders changed within the last seconds are listed again at every lookup, as a
    // change in the same tick of the clock would not move their times: these are an
    // hour old.
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* folder : {"", "parts", "x", "p"})
        fs::last_write_time(Under(dir, folder), hourAgo);
    ASSERT_TRUE(Resolve(dir, "parts/LOWER.DAT"));
    ASSERT_TRUE(Resolve(dir, "x/FOO.DAT"));
    plat::ResetPathLookupWork();
    EXPECT_EQ(Resolve(dir, "parts/LOWER.DAT"), Under(dir, "parts/lower.dat"));
    EXPECT_EQ(Resolve(dir, "x/FOO.DAT"), Under(dir, "x/Foo.dat"));
    // Only the folders above the test's own may be listed again (the temporary folder
    // changes all the time), once per lookup at most.
    const uint64_t above = plat::PathLookupWorkSinceClear().listings;
    EXPECT_LE(above, 4u);

    AddFile(dir, "parts/new.dat", "0 new\n");
    fs::remove(Under(dir, "x/Foo.dat"));
    fs::last_write_time(Under(dir, "parts"), hourAgo + std::chrono::seconds(1));
    fs::last_write_time(Under(dir, "x"), hourAgo + std::chrono::seconds(1));
    plat::ResetPathLookupWork();
    EXPECT_EQ(Resolve(dir, "parts/NEW.DAT"), Under(dir, "parts/new.dat"));
    EXPECT_EQ(Resolve(dir, "x/FOO.DAT"), Under(dir, "x/foo.dat"));
    EXPECT_EQ(Resolve(dir, "PARTS/new.dat"), Under(dir, "parts/new.dat"));
    const uint64_t afterChange = plat::PathLookupWorkSinceClear().listings;
    EXPECT_GE(afterChange, 2u);
    EXPECT_LE(afterChange, 2u + 3 * above);

    fs::rename(Under(dir, "parts/new.dat"), Under(dir, "parts/renamed.dat"));
    fs::rename(Under(dir, "p"), Under(dir, "p-old"));
    dir.Write("p/other.dat", "0 other\n");
    EXPECT_EQ(Resolve(dir, "parts/NEW.DAT"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "parts/Renamed.dat"), Under(dir, "parts/renamed.dat"));
    EXPECT_EQ(Resolve(dir, "p/STUD.DAT"), std::nullopt);
    EXPECT_EQ(Resolve(dir, "P/OTHER.DAT"), Under(dir, "p/other.dat"));

    const std::string previous = fs::current_path().string();
    ASSERT_EQ(chdir(Under(dir, "parts").c_str()), 0);
    std::optional<std::string> inParts = plat::ResolvePath("LOWER.DAT");
    ASSERT_EQ(chdir(Under(dir, "x").c_str()), 0);
    std::optional<std::string> inX = plat::ResolvePath("LOWER.DAT");
    std::optional<std::string> fooInX = plat::ResolvePath("foo.DAT");
    ASSERT_EQ(chdir(previous.c_str()), 0);
    plat::ClearPathCache();
    EXPECT_EQ(inParts, "lower.dat");
    EXPECT_EQ(inX, std::nullopt);
    EXPECT_EQ(fooInX, "foo.dat");
}

// The times of a folder tell a change only when the change falls in a later tick of the
// file system's clock than the listing: a folder whose time is that recent is listed
// again at the next lookup, even when its times are still those of its listing.
TEST(ResolvePathClockTick, AFolderChangedWithinTheTickOfItsListingIsListedAgain) {
    TempDir dir;
    dir.Write("settled/a.dat", "0 a\n");
    dir.Write("fresh/a.dat", "0 a\n");
    const auto hourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* folder : {"", "settled"}) fs::last_write_time(Under(dir, folder), hourAgo);
    plat::ClearPathCache();
    ASSERT_TRUE(Resolve(dir, "SETTLED/A.DAT"));
    fs::last_write_time(Under(dir, "fresh"), fs::file_time_type::clock::now());
    ASSERT_TRUE(Resolve(dir, "FRESH/A.DAT"));

    // Nothing changed: the settled folder keeps its listing, the fresh one is listed again.
    plat::ResetPathLookupWork();
    ASSERT_TRUE(Resolve(dir, "SETTLED/A.DAT"));
    const uint64_t above = plat::PathLookupWorkSinceClear().listings;
    ASSERT_TRUE(Resolve(dir, "FRESH/A.DAT"));
    EXPECT_GE(plat::PathLookupWorkSinceClear().listings, above + 1);

    // A file added right after the listing, the folder's time set back to the listed one:
    // the next lookup finds the file.
    plat::ClearPathCache();
    fs::last_write_time(Under(dir, "fresh"), fs::file_time_type::clock::now());
    const fs::file_time_type listed = fs::last_write_time(Under(dir, "fresh"));
    ASSERT_EQ(Resolve(dir, "FRESH/B.DAT"), std::nullopt);
    AddFile(dir, "fresh/b.dat", "0 b\n");
    fs::last_write_time(Under(dir, "fresh"), listed);
    EXPECT_EQ(Resolve(dir, "FRESH/B.DAT"), Under(dir, "fresh/b.dat"));
}

// "x -> .": the folder reached as itself and through the link is one folder, listed once
// after a change however many paths lead to it. Looked up from within, so that no folder
// above it (the temporary folder changes all the time) is counted.
TEST(ResolvePathLinks, AFolderReachedThroughASecondPathIsListedOncePerRound) {
    TempDir dir;
    dir.Write("a.dat", "0 a\n");
    fs::create_symlink(".", dir.path() / "x");
    const struct Within {
        std::string previous = fs::current_path().string();
        explicit Within(const fs::path& folder) {
            fs::current_path(folder);
            plat::ClearPathCache();
        }
        ~Within() {
            fs::current_path(previous);
            plat::ClearPathCache();
        }
    } within(dir.path());
    ASSERT_EQ(plat::ResolvePath("A.DAT"), "a.dat");
    ASSERT_EQ(plat::ResolvePath("x/A.DAT"), "x/a.dat");
    for (int round = 0; round < 2; ++round) {
        const std::string name = "new" + std::to_string(round) + ".dat";
        AddFile(dir, name, "0 new\n");
        // An hour old: listed again for the change alone, not for being recent.
        fs::last_write_time(dir.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
        plat::ResetPathLookupWork();
        for (const std::string way : {"x/", "", "x/x/", "X/"})
            EXPECT_EQ(plat::ResolvePath(way + "NEW" + std::to_string(round) + ".DAT"),
                      (way == "X/" ? "x/" : way) + name)
                << way;
        EXPECT_EQ(plat::PathLookupWorkSinceClear().listings, 1u) << "round " << round;
    }
}

TEST_F(ResolvePathTest, RealLibraryNames) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    plat::ClearPathCache();
    std::optional<std::string> subpart =
        plat::ResolvePath(ldraw.string() + "\\PARTS\\S\\3001S01.DAT");
    ASSERT_TRUE(subpart);
    EXPECT_TRUE(fs::is_regular_file(*subpart));
    EXPECT_EQ(plat::ResolvePath(ldraw.string() + "\\P\\NO_SUCH_PRIMITIVE.DAT"), std::nullopt);
}

// ---------------------------------------------------------------------------------

std::vector<std::string> ReadAll(plat::TextFile& file, size_t bufferSize) {
    std::vector<std::string> lines;
    std::string_view line;
    while (file.ReadLine(line, bufferSize)) lines.emplace_back(line);
    return lines;
}

std::vector<std::string> ReadText(const std::string& content, size_t bufferSize = 1000) {
    TempDir dir;
    std::string path = dir.Write("f.dat", content);
    plat::TextFile file;
    EXPECT_TRUE(file.Open(path));
    return ReadAll(file, bufferSize);
}

using Lines = std::vector<std::string>;

TEST(TextFile, LinesWithTheirNewlines) {
    EXPECT_EQ(ReadText("0 a\n1 b\n\n2 c\n"), (Lines{"0 a\n", "1 b\n", "\n", "2 c\n"}));
}

TEST(TextFile, LastLineWithoutNewline) {
    EXPECT_EQ(ReadText("0 a\n0 b"), (Lines{"0 a\n", "0 b"}));
    EXPECT_EQ(ReadText("x"), (Lines{"x"}));
}

TEST(TextFile, EmptyFileHasNoLines) { EXPECT_EQ(ReadText(""), Lines{}); }

TEST(TextFile, CarriageReturnsEndLines) {
    const std::pair<std::string, Lines> cases[] = {
        {"0 a\r\n0 b\r\n", {"0 a\n", "0 b\n"}},
        {"\r\n\r\n", {"\n", "\n"}},
        // Files from old Macintosh systems end their lines with a lone CR.
        {"0 a\r0 b\r", {"0 a\n", "0 b\n"}},
        {"a\rb\n", {"a\n", "b\n"}},
        {"a\r\rb", {"a\n", "\n", "b"}},
        {"a\n\rb\r", {"a\n", "\n", "b\n"}},
        // A run of CRs before a LF is one line end, as a file converted twice has.
        {"a\r\r\nb", {"a\n", "b"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(ReadText(text), lines) << testing::PrintToString(text);
}

TEST(TextFile, ByteOrderMarkAtTheStartIsSkipped) {
    const std::pair<std::string, Lines> cases[] = {
        {"\xEF\xBB\xBF"
         "1 a\n0 b\n",
         {"1 a\n", "0 b\n"}},
        {"\xEF\xBB\xBF"
         "0 a\r\n",
         {"0 a\n"}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBB\xBF\n", {"\n"}},
        // Only at the start of the file, and only whole.
        {"0 a\n\xEF\xBB\xBF"
         "0 b\n",
         {"0 a\n",
          "\xEF\xBB\xBF"
          "0 b\n"}},
        {"\xEF\xBB"
         "0 a\n",
         {"\xEF\xBB"
          "0 a\n"}},
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "0 a",
         {"\xEF\xBB\xBF"
          "0 a"}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(ReadText(text), lines) << testing::PrintToString(text);
}

TEST(TextFile, LongLineComesBackInPieces) {
    std::string longLine(1200, 'x');
    Lines lines = ReadText(longLine + "\nnext\n", 1000);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(999, 'x'));
    EXPECT_EQ(lines[1], std::string(201, 'x') + "\n");
    EXPECT_EQ(lines[2], "next\n");
}

TEST(TextFile, NewlineThatDoesNotFitComesNext) {
    EXPECT_EQ(ReadText(std::string(999, 'y') + "\nz\n", 1000),
              (Lines{std::string(999, 'y'), "\n", "z\n"}));
    EXPECT_EQ(ReadText(std::string(998, 'y') + "\nz\n", 1000),
              (Lines{std::string(998, 'y') + "\n", "z\n"}));
    // The same with CRLF: the conversion happens before the line is measured.
    EXPECT_EQ(ReadText(std::string(998, 'y') + "\r\nz\r\n", 1000),
              (Lines{std::string(998, 'y') + "\n", "z\n"}));
}

TEST(TextFile, TinyBuffers) {
    EXPECT_EQ(ReadText("ab\nc", 2), (Lines{"a", "b", "\n", "c"}));
    EXPECT_EQ(ReadText("ab\nc", 3), (Lines{"ab", "\n", "c"}));
    // No room for anything but the terminator: nothing can be read, rather than an
    // endless run of empty lines.
    EXPECT_EQ(ReadText("ab\nc", 1), Lines{});
    EXPECT_EQ(ReadText("ab\nc", 0), Lines{});
}

TEST(TextFile, OpensCaseInsensitivelyAndKeepsTheRealPath) {
    TempDir dir;
    std::string path = dir.Write("Models/Car.LDR", "0 car\n");
    plat::TextFile file;
    ASSERT_TRUE(file.Open(dir.path().string() + "\\MODELS\\car.ldr"));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Path(), path);
    EXPECT_EQ(ReadAll(file, 100), Lines{"0 car\n"});
    std::string_view line;
    EXPECT_FALSE(file.ReadLine(line, 100));
}

TEST(TextFile, FailsOnDirectoriesAndMissingFiles) {
    TempDir dir;
    dir.Write("parts/a.dat", "0\n");
    plat::TextFile file;
    EXPECT_FALSE(file.Open(dir.path().string() + "/parts"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Open(dir.path().string() + "/parts/b.dat"));
    EXPECT_FALSE(file.IsOpen());
    std::string_view line;
    EXPECT_FALSE(file.ReadLine(line, 100));
}

TEST(TextFile, ReadsOnlyRegularFiles) {
    TempDir dir;
    const std::string pipe = Under(dir, "pipe.dat");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string target = dir.Write("real.dat", "0 real\n");
    fs::create_symlink(target, Under(dir, "link.dat"));
    plat::ClearPathCache();
    plat::TextFile file;
    // A named pipe without a writer would block the open for good.
    EXPECT_FALSE(file.Open(pipe));
    EXPECT_FALSE(file.Open("/dev/zero"));
    EXPECT_FALSE(file.Open("/dev/null"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(plat::IsDirectory(dir.path().string()));
    EXPECT_FALSE(plat::IsDirectory(pipe));
    EXPECT_FALSE(plat::IsDirectory(target));
    // A link to a regular file is read as the file.
    ASSERT_TRUE(file.Open(Under(dir, "LINK.dat")));
    EXPECT_EQ(ReadAll(file, 100), Lines{"0 real\n"});
}

// Sparse files: far over the limit, and one byte over it, refused before anything is
// read, with the size and the path on disk; a refusal is forgotten by the next Open.
TEST(TextFile, FilesOverTheLimitAreRefusedUnread) {
    TempDir dir;
    const std::string small = dir.Write("small.dat", "0 small\n");
    plat::TextFile file;
    for (const uint64_t size : {uint64_t{64} << 30, plat::kMaxTextFileBytes + 1}) {
        const std::string path = dir.Write("Huge.dat", "");
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
        EXPECT_FALSE(file.Open(Under(dir, "HUGE.DAT")));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.TooLargeSize(), size);
        EXPECT_EQ(file.Path(), path);
        ASSERT_TRUE(file.Open(small));
        EXPECT_EQ(file.TooLargeSize(), 0u);
    }
    EXPECT_EQ(plat::kMaxTextFileBytes, 256u * 1024 * 1024);
}

TEST(TextFile, CloseAndReopen) {
    TempDir dir;
    std::string a = dir.Write("a.dat", "1\n2\n");
    std::string b = dir.Write("b.dat", "3\n");
    plat::TextFile file;
    ASSERT_TRUE(file.Open(a));
    std::string_view line;
    ASSERT_TRUE(file.ReadLine(line, 100));
    EXPECT_EQ(line, "1\n");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.ReadLine(line, 100));
    // Opening another file starts at its beginning.
    ASSERT_TRUE(file.Open(a));
    ASSERT_TRUE(file.Open(b));
    EXPECT_EQ(ReadAll(file, 100), Lines{"3\n"});
}

TEST(TextFile, FilesReadAfterALargerOneHaveOnlyTheirOwnLines) {
    // Files read one after the other into the memory of those before (a large one's of
    // large pages): what each reads is its own, whatever its line ends or mark.
    TempDir dir;
    std::string big;
    for (int i = 0; big.size() < (size_t{600} << 10); ++i) big += std::to_string(i) + "\r\n";
    const struct {
        const char* name;
        std::string text;
        Lines lines;
    } files[] = {{"big.dat", big, {}},
                 {"short.dat", "a\r\nb", {"a\n", "b"}},
                 {"mark.dat", "\xEF\xBB\xBFx\ry\n", {"x\n", "y\n"}},
                 {"empty.dat", "", {}},
                 {"one.dat", "1", {"1"}}};
    plat::TextFile file;
    for (const auto& f : files) {
        ASSERT_TRUE(file.Open(dir.Write(f.name, f.text))) << f.name;
        const Lines lines = ReadAll(file, 100);
        if (f.text == big) {
            EXPECT_EQ(lines.size(), static_cast<size_t>(std::count(big.begin(), big.end(), '\n')));
            EXPECT_EQ(lines.back(), std::to_string(lines.size() - 1) + "\n");
        } else {
            EXPECT_EQ(lines, f.lines) << f.name;
        }
        file.Close();
    }
}

TEST(TextFile, BytesAreKeptAsTheyAre) {
    std::string content("0 caf\xC3\xA9\t\x01\n", 10);
    content += std::string("a\0b\n", 4);
    EXPECT_EQ(ReadText(content),
              (Lines{std::string("0 caf\xC3\xA9\t\x01\n", 10), std::string("a\0b\n", 4)}));
}

TEST(TextFile, ReadsARealModelWhole) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    fs::path model;
    for (const auto& entry : fs::directory_iterator(ldraw / "models")) {
        if (entry.path().extension() == ".mpd") {
            model = entry.path();
            break;
        }
    }
    if (model.empty()) GTEST_SKIP() << "no model in the shared library";
    std::ifstream in(model, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string expected;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        expected += raw[i];
    }
    plat::TextFile file;
    ASSERT_TRUE(file.Open(model.string()));
    std::string joined;
    for (const std::string& line : ReadAll(file, 1000)) joined += line;
    EXPECT_EQ(joined, expected);
}

// ---------------------------------------------------------------------------------

TEST(LastWriteTime, WindowsFileTimeFromModificationTime) {
    TempDir dir;
    std::string path = dir.Write("Model.ldr", "0\n");
    // 2020-01-01 00:00:00.1234567 UTC.
    timespec times[2] = {{1577836800, 123456700}, {1577836800, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    plat::FileTime time{};
    ASSERT_TRUE(plat::GetLastWriteTime(path, time));
    // 132223104001234567 in 100 ns units since 1601.
    EXPECT_EQ(time, (plat::FileTime{1763169927u, 30785590u}));
    plat::FileTime folded{};
    ASSERT_TRUE(plat::GetLastWriteTime(dir.path().string() + "\\MODEL.LDR", folded));
    EXPECT_EQ(folded, time);
}

TEST(LastWriteTime, ChangesWhenTheFileIsWritten) {
    TempDir dir;
    std::string path = dir.Write("m.ldr", "0\n");
    timespec older[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), older, 0), 0);
    plat::FileTime before{};
    ASSERT_TRUE(plat::GetLastWriteTime(path, before));
    std::ofstream(path, std::ios::app) << "0 more\n";
    plat::FileTime after{};
    ASSERT_TRUE(plat::GetLastWriteTime(path, after));
    EXPECT_NE(before, after);
}

TEST(LastWriteTime, MissingFile) {
    TempDir dir;
    plat::FileTime time{7, 7};
    EXPECT_FALSE(plat::GetLastWriteTime(dir.path().string() + "/none.ldr", time));
    EXPECT_EQ(time, (plat::FileTime{7, 7}));
}

// ---------------------------------------------------------------------------------

// Sets an environment variable for the lifetime of the object.
using testing_support::ScopedEnv;

TEST(Environment, GetEnv) {
    ScopedEnv set("ZARVEL_TEST_VARIABLE", "c:\\ldraw");
    EXPECT_EQ(plat::GetEnv("ZARVEL_TEST_VARIABLE"), "c:\\ldraw");
    ScopedEnv unset("ZARVEL_TEST_VARIABLE", nullptr);
    EXPECT_EQ(plat::GetEnv("ZARVEL_TEST_VARIABLE"), std::nullopt);
}

TEST(Environment, TempDirAndDebugLogPath) {
    {
        ScopedEnv tmp("TMPDIR", "/var/scratch/");
        EXPECT_EQ(plat::TempDir(), "/var/scratch");
        EXPECT_EQ(plat::DebugLogPath(), "/var/scratch/QzDebug.txt");
    }
    {
        ScopedEnv tmp("TMPDIR", "/var/scratch");
        EXPECT_EQ(plat::TempDir(), "/var/scratch");
    }
    {
        ScopedEnv tmp("TMPDIR", nullptr);
        EXPECT_EQ(plat::TempDir(), "/tmp");
        EXPECT_EQ(plat::DebugLogPath(), "/tmp/QzDebug.txt");
    }
    {
        ScopedEnv tmp("TMPDIR", "");
        EXPECT_EQ(plat::TempDir(), "/tmp");
    }
}

TEST(AppendToFile, CreatesThenAppends) {
    TempDir dir;
    std::string path = dir.path().string() + "/log.txt";
    ASSERT_TRUE(plat::AppendToFile(path, "first\n"));
    ASSERT_TRUE(plat::AppendToFile(path, "second\n"));
    ASSERT_TRUE(plat::AppendToFile(path, ""));
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "first\nsecond\n");
}

TEST(AppendToFile, FailsWhereNothingCanBeWritten) {
    TempDir dir;
    EXPECT_FALSE(plat::AppendToFile(dir.path().string() + "/no/such/folder/log.txt", "x"));
    EXPECT_FALSE(plat::AppendToFile(dir.path().string(), "x"));  // a folder
}

// The debug trace goes to a fixed name in a shared temporary folder: a new file is
// the user's alone, and what someone else put there under that name is left alone.
TEST(AppendToFile, NewFileIsPrivate) {
    TempDir dir;
    const std::string path = Under(dir, "QzDebug.txt");
    ASSERT_TRUE(plat::AppendToFile(path, "x"));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(AppendToFile, RefusesLinksPipesAndFilesOfOthers) {
    TempDir dir;
    const std::string victim = dir.Write("victim.txt", "the user's file\n");
    const std::string link = Under(dir, "link.txt");
    fs::create_symlink(victim, link);
    const std::string dangling = Under(dir, "dangling.txt");
    fs::create_symlink(Under(dir, "made-through-link.txt"), dangling);
    const std::string hardLink = Under(dir, "hard.txt");
    fs::create_hard_link(victim, hardLink);
    const std::string pipe = Under(dir, "pipe.txt");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0666), 0);
    for (const std::string& path : {link, dangling, hardLink, pipe})
        EXPECT_FALSE(plat::AppendToFile(path, "trace\n")) << path;
    EXPECT_EQ(Slurp(victim), "the user's file\n");
    EXPECT_FALSE(fs::exists(Under(dir, "made-through-link.txt")));

    if (geteuid() != 0) return;  // only root can give a file away
    const std::string others = dir.Write("others.txt", "");
    ASSERT_EQ(chown(others.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(others.c_str(), 0666), 0);
    EXPECT_FALSE(plat::AppendToFile(others, "trace\n"));
    EXPECT_EQ(Slurp(others), "");
}

}  // namespace
