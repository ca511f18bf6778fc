#include "document.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include "logdlg.h"
#include "model.h"
#include "pathtext.h"
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

bool CQzDoc::OnOpenDocument(const QString& path) { return OnOpenDocument(app::PathBytes(path)); }

bool CQzDoc::OnOpenDocument(const std::string& path) { return core_.OpenDocument(path); }

QString CQzDoc::PathName() const { return app::PathText(core_.pathName); }

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
    if (!on) {
        loadWatch_.reset();
        QApplication::restoreOverrideCursor();
        emit Progress(QString());
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString name = QFileInfo(app::PathText(path)).fileName();
    emit Progress(tr("Loading %1...").arg(name));
    // A long load tells how far it got, a few times a second.
    auto clock = std::make_shared<QElapsedTimer>();
    auto files = std::make_shared<int>(0);
    clock->start();
    loadWatch_ = std::make_unique<QzFileObserverList::Scoped>(
        QzFileObservers, [this, name, clock, files](const QzPart&, const std::string&) {
            ++*files;
            if (clock->elapsed() < 250) return;
            clock->restart();
            emit Progress(tr("Loading %1: %2 files read").arg(name).arg(*files));
        });
}
