// The program's one document: the open model file, its loading and the watch on it.
// The logic is the core document's; this class gives it the window toolkit's timer,
// the log window and the palette of the view, and tells the rest of the program by
// signals.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>
#include <vector>

#include "doccore.h"

class CLogDlg;

class CQzDoc : public QObject, public QzDocumentHost {
    Q_OBJECT

  public:
    // Reads the poll and cache switches of the process arguments.
    explicit CQzDoc(const std::vector<std::string>& args, QObject* parent = nullptr);
    ~CQzDoc() override;

    // Opening a file (File Open, a recent file, a dropped file, the command line). True
    // when it loaded; the path is then the document's.
    bool OnOpenDocument(const QString& path);
    bool OnOpenDocument(const std::string& path);
    // The palette loads read into (the view's) and the window that shows the input log.
    void SetPalette(QzPalette* palette) { palette_ = palette; }
    void SetLogWindow(CLogDlg* window) { logWindow_ = window; }

    QzDocument& Core() { return core_; }
    const QzModel& Model() const { return core_.model; }
    QzModel& Model() { return core_.model; }
    // The path of the open file, empty for none.
    QString PathName() const;
    // The file's name without its folder, "Untitled" when none is open.
    QString Title() const;

    // QzDocumentHost
    QzPalette& Palette() override { return *palette_; }
    void ShowInputLog() override;
    void UpdateAllViews(int hint) override;
    uint32_t StartTimer(int intervalMs) override;
    void StopTimer(uint32_t timer) override;
    void Busy(bool on, const std::string& path) override;
    void FileOpened(const QzPart& part, const std::string& path) override;
    void ModelFileMissing(bool missing, const std::string& path) override;

  signals:
    // After every load, good or not, with the view's update hint.
    void Updated(int hint);
    // The model, its title, author or path changed: the caption follows.
    void Changed();
    // A message for the status bar while a load runs; empty when it is over.
    void Progress(const QString& message);
    // While the model file is missing at its path, what the status bar says instead of
    // its idle text; empty once the file is back.
    void MissingFile(const QString& message);

  private:
    QzDocument core_;
    QzPalette* palette_ = nullptr;
    CLogDlg* logWindow_ = nullptr;
    QTimer pollTimer_;
    // While a load runs: its file's name, the files read so far and when they were last
    // shown.
    QString loadingName_;
    int filesRead_ = 0;
    QElapsedTimer progressClock_;
};
