#include "document.h"

#include <QApplication>
#include <QFileInfo>

#include "logdlg.h"
#include "model.h"
#include "view.h"

CQzDoc::CQzDoc(const std::vector<std::string>& args, QObject* parent)
    : QObject(parent), core_(*this) {
    core_.ReadSwitches(args);
    connect(&pollTimer_, &QTimer::timeout, this, [this] { core_.OnPollTimer(); });
}

CQzDoc::~CQzDoc() {
    core_.StopPollTimer();
    QzFreeAllParts();
    QzFreeLights();
}

bool CQzDoc::OnOpenDocument(const QString& path) { return core_.OpenDocument(path.toStdString()); }

QString CQzDoc::Title() const {
    if (core_.pathName.empty()) return tr("Untitled");
    return QFileInfo(PathName()).fileName();
}

void CQzDoc::ShowInputLog() { QzShowInputLog(); }

void CQzDoc::UpdateAllViews(int hint) {
    if (view_) view_->OnUpdate(hint);
    emit Loaded();
}

uint32_t CQzDoc::StartTimer(int intervalMs) {
    pollTimer_.start(intervalMs);
    return pollTimer_.isActive() ? 1 : 0;
}

void CQzDoc::StopTimer(uint32_t) { pollTimer_.stop(); }

void CQzDoc::Busy(bool on, const std::string& path) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        emit Progress(tr("Loading %1...").arg(QFileInfo(QString::fromStdString(path)).fileName()));
    } else {
        QApplication::restoreOverrideCursor();
        emit Progress(QString());
    }
}
