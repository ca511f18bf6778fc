// The normal drawing in bands of rows, one thread each: with 2, 3, 7 or 16 threads it
// gives the pixels, the rectangles shown, the rectangles it marks as drawn and the
// counts of one thread, for hand-made models that put studs, parts and submodels across
// band edges, and for the real models of the LDraw library. Leaving out the files that
// lie behind what is drawn already changes none of them either.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "loader.h"
#include "measurements.h"
#include "model.h"
#include "test_support.h"
#include "viewcore.h"
#include "zimage.h"

namespace {

using testing_support::kIdentity;

class RecordingSink : public QzDisplaySink {
  public:
    void Paint(const QzZImage&, const QzPixelRect& rect) override { shown.push_back(rect); }
    std::vector<QzPixelRect> shown;
};

std::string RectText(const QzPixelRect& r) {
    std::ostringstream s;
    s << '(' << r.x0 << ',' << r.y0 << ")-(" << r.x1 << ',' << r.y1 << ')';
    return s.str();
}

// What one drawing leaves that must not depend on the number of threads: everything but
// its duration.
struct Drawing {
    std::vector<uint8_t> rgb;
    std::string shown;  // the rectangles handed to the display, in order
    std::string drawn;  // the image's drawn and dirty rectangles
    std::string counts;
};

std::string CountsText(const QzDrawStatistics& s) {
    std::ostringstream text;
    for (int type = 1; type <= 5; ++type) text << type << ':' << s.typeCount[type] << ' ';
    text << "M:" << s.matrixMulCount << " V:" << s.transformCount << " [" << s.transformText << ']';
    return text.str();
}

// The first difference between two series of drawings, empty when there is none.
std::string Difference(const std::vector<Drawing>& want, const std::vector<Drawing>& got) {
    for (size_t i = 0; i < want.size(); ++i) {
        const std::string at = "drawing " + std::to_string(i + 1) + ": ";
        if (want[i].counts != got[i].counts)
            return at + "counts " + got[i].counts + " instead of " + want[i].counts;
        if (want[i].shown != got[i].shown)
            return at + "shown " + got[i].shown + " instead of " + want[i].shown;
        if (want[i].drawn != got[i].drawn)
            return at + "rectangles " + got[i].drawn + " instead of " + want[i].drawn;
        if (want[i].rgb != got[i].rgb) {
            size_t p = 0;
            while (want[i].rgb[p] == got[i].rgb[p]) ++p;
            return at + "pixels differ from byte " + std::to_string(p);
        }
    }
    return {};
}

// How a series of drawings is set up: the picture's size, the view and its options.
struct Picture {
    int width = 0;
    int height = 0;
    std::function<void(QzRenderState&, const QzModel&, QzViewCore&)> prepare;
};

// Draws the model full size and, when asked, turns it and redraws only what changed, as
// the view does after a drag; returns the drawings.
std::vector<Drawing> DrawWith(const QzModel& model, const Picture& picture, int threads,
                              bool turned = true) {
    RecordingSink sink;
    QzViewCore view(&sink);
    EXPECT_TRUE(view.Resize(picture.width, picture.height));
    QzRenderState& state = view.State();
    state.threads = threads;
    state.SetStandardView(1);
    if (picture.prepare) picture.prepare(state, model, view);
    std::vector<Drawing> drawings;
    auto record = [&] {
        Drawing d;
        d.rgb = view.RgbPixels();
        for (const QzPixelRect& r : sink.shown) d.shown += RectText(r);
        d.drawn = RectText(view.Image().drawnRect) + RectText(view.Image().dirtyRect);
        d.counts = CountsText(view.Statistics());
        drawings.push_back(std::move(d));
        sink.shown.clear();
    };
    view.Draw(model);
    record();
    if (!turned) return drawings;
    state.RotateView(37, -23);
    view.Redraw(model, false);
    record();
    return drawings;
}

constexpr int kThreadCounts[] = {2, 3, 7, 16};

// ---- Hand-made models ----

std::string Ref(int colour, double x, double y, double z, const std::string& name,
                const char* matrix = kIdentity) {
    std::ostringstream s;
    s << "1 " << colour << ' ' << x << ' ' << y << ' ' << z << ' ' << matrix << ' ' << name << '\n';
    return s.str();
}

// A wall of bricks, studs up, in several colours: studs and parts on every band edge.
std::string Wall() {
    std::string text;
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 6; ++column)
            text += Ref(1 + (row + column) % 14, column * 40 - 100 + (row % 2) * 20, -row * 24,
                        row * 3, row % 3 == 0 ? "zb2x2.dat" : "zb1x2.dat");
    return text;
}

// One big plate whose studs each cross many rows, seen from above.
std::string BigPlate() {
    return Ref(14, 0, 0, 0, "zp2x4.dat", "8 0 0 0 8 0 0 0 8") + Ref(4, 0, -80, 0, "zs2x2.dat");
}

// A submodel in colour 16, placed plain, mirrored and turned; a glass brick among them.
std::string Submodels() {
    return "0 FILE main.ldr\n" + Ref(4, -60, 0, 0, "pair.ldr") +
           Ref(2, 60, 0, 0, "pair.ldr", "-1 0 0 0 1 0 0 0 1") +
           Ref(16, 0, -48, 30, "pair.ldr", "0 0 1 0 1 0 -1 0 0") +
           Ref(36, 0, -24, -30, "zb2x2.dat") + "0 FILE pair.ldr\n" + Ref(16, 0, 0, 0, "zb2x2.dat") +
           Ref(24, 0, -24, 0, "zs2x2.dat") + Ref(16, 20, -24, 0, "zb1x1.dat");
}

// Bricks behind a wall that hides them: the stud pass decides on depths of every band.
std::string Hidden() {
    std::string text = Ref(7, 0, 0, -60, "zp2x4.dat", "6 0 0 0 12 0 0 0 1");
    for (int i = 0; i < 8; ++i) text += Ref(4 + i, i * 20 - 70, -i * 8, 40, "zb1x1.dat");
    return text;
}

// The same behind a wall, each brick turned inside out and mirrored (the way a mirrored
// part keeps its faces outward), or only one of the two: hidden files count the faces
// that face away as the drawing would.
std::string HiddenInsideOut() {
    std::string text = "0 BFC CERTIFY CCW\n" + Ref(7, 0, 0, -60, "zp2x4.dat", "6 0 0 0 12 0 0 0 1");
    for (int i = 0; i < 8; ++i) {
        if (i % 3 != 2) text += "0 BFC INVERTNEXT\n";
        text += Ref(4 + i, i * 20 - 70, -i * 8, 40, "zb1x1.dat",
                    i % 3 == 1 ? kIdentity : "-1 0 0 0 1 0 0 0 1");
    }
    return text;
}

// Tiles just behind a wall, each a little farther: the edge lines of the nearest lie in
// front of the wall as lines are drawn (pulled nearer), those farther lie behind it, and
// where a face's corner lies nearer than the wall a tile shows through.
std::string JustBehind() {
    std::string text =
        "0 FILE main.ldr\n"
        "4 7 -60 -60 0 60 -60 0 60 60 0 -60 60 0\n";
    const double gaps[] = {0.05, 0.2, 0.3, 0.38, 0.42, 0.6, 1.0, 3.0, 0.25};
    for (int i = 0; i < 9; ++i)
        text += Ref(1 + i, (i % 3) * 36 - 36, (i / 3) * 36 - 36, gaps[i], "tile.ldr",
                    i == 8 ? "1 0 0 0 1 0 0 0.2 1" : kIdentity);
    // A face, its edges and its diagonals: enough lines to be worth the test.
    text +=
        "0 FILE tile.ldr\n"
        "4 16 -15 -15 0 15 -15 0 15 15 0 -15 15 0\n"
        "2 24 -15 -15 0 15 -15 0\n2 24 15 -15 0 15 15 0\n"
        "2 24 15 15 0 -15 15 0\n2 24 -15 15 0 -15 -15 0\n"
        "2 24 -15 -15 0 15 15 0\n2 24 15 -15 0 -15 15 0\n"
        "5 24 0 -15 0 0 15 0 -15 0 0 15 0 1\n"
        "3 16 -5 -5 0 5 -5 0 0 5 0\n";
    return text;
}

// Tiles and plates behind a wall that the file draws last, each a little farther, and
// one tile in front of it: what the wall hides is only known from its depths found
// before the drawing; the nearest tiles' pulled edge lines still come through.
std::string BehindALaterWall() {
    std::string text = "0 FILE main.ldr\n";
    const double gaps[] = {0.05, 0.2, 0.3, 0.38, 0.42, 0.6, 1.0, 3.0, -2.0};
    for (int i = 0; i < 9; ++i)
        text += Ref(1 + i, (i % 3) * 36 - 36, (i / 3) * 36 - 36, gaps[i], "tile.ldr");
    for (int i = 0; i < 4; ++i)
        text += Ref(10 + i, i * 30 - 45, 20 - i * 12, 20 + i, "zp2x4.dat", "1 0 0 0 0 -1 0 1 0");
    text += "4 7 -70 -70 0 70 -70 0 70 70 0 -70 70 0\n";
    text +=
        "0 FILE tile.ldr\n"
        "4 16 -15 -15 0 15 -15 0 15 15 0 -15 15 0\n"
        "2 24 -15 -15 0 15 -15 0\n2 24 15 -15 0 15 15 0\n"
        "2 24 15 15 0 -15 15 0\n2 24 -15 15 0 -15 -15 0\n"
        "2 24 -15 -15 0 15 15 0\n2 24 15 -15 0 -15 15 0\n"
        "5 24 0 -15 0 0 15 0 -15 0 0 15 0 1\n"
        "3 16 -5 -5 0 5 -5 0 0 5 0\n";
    return text;
}

// Studs just behind a wall's lower edge, each a little farther and a little lower: a
// band whose rows the wall covers cannot tell alone whether a stud shows (its pulled
// lines may still come through), the bands below the edge can.
std::string StudsUnderAnEdge() {
    std::string text = "0 FILE main.ldr\n4 7 -120 -60 0 120 -60 0 120 0 0 -120 0 0\n";
    const double gaps[] = {0.05, 0.2, 0.3, 0.38, 0.42, 0.6, 1.0, 3.0};
    for (int i = 0; i < 8; ++i)
        text += Ref(1 + i, i * 28 - 98, 1 + i * 0.5, 6 + gaps[i], "stud.dat");
    return text;
}

// Studs wholly behind a wall, each a little farther: no band sees one, yet the pulled
// lines of the nearest come through the wall wherever they lie, so a band that draws one
// before it knows what the others found must put back what it wrote.
std::string StudsBehindAWall() {
    std::string text = "0 FILE main.ldr\n4 7 -120 -60 0 120 -60 0 120 0 0 -120 0 0\n";
    const double gaps[] = {0.05, 0.2, 0.3, 0.38, 0.42, 0.6, 1.0, 3.0};
    for (int i = 0; i < 8; ++i)
        text += Ref(1 + i, i * 28 - 98, -44 + i * 5, 6 + gaps[i], "stud.dat");
    return text;
}

struct HandMade {
    const char* name;
    std::string (*text)();
    Picture picture;
};

void Fit(QzRenderState& state, const QzModel& model, QzViewCore& view) {
    state.zoom = view.FitZoom(model);
}

const HandMade kHandMade[] = {
    {"Wall", Wall, {160, 120, Fit}},
    {"WallTall", Wall, {40, 300, Fit}},
    {"WallFewerRowsThanThreads", Wall, {64, 5, Fit}},
    {"WallSeams",
     Wall,
     {128, 96,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.options.seams = true;
          s.options.seamWidth = 4;
          Fit(s, m, v);
      }}},
    {"WallStudsInOrder",
     Wall,
     {128, 96,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.options.studsLast = false;
          s.options.lineAsStud = true;
          Fit(s, m, v);
      }}},
    {"WallWithoutCulling",
     Wall,
     {128, 96,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.options.bfc = false;
          s.options.showAllType5 = true;
          s.options.edgesType3 = s.options.edgesType4 = true;
          Fit(s, m, v);
      }}},
    {"WallInTestColours",
     Wall,
     {128, 96,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.options.bfcTestColours = true;
          s.options.allTransparent = true;
          s.options.shading = false;
          Fit(s, m, v);
      }}},
    {"WallZoomedPastThePicture",
     Wall,
     {96, 96,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) { s.zoom = 4 * v.FitZoom(m); }}},
    {"WallWithBoxAndAxes",
     Wall,
     {96, 72,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.showModelBox = s.showAxes = true;
          Fit(s, m, v);
      }}},
    {"BigPlateFromAbove",
     BigPlate,
     {120, 160,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.SetStandardView(13);
          Fit(s, m, v);
      }}},
    {"BigPlateFromBelow",
     BigPlate,
     {120, 160,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.SetStandardView(14);
          Fit(s, m, v);
      }}},
    {"Submodels", Submodels, {150, 110, Fit}},
    {"SubmodelsWithGlassBlended",
     Submodels,
     {150, 110,
      [](QzRenderState& s, const QzModel& m, QzViewCore& v) {
          s.options.ditherTransparency = false;
          Fit(s, m, v);
      }}},
    {"Hidden", Hidden, {100, 140, Fit}},
    {"HiddenInsideOut", HiddenInsideOut, {100, 140, Fit}},
    {"JustBehind",
     JustBehind,
     {120, 120,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 100;
      }}},
    {"BehindALaterWall",
     BehindALaterWall,
     {120, 120,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 60;
      }}},
    {"BehindALaterWallClose",
     BehindALaterWall,
     {160, 160,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 300;
      }}},
    {"StudsUnderAnEdge",
     StudsUnderAnEdge,
     {120, 48,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 40;
      }}},
    {"StudsUnderAnEdgeClose",
     StudsUnderAnEdge,
     {240, 96,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 200;
      }}},
    {"StudsBehindAWall",
     StudsBehindAWall,
     {120, 48,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 40;
      }}},
    {"StudsBehindAWallClose",
     StudsBehindAWall,
     {240, 160,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 200;
      }}},
    {"JustBehindFarOut",
     JustBehind,
     {120, 120,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 40;
      }}},
    {"JustBehindClose",
     JustBehind,
     {120, 120,
      [](QzRenderState& s, const QzModel&, QzViewCore&) {
          s.SetStandardView(9);
          s.zoom = 400;
      }}},
};

void PrintTo(const HandMade& c, std::ostream* out) { *out << c.name; }

class BandsOfHandMadeModels : public ::testing::TestWithParam<HandMade> {
  protected:
    // Reads the case's model, the examples for its library.
    void Load() {
        QzLoadSettings settings;
        settings.ldrawDir = testing_support::ExamplesDir().string();
        ASSERT_EQ(QzReadModel(model, dir.Write("model.mpd", GetParam().text()), settings, palette),
                  1);
    }

    testing_support::ScopedMessageBox boxes;
    testing_support::TempDir dir;
    QzPalette palette;
    QzModel model;
};

TEST_P(BandsOfHandMadeModels, DrawAsOneThreadDoes) {
    const HandMade& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load());
    ASSERT_TRUE(boxes.box.calls.empty()) << boxes.box.calls[0].text;
    const std::vector<Drawing> one = DrawWith(model, c.picture, 1);
    ASSERT_EQ(one[0].counts.find(" 4:0 "), std::string::npos) << "no face drawn";
    for (int threads : kThreadCounts)
        EXPECT_EQ(Difference(one, DrawWith(model, c.picture, threads)), "")
            << threads << " threads";
}

// The same pictures, rectangles and counts when nothing is left out as hidden.
std::vector<Drawing> DrawEverything(const QzModel& model, const Picture& picture, int threads,
                                    bool turned = true) {
    Picture everything = picture;
    everything.prepare = [&picture](QzRenderState& s, const QzModel& m, QzViewCore& v) {
        if (picture.prepare) picture.prepare(s, m, v);
        s.options.skipHidden = false;
    };
    return DrawWith(model, everything, threads, turned);
}

TEST_P(BandsOfHandMadeModels, LeaveOutOnlyWhatChangesNothing) {
    const HandMade& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load());
    const std::vector<Drawing> all = DrawEverything(model, c.picture, 1);
    for (int threads : {1, 3})
        EXPECT_EQ(Difference(all, DrawWith(model, c.picture, threads)), "")
            << threads << " threads";
}

// The high-quality drawing of a picture.
Picture HighQuality(const Picture& picture) {
    Picture high = picture;
    high.prepare = [picture](QzRenderState& s, const QzModel& m, QzViewCore& v) {
        if (picture.prepare) picture.prepare(s, m, v);
        s.options.highQuality = true;
    };
    return high;
}

// The high-quality drawing leaves out groups, faces and lines behind what it has drawn:
// the same pictures as when it leaves out nothing, at any number of threads.
TEST_P(BandsOfHandMadeModels, HighQualityLeavesOutOnlyWhatChangesNothing) {
    const HandMade& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load());
    const Picture high = HighQuality(c.picture);
    const std::vector<Drawing> all = DrawEverything(model, high, 1);
    for (int threads : {1, 3, 7})
        EXPECT_EQ(Difference(all, DrawWith(model, high, threads)), "") << threads << " threads";
}

INSTANTIATE_TEST_SUITE_P(Models, BandsOfHandMadeModels, ::testing::ValuesIn(kHandMade),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The library's models ----

// Reads each model of the library's models folder (`loads` times, into models of their
// own) and hands them to `check` with the file's name; at least one model is expected.
template <class Check>
void ForEachLibraryModel(const std::filesystem::path& ldraw, int loads, Check check) {
    testing_support::ScopedMessageBox boxes;
    QzLoadSettings settings;
    settings.ldrawDir = ldraw.string();
    int models = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ldraw / "models")) {
        QzPalette palette;
        std::vector<QzModel> read(static_cast<size_t>(loads));
        for (QzModel& model : read)
            ASSERT_EQ(QzReadModel(model, entry.path().string(), settings, palette), 1)
                << entry.path();
        check(read, entry.path().filename());
        ++models;
    }
    EXPECT_GT(models, 0);
}

TEST(BandsOfRealModels, DrawAsOneThreadDoes) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    ForEachLibraryModel(ldraw, 1, [](std::vector<QzModel>& read, const auto& name) {
        const QzModel& model = read[0];
        const Picture picture{200, 150, Fit};
        // Drawn once: the large models at 7 and 16 threads take seconds on two cores.
        const std::vector<Drawing> one = DrawWith(model, picture, 1, false);
        for (int threads : kThreadCounts)
            EXPECT_EQ(Difference(one, DrawWith(model, picture, threads, false)), "")
                << name << ", " << threads << " threads";
        EXPECT_EQ(Difference(DrawEverything(model, picture, 1, false), one), "")
            << name << ", nothing left out";
    });
}

TEST(BandsOfRealModels, HighQualityLeavesOutOnlyWhatChangesNothing) {
    ZARVEL_REQUIRE_SHARED_LDRAW(ldraw);
    // Two loads: the first drawing of each makes the meshes, on two threads and on one.
    ForEachLibraryModel(ldraw, 2, [](std::vector<QzModel>& read, const auto& name) {
        const Picture high = HighQuality(Picture{240, 180, Fit});
        const std::vector<Drawing> two = DrawWith(read[0], high, 2, false);
        const std::vector<Drawing> all = DrawEverything(read[1], high, 1, false);
        EXPECT_EQ(Difference(all, two), "") << name << ", 2 threads";
        EXPECT_EQ(Difference(all, DrawWith(read[0], high, 1, false)), "") << name << ", 1 thread";
    });
}

}  // namespace
