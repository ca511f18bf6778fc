#include "doccore.h"

#include "clock.h"
#include "diagnostics.h"
#include "format.h"
#include "loader.h"
#include "measurements.h"
#include "messagebox.h"
#include "model.h"
#include "switches.h"

namespace {

void FailedTimestamp(const std::string& path) {
    plat::ShowMessage(plat::Format("Failed read timestamp of '%s'.", path.c_str()),
                      plat::MessageKind::Stop);
}

}  // namespace

QzDocument::~QzDocument() { StopPollTimer(); }

void QzDocument::ReadSwitches(const std::vector<std::string>& args) {
    static constexpr struct {
        const char* keyword;
        int mode;
    } kModes[] = {{"PollActivate", ID_POLL_ACTIVATE},
                  {"PollSilent", ID_POLL_SILENT},
                  {"PollAsk", ID_POLL_ASK},
                  {"PollOff", ID_POLL_OFF}};
    for (const std::string& arg : args) {
        if (!QzIsSwitch(arg)) continue;
        const std::string_view keyword = std::string_view(arg).substr(1);
        for (const auto& m : kModes)
            if (keyword == m.keyword) pollMode = m.mode;
        if (keyword == "NoCache") cacheSubfiles = false;
    }
}

bool QzDocument::OpenDocument(const std::string& path) {
    QzDebugLog("CQzDoc::OnOpenDocument(\"%s\")\n", path.c_str());
    if (!plat::CanOpenForReading(path)) {
        plat::ShowMessage("Failed to open document.", plat::MessageKind::Exclamation);
        return false;
    }
    if (!LoadModel(path)) return false;
    pathName = path;
    return true;
}

int QzDocument::LoadModel(const std::string& path) {
    loading = true;
    if (!cacheSubfiles) {
        QzFreeAllParts();
        QzFreeLights();
    }
    QzClearInputLog();
    host_.Busy(true, path);
    const uint32_t start = plat::TickCount();
    const int loaded = QzReadModel(path);
    loadTimeMs = static_cast<int32_t>(plat::TickCount() - start);
    host_.Busy(false, path);
    if (loaded && watchesFile && !plat::GetLastWriteTime(path, fileTime)) {
        FailedTimestamp(path);
        fileTime = {0, 0};
    }
    QzDebugLog("LoadModel: %d (%d %d)\n", loadTimeMs, static_cast<int>(fileTime.low),
               static_cast<int>(fileTime.high));
    host_.ShowInputLog();
    host_.UpdateAllViews(pollMode == ID_POLL_SILENT ? HINT_MODEL_LOADED_SILENT : HINT_MODEL_LOADED);
    if (!loaded)
        StopPollTimer();
    else if (pollTimer == 0 && (pollMode == ID_POLL_ACTIVATE || pollMode == ID_POLL_SILENT))
        StartPollTimer();
    loading = false;
    return loaded;
}

void QzDocument::CheckForChange(bool prompt) {
    if (loading || pathName.empty()) return;
    if (holds_ > 0) {
        pendingCheck_ = true;
        pendingPrompt_ = pendingPrompt_ || prompt;
        return;
    }
    plat::FileTime now;
    if (!plat::GetLastWriteTime(pathName, now)) {
        StopPollTimer();
        FailedTimestamp(pathName);
        return;
    }
    if (now == fileTime) return;
    if (prompt) {
        const std::string question = plat::Format(
            "The model '%s' has been modified.\nDo you want to reload?", pathName.c_str());
        if (plat::ShowMessage(question, plat::MessageKind::Question) != plat::MessageAnswer::Yes) {
            fileTime = now;
            return;
        }
    }
    LoadModel(pathName);
}

void QzDocument::StartPollTimer() {
    if (pollTimer != 0) return;
    pollTimer = host_.StartTimer(kPollIntervalMs);
    if (pollTimer == 0) plat::ShowMessage("Failed to start timer.", plat::MessageKind::Stop);
}

void QzDocument::StopPollTimer() {
    if (pollTimer != 0) host_.StopTimer(pollTimer);
    pollTimer = 0;
}

void QzDocument::OnPollTimer() {
    if (pollTimer != 0) CheckForChange(false);
}

void QzDocument::OnViewActivated() {
    if (pollMode != ID_POLL_ASK || asking) return;
    asking = true;
    CheckForChange(true);
    asking = false;
}

void QzDocument::SetPollMode(int id) {
    pollMode = id;
    if (id == ID_POLL_ACTIVATE || id == ID_POLL_SILENT)
        StartPollTimer();
    else
        StopPollTimer();
}

void QzDocument::Reload() {
    if (!pathName.empty()) LoadModel(pathName);
}

QzDocument::ReloadHold::ReloadHold(QzDocument* document) : document_(document) {
    if (document_) ++document_->holds_;
}

QzDocument::ReloadHold::~ReloadHold() {
    if (document_) document_->Release();
}

void QzDocument::Release() {
    if (--holds_ > 0 || !pendingCheck_) return;
    const bool prompt = pendingPrompt_;
    pendingCheck_ = pendingPrompt_ = false;
    // The check that waited runs the way it was asked for: a question only where an
    // activation asked for one.
    if (prompt)
        OnViewActivated();
    else
        OnPollTimer();
}
