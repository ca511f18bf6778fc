// The parts list: quantities through nested submodels referenced several times, colour
// 16 taking the colour of the reference, the file's own colour numbers, names from
// LDConfig.ldr, subparts walked into, parts the model file defines listed as parts,
// missing references marked; the three forms written whole; zarvel-cli parts.
#include <gtest/gtest.h>

#include <string>

#include "cli_run.h"
#include "inventory.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace {

using testing_support::CliRun;

constexpr const char* kModel =
    "0 FILE main.ldr\n"
    "0 Main model\n"
    "1 16 0 0 0 1 0 0 0 1 0 0 0 1 wing.ldr\n"
    "1 4 0 0 0 1 0 0 0 1 0 0 0 1 wing.ldr\n"
    // A colour scheme 0 does not know: drawn as 7, listed as the file writes it.
    "1 71 0 0 0 1 0 0 0 1 0 0 0 1 Brick.DAT\n"
    "1 0x2FF8000 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
    "1 2 0 0 0 1 0 0 0 1 0 0 0 1 missing.dat\n"
    "1 2 0 0 0 1 0 0 0 1 0 0 0 1 missing.dat\n"
    "1 5 0 0 0 1 0 0 0 1 0 0 0 1 s\\brick-s01.dat\n"
    "1 14 0 0 0 1 0 0 0 1 0 0 0 1 own.dat\n"
    "0 FILE wing.ldr\n"
    "1 16 0 0 0 1 0 0 0 1 0 0 0 1 pod.ldr\n"
    "1 16 0 0 0 1 0 0 0 1 0 0 0 1 pod.ldr\n"
    "1 1 0 0 0 1 0 0 0 1 0 0 0 1 pod.ldr\n"
    "0 FILE pod.ldr\n"
    "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
    "1 0 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n"
    // A section named like a part whose header says it is a model is a submodel.
    "0 FILE own.dat\n"
    "0 !LDRAW_ORG Model\n"
    "1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n";

class PartsList : public ::testing::Test {
  protected:
    void SetUp() override {
        library = dir.Write("ldraw/LDConfig.ldr", testing_support::kTestLDConfig);
        library = (dir.path() / "ldraw").string();
        dir.Write("ldraw/parts/brick.dat",
                  std::string("0 Brick, \"big\" 2 x 4\n") + testing_support::kCube);
        dir.Write("ldraw/parts/plate.dat",
                  std::string("0 Plate  1 x 2\n") + testing_support::kCube);
        // A subpart is walked into: what it references counts.
        dir.Write("ldraw/parts/s/brick-s01.dat",
                  "0 ~Brick side\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n");
        dir.Write("ldraw/p/.keep", "");
        settings.ldrawDir = library;
    }
    std::vector<inspect::PartsRow> List(const std::string& text) {
        EXPECT_EQ(QzReadModel(model, dir.Write("model.mpd", text), settings, palette), 1);
        return inspect::ListParts(model, library);
    }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string library;
    QzLoadSettings settings;
    QzModel model;
    QzPalette palette;  // scheme 0
};

TEST_F(PartsList, CountsThroughNestedSubmodelsInTheReferencesColours) {
    using Row = inspect::PartsRow;
    const std::string brick = "Brick, \"big\" 2 x 4";
    const std::vector<Row> expected = {
        // pod.ldr holds a brick in 16 and a black plate; wing.ldr three pods, two in 16
        // and one blue; the main model two wings, one in 16 (that is 7) and one red.
        {"brick.dat", 1, "Blue", 2, brick, false},
        {"brick.dat", 4, "Test_Red", 2, brick, false},
        {"brick.dat", 7, "Grey", 2, brick, false},
        {"brick.dat", 71, "Test_Grey", 1, brick, false},
        {"brick.dat", 0x2FF8000, "", 1, brick, false},
        {"missing.dat", 2, "Green", 2, "(missing)", true},
        {"plate.dat", 0, "Black", 6, "Plate  1 x 2", false},
        {"plate.dat", 5, "Magenta (LDLite: dk_pink)", 1, "Plate  1 x 2", false},
        {"plate.dat", 14, "Yellow", 1, "Plate  1 x 2", false},
    };
    EXPECT_EQ(List(kModel), expected);
}

TEST_F(PartsList, PartsTheModelFileDefinesAreListedNotWalkedInto) {
    using Row = inspect::PartsRow;
    const std::string text =
        "0 FILE main.ldr\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 Hose.DAT\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 hose.dat\n"
        "1 1 0 0 0 1 0 0 0 1 0 0 0 1 seg.ldr\n"
        "1 2 0 0 0 1 0 0 0 1 0 0 0 1 kit.dat\n"
        "1 14 0 0 0 1 0 0 0 1 0 0 0 1 shortcut.ldr\n"
        // Named .dat: a part.
        "0 FILE Hose.DAT\n"
        "0 Hose segment\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n"
        // Marked a part in its header, whatever its name.
        "0 FILE seg.ldr\n"
        "0 Rope end\n"
        "0 !LDRAW_ORG Unofficial_Part UPDATE 2024-01\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
        "0 FILE shortcut.ldr\n"
        "0 Set of two\n"
        "0 !LDRAW_ORG Shortcut\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 brick.dat\n"
        // Named .dat but marked a model: a submodel, walked into.
        "0 FILE kit.dat\n"
        "0 Kit\n"
        "0 !LDRAW_ORG Unofficial_Model\n"
        "1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n";
    const std::vector<Row> expected = {
        {"Hose.DAT", 4, "Test_Red", 2, "Hose segment", false},
        {"plate.dat", 2, "Green", 1, "Plate  1 x 2", false},
        {"seg.ldr", 1, "Blue", 1, "Rope end", false},
        {"shortcut.ldr", 14, "Yellow", 1, "Set of two", false},
    };
    EXPECT_EQ(List(text), expected);
    // The files below the parts are read (they are drawn), but not counted.
    EXPECT_NE(inspect::PartsText(List(text)).find("Total: 5 parts\n"), std::string::npos);
}

TEST_F(PartsList, WritesTheThreeFormsWhole) {
    const std::vector<inspect::PartsRow> rows = List(kModel);
    EXPECT_EQ(inspect::PartsCsv(rows),
              "part,colour,colour_name,quantity,description\r\n"
              "brick.dat,1,Blue,2,\"Brick, \"\"big\"\" 2 x 4\"\r\n"
              "brick.dat,4,Test_Red,2,\"Brick, \"\"big\"\" 2 x 4\"\r\n"
              "brick.dat,7,Grey,2,\"Brick, \"\"big\"\" 2 x 4\"\r\n"
              "brick.dat,71,Test_Grey,1,\"Brick, \"\"big\"\" 2 x 4\"\r\n"
              "brick.dat,0x2FF8000,,1,\"Brick, \"\"big\"\" 2 x 4\"\r\n"
              "missing.dat,2,Green,2,(missing)\r\n"
              "plate.dat,0,Black,6,Plate  1 x 2\r\n"
              "plate.dat,5,Magenta (LDLite: dk_pink),1,Plate  1 x 2\r\n"
              "plate.dat,14,Yellow,1,Plate  1 x 2\r\n");
    EXPECT_EQ(inspect::PartsText(rows),
              "Part            Colour  Name                       Quantity  Description\n"
              "brick.dat            1  Blue                              2  Brick, \"big\" 2 x 4\n"
              "brick.dat            4  Test_Red                          2  Brick, \"big\" 2 x 4\n"
              "brick.dat            7  Grey                              2  Brick, \"big\" 2 x 4\n"
              "brick.dat           71  Test_Grey                         1  Brick, \"big\" 2 x 4\n"
              "brick.dat    0x2FF8000                                    1  Brick, \"big\" 2 x 4\n"
              "missing.dat          2  Green                             2  (missing)\n"
              "plate.dat            0  Black                             6  Plate  1 x 2\n"
              "plate.dat            5  Magenta (LDLite: dk_pink)         1  Plate  1 x 2\n"
              "plate.dat           14  Yellow                            1  Plate  1 x 2\n"
              "Total: 18 parts, 2 missing\n");
    const std::vector<inspect::PartsRow> two(rows.begin() + 4, rows.begin() + 6);
    EXPECT_EQ(inspect::PartsJson(two),
              "[\n"
              "  {\"part\": \"brick.dat\", \"colour\": 50298880, \"colour_name\": \"\", "
              "\"quantity\": 1, \"description\": \"Brick, \\\"big\\\" 2 x 4\"},\n"
              "  {\"part\": \"missing.dat\", \"colour\": 2, \"colour_name\": \"Green\", "
              "\"quantity\": 2, \"description\": \"(missing)\"}\n"
              "]\n");
    EXPECT_EQ(inspect::PartsJson({}), "[]\n");
}

TEST_F(PartsList, JsonIsUtf8AndEscapesControlCharacters) {
    inspect::PartsRow row{"a\\b.dat", 4, "Red", 1, "Caf\xc3\xa9 \xe9\ttab", false};
    EXPECT_EQ(inspect::PartsJson({row}),
              "[\n  {\"part\": \"a\\\\b.dat\", \"colour\": 4, \"colour_name\": \"Red\", "
              "\"quantity\": 1, \"description\": \"Caf\xc3\xa9 \xc3\xa9\\u0009tab\"}\n]\n");
}

TEST_F(PartsList, WithoutLDConfigTheSchemeTableNamesTheColours) {
    const std::vector<inspect::PartsRow> rows = List(kModel);
    const std::vector<inspect::PartsRow> plain = inspect::ListParts(model, library, {});
    ASSERT_EQ(plain.size(), rows.size());
    EXPECT_EQ(plain[1].colourName, "Red");  // 4
    EXPECT_EQ(plain[3].colourName, "");     // 71: no table row
}

TEST_F(PartsList, NamesPartsAsTheLibraryStoresThem) {
    dir.Write("ldraw/parts/Tall.DAT", "0 Tall part\n" + std::string(testing_support::kCube));
    const std::vector<inspect::PartsRow> rows = List("1 4 0 0 0 1 0 0 0 1 0 0 0 1 TALL.dat\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].part, "Tall.DAT");
    EXPECT_EQ(rows[0].description, "Tall part");
}

// Colour 24 on a reference is drawn as 16: the part takes the colour of the reference
// that brought its submodel in.
TEST_F(PartsList, Colour24TakesTheColourOfItsSubmodel) {
    const std::string plate24 = "1 24 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n";
    struct Case {
        const char* name;
        std::string text;
        int32_t colour;
        const char* colourName;
    };
    for (const Case& c : {
             Case{
                 "in a red submodel",
                 "0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n0 FILE sub.ldr\n" + plate24,
                 4, "Test_Red"},
             Case{"in the main model", plate24, 7, "Grey"},
             Case{"in a submodel of colour 16 inside a blue one",
                  "0 FILE main.ldr\n1 1 0 0 0 1 0 0 0 1 0 0 0 1 mid.ldr\n"
                  "0 FILE mid.ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n0 FILE sub.ldr\n" +
                      plate24,
                  1, "Blue"},
             Case{"in a red submodel's green submodel",
                  "0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 mid.ldr\n"
                  "0 FILE mid.ldr\n1 2 0 0 0 1 0 0 0 1 0 0 0 1 sub.ldr\n0 FILE sub.ldr\n" +
                      plate24,
                  2, "Green"},
         }) {
        SCOPED_TRACE(c.name);
        model = QzModel();
        const std::vector<inspect::PartsRow> rows = List(c.text);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0], (inspect::PartsRow{"plate.dat", c.colour, c.colourName, 1,
                                              "Plate  1 x 2", false}));
    }
}

// Records and fields as a spreadsheet reads CSV: quotes hold commas, quotes and line
// breaks; outside them a CR, a LF or a CR LF ends the record.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            fields.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(fields));
            fields.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !fields.empty()) {
        fields.push_back(std::move(field));
        records.push_back(std::move(fields));
    }
    return records;
}

// A field holding a CR, a LF or both is written so that it stays one field of its one
// record: the records after it are read as written.
TEST_F(PartsList, CsvKeepsFieldsWithLineBreaksWhole) {
    for (const std::string text : {"\r", "\n", "\r\n", "first\rsecond", "first\nsecond",
                                   "first\r\nsecond", "ends\n", "\nstarts"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        const std::vector<inspect::PartsRow> rows = {
            {"a.dat", 4, "Red", 2, text, false},
            {"b.dat", 1, "Blue" + text, 1, "after", false},
            {"c.dat", 2, "Green", 3, "last", false},
        };
        const std::vector<std::vector<std::string>> records = ReadCsv(inspect::PartsCsv(rows));
        ASSERT_EQ(records.size(), 4u);
        for (const auto& record : records) ASSERT_EQ(record.size(), 5u);
        EXPECT_EQ(records[1][0], "a.dat");
        EXPECT_EQ(records[1][3], "2");
        EXPECT_EQ(records[2][0], "b.dat");
        EXPECT_EQ(records[2][4], "after");
        EXPECT_EQ(records[3], (std::vector<std::string>{"c.dat", "2", "Green", "3", "last"}));
        // What is not a line break comes through.
        for (const char* word : {"first", "second", "ends", "starts"}) {
            if (text.find(word) != std::string::npos) {
                EXPECT_NE(records[1][4].find(word), std::string::npos) << word;
            }
        }
    }
}

TEST_F(PartsList, ReferencesThroughDotDotAreClassedByWhereTheFileIs) {
    const std::vector<inspect::PartsRow> rows = List(
        // The part brick.dat, reached from the subparts and from the primitives folder.
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 s\\..\\brick.dat\n"
        "1 4 0 0 0 1 0 0 0 1 0 0 0 1 ..\\parts\\brick.dat\n"
        // A subpart however written: walked into, its plate counted.
        "1 1 0 0 0 1 0 0 0 1 0 0 0 1 ./s/brick-s01.dat\n"
        "1 2 0 0 0 1 0 0 0 1 0 0 0 1 S\\brick-s01.dat\n");
    const std::vector<inspect::PartsRow> expected = {
        {"brick.dat", 4, "Test_Red", 2, "Brick, \"big\" 2 x 4", false},
        {"plate.dat", 1, "Blue", 1, "Plate  1 x 2", false},
        {"plate.dat", 2, "Green", 1, "Plate  1 x 2", false},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(PartsList, AListMadeInsideThePartsFolderCountsItsParts) {
    // The reader finds "plate.dat" in the current folder first: the parts folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path() / "ldraw" / "parts");
    const std::vector<inspect::PartsRow> rows = List("1 4 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n");
    std::filesystem::current_path(before);
    const std::vector<inspect::PartsRow> expected = {
        {"plate.dat", 4, "Test_Red", 1, "Plate  1 x 2", false}};
    EXPECT_EQ(rows, expected);
}

TEST_F(PartsList, SpreadsheetsAndTerminalsGetPlainTextFromDescriptions) {
    using Row = inspect::PartsRow;
    const std::vector<Row> rows = {
        {"a.dat", 1, "Blue", 1, "=Brick  2 x 4", false},
        {"b.dat", 1, "Blue", 1, "+1", false},
        {"c.dat", 1, "Blue", 1, "-Plate, round", false},
        {"d.dat", 1, "@SUM(A1)", 1, "ok = fine", false},
        {"e.dat", 1, "Blue", 1, "\x1b]0;title\x07\x1b[31mred", false},
        {"f.dat", 1, "Blue", 1, "tab\there\r\nnext", false},
        {"g.dat", 1, "Blue", 1,
         "C1 \xc2\x9b"
         "31m and \x9b, Caf\xc3\xa9 \xe9\x7f",
         false},
    };
    EXPECT_EQ(inspect::PartsCsv(rows),
              "part,colour,colour_name,quantity,description\r\n"
              "a.dat,1,Blue,1,\"'=Brick  2 x 4\"\r\n"
              "b.dat,1,Blue,1,\"'+1\"\r\n"
              "c.dat,1,Blue,1,\"'-Plate, round\"\r\n"
              "d.dat,1,\"'@SUM(A1)\",1,ok = fine\r\n"
              "e.dat,1,Blue,1,?]0;title??[31mred\r\n"
              "f.dat,1,Blue,1,tab here??next\r\n"
              "g.dat,1,Blue,1,\"C1 ?31m and ?, Caf\xc3\xa9 \xe9?\"\r\n");
    EXPECT_EQ(inspect::PartsText(rows),
              "Part   Colour  Name      Quantity  Description\n"
              "a.dat       1  Blue             1  =Brick  2 x 4\n"
              "b.dat       1  Blue             1  +1\n"
              "c.dat       1  Blue             1  -Plate, round\n"
              "d.dat       1  @SUM(A1)         1  ok = fine\n"
              "e.dat       1  Blue             1  ?]0;title??[31mred\n"
              "f.dat       1  Blue             1  tab here??next\n"
              "g.dat       1  Blue             1  C1 ?31m and ?, Caf\xc3\xa9 \xe9?\n"
              "Total: 7 parts\n");
    // JSON keeps every character, escaped.
    EXPECT_EQ(inspect::PartsJson({rows[4]}),
              "[\n  {\"part\": \"e.dat\", \"colour\": 1, \"colour_name\": \"Blue\", "
              "\"quantity\": 1, \"description\": "
              "\"\\u001b]0;title\\u0007\\u001b[31mred\"}\n]\n");
}

// A model of more files than the part table holds: the main model places a plate and
// then `sections` submodels of one plate each, all in one file.
std::string PastTheTable(int sections) {
    std::string text = "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n";
    for (int i = 1; i <= sections; ++i)
        text += "1 4 0 0 0 1 0 0 0 1 0 0 0 1 s" + std::to_string(i) + ".ldr\n";
    for (int i = 1; i <= sections; ++i)
        text += "0 FILE s" + std::to_string(i) + ".ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n";
    return "0 FILE main.ldr\n" + text;
}

TEST_F(PartsList, AListPastThePartTableSaysWhatWasLeftOut) {
    // The table holds the main model, the plate and 1998 submodels; 17 are left out.
    const std::vector<inspect::PartsRow> rows = List(PastTheTable(2015));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].quantity, 1999u);
    const std::string incomplete =
        "Incomplete: past the part table's 2000 files, 17 files were left out: s1999.ldr, "
        "s2000.ldr, s2001.ldr, s2002.ldr, s2003.ldr, s2004.ldr, s2005.ldr, s2006.ldr, "
        "s2007.ldr, s2008.ldr and 7 more";
    EXPECT_EQ(inspect::IncompleteText(model), incomplete);

    // A complete list says nothing, also after an incomplete one.
    List("1 4 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n");
    EXPECT_EQ(inspect::IncompleteText(model), "");
}

// ---- zarvel-cli parts ----

TEST_F(PartsList, PartsAndStepsReadCurrentColoursWithoutWarnings) {
    const std::string path = dir.Write("current.ldr",
                                       "1 71 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n0 STEP\n"
                                       "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        bool warned;
    };
    const std::string list =
        "Part       Colour  Name       Quantity  Description\n"
        "plate.dat       4  Test_Red          1  Plate  1 x 2\n"
        "plate.dat      71  Test_Grey         1  Plate  1 x 2\n"
        "Total: 2 parts\n";
    const Case cases[] = {
        {{"parts", "--ldraw", library, path}, 0, list, false},
        {{"steps", "--ldraw", library, path}, 0, "2\n", false},
        {{"parts", "--ldraw", library, "--scheme", "3", path}, 0, list, false},
        // The classic colours on request, with what they say of 71.
        {{"parts", "--ldraw", library, "--scheme", "0", path}, 0, list, true},
        {{"steps", "--ldraw", library, "--scheme", "1", path}, 0, "2\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CliRun r = testing_support::RunZarvelCli(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err.find("Unknown color") != std::string::npos, c.warned) << r.err;
    }
    // A library without LDConfig.ldr: the classic colours, without a word about the file.
    std::filesystem::remove(dir.path() / "ldraw/LDConfig.ldr");
    const CliRun r = testing_support::RunZarvelCli({"steps", "--ldraw", library, path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("LDConfig"), std::string::npos) << r.err;
}

TEST_F(PartsList, CommandWritesTheFormsAndFailsWithMissingParts) {
    const std::string path = dir.Write("model.mpd", kModel);
    CliRun r =
        testing_support::RunZarvelCli({"parts", "--ldraw", library, "--format", "csv", path});
    EXPECT_EQ(r.status, 1);  // missing.dat
    EXPECT_EQ(r.out, inspect::PartsCsv(List(kModel)));
    EXPECT_NE(r.err.find("Could not find missing.dat"), std::string::npos) << r.err;

    const std::string whole = dir.Write("whole.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 plate.dat\n");
    r = testing_support::RunZarvelCli({"parts", "--ldraw", library, whole});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Part       Colour  Name      Quantity  Description\n"
              "plate.dat       4  Test_Red         1  Plate  1 x 2\n"
              "Total: 1 part\n");
    r = testing_support::RunZarvelCli({"parts", "--ldraw", library, "--format", "json", whole});
    EXPECT_EQ(r.out,
              "[\n  {\"part\": \"plate.dat\", \"colour\": 4, \"colour_name\": \"Test_Red\", "
              "\"quantity\": 1, \"description\": \"Plate  1 x 2\"}\n]\n");

    // Past the part table: the list says it is incomplete, and the status says so.
    const std::string big = dir.Write("big.mpd", PastTheTable(2001));
    r = testing_support::RunZarvelCli({"parts", "--ldraw", library, big});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "Part       Colour  Name      Quantity  Description\n"
              "plate.dat       4  Test_Red      1999  Plate  1 x 2\n"
              "Total: 1999 parts\n"
              "Incomplete: past the part table's 2000 files, 3 files were left out: s1999.ldr, "
              "s2000.ldr, s2001.ldr\n");
    EXPECT_NE(r.err.find("Zarvel: Sorry, max 2000 parts.\n"), std::string::npos) << r.err;
    r = testing_support::RunZarvelCli({"parts", "--ldraw", library, "--format", "csv", big});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "part,colour,colour_name,quantity,description\r\n"
              "plate.dat,4,Test_Red,1999,Plate  1 x 2\r\n");
    EXPECT_TRUE(
        r.err.ends_with("\nzarvel-cli: Incomplete: past the part table's 2000 files, 3 "
                        "files were left out: s1999.ldr, s2000.ldr, s2001.ldr\n"))
        << r.err;

    r = testing_support::RunZarvelCli({"parts", "--format", "xml", whole});
    EXPECT_EQ(r.status, 2);
    r = testing_support::RunZarvelCli({"parts", "--ldraw", library, whole + ".none"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
