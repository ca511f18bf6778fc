#include "document.h"

#include <QApplication>
#include <QFileInfo>

#include "frametexts.h"
#include "logdlg.h"
#include "pathtext.h"

CQzDoc::CQzDoc(const std::vector<std::string>& args, QObject* parent)
    : QObject(parent), core_(*this) {
    core_.ReadSwitches(args);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { core_.OnPollTimer(); });
}

CQzDoc::~CQzDoc() { core_.StopPollTimer(); }

bool CQzDoc::OnOpenDocument(const QString& path) { return OnOpenDocument(app::PathBytes(path)); }

bool CQzDoc::OnOpenDocument(const std::string& path) {
    const bool opened = core_.OpenDocument(path);
    if (opened) emit Changed();
    return opened;
}

QString CQzDoc::PathName() const { return app::PathText(core_.pathName); }

QString CQzDoc::Title() const {
    if (core_.pathName.empty()) return tr("Untitled");
    return QFileInfo(PathName()).fileName();
}

void CQzDoc::ShowInputLog() {
    if (core_.model.inputLog.empty() || !logWindow_) return;
    logWindow_->text = QString::fromStdString(core_.model.inputLog);
    logWindow_->DoModal();
}

void CQzDoc::UpdateAllViews(int hint) {
    emit Updated(hint);
    emit Changed();
}

uint32_t CQzDoc::StartTimer(int intervalMs) {
    pollTimer_.start(intervalMs);
    return pollTimer_.isActive() ? 1 : 0;
}

void CQzDoc::StopTimer(uint32_t) { pollTimer_.stop(); }

void CQzDoc::Busy(bool on, const std::string& path) {
    if (!on) {
        loadingName_.clear();
        QApplication::restoreOverrideCursor();
        emit Progress(QString());
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    loadingName_ = QFileInfo(app::PathText(path)).fileName();
    filesRead_ = 0;
    progressClock_.start();
    emit Progress(tr("Loading %1...").arg(loadingName_));
}

void CQzDoc::FileOpened(const QzPart&, const std::string&) {
    // A long load tells how far it got, a few times a second.
    ++filesRead_;
    if (progressClock_.elapsed() < 250) return;
    progressClock_.restart();
    emit Progress(tr("Loading %1: %2 files read").arg(loadingName_).arg(filesRead_));
}

void CQzDoc::ModelFileMissing(bool missing, const std::string& path) {
    emit MissingFile(missing ? app::PathText(QzMissingModelText(path)) : QString());
}
