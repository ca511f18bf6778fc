#include "doccore.h"

#include "clock.h"
#include "diagnostics.h"
#include "format.h"
#include "messagebox.h"
#include "switches.h"

namespace {

void FailedTimestamp(const std::string& path) {
    plat::ShowMessage(plat::Format("Failed read timestamp of '%s'.", path.c_str()),
                      plat::MessageKind::Stop);
}

}  // namespace

uint32_t QzDocumentHost::ClockMs() { return plat::TickCount(); }

QzDocument::~QzDocument() { StopPollTimer(); }

void QzDocument::ReadSwitches(const std::vector<std::string>& args) {
    static constexpr struct {
        const char* keyword;
        QzCmd mode;
    } kModes[] = {{"PollActivate", QzCmd::PollActivate},
                  {"PollSilent", QzCmd::PollSilent},
                  {"PollAsk", QzCmd::PollAsk},
                  {"PollOff", QzCmd::PollOff}};
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
    host_.Busy(true, path);
    QzLoadSettings load = settings;
    load.onFileOpened = [this](const QzPart& part, const std::string& file) {
        host_.FileOpened(part, file);
    };
    // The time is taken before the file is read: a change made while it loads is then
    // seen by the next check.
    plat::FileTime before{0, 0};
    const bool stamped = plat::GetLastWriteTime(path, before);
    const int loaded = QzLoadModel(model, path, load, host_.Palette(), cacheSubfiles);
    host_.Busy(false, path);
    if (loaded) {
        fileTime = stamped ? before : plat::FileTime{0, 0};
        if (stamped)
            ClearMissing();
        else
            FailedTimestamp(path);
    }
    QzDebugLog("LoadModel: %d (%d %d)\n", model.loadTimeMs, static_cast<int>(fileTime.low),
               static_cast<int>(fileTime.high));
    host_.ShowInputLog();
    host_.UpdateAllViews(pollMode == QzCmd::PollSilent ? HINT_MODEL_LOADED_SILENT
                                                       : HINT_MODEL_LOADED);
    if (!loaded)
        StopPollTimer();
    else if (pollTimer == 0 && (pollMode == QzCmd::PollActivate || pollMode == QzCmd::PollSilent))
        StartPollTimer();
    loading = false;
    return loaded;
}

int QzDocument::ResolveSection(QzPart& section, bool showLog) {
    const size_t logged = model.inputLog.size();
    const int resolved = QzResolveSection(model, section, settings, host_.Palette());
    if (showLog && model.inputLog.size() != logged) host_.ShowInputLog();
    return resolved;
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
        MissingAtCheck();
        return;
    }
    ClearMissing();
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

void QzDocument::MissingAtCheck() {
    const uint32_t now = host_.ClockMs();
    if (!missing_) {
        missing_ = true;
        missingSince_ = now;
        missingReported_ = false;
        host_.ModelFileMissing(true, pathName);
        return;
    }
    if (missingReported_ || now - missingSince_ <= kMissingReportMs) return;
    // Noted before the box: it runs an event loop of its own, in which the timer ticks.
    missingReported_ = true;
    FailedTimestamp(pathName);
}

void QzDocument::ClearMissing() {
    if (!missing_) return;
    missing_ = false;
    host_.ModelFileMissing(false, pathName);
}

void QzDocument::StartPollTimer() {
    if (pollTimer != 0) return;
    pollTimer = host_.StartTimer(kPollIntervalMs);
    if (pollTimer == 0) plat::ShowMessage("Failed to start timer.", plat::MessageKind::Stop);
}

void QzDocument::StopPollTimer() {
    if (pollTimer != 0) host_.StopTimer(pollTimer);
    pollTimer = 0;
    // Only an activation checks now, and only in "Ask on activate": else nothing
    // waits for a missing file any more.
    if (pollMode != QzCmd::PollAsk) ClearMissing();
}

void QzDocument::OnPollTimer() {
    if (pollTimer != 0) CheckForChange(false);
}

void QzDocument::OnViewActivated() {
    if (pollMode != QzCmd::PollAsk || asking) return;
    asking = true;
    CheckForChange(true);
    asking = false;
}

void QzDocument::SetPollMode(QzCmd mode) {
    pollMode = mode;
    if (mode == QzCmd::PollActivate || mode == QzCmd::PollSilent)
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
