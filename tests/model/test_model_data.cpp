#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model.h"
#include "test_support.h"

namespace {

using testing_support::ScopedMessageBox;

class ModelData : public ::testing::Test {
  protected:
    QzPart* Find(bool internal, const std::string& name) {
        return QzFindPart(model, log, internal, name);
    }
    QzPart* NewBlock(int number) { return Find(true, "QzTransf" + std::to_string(number)); }

    ScopedMessageBox boxes;
    QzModel model;
    QzLogContext log{model.inputLog, model.inputDiagnostics};
};

// Appends a line to a part's list, as the reader does.
QzLine* Append(QzPart* part, const QzLine& line, std::string_view text = {}) {
    QzLine* stored = QzNewLine(part->store, line, text);
    EXPECT_NE(stored, nullptr);
    QzLine** tail = &part->lines;
    while (*tail) tail = &(*tail)->next;
    *tail = stored;
    return stored;
}

QzLine* AppendComment(QzPart* part, const std::string& text) { return Append(part, {}, text); }

QzLine Reference(QzPart* target) {
    QzLine line{};
    line.type = 1;
    line.colour = 16;
    QzMatIdentity(QzLineMatrix(line));
    line.part = target;
    return line;
}

TEST_F(ModelData, NormaliseName) {
    std::string name = "Parts/S/3001S01.DAT";
    QzNormaliseName(name);
    EXPECT_EQ(name, "parts\\s\\3001s01.dat");
    // Only ASCII capitals change; other bytes stay as they are.
    std::string other = "\xC3\x84Z@[`{/\\";
    QzNormaliseName(other);
    EXPECT_EQ(other, "\xC3\x84z@[`{\\\\");
}

TEST_F(ModelData, NormalisedSpellingsReachOneRecord) {
    std::string a = "Parts\\3001.DAT";
    std::string b = "parts/3001.dat";
    QzNormaliseName(a);
    QzNormaliseName(b);
    QzPart* first = Find(false, a);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Find(false, b), first);
    EXPECT_EQ(model.partCount, 1);
    EXPECT_EQ(first->name, "parts\\3001.dat");
    EXPECT_EQ(first->flags, 0u);
}

TEST_F(ModelData, ExistingRecordIsReturnedUntouched) {
    QzPart* part = Find(false, "3001.dat");
    part->flags |= PF_READ | PF_RESOLVED;
    AppendComment(part, "kept");
    EXPECT_EQ(Find(false, "3001.dat"), part);
    EXPECT_EQ(part->flags, PF_READ | PF_RESOLVED);
    ASSERT_NE(part->lines, nullptr);
    EXPECT_STREQ(part->lines->text, "kept");
}

TEST_F(ModelData, MainModelMatchedOnlyByIdenticalText) {
    QzPart* main = Find(false, "C:/Models/House.LDR");
    ASSERT_EQ(main, &model.parts[0]);
    EXPECT_EQ(main->name, "C:/Models/House.LDR");
    QzPart* other = Find(false, "c:\\models\\house.ldr");
    EXPECT_NE(other, main);
    EXPECT_EQ(model.partCount, 2);
}

class StudNames : public ModelData, public ::testing::WithParamInterface<const char*> {};

TEST_P(StudNames, FlaggedAsStud) {
    std::string name = GetParam();
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    QzNormaliseName(name);
    QzPart* part = Find(false, name);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->flags, PF_STUD);
}

INSTANTIATE_TEST_SUITE_P(All, StudNames,
                         ::testing::Values("stud5.dat", "stu2.dat", "stu22.dat", "stu22a.dat",
                                           "stu23.dat", "stu23a.dat", "stu24.dat", "stu24a.dat",
                                           "stud2.dat", "stud2a.dat", "stud3a.dat", "stud4a.dat",
                                           "studline.dat", "stu2p01.dat", "studp01.dat",
                                           "studel.dat", "stud.dat", "stud3.dat", "stud4.dat"));

TEST_F(ModelData, NearStudNamesAreNotStuds) {
    for (const char* name :
         {"stud6.dat", "stud", "p\\stud.dat", "stud.dat ", "xstud.dat", "stud4o.dat"}) {
        QzPart* part = Find(false, name);
        ASSERT_NE(part, nullptr) << name;
        EXPECT_EQ(part->flags & PF_STUD, 0u) << name;
    }
}

TEST_F(ModelData, NameLengthLimit) {
    const std::string ok(259, 'a');
    EXPECT_NE(Find(false, ok), nullptr);
    EXPECT_TRUE(boxes.box.calls.empty());

    const std::string tooLong(260, 'b');
    EXPECT_EQ(Find(false, tooLong), nullptr);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Name too long '" + tooLong + "'.");
    EXPECT_EQ(boxes.box.calls[0].kind, plat::MessageKind::Stop);
    EXPECT_EQ(model.partCount, 1);

    // Internal records obey the same limit.
    EXPECT_EQ(Find(true, tooLong), nullptr);
    EXPECT_EQ(boxes.box.calls.size(), 2u);
}

TEST_F(ModelData, VeryLongNameMessageStaysInWorkingBuffer) {
    const std::string huge(5000, 'c');
    EXPECT_EQ(Find(false, huge), nullptr);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    const std::string& text = boxes.box.calls[0].text;
    EXPECT_EQ(text.size(), 399u);
    EXPECT_EQ(text.rfind("Name too long '", 0), 0u);
}

TEST_F(ModelData, TableHoldsTwoThousandParts) {
    for (int i = 0; i < QZ_MAX_PARTS; ++i) {
        ASSERT_EQ(Find(false, "p" + std::to_string(i) + ".dat"), &model.parts[i]);
    }
    EXPECT_TRUE(boxes.box.calls.empty());
    EXPECT_EQ(Find(false, "one-too-many.dat"), nullptr);
    ASSERT_EQ(boxes.box.calls.size(), 1u);
    EXPECT_EQ(boxes.box.calls[0].text, "Sorry, max 2000 parts.");
    EXPECT_EQ(model.partCount, QZ_MAX_PARTS);
    // Names already in the table are still found.
    EXPECT_EQ(Find(false, "p0.dat"), &model.parts[0]);
    EXPECT_EQ(Find(false, "p1000.dat"), &model.parts[1000]);
    EXPECT_EQ(Find(false, "p1999.dat"), &model.parts[1999]);
    // Transform blocks live outside the table and still work.
    QzPart* block = NewBlock(1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(boxes.box.calls.size(), 1u);
    QzFreePart(block);
}

TEST_F(ModelData, InternalRecordLivesOutsideTable) {
    Find(false, "main.ldr");
    QzPart* block = Find(true, "QzTransf1");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(model.partCount, 1);
    EXPECT_TRUE(block < &model.parts[0] || block >= &model.parts[QZ_MAX_PARTS]);
    EXPECT_EQ(block->flags, PF_INTERNAL);
    EXPECT_EQ(block->name, "QzTransf1");
    EXPECT_EQ(block->lines, nullptr);
    // An internal lookup never returns a table entry, even for a known name.
    QzPart* again = Find(true, "main.ldr");
    EXPECT_NE(again, &model.parts[0]);
    QzFreePart(again);
    QzFreePart(block);
}

TEST_F(ModelData, LineTextsInlineOrInTheStore) {
    QzPart* part = Find(false, "texts.dat");
    std::string source(63, 'x');
    const QzLine* shortLine = AppendComment(part, source);
    EXPECT_EQ(static_cast<const void*>(shortLine->text), static_cast<const void*>(shortLine->p));
    const QzLine* longLine = AppendComment(part, std::string(64, 'y'));
    EXPECT_NE(static_cast<const void*>(longLine->text), static_cast<const void*>(longLine->p));
    EXPECT_EQ(std::string(longLine->text), std::string(64, 'y'));
    const QzLine* empty = AppendComment(part, "");
    ASSERT_NE(empty->text, nullptr);
    EXPECT_STREQ(empty->text, "");
    // The stored texts are copies.
    source.assign(63, 'o');
    EXPECT_EQ(std::string(shortLine->text), std::string(63, 'x'));
    // Lines of other types carry no text, whatever the copy had.
    QzLine reference = Reference(part);
    reference.text = source.data();
    EXPECT_EQ(Append(part, reference, "ignored")->text, nullptr);
    QzFreeLines(part);
    EXPECT_EQ(part->store.newest, nullptr);
}

TEST_F(ModelData, ExpectedLinesTakeOneChunkAndMoreGrowTheStore) {
    QzPart* part = Find(false, "many.dat");
    QzExpectLines(part->store, 300);
    std::vector<const QzLine*> stored;
    for (int i = 0; i < 300; ++i) stored.push_back(Append(part, Reference(part)));
    // One allocation: the lines lie one after the other.
    for (int i = 1; i < 300; ++i) EXPECT_EQ(stored[i], stored[0] + i);
    // Beyond the room expected, and with texts of every length between them, each line
    // keeps what it was given.
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        texts.push_back(std::string(static_cast<size_t>(i % 700), static_cast<char>('a' + i % 26)));
        stored.push_back(AppendComment(part, texts.back()));
    }
    for (int i = 0; i < 3000; ++i) EXPECT_EQ(std::string(stored[300 + i]->text), texts[i]);
    int count = 0;
    for (const QzLine* line = part->lines; line; line = line->next) ++count;
    EXPECT_EQ(count, 3300);
    QzFreePart(part);
    EXPECT_EQ(part->lines, nullptr);
    EXPECT_EQ(part->store.newest, nullptr);
}

TEST_F(ModelData, PartsKeepTheirLinesInTheModelsArena) {
    QzLineArena& arena = *model.lineArena;
    QzPart* brick = Find(false, "3001.dat");
    QzPart* block = NewBlock(1);
    EXPECT_EQ(brick->store.arena, &arena);
    EXPECT_EQ(block->store.arena, &arena);
    EXPECT_EQ(arena.Blocks(), 0u);
    QzExpectLines(brick->store, 100);
    for (int i = 0; i < 100; ++i) Append(brick, Reference(brick));
    AppendComment(block, std::string(500, 'b'));
    EXPECT_EQ(arena.Blocks(), 1u);
    const size_t both = arena.BytesInUse();
    EXPECT_GE(both, 101 * sizeof(QzLine) + 500);
    // A store released keeps its arena; what it held goes back.
    QzFreeLines(brick);
    EXPECT_EQ(brick->store.arena, &arena);
    EXPECT_LT(arena.BytesInUse(), both);
    EXPECT_EQ(std::string(block->lines->text), std::string(500, 'b'));
    // Lines stored again after a release are kept like the first.
    for (int i = 0; i < 20; ++i) Append(brick, Reference(brick));
    EXPECT_EQ(brick->lines->part, brick);
    QzFreeLines(brick);
    QzFreePart(block);
    // Everything back: the blocks go back to the system.
    EXPECT_EQ(arena.BytesInUse(), 0u);
    EXPECT_EQ(arena.Blocks(), 0u);
    // A moved model takes its arena along; the one moved from gets a new one.
    Append(Find(false, "moved.dat"), Reference(brick));
    QzLineArena* before = model.lineArena.get();
    QzModel moved(std::move(model));
    EXPECT_EQ(moved.lineArena.get(), before);
    ASSERT_NE(model.lineArena, nullptr);
    EXPECT_NE(model.lineArena.get(), before);
    EXPECT_EQ(moved.parts[1].store.arena, before);
}

TEST_F(ModelData, TrimmedStoresGiveTheRoomTheyDidNotNeedToTheNextPart) {
    QzLineArena& arena = *model.lineArena;
    QzPart* first = Find(false, "first.dat");
    QzExpectLines(first->store, 1000);
    std::vector<const QzLine*> lines;
    for (int i = 0; i < 10; ++i) lines.push_back(Append(first, Reference(first)));
    const size_t expected = arena.BytesInUse();
    EXPECT_GE(expected, 1000 * sizeof(QzLine));
    QzTrimStore(first->store);
    EXPECT_LT(arena.BytesInUse(), 11 * sizeof(QzLine) + 128);
    // The next part's lines follow in the room given back; the first part's stay.
    QzPart* second = Find(false, "second.dat");
    const QzLine* next = Append(second, Reference(first));
    EXPECT_LT(reinterpret_cast<const char*>(next),
              reinterpret_cast<const char*>(lines[0]) + 1000 * sizeof(QzLine));
    // A trimmed store takes a new chunk for more lines; the part keeps them all.
    for (int i = 0; i < 20; ++i) Append(first, Reference(second));
    int count = 0;
    for (const QzLine* line = first->lines; line; line = line->next) ++count;
    EXPECT_EQ(count, 30);
    // Only the chunk taken last from the arena can be trimmed: the second part's, taken
    // before the first part's new one, stays as it is.
    Append(second, Reference(first));
    const size_t before = arena.BytesInUse();
    QzTrimStore(second->store);
    EXPECT_EQ(arena.BytesInUse(), before);
    QzFreeLines(first);
    QzFreeLines(second);
    EXPECT_EQ(arena.BytesInUse(), 0u);
}

TEST(LineArena, ChunksComeAlignedFromBlocksAndGoBackForReuse) {
    QzLineArena arena;
    struct Step {
        const char* what;
        size_t bytes;
        size_t size;  // the size given
    };
    // Sizes round up to cache lines.
    const Step steps[] = {{"one byte", 1, 64},
                          {"a line's worth", 130, 192},
                          {"a whole line", 128, 128},
                          {"a page", 4096, 4096}};
    std::vector<std::pair<void*, size_t>> taken;
    for (const Step& step : steps) {
        size_t size = 0;
        void* chunk = arena.Take(step.bytes, size);
        ASSERT_NE(chunk, nullptr) << step.what;
        EXPECT_EQ(size, step.size) << step.what;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(chunk) % 64, 0u) << step.what;
        // The chunk is the caller's to write.
        std::memset(chunk, 0xA5, size);
        taken.emplace_back(chunk, size);
    }
    EXPECT_EQ(arena.Blocks(), 1u);
    EXPECT_EQ(arena.BytesInUse(), 64u + 192 + 128 + 4096);
    // A chunk given back serves a later one of its size or a little smaller, but not one
    // of less than half its size.
    arena.Give(taken[1].first, taken[1].second);
    size_t size = 0;
    void* small = arena.Take(64, size);
    EXPECT_NE(small, taken[1].first);
    void* again = arena.Take(100, size);
    EXPECT_EQ(again, taken[1].first);
    EXPECT_EQ(size, 192u);
    // The newest chunk given back returns to the free room of its block.
    arena.Give(small, 64);
    void* same = arena.Take(64, size);
    EXPECT_EQ(same, small);
    // A chunk larger than a block gets blocks of its own.
    void* large = arena.Take(5u << 20, size);
    ASSERT_NE(large, nullptr);
    EXPECT_GE(size, 5u << 20);
    static_cast<char*>(large)[size - 1] = 1;
    EXPECT_EQ(arena.Blocks(), 2u);
    arena.Give(large, size);
    arena.Give(same, 64);
    arena.Give(again, 192);
    arena.Give(taken[0].first, taken[0].second);
    arena.Give(taken[2].first, taken[2].second);
    EXPECT_EQ(arena.Blocks(), 2u);
    arena.Give(taken[3].first, taken[3].second);
    EXPECT_EQ(arena.BytesInUse(), 0u);
    EXPECT_EQ(arena.Blocks(), 0u);
    // More than memory can hold is refused.
    EXPECT_EQ(arena.Take(SIZE_MAX - 10, size), nullptr);
    EXPECT_EQ(arena.Take(SIZE_MAX / 2, size), nullptr);
    EXPECT_EQ(arena.Blocks(), 0u);
}

#if defined(__SANITIZE_ADDRESS__)
// Under the address sanitizer the arena's room that no chunk holds, and a chunk given
// back, may not be touched: a line written past its store is caught as on the heap.
TEST(LineArena, TheSanitizerSeesRoomNoChunkHolds) {
    QzLineArena arena;
    size_t size = 0;
    auto* chunk = static_cast<volatile char*>(arena.Take(100, size));
    size_t keptSize = 0;
    void* kept = arena.Take(64, keptSize);
    chunk[size - 1] = 1;
    EXPECT_DEATH(chunk[size + keptSize] = 1, "use-after-poison");
    arena.Give(const_cast<char*>(chunk), size);
    EXPECT_DEATH(chunk[0] = 1, "use-after-poison");
    arena.Give(kept, keptSize);
}
#endif

TEST_F(ModelData, FreePartFreesNestedBlocksAndNothingElse) {
    QzPart* main = Find(false, "main.ldr");
    QzPart* brick = Find(false, "3001.dat");
    AppendComment(brick, "Brick  2 x  4");
    AppendComment(brick, std::string(200, 'h'));

    // main: comment, block1 { brick, block2 { block3 { brick, long comment } } }, brick
    QzPart* block1 = NewBlock(1);
    QzPart* block2 = NewBlock(2);
    QzPart* block3 = NewBlock(3);
    Append(block3, Reference(brick));
    AppendComment(block3, std::string(100, 'z'));
    Append(block2, Reference(block3));
    Append(block1, Reference(brick));
    Append(block1, Reference(block2));
    AppendComment(main, std::string(80, 'm'));
    Append(main, Reference(block1));
    Append(main, Reference(brick));
    ASSERT_TRUE(QzAllocVertices(*main, 12));

    QzFreePart(main);
    EXPECT_EQ(main->lines, nullptr);
    EXPECT_EQ(main->vertices, nullptr);
    EXPECT_EQ(main->vertexCount, 0);
    EXPECT_TRUE(main->name.empty());
    EXPECT_EQ(model.partCount, 2);  // the entry keeps its slot

    // The referenced table part is untouched.
    EXPECT_EQ(brick->name, "3001.dat");
    ASSERT_NE(brick->lines, nullptr);
    EXPECT_STREQ(brick->lines->text, "Brick  2 x  4");
    ASSERT_NE(brick->lines->next, nullptr);
    EXPECT_EQ(std::string(brick->lines->next->text), std::string(200, 'h'));
    // Leak and double-free checking of the sanitizer build proves the rest.
}

TEST_F(ModelData, DeeplyNestedBlocksAreFreed) {
    QzPart* main = Find(false, "deep.ldr");
    QzPart* outer = main;
    for (int depth = 0; depth < 100000; ++depth) {
        QzPart* block = NewBlock(depth);
        ASSERT_NE(block, nullptr);
        Append(outer, Reference(block));
        outer = block;
    }
    AppendComment(outer, std::string(70, 'd'));
    QzFreePart(main);
    EXPECT_EQ(main->lines, nullptr);
}

TEST_F(ModelData, FreeLinesKeepsRecord) {
    QzPart* part = Find(false, "a.dat");
    part->flags = PF_READ | PF_STUD;
    Append(part, Reference(NewBlock(1)));
    QzFreeLines(part);
    EXPECT_EQ(part->lines, nullptr);
    EXPECT_EQ(part->name, "a.dat");
    EXPECT_EQ(part->flags, PF_READ | PF_STUD);
}

TEST_F(ModelData, FreeAllPartsEmptiesTable) {
    QzPart* a = Find(false, "a.dat");
    QzPart* b = Find(false, "b.dat");
    Append(a, Reference(b));
    Append(b, Reference(NewBlock(7)));
    b->flags |= PF_READ;
    QzFreeAllParts(model);
    EXPECT_EQ(model.partCount, 0);
    EXPECT_EQ(model.parts[1].flags, 0u);
    EXPECT_EQ(model.parts[1].lines, nullptr);
    // The slots are used again from the start.
    EXPECT_EQ(Find(false, "c.dat"), &model.parts[0]);
}

TEST_F(ModelData, LightsAreAddedAtTheEnd) {
    EXPECT_TRUE(model.lights.empty());
    for (int i = 0; i < 25; ++i) {
        QzLight* light = QzNewLight(model.lights);
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light, &model.lights[i]);
        light->flags = static_cast<uint32_t>(i);
    }
    EXPECT_EQ(model.lights.size(), 25u);
    EXPECT_EQ(model.lights[3].flags, 3u);  // kept when the array moved
}

TEST_F(ModelData, FreshModelIsEmpty) {
    QzPart* a = Find(false, "a.dat");
    AppendComment(a, std::string(90, 'q'));
    Append(a, Reference(NewBlock(1)));
    QzNewLight(model.lights);
    QzAddColour(model, 4);
    QzWarn(log, 0, QZ_ASIS, "x");
    model.modelTitle = "House";
    model.modelAuthor = "Zarvel team";
    model.transfCounter = 2;
    model.tableFullShown = true;

    // Moving a model keeps its records where they are; the model moved from has an
    // empty table of its own.
    QzModel moved(std::move(model));
    EXPECT_EQ(&moved.parts[0], a);
    EXPECT_EQ(moved.partCount, 1);
    EXPECT_EQ(moved.modelTitle, "House");
    EXPECT_EQ(model.partCount, 0);
    EXPECT_NE(&model.parts[0], a);

    const QzModel fresh;
    moved = QzModel();
    for (const QzModel* empty : {static_cast<const QzModel*>(&moved), &fresh}) {
        EXPECT_FALSE(empty->Loaded());
        EXPECT_EQ(empty->partCount, 0);
        EXPECT_EQ(empty->parts[0].lines, nullptr);
        EXPECT_TRUE(empty->parts[0].name.empty());
        EXPECT_TRUE(empty->lights.empty());
        EXPECT_TRUE(empty->coloursUsed.empty());
        EXPECT_EQ(empty->inputLog, "");
        EXPECT_TRUE(empty->inputDiagnostics.empty());
        EXPECT_EQ(empty->modelTitle, "");
        EXPECT_EQ(empty->modelAuthor, "");
        EXPECT_EQ(empty->transfCounter, 0);
        EXPECT_FALSE(empty->tableFullShown);
    }
}

}  // namespace
