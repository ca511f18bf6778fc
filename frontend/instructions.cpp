#include "instructions.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <nlohmann/json.hpp>
#include <thread>
#include <utility>
#include <vector>

#include "atomicfile.h"
#include "drawlist.h"
#include "drawpass.h"
#include "format.h"
#include "inventory.h"
#include "pngfile.h"
#include "sections.h"
#include "utf8.h"
#include "viewcore.h"
#include "walk.h"

namespace {

constexpr const char* kIndex = "index.html";
constexpr const char* kStepsJson = "steps.json";
// The orientation of every picture: from the front, upper right.
constexpr int kGuideView = 1;

// ---- Text ----

// Text from the model as UTF-8: a byte that is no UTF-8 is taken as Latin-1, a control
// character shows as "?".
std::string Utf8Text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        if (c < 0x20 || c == 0x7f) {
            out += c == '\t' ? ' ' : '?';
            ++i;
        } else if (const size_t length = plat::Utf8Sequence(text, i, code)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
            ++i;
        }
    }
    return out;
}

// Text from the model inside HTML: never markup.
std::string Html(std::string_view text) {
    std::string out;
    for (const char c : Utf8Text(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string PathIn(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// ---- What the guide shows ----

// A small picture of a file in a colour.
struct Picture {
    const QzPart* file;
    int32_t colour;
    std::string name;
};

// A file a step adds, in one colour, and how many of it.
struct Item {
    const QzPart* file;
    // As the model file writes it.
    std::string name;
    int32_t fileColour;
    uint64_t quantity;
    bool submodel;
    // The picture's number in Plan::pictures; -1 for none (a missing file).
    int picture;
};

struct Page {
    const QzBuildStep* step;
    std::string picture;
    std::vector<Item> items;
};

// The task of drawing one picture: a step's (page) or a part's.
struct Task {
    bool step;
    size_t index;
};

class Plan {
  public:
    Plan(const QzModel& model, const QzPalette& palette, const std::vector<QzBuildStep>& order,
         std::vector<inspect::PartsRow> partsRows)
        : rows(std::move(partsRows)), model_(model), palette_(palette) {
        for (const QzBuildStep& step : order) {
            Page& page = pages.emplace_back();
            page.step = &step;
            page.picture = QzGuideStepPicture(static_cast<int>(pages.size()));
            const size_t firstPicture = pictures.size();
            for (const QzLine* line : step.references) Add(page, *line);
            for (size_t p = firstPicture; p < pictures.size(); ++p) tasks.push_back({false, p});
            tasks.push_back({true, pages.size() - 1});
        }
        // The parts of the title page that no step adds (inside files taken whole).
        const size_t firstPicture = pictures.size();
        for (const inspect::PartsRow& row : rows)
            rowPictures.push_back(row.file && !row.missing ? PictureOf(*row.file, row.colour) : -1);
        for (size_t p = firstPicture; p < pictures.size(); ++p) tasks.push_back({false, p});
    }

    std::vector<Page> pages;
    std::vector<Picture> pictures;
    std::vector<Task> tasks;
    std::vector<inspect::PartsRow> rows;
    std::vector<int> rowPictures;

  private:
    void Add(Page& page, const QzLine& line) {
        const QzPart& file = *line.part;
        for (Item& item : page.items)
            if (item.file == &file && item.fileColour == line.fileColour) {
                ++item.quantity;
                return;
            }
        // The colour the part shows in: a reference's 16 and 24 take those of colour 7,
        // what the file stands on.
        int32_t colour = line.colour;
        if (colour == QZ_COLOUR_CURRENT) colour = 7;
        if (colour == QZ_COLOUR_EDGE) colour = QzEdgeColour(palette_, 7, false);
        const bool missing = (file.flags & PF_MISSING) != 0;
        page.items.push_back({&file, QzWrittenName(model_, line), line.fileColour, 1,
                              QzIsSubmodel(file), missing ? -1 : PictureOf(file, colour)});
    }
    int PictureOf(const QzPart& file, int32_t colour) {
        // A number the colours do not define shows as colour 7.
        if (QzColourToRgb(palette_, colour, nullptr) != 0) colour = 7;
        const auto [at, added] =
            index_.try_emplace({&file, colour}, static_cast<int>(pictures.size()));
        if (added)
            pictures.push_back(
                {&file, colour, QzGuidePartPicture(static_cast<int>(pictures.size()) + 1)});
        return at->second;
    }

    const QzModel& model_;
    const QzPalette& palette_;
    std::map<std::pair<const QzPart*, int32_t>, int> index_;
};

// ---- Drawing ----

// The shared state of the threads that draw: the next task, what is done, and how the
// drawing ends.
class Work {
  public:
    explicit Work(size_t tasks) : tasks_(tasks) {}

    // The next task to draw; false when there is none or the drawing stops.
    bool Next(size_t& task) {
        if (stop_.load()) return false;
        task = next_.fetch_add(1);
        return task < tasks_;
    }
    void StepDone() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++steps_;
        }
        changed_.notify_all();
    }
    void Fail(const std::string& error) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (error_.empty()) error_ = error;
        }
        Stop();
    }
    void Stop() {
        stop_.store(true);
        changed_.notify_all();
    }
    void WorkerEnded() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++ended_;
        }
        changed_.notify_all();
    }
    // Waits a little for news; the steps done, and whether every worker has ended.
    std::pair<int, bool> Wait(int workers) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(100));
        return {steps_, ended_ == workers};
    }
    std::string Error() {
        std::lock_guard<std::mutex> lock(mutex_);
        return error_;
    }
    std::atomic<int> pictures{0};

  private:
    const size_t tasks_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    int steps_ = 0;
    int ended_ = 0;
    std::string error_;
};

// Where a file's step pictures place it: its fit as a whole.
struct Placement {
    int32_t zoom;
    float shiftX, shiftY;
};

// One thread's drawings: a view of the step pictures' size and one of the part pictures'.
class Drawer {
  public:
    Drawer(const QzModel& model, const QzPalette& palette, const QzGuideOptions& options,
           const std::string& dir)
        : model_(model), palette_(palette), options_(options), dir_(dir) {}

    bool Step(const Page& page, const Placement& placement, std::string& error) {
        if (!Ready(steps_, options_.width, options_.height, error)) return false;
        QzRenderState& state = steps_->State();
        state.options.fadeEarlierSteps = options_.fade;
        state.submodel = page.step->file == &model_.Main() ? std::string()
                                                           : QzFileName(model_, *page.step->file);
        state.step = page.step->step;
        state.zoom = placement.zoom;
        state.shiftX = placement.shiftX;
        state.shiftY = placement.shiftY;
        steps_->Draw(model_);
        return Write(*steps_, page.picture, error);
    }

    bool Part(const Picture& picture, std::string& error) {
        if (!Ready(parts_, QZ_GUIDE_PART_PICTURE, QZ_GUIDE_PART_PICTURE, error)) return false;
        parts_->DrawFileCentred(*picture.file, picture.colour);
        return Write(*parts_, picture.name, error);
    }

  private:
    bool Ready(std::unique_ptr<QzViewCore>& view, int width, int height, std::string& error) {
        if (view) return true;
        view = std::make_unique<QzViewCore>();
        QzRenderState& state = view->State();
        state.palette = palette_;
        state.SetStandardView(kGuideView);
        state.options.highQuality = options_.highQuality;
        // Each thread draws a picture of its own.
        state.threads = 1;
        if (view->Resize(width, height)) return true;
        error = plat::Format("not enough memory for a %dx%d picture", width, height);
        view.reset();
        return false;
    }

    bool Write(const QzViewCore& view, const std::string& name, std::string& error) {
        std::vector<uint8_t> rgba = view.RgbaPixels();
        // A step that shows nothing yet is a picture all the same.
        if (rgba.empty()) rgba.assign(static_cast<size_t>(view.Width()) * view.Height() * 4, 0);
        return QzWritePng(PathIn(dir_, name), view.Width(), view.Height(), 4, rgba.data(), error);
    }

    const QzModel& model_;
    const QzPalette& palette_;
    const QzGuideOptions& options_;
    const std::string& dir_;
    std::unique_ptr<QzViewCore> steps_, parts_;
};

// ---- The files ----

std::string StepsJson(const QzModel& model, const Plan& plan) {
    nlohmann::ordered_json steps = nlohmann::ordered_json::array();
    for (const Page& page : plan.pages) {
        nlohmann::ordered_json parts = nlohmann::ordered_json::array();
        for (const Item& item : page.items)
            parts.push_back({{"part", Utf8Text(item.name)},
                             {"colour", item.fileColour},
                             {"quantity", item.quantity}});
        steps.push_back({{"model", Utf8Text(QzFileName(model, *page.step->file))},
                         {"step", page.step->step},
                         {"picture", page.picture},
                         {"parts", std::move(parts)}});
    }
    return steps.dump(2) + "\n";
}

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 0; background: #fff; color: #222; }
.page { max-width: 60em; margin: 0 auto; padding: 1.5em; border-bottom: 1px solid #ccc; }
h1 { margin: 0 0 0.3em; }
.meta { color: #555; margin: 0.2em 0; }
table.parts { border-collapse: collapse; margin-top: 1em; }
table.parts td, table.parts th { padding: 0.15em 0.6em; text-align: left; vertical-align: middle; }
table.parts tr:nth-child(even) { background: #f4f4f4; }
table.parts td.count { text-align: right; }
table.parts img { width: 48px; height: 48px; }
.step-head { display: flex; align-items: baseline; gap: 1em; }
.number { font-size: 2.6em; font-weight: bold; }
.builds { color: #555; }
.added { display: flex; flex-wrap: wrap; gap: 0.6em; border: 2px solid #8aa8d0; border-radius: 8px;
         background: #eef4fb; padding: 0.5em; margin: 0.5em 0; width: fit-content; list-style: none; }
.added li { text-align: center; font-size: 0.85em; max-width: 8em; overflow-wrap: anywhere; }
.added img { width: 64px; height: 64px; display: block; margin: 0 auto; }
.added .quantity { font-weight: bold; font-size: 1.2em; }
.added .submodel img { border: 1px dashed #8aa8d0; }
img.picture { max-width: 100%; height: auto; display: block; margin: 0 auto; }
@media print {
  .page { break-after: page; page-break-after: always; border: none; max-width: none; }
  .step { break-inside: avoid; }
  img.picture { max-height: 60vh; width: auto; }
}
)";

std::string IndexHtml(const QzModel& model, const Plan& plan, const QzGuideOptions& options,
                      const std::map<int32_t, std::string>& colourNames) {
    const std::string fileName = QzFileName(model, model.Main());
    const std::string title = model.modelTitle.empty() ? fileName : model.modelTitle;
    const int steps = static_cast<int>(plan.pages.size());
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<title>" + Html(title) + " - building instructions</title>\n";
    html += "<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";

    // The title page.
    html += "<section class=\"page title\">\n<h1>" + Html(title) + "</h1>\n";
    if (!model.modelAuthor.empty())
        html += "<p class=\"meta\">By " + Html(model.modelAuthor) + "</p>\n";
    html += "<p class=\"meta\">" + Html(fileName) + ", " + std::to_string(steps) +
            (steps == 1 ? " step" : " steps") + ", " + Html(inspect::TotalText(plan.rows)) +
            "</p>\n";
    html +=
        "<table class=\"parts\">\n<tr><th></th><th>Part</th><th>Colour</th><th>Name</th>"
        "<th>Quantity</th><th>Description</th></tr>\n";
    for (size_t i = 0; i < plan.rows.size(); ++i) {
        const inspect::PartsRow& row = plan.rows[i];
        const int picture = plan.rowPictures[i];
        html += "<tr><td>";
        if (picture >= 0)
            html +=
                "<img src=\"" + plan.pictures[static_cast<size_t>(picture)].name + "\" alt=\"\">";
        html += "</td><td>" + Html(row.part) + "</td><td class=\"count\">" +
                Html(inspect::ColourText(row.colour)) + "</td><td>" + Html(row.colourName) +
                "</td><td class=\"count\">" + std::to_string(row.quantity) + "</td><td>" +
                Html(row.description) + "</td></tr>\n";
    }
    html += "</table>\n</section>\n";

    // A page per step.
    for (size_t n = 0; n < plan.pages.size(); ++n) {
        const Page& page = plan.pages[n];
        const QzBuildStep& step = *page.step;
        const bool main = step.file == &model.Main();
        html += "<section class=\"page step\" id=\"step-" + std::to_string(n + 1) + "\">\n";
        html += "<div class=\"step-head\"><span class=\"number\">" + std::to_string(n + 1) +
                "</span><span class=\"builds\">";
        html += main ? "Main model" : "Submodel " + Html(QzFileName(model, *step.file));
        html += ": step " + std::to_string(step.step) + " of " + std::to_string(step.count) +
                "</span></div>\n";
        if (!page.items.empty()) {
            html += "<ul class=\"added\">\n";
            for (const Item& item : page.items) {
                const std::string colourName = inspect::ColourNameOf(item.fileColour, colourNames);
                std::string label = item.name;
                if (!item.submodel && !colourName.empty()) label += ", " + colourName;
                html += item.submodel ? "<li class=\"submodel\">" : "<li>";
                if (item.picture >= 0)
                    html += "<img src=\"" + plan.pictures[static_cast<size_t>(item.picture)].name +
                            "\" alt=\"\">";
                html += "<span class=\"quantity\">" + std::to_string(item.quantity) +
                        "x</span><br>" + Html(label) + "</li>\n";
            }
            html += "</ul>\n";
        }
        html += "<img class=\"picture\" src=\"" + page.picture + "\" width=\"" +
                std::to_string(options.width) + "\" height=\"" + std::to_string(options.height) +
                "\" alt=\"Step " + std::to_string(n + 1) + "\">\n</section>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

QzGuideResult Failed(std::string error) {
    QzGuideResult result;
    result.outcome = QzGuideResult::Outcome::Failed;
    result.error = std::move(error);
    return result;
}

}  // namespace

std::string QzGuideStepPicture(int number) { return plat::Format("step-%04d.png", number); }
std::string QzGuidePartPicture(int number) { return plat::Format("part-%04d.png", number); }

QzGuideResult QzWriteGuide(const QzModel& model, const QzPalette& palette,
                           const std::string& ldrawDir, const std::string& dir,
                           const QzGuideOptions& options, const QzGuideProgress& progress) {
    if (!model.Loaded()) return Failed("no model is loaded");
    if (options.width <= 0 || options.height <= 0) return Failed("the pictures have no size");
    std::error_code ec;
    const std::filesystem::path folder(dir);
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        return Failed(dir + " is not a folder");
    if (!std::filesystem::is_directory(folder, ec) &&
        !std::filesystem::create_directories(folder, ec))
        return Failed("cannot make the folder " + dir + ": " + ec.message());

    const std::vector<QzBuildStep> order = QzBuildOrder(model.Main());
    if (order.empty() || !QzPrepareDrawings(model.Main(), options.highQuality))
        return Failed("not enough memory for the model's parts");
    const std::map<int32_t, std::string> colourNames = inspect::ReadColourNames(ldrawDir);
    const Plan plan(model, palette, order,
                    inspect::ListParts(model, model.Main(), ldrawDir, colourNames));

    // Every step of a file is placed as the whole file is.
    std::map<const QzPart*, Placement> placements;
    {
        QzViewCore fitting;
        fitting.State().SetStandardView(kGuideView);
        if (!fitting.Resize(options.width, options.height))
            return Failed(plat::Format("not enough memory for a %dx%d picture", options.width,
                                       options.height));
        for (const Page& page : plan.pages) {
            const QzPart* file = page.step->file;
            if (placements.count(file)) continue;
            fitting.State().submodel =
                file == &model.Main() ? std::string() : QzFileName(model, *file);
            const QzFit fit = fitting.Fit(model, QzFitPlacement::Centred);
            placements[file] = {fit.zoom, fit.shiftX, fit.shiftY};
        }
    }

    // The pictures, one drawing per thread.
    int threads = options.threads > 0 ? options.threads : QzDefaultDrawThreads();
    threads = std::clamp(threads, 1, std::max(1, static_cast<int>(plan.tasks.size())));
    Work work(plan.tasks.size());
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            try {
                Drawer drawer(model, palette, options, dir);
                size_t next = 0;
                std::string error;
                while (work.Next(next)) {
                    const Task& task = plan.tasks[next];
                    const bool done =
                        task.step
                            ? drawer.Step(plan.pages[task.index],
                                          placements.at(plan.pages[task.index].step->file), error)
                            : drawer.Part(plan.pictures[task.index], error);
                    if (!done) {
                        work.Fail(error);
                        break;
                    }
                    ++work.pictures;
                    if (task.step) work.StepDone();
                }
            } catch (const std::bad_alloc&) {
                work.Fail("not enough memory to draw the pictures");
            }
            work.WorkerEnded();
        });
    }
    const int total = static_cast<int>(plan.pages.size());
    bool cancelled = false;
    int reported = -1;
    for (;;) {
        const auto [done, ended] = work.Wait(threads);
        if (progress && !cancelled && (done != reported || !ended)) {
            reported = done;
            if (!progress(done, total)) {
                cancelled = true;
                work.Stop();
            }
        }
        if (ended) break;
    }
    for (std::thread& t : workers) t.join();

    QzGuideResult result;
    result.steps = total;
    result.pictures = work.pictures.load();
    if (const std::string error = work.Error(); !error.empty()) {
        result.error = error;
        return result;
    }
    if (cancelled) {
        result.outcome = QzGuideResult::Outcome::Cancelled;
        return result;
    }
    // Last the files that name the pictures: only a complete guide has them.
    std::string error;
    if (!plat::WriteFileAtomically(PathIn(dir, kStepsJson), StepsJson(model, plan), error) ||
        !plat::WriteFileAtomically(PathIn(dir, kIndex),
                                   IndexHtml(model, plan, options, colourNames), error)) {
        result.error = error;
        return result;
    }
    result.outcome = QzGuideResult::Outcome::Written;
    return result;
}
