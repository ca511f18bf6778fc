// The main window: menu bar, toolbar and status bar built from the command table, the
// view as its client, the caption with the model's title and author, the drawing
// statistics in the status bar, and the goodbye when it closes.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "commandids.h"

class CQzDoc;
class CQzView;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QzCommandTarget;
class QzFileTypeStore;

class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    // commands: what the commands act on; fileTypes: where the goodbye's offer registers
    // the file types; size: the outer size the "v" switch asks for, if any.
    CMainFrame(QzCommandTarget& commands, QzFileTypeStore& fileTypes, CQzDoc* document,
               CQzView* view, std::optional<std::pair<int, int>> size, QWidget* parent = nullptr);

    // Runs a command, as its menu item or button would.
    void OnCommand(QzCmd command);
    // Ticks, pressed buttons and enabled states from the current state.
    void UpdateCommandUI();
    // Sets the caption: the document's title (and the submodel shown) and the program's,
    // then the model's title and author.
    void UpdateFrameTitle();
    // Fills View > Submodel and the toolbar's list with the files the model can show,
    // the one shown chosen.
    void UpdateSubmodels();
    // The recent files, newest first, as the File menu lists them.
    void SetRecentFiles(const QStringList& paths);
    // Gives the outer size the "v" switch asked for, once the window has its frame.
    void ApplyStartSize();
    // What closing after that many seconds of use shows: the goodbye, and after more
    // than four hours the offer to open LDraw files with this program.
    void OnClose(uint32_t seconds);

    QAction* Action(QzCmd command) const { return actions_[static_cast<int>(command)]; }
    // The recent file entries of the File menu.
    QAction* RecentAction(int index) const { return recentActions_[index]; }
    QToolBar* ToolBar() const { return toolBar_; }
    void ToggleToolbar();
    void ToggleStatusBar();
    bool ToolbarShown() const;
    bool StatusBarShown() const;
    QLabel* DrawingPane() const { return drawingPane_; }
    QLabel* IdlePane() const { return idlePane_; }
    // "Step 3/31": the building step the view shows.
    QLabel* StepPane() const { return stepPane_; }
    // View > Submodel and the toolbar's list of the files the model can show.
    QMenu* SubmodelMenu() const { return submodelMenu_; }
    QComboBox* SubmodelBox() const { return submodelBox_; }

    // The running time's goodbye box closes itself after this long.
    static constexpr int kGoodbyeMs = 1000;

  signals:
    // A recent file was chosen from the File menu (its index in the list).
    void RecentFileChosen(int index);
    // A file was dropped onto the window.
    void FileDropped(const std::string& path);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* MakeAction(QzCmd command);
    QMenu* BuildFileMenu();
    QMenu* BuildEditMenu();
    QMenu* BuildViewMenu();
    QMenu* BuildTestMenu();
    QMenu* BuildHelpMenu();
    void BuildToolBar();
    void BuildStatusBar();
    void UpdateDrawingPane();
    void UpdateLockIndicators();

    uint32_t frameCreateTime_;
    QzCommandTarget& commands_;
    QzFileTypeStore& fileTypes_;
    CQzDoc* document_;
    CQzView* view_;
    std::optional<std::pair<int, int>> startSize_;
    // One action per command, made when a menu or the toolbar first shows it.
    std::array<QAction*, QZ_COMMAND_COUNT> actions_{};
    QMenu* viewMenu_ = nullptr;
    QMenu* submodelMenu_ = nullptr;
    QComboBox* submodelBox_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    QAction* recentActions_[10] = {};
    QToolBar* toolBar_ = nullptr;
    QLabel* idlePane_ = nullptr;
    QLabel* lockPanes_[3] = {};
    QLabel* stepPane_ = nullptr;
    QLabel* drawingPane_ = nullptr;
    bool panePending_ = false;
};

// The status bar's idle text.
inline constexpr const char* kIdleText = "Try pressing CTRL or SHIFT during dragging";
