#include "drawlist.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "drawdata.h"
#include "process.h"
#include "rasteriser.h"
#include "render_math.h"
#include "walk.h"

namespace {

// ---------------------------------------------------------------------------------
// The list.

// The bands that draw an instance: the first counts it.
struct Bands {
    int lo, hi;
};

enum class Kind : uint8_t {
    // Lines of a placed file between its references.
    Run,
    // The end of a stud of the stud pass that shows (see Producer::Enter): its
    // references and products inside in `begin` and `end`.
    StudEnd,
    // "Refresh after each part": a reference of the top file begins, and ends (shown
    // when it drew something).
    Save,
    Flush,
};

inline constexpr uint8_t kCull = 1;
inline constexpr uint8_t kInvert = 2;
inline constexpr uint8_t kTop = 4;
// The first run of its placement: the points of the file are transformed here.
inline constexpr uint8_t kFirst = 8;
// Lines of an earlier building step, drawn lighter.
inline constexpr uint8_t kFaded = 16;

struct Instance {
    QzMatrix matrix;
    const QzPart* part;
    // The run's walk-form items; what a StudEnd counts.
    uint32_t begin, end;
    int32_t colour;
    int16_t lo, hi;
    uint16_t depth;
    Kind kind;
    uint8_t flags;
};

struct Chunk {
    std::vector<Instance> instances;
};

// A stud of the stud pass met by the walk: the screen rectangle of its box (lo: least x,
// y and nearest depth) and the bands that may draw it.
struct Stud {
    QzVector lo, hi;
    int first, last;
};

// Truncation of a screen coordinate kept well inside the int range (as the rasteriser
// truncates); NaN lands far off.
int64_t Row(float v) {
    if (!(v > -1.0e9f)) return -1000000000;
    if (v > 1.0e9f) return 1000000000;
    return static_cast<int64_t>(v);
}

// ---------------------------------------------------------------------------------
// What the threads of one drawing share: the rows of each band and the meeting points
// of the studs that lie across bands.

// The most placements a drawing in several bands may make: its studs are numbered below
// it.
constexpr uint64_t kMaxBandedPlacements = uint64_t{1} << 32;

class Shared {
  public:
    // maxStuds: at most kMaxBandedPlacements.
    Shared(std::vector<int32_t> firstRows, uint64_t maxStuds)
        : firstRow(std::move(firstRows)), boards_(firstRow.size() * firstRow.size()) {
        const uint64_t segments = maxStuds / kSegmentBits + 1;
        for (Board& board : boards_)
            board.segments = std::vector<std::atomic<std::atomic<uint64_t>*>>(segments);
    }
    ~Shared() {
        for (Board& board : boards_)
            for (auto& segment : board.segments) delete[] segment.load(std::memory_order_relaxed);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    // First row of each band; the last band runs to the end of the image.
    const std::vector<int32_t> firstRow;

    int bands() const { return static_cast<int>(firstRow.size()); }
    int BandOfRow(int64_t row) const {
        int band = 0;
        while (band + 1 < bands() && row >= firstRow[static_cast<size_t>(band + 1)]) ++band;
        return band;
    }

    // The studs across bands: each band posts for every other band of a stud's range
    // whether it found the stud hidden in its own rows, numbering the studs the two
    // share in the order both meet them.
    void Post(int writer, int reader, uint64_t number, bool hidden) {
        Board& board = BoardOf(writer, reader);
        auto& slot = board.segments[number / kSegmentBits];
        std::atomic<uint64_t>* words = slot.load(std::memory_order_relaxed);
        if (!words) {
            words = new std::atomic<uint64_t>[kSegmentBits / 64]();
            slot.store(words, std::memory_order_relaxed);
        }
        if (hidden)
            words[(number % kSegmentBits) / 64].fetch_or(uint64_t{1} << (number % 64),
                                                         std::memory_order_relaxed);
        // Published with the count of studs passed.
        board.passed.store(number + 1, std::memory_order_release);
        board.passed.notify_all();
    }
    // After the writer has passed the stud (WaitPassed, or every thread joined).
    bool HiddenIn(int writer, int reader, uint64_t number) const {
        const Board& board = BoardOf(writer, reader);
        const std::atomic<uint64_t>* words =
            board.segments[number / kSegmentBits].load(std::memory_order_acquire);
        return words && (words[(number % kSegmentBits) / 64].load(std::memory_order_relaxed) >>
                         (number % 64)) &
                            1;
    }
    // Waits until the writer has passed stud `number` of those it shares with the reader:
    // a spin of some tens of microseconds first, then asleep until it posts.
    void WaitPassed(int writer, int reader, uint64_t number) const {
        const std::atomic<uint64_t>& passed = BoardOf(writer, reader).passed;
        for (int spins = 0; spins < 1024; ++spins) {
            if (passed.load(std::memory_order_acquire) > number) return;
            __builtin_ia32_pause();
        }
        for (;;) {
            const uint64_t seen = passed.load(std::memory_order_acquire);
            if (seen > number) return;
            passed.wait(seen, std::memory_order_acquire);
        }
    }
    // The band has drawn all: no one waits for it any more.
    void Finish(int writer) {
        for (int reader = 0; reader < bands(); ++reader) {
            std::atomic<uint64_t>& passed = BoardOf(writer, reader).passed;
            passed.store(~uint64_t{0}, std::memory_order_release);
            passed.notify_all();
        }
    }

  private:
    static constexpr uint64_t kSegmentBits = uint64_t{1} << 18;
    struct Board {
        // Bits of the studs found hidden, in segments made as the numbers grow.
        std::vector<std::atomic<std::atomic<uint64_t>*>> segments;
        std::atomic<uint64_t> passed{0};
    };
    Board& BoardOf(int writer, int reader) {
        return boards_[static_cast<size_t>(writer) * firstRow.size() + static_cast<size_t>(reader)];
    }
    const Board& BoardOf(int writer, int reader) const {
        return boards_[static_cast<size_t>(writer) * firstRow.size() + static_cast<size_t>(reader)];
    }
    std::vector<Board> boards_;
};

// The bands that may draw a stud whose box has this screen rectangle, placed by a file
// drawn by the bands `parent`: those its rectangle touches, with the rows of slack its
// lines' rounding may reach. False when it lies off the image: hidden for every band.
bool StudBands(const Shared* shared, const QzVector& lo, const QzVector& hi, int32_t width,
               int32_t height, Bands parent, int& first, int& last) {
    first = last = 0;
    if (Row(hi.x) < 0 || Row(lo.x) >= width || Row(hi.y) < 0 || Row(lo.y) >= height) return false;
    if (!shared) return true;
    constexpr int64_t kSlack = 2;
    first = std::clamp(shared->BandOfRow(Row(lo.y) - kSlack), parent.lo, parent.hi);
    last = std::clamp(shared->BandOfRow(Row(hi.y) + kSlack), parent.lo, parent.hi);
    return true;
}

// The matrix a placement is drawn with: the parent's times the reference's, times the
// seam shrink of a part drawn with seams; counts the products.
QzMatrix PlacedMatrix(const QzMatrix& parent, const QzPlaced& child, float seamWidth,
                      uint32_t& products) {
    QzMatrix m;
    QzMultiply(m, parent, child.line->p);
    products = 1;
    if (child.shrink) {
        QzMatrix shrunk;
        QzMultiply(shrunk, m, QzSeamShrink(*child.part, seamWidth));
        m = shrunk;
        ++products;
    }
    return m;
}

// The screen rectangle of a file's box under a matrix and its nearest depth; false when
// it says nothing reliable.
bool ScreenBox(const QzPart& part, const QzMatrix& m, float& x0, float& x1, float& y0, float& y1,
               float& z0) {
    double middle[3], reach[3];
    QzScreenReach(part.box, m, middle, reach);
    if (!(std::fabs(middle[0]) + reach[0] < 1.0e6 && std::fabs(middle[1]) + reach[1] < 1.0e6 &&
          std::fabs(middle[2]) + reach[2] < 1.0e30))
        return false;
    x0 = static_cast<float>(middle[0] - reach[0]);
    x1 = static_cast<float>(middle[0] + reach[0]);
    y0 = static_cast<float>(middle[1] - reach[1]);
    y1 = static_cast<float>(middle[1] + reach[1]);
    z0 = static_cast<float>(middle[2] - reach[2]);
    return true;
}

// ---------------------------------------------------------------------------------
// The producer: the one walk's placements as instances, chunk by chunk.

// Chunks of this many instances (a stud's runs may take a chunk past it).
constexpr size_t kChunkInstances = 1024;

class Producer {
  public:
    struct Frame {
        QzMatrix m;
        Bands bands;
    };

    // The walk of band `band` of the picture's (-1: the whole picture in one band).
    Producer(const QzDrawJob& job, const Shared* shared, int band, int32_t width, int32_t height,
             QzDrawStatistics& counts, std::function<void(const Chunk&)> hand,
             std::function<bool(const Stud&)> decide)
        : o_(*job.options),
          shared_(shared),
          band_(band),
          width_(width),
          height_(height),
          counts_(counts),
          hand_(std::move(hand)),
          decide_(std::move(decide)),
          refreshEach_(job.options->refreshEachPart && !(job.top->flags & PF_PARTS_DIR)) {}

    void BeginPass(bool studPass) { studPass_ = studPass; }
    void End() { Hand(); }

    Frame Place(const Frame& parent, const QzPlaced& child) {
        Frame f;
        uint32_t products = 0;
        f.m = PlacedMatrix(parent.m, child, o_.seamWidth, products);
        // A stud of the stud pass (the files inside it are inStud as well).
        const bool studRoot = studPass_ && child.inStud && studDepth_ < 0;
        // What the walk counts is counted by the first band that walks the parent.
        const bool counting = Counts(parent.bands);
        if (!studPass_) {
            if (counting) {
                ++counts_.typeCount[1];
                counts_.matrixMulCount += products;
            }
        } else if (child.inStud && !studRoot) {
            // Inside a stud: counted when the stud is drawn.
            ++studReferences_;
            studProducts_ += products;
        } else if (counting) {
            counts_.matrixMulCount += products;
        }
        // A stud of the stud pass is decided within the bands of the file that places it.
        f.bands = studRoot ? parent.bands : BandsOf(*child.part, f.m, parent.bands);
        return f;
    }

    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        // A file this band does not draw is not walked into, but inside a stud, whose
        // counts are made by whichever band shows it.
        const bool inStud = studPass_ && studDepth_ >= 0;
        if (band_ >= 0 && !inStud && (band_ < frame.bands.lo || band_ > frame.bands.hi))
            return false;
        if (studPass_ && placed.inStud && studDepth_ < 0) {
            // A stud of the stud pass, walked by the bands that may draw it.
            if (placed.part->flags & PF_EMPTY) return false;
            if (Counts(frame.bands)) counts_.transformCount += 8;
            Stud stud{{}, {}, 0, 0};
            QzStudScreenBox(*placed.part, frame.m, stud.lo, stud.hi);
            if (!StudBands(shared_, stud.lo, stud.hi, width_, height_, frame.bands, stud.first,
                           stud.last) ||
                (band_ >= 0 && (band_ < stud.first || band_ > stud.last)))
                return false;
            // Decided on what is drawn before it: a stud that does not show here is not
            // walked into (what it would count is counted only where it shows).
            Hand();
            if (!decide_(stud)) return false;
            Enlist(placed, frame);
            studDepth_ = placed.depth;
            studReferences_ = studProducts_ = 0;
            return true;
        }
        Enlist(placed, frame);
        if (refreshEach_ && !studPass_ && placed.depth == 1) Emit(Kind::Save, frame, placed);
        return true;
    }

    void Run(const QzPlaced& placed, const Frame& frame, const QzDrawItem* begin,
             const QzDrawItem* end) {
        // The stud pass draws nothing of the files on the way to a stud.
        if (studPass_ && studDepth_ < 0) return;
        const QzDrawItem* items = placed.part->cache->items.data();
        Instance& run = Emit(Kind::Run, frame, placed);
        run.begin = static_cast<uint32_t>(begin - items);
        run.end = static_cast<uint32_t>(end - items);
        uint8_t& first = first_[static_cast<size_t>(placed.depth)];
        if (first) run.flags |= kFirst;
        first = 0;
    }

    void Leave(const QzPlaced& placed, const Frame& frame) {
        entered_.pop_back();
        if (refreshEach_ && !studPass_ && placed.depth == 1) Emit(Kind::Flush, frame, placed);
        if (studPass_ && placed.depth == studDepth_) {
            Instance& end = Emit(Kind::StudEnd, frame, placed);
            end.begin = studReferences_;
            end.end = studProducts_;
            studDepth_ = -1;
        }
    }

    bool Full() const { return false; }

    void Passed(const QzPlaced& child) {
        // Nothing below leads to a stud: only the products of the walk are counted.
        if (!Counts(entered_.back())) return;
        counts_.matrixMulCount += static_cast<uint32_t>(
            1 + (child.shrink ? 1 : 0) + QzStudPassProducts(*child.part, o_.lineAsStud, o_.seams));
    }

  private:
    // Whether this band counts what the walk meets inside a file the bands `bands` walk.
    bool Counts(const Bands& bands) const { return band_ <= bands.lo; }

    // A file walked into: its runs begin, and the files it places are counted by the
    // first band that walks it.
    void Enlist(const QzPlaced& placed, const Frame& frame) {
        if (static_cast<size_t>(placed.depth) >= first_.size()) first_.resize(placed.depth + 1);
        first_[static_cast<size_t>(placed.depth)] = 1;
        entered_.push_back(frame.bands);
    }

    // The chunk made so far, drawn and emptied.
    void Hand() {
        if (!chunk_.instances.empty()) hand_(chunk_);
        chunk_.instances.clear();
    }

    Instance& Emit(Kind kind, const Frame& frame, const QzPlaced& placed) {
        if (chunk_.instances.size() >= kChunkInstances) Hand();
        Instance& i = chunk_.instances.emplace_back();
        i.matrix = frame.m;
        i.part = placed.part;
        i.begin = i.end = 0;
        i.colour = placed.colour;
        i.lo = static_cast<int16_t>(frame.bands.lo);
        i.hi = static_cast<int16_t>(frame.bands.hi);
        i.depth = static_cast<uint16_t>(placed.depth);
        i.kind = kind;
        i.flags = static_cast<uint8_t>((placed.cull ? kCull : 0) | (placed.invert ? kInvert : 0) |
                                       (placed.top ? kTop : 0) | (placed.faded ? kFaded : 0));
        return i;
    }

    // The bands a part's box covers under the matrix, within the bands that walk its
    // parent; the parent's bands when the box says nothing reliable or the part has too
    // few lines to be worth the test.
    Bands BandsOf(const QzPart& sub, const QzMatrix& m, const Bands& parent) const {
        if (parent.lo == parent.hi || (sub.flags & PF_EMPTY) || sub.cache->items.size() < 8)
            return parent;
        float lo = 0, hi = 0;
        for (int i = 0; i < 8; ++i) {
            QzVector s;
            QzTransform(s, m, QzBoxCorner(sub.box, i));
            if (!(std::fabs(s.x) < 1.0e6f && std::fabs(s.y) < 1.0e6f)) return parent;
            lo = i == 0 ? s.y : std::min(lo, s.y);
            hi = i == 0 ? s.y : std::max(hi, s.y);
        }
        // Rows of slack each way: the parts' points are placed through a chain of
        // rounded matrices, the box through another.
        constexpr int64_t kSlack = 2;
        const int first = shared_->BandOfRow(Row(lo) - kSlack);
        const int last = shared_->BandOfRow(Row(hi) + kSlack);
        return {std::clamp(first, parent.lo, parent.hi), std::clamp(last, parent.lo, parent.hi)};
    }

    const QzRenderOptions& o_;
    const Shared* shared_;
    const int band_;
    const int32_t width_, height_;
    QzDrawStatistics& counts_;
    std::function<void(const Chunk&)> hand_;
    std::function<bool(const Stud&)> decide_;
    const bool refreshEach_;
    bool studPass_ = false;
    Chunk chunk_;
    // Per depth of the walk: whether the placement there has had its first run.
    std::vector<uint8_t> first_;
    // The bands of each file being walked into, the top file first.
    std::vector<Bands> entered_;
    // The stud being walked in the stud pass (its depth, -1 for none), and what it counts.
    int studDepth_ = -1;
    uint32_t studReferences_ = 0, studProducts_ = 0;
};

// ---------------------------------------------------------------------------------
// The large opaque faces of the drawing, written as depths only into a band's rows
// before it draws (Band::FindOccluders): each with the matrix, points, colour and
// culling the drawing gives it, through the same writer, so that its depths are those
// the drawing will write. Files too small on the screen to hold such a face are not
// walked into.

class Occluders {
  public:
    struct Frame {
        QzMatrix m;
    };
    Occluders(const QzRenderOptions& o, const QzPalette& palette, const QzWalkRules& rules,
              QzPrimitiveWriter& writer, int32_t width)
        : o_(o), palette_(palette), rules_(rules), writer_(writer), width_(width) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        uint32_t products = 0;
        return {PlacedMatrix(parent.m, child, o_.seamWidth, products)};
    }
    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        if (!placed.line) return true;
        if (placed.part->flags & PF_EMPTY) return false;
        float x0 = 0, x1 = 0, y0 = 0, y1 = 0, z0 = 0;
        if (!ScreenBox(*placed.part, frame.m, x0, x1, y0, y1, z0)) return false;
        if (x1 < 0 || x0 >= static_cast<float>(width_) || y1 < static_cast<float>(writer_.Top()) ||
            y0 >= static_cast<float>(writer_.Bottom() + 1))
            return false;
        return x1 - x0 >= kLargeFile && y1 - y0 >= kLargeFile;
    }
    void Run(const QzPlaced& placed, const Frame& frame, const QzDrawItem* begin,
             const QzDrawItem* end) {
        const QzPartCache& data = *placed.part->cache;
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const int n = item->type;
            if (!(n == 3 ? o_.showType3 : n == 4 && o_.showType4)) continue;
            const QzLine& line = *item->line;
            QzVector q[4];
            for (int k = 0; k < n; ++k) {
                if (data.perLine)
                    QzTransform(q[k], frame.m, line.p[k]);
                else
                    QzTransform(q[k], frame.m, data.points[item->point[k]]);
            }
            float x0 = q[0].x, x1 = q[0].x, y0 = q[0].y, y1 = q[0].y;
            for (int k = 1; k < n; ++k) {
                x0 = std::min(x0, q[k].x);
                x1 = std::max(x1, q[k].x);
                y0 = std::min(y0, q[k].y);
                y1 = std::max(y1, q[k].y);
            }
            if (!(x1 - x0 >= kLargeFace && y1 - y0 >= kLargeFace)) continue;
            if (y1 < static_cast<float>(writer_.Top()) ||
                y0 >= static_cast<float>(writer_.Bottom() + 1))
                continue;
            int32_t c =
                QzLineColourBy<QzColourRule::Drawing>(rules_, line, placed.colour, placed.top);
            if (placed.faded) c = QzFadedColour(palette_, c);
            const QzVector corners[4] = {q[0], q[1], q[2], n == 4 ? q[3] : q[0]};
            const QzFaceDecision face =
                QzDecideFace(o_, item->bfc, corners, c, placed.cull, placed.invert);
            if (!face.drawn || !writer_.Opaque(face.colour)) continue;
            const QzVector* p[4] = {&q[0], &q[1], &q[2], &q[3]};
            writer_.DepthOfFace(n, p);
        }
    }
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

  private:
    // Pixels a file's box spans each way at least to be walked into, and a face to be
    // written (the best trade on the library's large models).
    static constexpr float kLargeFile = 16.0f;
    static constexpr float kLargeFace = 6.0f;
    const QzRenderOptions& o_;
    const QzPalette& palette_;
    const QzWalkRules& rules_;
    QzPrimitiveWriter& writer_;
    int32_t width_;
};

// ---------------------------------------------------------------------------------
// A band: draws the instances that may touch its rows.

class Band {
  public:
    Band(const QzDrawJob& job, int band, Shared* shared, const QzZImage& image,
         const QzFaceOffset& faceOffset, QzRenderer& renderer)
        : o_(*job.options),
          palette_(*job.palette),
          rules_(QzDrawingRules(*job.options, *job.palette)),
          band_(band),
          shared_(shared),
          renderer_(renderer),
          writer_(*job.options, *job.palette) {
        dirty = QzEmptyRect(image.width, image.height);
        drawn = dirty;
        const int32_t top = shared ? shared->firstRow[static_cast<size_t>(band)] : 0;
        const int32_t bottom = shared && band + 1 < shared->bands()
                                   ? shared->firstRow[static_cast<size_t>(band + 1)] - 1
                                   : image.height - 1;
        writer_.Attach(image, top, bottom, &dirty, &drawn);
        writer_.SetFaceOffsetLimit(faceOffset);
        width_ = image.width;
        height_ = image.height;
        // Vertex lists are drawn by one band.
        vertexLists_ = o_.vertexLists && !shared;
        // Files wholly behind what is drawn are not drawn (vertex lists draw every line).
        occlusion_ = !vertexLists_ && o_.skipHidden;
        if (occlusion_) writer_.Band().KeepTiles();
        // The nearest a line or a face may come in front of the box of its file: the pull
        // of lines, the slack of faces beyond their corners, and the rounding of both.
        nearMargin_ = QZ_LINE_PULL + std::min(faceOffset.nearSlack, 1.0e6f) + 1.0e-3f;
    }

    void Draw(const Chunk& chunk) {
        for (const Instance& i : chunk.instances) {
            switch (i.kind) {
                case Kind::Run:
                    if (inStud_) {
                        if (studShown_) DrawRun(i, studCounting_);
                    } else if (band_ >= i.lo && band_ <= i.hi) {
                        DrawRun(i, band_ == i.lo);
                    }
                    break;
                case Kind::StudEnd:
                    if (studShown_ && studCounting_) {
                        counts.typeCount[1] += static_cast<int32_t>(i.begin);
                        counts.matrixMulCount += i.end;
                        if (studDeferred_) Defer();
                    }
                    if (studPending_) EndPending();
                    inStud_ = studShown_ = studCounting_ = studDeferred_ = studPending_ = false;
                    break;
                case Kind::Save:
                    savedLines_ = linesDrawn_;
                    savedTriangles_ = trianglesDrawn_;
                    break;
                case Kind::Flush:
                    if (o_.flushAfterEveryPart || linesDrawn_ != savedLines_ ||
                        trianglesDrawn_ != savedTriangles_) {
                        QzRectGrow(renderer_.image.dirtyRect, dirty);
                        QzRectGrow(renderer_.image.drawnRect, drawn);
                        dirty = drawn = QzEmptyRect(width_, height_);
                        renderer_.Flush();
                    }
                    break;
            }
        }
    }

    QzDrawStatistics counts;
    QzPixelRect dirty{}, drawn{};

  private:
    // ---- Runs ----

    // Where the points of a run's lines come from: the placement's distinct points
    // transformed once, each line's own points transformed as it is drawn (a part with
    // too many points), or the part's vertex list (vertex-list mode).
    enum class Source { Points, PerLine, VertexList };

    // The placement's points under its matrix, transformed once for all its runs.
    void DrawRun(const Instance& i, bool counting) {
        const QzPartCache& data = *i.part->cache;
        const size_t depth = i.depth;
        if (scratch_.size() <= depth) scratch_.resize(depth + 1);
        std::vector<QzVector>& pts = scratch_[depth];
        const bool vertices = vertexLists_ && i.part->vertices && i.part->vertexCount > 0;
        // Whether the placement lies wholly behind what this band has drawn: decided at
        // its first run for all of them (what is hidden stays hidden, as depths only come
        // nearer). A hidden one is only counted, by the band that counts it.
        if (hiddenAt_.size() <= depth) hiddenAt_.resize(depth + 1);
        if (i.flags & kFirst) hiddenAt_[depth] = !inStud_ && Hidden(i);
        const bool hidden = hiddenAt_[depth] != 0;
        if (hidden && !counting) return;
        if (i.flags & kFirst) {
            if (vertices) {
                // Every distinct vertex of the part's list, counted as transformed.
                const size_t n = static_cast<size_t>(i.part->vertexCount);
                if (pts.size() < n) pts.resize(n);
                for (size_t k = 0; k < n; ++k) QzTransform(pts[k], i.matrix, i.part->vertices[k]);
                if (counting) counts.transformCount += static_cast<uint32_t>(n);
            } else if (!data.perLine && !hidden) {
                if (pts.size() < data.points.size()) pts.resize(data.points.size());
                for (size_t k = 0; k < data.points.size(); ++k)
                    QzTransform(pts[k], i.matrix, data.points[k]);
            }
        }
        const QzDrawItem* begin = data.items.data() + i.begin;
        const QzDrawItem* end = data.items.data() + i.end;
        if (vertices) {
            Lines<Source::VertexList>(i, begin, end, pts.data(), i.part->vertexCount, counting);
            return;
        }
        if (counting) CountRun(data, begin, end);
        if (hidden) {
            CountHiddenFaces(i, data, begin, end);
        } else if (data.perLine) {
            Lines<Source::PerLine>(i, begin, end, nullptr, 0, counting);
        } else {
            Lines<Source::Points>(i, begin, end, pts.data(), 0, counting);
        }
    }

    // Whether nothing of a placement can be written in this band: every depth where
    // its box lies on the screen is nearer than the box comes (of what is drawn, or of
    // the large faces found before the drawing). Every file of more than one line is
    // worth the test.
    bool Hidden(const Instance& i) {
        const QzPart& part = *i.part;
        if (!occlusion_ || part.cache->items.size() < 2 || (part.flags & PF_EMPTY)) return false;
        float x0 = 0, x1 = 0, y0 = 0, y1 = 0, z0 = 0;
        if (!ScreenBox(part, i.matrix, x0, x1, y0, y1, z0)) return false;
        // Pixels a column or two beyond the box: the rasteriser truncates its corners.
        constexpr int64_t kPixels = 2;
        const float nearest = z0 - nearMargin_ - std::fabs(z0) * 1.0e-4f;
        const int64_t c0 = static_cast<int64_t>(std::floor(x0)) - kPixels;
        const int64_t c1 = static_cast<int64_t>(std::floor(x1)) + kPixels;
        const int64_t r0 = static_cast<int64_t>(std::floor(y0)) - kPixels;
        const int64_t r1 = static_cast<int64_t>(std::floor(y1)) + kPixels;
        QzRasterBand& band = writer_.Band();
        return band.RegionHiddenBy(occluderFars_, c0, c1, r0, r1, nearest) ||
               band.RegionHidden(c0, c1, r0, r1, nearest);
    }

  public:
    // Before the drawing: the depths the large opaque faces of the drawing will write in
    // this band's rows, drawn first into the cleared depth buffer, left there and kept per
    // tile, so that whatever lies behind them fails the depth test at once, and a file
    // lying wholly behind them is left out, however early the drawing meets it. Each of
    // those faces is drawn by the drawing itself with the very same depths: every pixel
    // it covers is still written, by it or by something nearer or drawn later at the same
    // depth, as without them, and what they hide cannot change a pixel. Nothing is found
    // when the band's depths are not cleared.
    void FindOccluders(const QzDrawJob& job) {
        if (!occlusion_ || o_.refreshEachPart) return;
        QzRasterBand& band = writer_.Band();
        if (!band.DepthCleared()) return;
        QzWalkRules rules = rules_;
        rules.maxPlacements = job.maxPlacements;
        rules.fadeThrough = job.fadeThrough;
        Occluders occluders(o_, palette_, rules, writer_, width_);
        QzWalk(rules, *job.top, job.stop, job.colour, o_.bfc, Occluders::Frame{job.screen},
               occluders);
        occluderFars_ = band.TileFars();
        // The tiles are worked out again from the depths when asked.
        band.KeepTiles();
    }

  private:
    // The lines and point transforms a run counts, as the line-by-line walk counted them:
    // from the part's figures when the run is all of the part.
    void CountRun(const QzPartCache& data, const QzDrawItem* begin, const QzDrawItem* end) {
        int64_t lines[6] = {};
        if (begin == data.items.data() && end == begin + data.items.size()) {
            for (int t = 2; t <= 5; ++t) lines[t] = data.lines[t];
        } else {
            for (const QzDrawItem* item = begin; item != end; ++item) ++lines[item->type];
        }
        int64_t transforms = 0;
        if (o_.showType2) {
            counts.typeCount[2] += static_cast<int32_t>(lines[2]);
            transforms += 2 * lines[2];
        }
        if (o_.showType3 || o_.edgesType3) transforms += 3 * lines[3];
        if (o_.showType4 || o_.edgesType4) transforms += 4 * lines[4];
        if (o_.showType5) {
            counts.typeCount[5] += static_cast<int32_t>(lines[5]);
            transforms += 4 * lines[5];
        }
        counts.transformCount += static_cast<uint32_t>(transforms);
    }

    // The faces of a run of a hidden placement, counted as drawing them would count them:
    // every face that is not culled. Only a face that may be culled (or whose side the
    // test colours show) needs its side, from its first three corners transformed as the
    // drawing transforms them; the others are counted as they are.
    void CountHiddenFaces(const Instance& i, const QzPartCache& data, const QzDrawItem* begin,
                          const QzDrawItem* end) {
        const bool cull = (i.flags & kCull) != 0;
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const int n = item->type;
            if ((n != 3 && n != 4) || !Walked(n)) continue;
            if (!QzFaceSideMatters(o_, item->bfc, cull)) {
                ++counts.typeCount[n];
                continue;
            }
            const QzLine& line = *item->line;
            QzVector corners[3];
            for (int k = 0; k < 3; ++k) {
                if (data.perLine)
                    QzTransform(corners[k], i.matrix, line.p[k]);
                else
                    QzTransform(corners[k], i.matrix, data.points[item->point[k]]);
            }
            const QzFaceDecision face =
                QzDecideFace(o_, item->bfc, corners, line.colour, cull, (i.flags & kInvert) != 0);
            if (face.drawn && face.counted) ++counts.typeCount[n];
        }
    }

    // Whether the lines of a type (2 to 5) are walked: drawn, or their edges drawn.
    bool Walked(int type) const {
        switch (type) {
            case 2:
                return o_.showType2;
            case 3:
                return o_.showType3 || o_.edgesType3;
            case 4:
                return o_.showType4 || o_.edgesType4;
            default:
                return o_.showType5;
        }
    }

    // The lines of a run.
    template <Source kSource>
    void Lines(const Instance& i, const QzDrawItem* begin, const QzDrawItem* end,
               const QzVector* points, int32_t listed, bool counting) {
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const int type = item->type;
            if (!Walked(type)) continue;
            const int n = type == 5 ? 4 : type;
            const QzLine& line = *item->line;
            QzVector own[4];
            const QzVector* p[4];
            bool fromList = false;
            if constexpr (kSource == Source::VertexList) {
                // From the part's list where it holds the line's points.
                fromList = true;
                for (int k = 0; fromList && k < n; ++k)
                    fromList = line.vertexIndex[k] >= 0 && line.vertexIndex[k] < listed;
                if (counting) {
                    if (type == 2) ++counts.typeCount[2];
                    if (type == 5) ++counts.typeCount[5];
                    if (!fromList) counts.transformCount += static_cast<uint32_t>(n);
                }
            }
            if constexpr (kSource == Source::Points) {
                for (int k = 0; k < n; ++k) p[k] = &points[item->point[k]];
            } else {
                for (int k = 0; k < n; ++k) {
                    if (fromList) {
                        p[k] = &points[line.vertexIndex[k]];
                    } else {
                        QzTransform(own[k], i.matrix, line.p[k]);
                        p[k] = &own[k];
                    }
                }
            }
            int32_t c = QzLineColourBy<QzColourRule::Drawing>(rules_, line, i.colour,
                                                              (i.flags & kTop) != 0);
            if (i.flags & kFaded) c = QzFadedColour(palette_, c);
            switch (type) {
                case 2:
                    if (writer_.MayTouch(p[0]->y, p[1]->y))
                        Wrote(writer_.Line(*p[0], *p[1], c), true);
                    break;
                case 3:
                case 4:
                    if (fromList) {
                        // The vertex-list path neither culls nor draws edges nor counts.
                        Wrote(writer_.Face(n, p, c), false);
                        break;
                    }
                    Polygon(n, *item, p, c, i, counting);
                    break;
                default:
                    if (!o_.showAllType5 && QzOptionalLineHidden(*p[0], *p[1], *p[2], *p[3])) break;
                    if (writer_.MayTouch(p[0]->y, p[1]->y))
                        Wrote(writer_.OptionalLine(*p[0], *p[1], c), true);
                    break;
            }
        }
    }

    // A triangle or quadrilateral: culled, counted, filled, and its edges drawn.
    void Polygon(int n, const QzDrawItem& item, const QzVector* const p[4], int32_t c,
                 const Instance& i, bool counting) {
        const QzVector corners[4] = {*p[0], *p[1], *p[2], n == 4 ? *p[3] : *p[0]};
        const QzFaceDecision face = QzDecideFace(o_, item.bfc, corners, c, (i.flags & kCull) != 0,
                                                 (i.flags & kInvert) != 0);
        if (!face.drawn) return;
        c = face.colour;
        if (face.counted && counting) ++counts.typeCount[n];
        const bool show = n == 3 ? o_.showType3 : o_.showType4;
        const bool edges = n == 3 ? o_.edgesType3 : o_.edgesType4;
        if (show) {
            float lo = p[0]->y, hi = p[0]->y;
            for (int k = 1; k < n; ++k) {
                lo = std::min(lo, p[k]->y);
                hi = std::max(hi, p[k]->y);
            }
            if (writer_.MayTouch(lo, hi)) Wrote(writer_.Face(n, p, c), false);
        }
        if (edges) {
            const int32_t ec = QzEdgeColours[c & 15];
            for (int k = 0; k < n; ++k) {
                const QzVector& a = *p[k];
                const QzVector& b = *p[(k + 1) % n];
                if (writer_.MayTouch(a.y, b.y)) Wrote(writer_.Line(a, b, ec), true);
            }
        }
    }

    void Wrote(const QzPrimitiveWriter::Result& r, bool line) {
        (line ? linesDrawn_ : trianglesDrawn_) += r.wrote;
    }

  public:
    // ---- The stud pass ----

    // A stud the walk met, decided on what the band has drawn before it: whether it is
    // drawn (its runs up to its StudEnd), which it is when it can still change a pixel,
    // that is when some depth in its box's screen rectangle is not nearer than the box.
    // Off the image it is hidden for everyone. The bands that may draw it are those its
    // rectangle touches, with the rows of slack its lines' rounding may reach, within
    // those walking the file that places it (StudBands); the first of them counts it.
    //
    // A stud across bands is decided without waiting for the others where the band's own
    // rows tell: some depth of its rectangle there is not nearer (so it shows), or it
    // cannot write a pixel in these rows whatever the others find (so drawing it or not
    // changes nothing here). In between, the band draws it all the same, without counting
    // it, keeping what its rectangle held: when that wrote no pixel, nothing depends on
    // the others; otherwise the band waits for them to have passed the stud and read what
    // they found, and puts back what it kept unless one of them shows it (EndPending). Each
    // band posts what it found; the count of a stud a later band shows is settled when
    // all have drawn (Settle).
    bool DecideStud(const Stud& s) {
        studShown_ = studCounting_ = studDeferred_ = false;
        const QzVector& lo = s.lo;
        const QzVector& hi = s.hi;
        const int first = s.first, last = s.last;
        if (first == last) {
            studShown_ = studCounting_ = !writer_.BoxHidden(lo, hi);
            return inStud_ = studShown_;
        }
        // The stud's number among those shared with each other band of its range.
        if (shared_->bands() > static_cast<int>(shared_count_.size()))
            shared_count_.resize(static_cast<size_t>(shared_->bands()), 0);
        uint64_t* number = shared_count_.data();
        const size_t mark = numbers_.size();
        for (int b = first; b <= last; ++b) numbers_.push_back(b == band_ ? 0 : number[b]++);
        const uint64_t* numbers = numbers_.data() + mark;
        auto numberWith = [&](int b) { return numbers[b - first]; };
        const bool hiddenHere = writer_.BoxHidden(lo, hi, writer_.Top(), writer_.Bottom());
        for (int b = first; b <= last; ++b)
            if (b != band_) shared_->Post(band_, b, numberWith(b), hiddenHere);
        if (!hiddenHere) {
            // It shows. The first band that finds so counts it: this one if it is the
            // first of all, else the settling decides (it keeps the numbers).
            studShown_ = studCounting_ = true;
            studDeferred_ = band_ != first;
            if (studDeferred_) {
                deferredFrom_ = counts;
                deferredFirst_ = first;
                deferredNumbers_ = mark;
            } else {
                numbers_.resize(mark);
            }
            return inStud_ = true;
        }
        // Everything its drawing may write here lies behind what is drawn: the pixels of
        // these rows stay as they are whatever the others find.
        QzVector nearLo = lo, farHi = hi;
        constexpr float kPixels = 2.0f;
        nearLo.x -= kPixels;
        nearLo.y -= kPixels;
        nearLo.z -= nearMargin_ + std::fabs(lo.z) * 1.0e-4f;
        farHi.x += kPixels;
        farHi.y += kPixels;
        if (writer_.BoxHidden(nearLo, farHi, writer_.Top(), writer_.Bottom())) {
            numbers_.resize(mark);
            return false;
        }
        // Whatever its drawing writes lies within a pixel or two of its rectangle, as
        // above; a few more are kept.
        constexpr int64_t kKept = 4;
        writer_.Band().Keep(kept_, Row(lo.x) - kKept, Row(hi.x) + kKept, Row(lo.y) - kKept,
                            Row(hi.y) + kKept);
        keptDirty_ = dirty;
        keptDrawn_ = drawn;
        keptLines_ = linesDrawn_;
        keptTriangles_ = trianglesDrawn_;
        pending_ = {first, last, mark};
        studPending_ = studShown_ = true;
        return inStud_ = true;
    }

    // The end of a stud drawn before the others were asked (see DecideStud): kept as drawn
    // when it wrote nothing or some other band shows it, else put back as it was.
    void EndPending() {
        if (linesDrawn_ != keptLines_ || trianglesDrawn_ != keptTriangles_) {
            const uint64_t* numbers = numbers_.data() + pending_.numbers;
            bool shown = false;
            for (int b = pending_.first; b <= pending_.last && !shown; ++b) {
                if (b == band_) continue;
                const uint64_t number = numbers[b - pending_.first];
                shared_->WaitPassed(b, band_, number);
                shown = !shared_->HiddenIn(b, band_, number);
            }
            if (!shown) {
                writer_.Band().PutBack(kept_);
                dirty = keptDirty_;
                drawn = keptDrawn_;
                linesDrawn_ = keptLines_;
                trianglesDrawn_ = keptTriangles_;
            }
        }
        numbers_.resize(pending_.numbers);
    }

  private:
    // The counts of the stud just drawn are kept aside for the settling.
    void Defer() {
        DeferredStud d{deferredNumbers_, deferredFirst_, {}, 0, 0};
        for (int t = 1; t <= 5; ++t)
            d.typeCount[t] = counts.typeCount[t] - deferredFrom_.typeCount[t];
        d.matrixMulCount = counts.matrixMulCount - deferredFrom_.matrixMulCount;
        d.transformCount = counts.transformCount - deferredFrom_.transformCount;
        for (int t = 1; t <= 5; ++t) counts.typeCount[t] = deferredFrom_.typeCount[t];
        counts.matrixMulCount = deferredFrom_.matrixMulCount;
        counts.transformCount = deferredFrom_.transformCount;
        deferred_.push_back(d);
    }

  public:
    int Number() const { return band_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // Once every band has drawn: counts the studs this band showed that no band before it
    // in their range showed.
    void Settle(QzDrawStatistics& total) const {
        for (const DeferredStud& d : deferred_) {
            bool earlier = false;
            for (int b = d.first; b < band_ && !earlier; ++b)
                earlier = !shared_->HiddenIn(b, band_, numbers_[d.numbers + (b - d.first)]);
            if (earlier) continue;
            for (int t = 1; t <= 5; ++t) total.typeCount[t] += d.typeCount[t];
            total.matrixMulCount += d.matrixMulCount;
            total.transformCount += d.transformCount;
        }
    }

  private:
    const QzRenderOptions& o_;
    const QzPalette& palette_;
    const QzWalkRules rules_;
    const int band_;
    // Placements wholly behind what is drawn are left out (see Hidden).
    bool occlusion_ = false;
    float nearMargin_ = 0.0f;
    // Per depth of the walk: whether the placement there was found hidden.
    std::vector<uint8_t> hiddenAt_;
    // The farthest depth of each tile of the band's rows under the large faces of the
    // drawing (FindOccluders); empty when not known.
    std::vector<float> occluderFars_;
    Shared* shared_;
    QzRenderer& renderer_;
    QzPrimitiveWriter writer_;
    int32_t width_ = 0, height_ = 0;
    bool vertexLists_ = false;
    // Points of the placements being drawn, one array per depth of the walk.
    std::vector<std::vector<QzVector>> scratch_;
    // The stud being drawn: whether it shows, whether this band counts it, and whether
    // that count waits for the settling (from what the counts were before it).
    bool inStud_ = false;
    bool studShown_ = false;
    bool studCounting_ = false;
    bool studDeferred_ = false;
    // Whether the stud is drawn before the others were asked, and what EndPending needs:
    // its bands and where its numbers begin in numbers_, what its rectangle held, the
    // rectangles and the lines and triangles written before it.
    bool studPending_ = false;
    struct Pending {
        int first, last;
        size_t numbers;
    } pending_{};
    QzRasterBand::Patch kept_;
    QzPixelRect keptDirty_{}, keptDrawn_{};
    uint64_t keptLines_ = 0, keptTriangles_ = 0;
    QzDrawStatistics deferredFrom_;
    size_t deferredNumbers_ = 0;
    int deferredFirst_ = 0;
    // Per other band: the studs across bands met so far that it shares with this one.
    std::vector<uint64_t> shared_count_;
    // The numbers of the studs whose counts wait for the settling, with each other band of
    // their ranges from the first.
    std::vector<uint64_t> numbers_;
    struct DeferredStud {
        // Where its numbers begin in numbers_, and the first band of its range.
        size_t numbers;
        int first;
        int32_t typeCount[6];
        uint32_t matrixMulCount, transformCount;
    };
    std::vector<DeferredStud> deferred_;
    // Lines and triangles that wrote a pixel, and their numbers where a reference of the
    // top file began ("Refresh after each part").
    uint64_t linesDrawn_ = 0, trianglesDrawn_ = 0;
    uint64_t savedLines_ = 0, savedTriangles_ = 0;
};

// ---------------------------------------------------------------------------------
// Sharing rows among bands: an estimate of the drawing's work per row, each file's
// lines spread evenly over the rows its box covers. Model files that cover much of the
// picture are looked into, so that a model of a few large submodels spreads as its
// bricks lie; library parts and primitives are not (looking into a large part's
// primitives cost more than the estimate gained).

class RowWork {
  public:
    struct Frame {
        QzMatrix m;
    };
    explicit RowWork(int height) : height_(height), change_(static_cast<size_t>(height) + 1, 0.0) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        Frame f;
        QzMultiply(f.m, parent.m, child.line->p);
        return f;
    }
    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        if (!placed.line) {
            own_.push_back(0);
            return true;
        }
        const int64_t work = QzDrawWork(*placed.part);
        float lo = 0, hi = 0;
        if (!Rows(*placed.part, frame.m, lo, hi)) {
            own_.back() += static_cast<double>(work);
            return false;
        }
        if (!(placed.part->flags & (PF_PARTS_DIR | PF_PRIM_DIR)) && placed.depth < 8 &&
            hi - lo > height_ / 16.0f && work > 64) {
            own_.push_back(0);
            return true;
        }
        Spread(lo, hi, static_cast<double>(work));
        return false;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem* begin, const QzDrawItem* end) {
        own_.back() += static_cast<double>(end - begin);
    }
    void Leave(const QzPlaced& placed, const Frame& frame) {
        const double own = own_.back();
        own_.pop_back();
        if (own <= 0) return;
        float lo = 0, hi = static_cast<float>(height_);
        if (!Rows(*placed.part, frame.m, lo, hi)) lo = 0, hi = static_cast<float>(height_);
        Spread(lo, hi, own);
    }
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

    std::vector<double> PerRow() const {
        std::vector<double> rows(static_cast<size_t>(height_));
        double running = 0;
        for (int y = 0; y < height_; ++y) rows[static_cast<size_t>(y)] = running += change_[y];
        return rows;
    }

  private:
    // The rows a part's box covers under the matrix; false when it says nothing useful.
    static bool Rows(const QzPart& part, const QzMatrix& m, float& lo, float& hi) {
        if (part.flags & PF_EMPTY) return false;
        for (int i = 0; i < 8; ++i) {
            QzVector s;
            QzTransform(s, m, QzBoxCorner(part.box, i));
            if (!(std::fabs(s.y) < 1.0e6f)) return false;
            lo = i == 0 ? s.y : std::min(lo, s.y);
            hi = i == 0 ? s.y : std::max(hi, s.y);
        }
        return true;
    }

    void Spread(float lo, float hi, double work) {
        const int a = static_cast<int>(std::clamp(lo, 0.0f, static_cast<float>(height_ - 1)));
        const int b = static_cast<int>(std::clamp(hi, 0.0f, static_cast<float>(height_ - 1)));
        const double perRow = work / (b - a + 1);
        change_[static_cast<size_t>(a)] += perRow;
        change_[static_cast<size_t>(b) + 1] -= perRow;
    }

    int height_;
    // Work per row as its change from the row before.
    std::vector<double> change_;
    // The lines of each file being walked into, spread over its rows when it ends.
    std::vector<double> own_;
};

std::vector<int32_t> SplitRows(const QzDrawJob& job, int height, int bands) {
    if (bands == 1) return {0};
    RowWork work(height);
    QzWalkRules rules;
    rules.palette = job.palette;
    // An estimate: a model that places more than this is shared by what was seen.
    rules.maxPlacements = 100000;
    QzWalk(rules, *job.top, job.stop, job.colour, false, RowWork::Frame{job.screen}, work);
    return QzSplitRows(work.PerRow(), bands);
}

}  // namespace

const char* QzTooManyPlacementsText() {
    return "The model places more parts than a drawing can hold.";
}

std::vector<int32_t> QzSplitRows(const std::vector<double>& workPerRow, int bands,
                                 double firstShare) {
    const int height = static_cast<int>(workPerRow.size());
    bands = std::max(bands, 1);
    if (!(firstShare > 0.0 && firstShare <= 1.0)) firstShare = 1.0 / bands;
    std::vector<int32_t> rows(static_cast<size_t>(bands), 0);
    double total = 0;
    for (double w : workPerRow) total += w;
    // Where band b begins: after the first band's share and b - 1 equal shares of the rest.
    auto start = [&](int b) {
        return total * (firstShare + (1.0 - firstShare) * (b - 1) / std::max(bands - 1, 1));
    };
    double sum = 0;
    int b = 1;
    for (int y = 0; y < height && b < bands; ++y) {
        sum += workPerRow[static_cast<size_t>(y)];
        while (b < bands && sum >= start(b)) rows[static_cast<size_t>(b++)] = y + 1;
    }
    for (; b < bands; ++b) rows[static_cast<size_t>(b)] = height;
    for (int k = 1; k < bands; ++k)
        rows[static_cast<size_t>(k)] =
            std::max(rows[static_cast<size_t>(k)], rows[static_cast<size_t>(k - 1)] + 1);
    return rows;
}

int QzDefaultDrawThreads() { return plat::DrawThreads(); }

namespace {

// The walk into the producer: the drawing's pass, then the stud pass. False when it
// stopped at the bound on placements.
bool WalkInto(Producer& producer, const QzDrawJob& job, int bands) {
    const QzRenderOptions& o = *job.options;
    QzWalkRules rules = QzDrawingRules(o, *job.palette);
    rules.maxPlacements = job.maxPlacements;
    rules.fadeThrough = job.fadeThrough;
    const Producer::Frame top{job.screen, {0, bands - 1}};
    producer.BeginPass(false);
    bool complete = QzWalk(rules, *job.top, job.stop, job.colour, o.bfc, top, producer);
    if (complete && o.studsLast) {
        rules.studs = QzStudRule::Only;
        producer.BeginPass(true);
        complete = QzWalk(rules, *job.top, job.stop, job.colour, o.bfc, top, producer);
    }
    producer.End();
    return complete;
}

// One band: the walk's chunks drawn as they are made. Only the first band counts what
// the walk itself counts.
bool DrawBand(Band& band, Shared* shared, const QzDrawJob& job, int bands,
              QzDrawStatistics& walkCounts) {
    band.FindOccluders(job);
    Producer producer(
        job, shared, shared ? band.Number() : -1, band.Width(), band.Height(), walkCounts,
        [&band](const Chunk& chunk) { band.Draw(chunk); },
        [&band](const Stud& stud) { return band.DecideStud(stud); });
    const bool complete = WalkInto(producer, job, bands);
    if (shared) shared->Finish(band.Number());
    return complete;
}

// Every band walks the model on a thread of its own (the first on this one), so a band
// with much to draw in one stretch of the model never holds the others; a band waits
// only at a stud across bands whose showing its own rows cannot tell.
bool DrawInBands(QzRenderer& renderer, const QzDrawJob& job, int threads,
                 std::vector<std::unique_ptr<Band>>& bands) {
    std::unique_ptr<Shared> shared;
    if (threads > 1)
        shared = std::make_unique<Shared>(SplitRows(job, renderer.image.height, threads),
                                          job.maxPlacements);
    for (int b = 0; b < threads; ++b)
        bands.push_back(std::make_unique<Band>(job, b, shared.get(), renderer.image,
                                               renderer.FaceOffsetLimit(), renderer));
    // What each band's walk counts: each file placed is counted by the first band that
    // walks the file placing it.
    std::vector<QzDrawStatistics> walkCounts(static_cast<size_t>(threads));
    std::vector<std::thread> workers;
    for (int b = 1; b < threads; ++b)
        workers.emplace_back([&, b] {
            DrawBand(*bands[static_cast<size_t>(b)], shared.get(), job, threads,
                     walkCounts[static_cast<size_t>(b)]);
        });
    const bool complete = DrawBand(*bands[0], shared.get(), job, threads, walkCounts[0]);
    for (std::thread& t : workers) t.join();
    for (const QzDrawStatistics& c : walkCounts) {
        for (int t = 1; t <= 5; ++t) renderer.statistics.typeCount[t] += c.typeCount[t];
        renderer.statistics.matrixMulCount += c.matrixMulCount;
        renderer.statistics.transformCount += c.transformCount;
    }
    for (const auto& band : bands) band->Settle(renderer.statistics);
    return complete;
}

}  // namespace

QzDrawOutcome QzDrawNormal(QzRenderer& renderer, const QzDrawJob& job) {
    QzZImage& image = renderer.image;
    if (!job.top || !image.depth) return QzDrawOutcome::Drawn;
    if (!QzPrepareDrawData(job.top)) return QzDrawOutcome::NoMemory;
    const QzRenderOptions& o = *job.options;
    // "Refresh after each part" shows the picture as it grows, and vertex lists draw
    // from the parts' own lists: both in one band; so does a drawing without a bound on
    // its placements, whose studs across bands could not all be numbered.
    const bool bounded = job.maxPlacements > 0 && job.maxPlacements <= kMaxBandedPlacements;
    int threads = o.refreshEachPart || o.vertexLists || !bounded ? 1 : job.threads;
    threads = std::clamp(threads, 1, std::max(1, image.height));
    renderer.SetFaceOffsetLimit(job.screen);
    // What the stud pass counts below the files it passes over is worked out on first
    // use and kept with the parts: here, before bands on threads of their own ask for it.
    if (threads > 1 && o.studsLast) QzStudPassProducts(*job.top, o.lineAsStud, o.seams);
    std::vector<std::unique_ptr<Band>> bands;
    const bool complete = DrawInBands(renderer, job, threads, bands);
    QzDrawStatistics& counts = renderer.statistics;
    for (const auto& band : bands) {
        for (int t = 1; t <= 5; ++t) counts.typeCount[t] += band->counts.typeCount[t];
        counts.matrixMulCount += band->counts.matrixMulCount;
        counts.transformCount += band->counts.transformCount;
        if (!QzRectIsEmpty(band->dirty)) QzRectGrow(image.dirtyRect, band->dirty);
        if (!QzRectIsEmpty(band->drawn)) QzRectGrow(image.drawnRect, band->drawn);
    }
    renderer.Flush();
    return complete ? QzDrawOutcome::Drawn : QzDrawOutcome::TooManyPlacements;
}
