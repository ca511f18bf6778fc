// The program's one document: the open model file, its loading and the watch on it.
// The logic is the core document's; this class gives it the window toolkit's timer,
// the log window and the view.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "doccore.h"
#include "loader.h"

class CQzView;

class CQzDoc : public QObject, public QzDocumentHost {
    Q_OBJECT

  public:
    // Reads the poll and cache switches of the process arguments.
    explicit CQzDoc(const std::vector<std::string>& args, QObject* parent = nullptr);
    // Frees the model: the program ends.
    ~CQzDoc() override;

    // Opening a file (File Open, a recent file, a dropped file, the command line). True
    // when it loaded; the path is then the document's.
    bool OnOpenDocument(const QString& path);
    bool OnOpenDocument(const std::string& path);

    void SetView(CQzView* view) { view_ = view; }
    QzDocument& Core() { return core_; }
    // The path of the open file, empty for none.
    QString PathName() const;
    // The file's name without its folder, "Untitled" when none is open.
    QString Title() const;

    // QzDocumentHost
    void ShowInputLog() override;
    void UpdateAllViews(int hint) override;
    uint32_t StartTimer(int intervalMs) override;
    void StopTimer(uint32_t timer) override;
    void Busy(bool on, const std::string& path) override;

  signals:
    // After every load, good or not: the caption follows the model's title and author.
    void Loaded();
    // A message for the status bar while a load runs; empty when it is over.
    void Progress(const QString& message);

  private:
    QzDocument core_;
    QTimer pollTimer_;
    // While a load runs: the files read so far, shown now and then.
    std::unique_ptr<QzFileObserverList::Scoped> loadWatch_;
    CQzView* view_ = nullptr;
};
