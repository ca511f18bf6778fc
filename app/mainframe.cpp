#include "mainframe.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "aboutdlg.h"
#include "app.h"
#include "clock.h"
#include "commandids.h"
#include "commands.h"
#include "diagnostics.h"
#include "document.h"
#include "drawpass.h"
#include "frametexts.h"
#include "keyboardlocks.h"
#include "messagebox.h"
#include "pathtext.h"
#include "qtmessagebox.h"
#include "registration.h"
#include "resources.h"
#include "view.h"

namespace {

// Commands the program runs itself, besides the drawing commands of the table.
constexpr int kProgramCommands[] = {
    ID_FILE_OPEN,       ID_POLL_ACTIVATE,  ID_POLL_SILENT,      ID_POLL_ASK,      ID_POLL_OFF,
    ID_RELOAD,          ID_CACHE_SUBFILES, ID_APP_EXIT,         ID_SET_LDRAW_DIR, ID_VIEW_TOOLBAR,
    ID_VIEW_STATUS_BAR, ID_ZOOM,           ID_BACKGROUND_IMAGE, ID_WEB_ZARVEL,    ID_WEB_TOLPIX,
    ID_APP_ABOUT,       ID_TREE_VIEW,      ID_STATISTICS,       ID_WRITE_POV,     ID_AUTO_ZOOM,
    ID_REGISTER_BOTH,   ID_REGISTER_DAT,   ID_REGISTER_MPD,
};

constexpr int kPollModes[] = {ID_POLL_ACTIVATE, ID_POLL_SILENT, ID_POLL_ASK, ID_POLL_OFF};

// The menu text's shortcut, after its tab, for the commands that have one.
QKeySequence ShortcutOf(int id) {
    if (id == ID_FILE_OPEN) return QKeySequence(Qt::CTRL | Qt::Key_O);
    if (id == ID_RELOAD) return QKeySequence(Qt::Key_F5);
    return {};
}

// A recent file as the File menu shows it: its number as access key, then the path,
// shortened in the middle when it is long.
QString RecentText(int index, const QString& path) {
    const QString number = index < 9 ? QStringLiteral("&%1").arg(index + 1) : QStringLiteral("1&0");
    QString shown = QDir::toNativeSeparators(path);
    constexpr int kLongest = 60;
    if (shown.size() > kLongest)
        shown = shown.left(kLongest / 2 - 2) + QStringLiteral("...") + shown.right(kLongest / 2);
    shown.replace('&', QStringLiteral("&&"));
    return number + ' ' + shown;
}

}  // namespace

CMainFrame::CMainFrame(CQzApp* app, CQzDoc* document, CQzView* view,
                       std::optional<std::pair<int, int>> size, QWidget* parent)
    : QMainWindow(parent),
      frameCreateTime_(plat::TickCount()),
      app_(app),
      document_(document),
      view_(view),
      startSize_(size) {
    setWindowIcon(app::AppIcon());
    setCentralWidget(view_);
    menuBar()->addMenu(BuildFileMenu());
    menuBar()->addMenu(BuildEditMenu());
    viewMenu_ = BuildViewMenu();
    menuBar()->addMenu(viewMenu_);
    menuBar()->addMenu(BuildTestMenu());
    menuBar()->addMenu(BuildHelpMenu());
    BuildToolBar();
    BuildStatusBar();
    view_->SetContextMenu(viewMenu_);
    connect(view_, &CQzView::Drawn, this, [this] {
        // The pane follows at idle, once per burst of drawings.
        if (panePending_) return;
        panePending_ = true;
        QTimer::singleShot(0, this, [this] {
            panePending_ = false;
            UpdateDrawingPane();
        });
    });
    connect(document_, &CQzDoc::Loaded, this, &CMainFrame::UpdateFrameTitle);
    connect(document_, &CQzDoc::Progress, this, [this](const QString& message) {
        if (message.isEmpty()) {
            statusBar()->clearMessage();
            return;
        }
        statusBar()->showMessage(message);
        statusBar()->repaint();
    });

    // The default outer size: most of the screen, at most 1024 x 768.
    const QSize available = screen() ? screen()->availableSize() : QSize(1024, 768);
    resize(std::min(1024, available.width() * 3 / 4), std::min(768, available.height() * 3 / 4));
    if (startSize_) resize(startSize_->first, startSize_->second);
    setAcceptDrops(true);
    UpdateFrameTitle();
    UpdateCommandUI();
}

QAction* CMainFrame::MakeAction(int id) {
    auto found = actions_.find(id);
    if (found != actions_.end()) return found->second;
    const QzCommand* command = QzFindCommand(id);
    auto* action = new QAction(this);
    if (command) {
        if (command->menuText) action->setText(QString::fromUtf8(command->menuText));
        action->setStatusTip(QString::fromStdString(QzPromptStatusTip(*command)));
        action->setToolTip(QString::fromStdString(QzPromptToolTip(*command)));
        action->setCheckable(command->checked != nullptr);
    }
    action->setShortcut(ShortcutOf(id));
    action->setIcon(app::ToolbarIcon(id));
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = action;
    return action;
}

QAction* CMainFrame::Action(int id) const {
    auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

QMenu* CMainFrame::BuildFileMenu() {
    fileMenu_ = new QMenu(tr("&File"), this);
    QMenu* m = fileMenu_;
    m->addAction(MakeAction(ID_FILE_OPEN));
    m->addSeparator();
    QMenu* poll = m->addMenu(tr("Po&ll for changes"));
    for (int id : kPollModes) {
        MakeAction(id)->setCheckable(true);
        poll->addAction(Action(id));
    }
    m->addAction(MakeAction(ID_RELOAD));
    MakeAction(ID_CACHE_SUBFILES)->setCheckable(true);
    m->addAction(Action(ID_CACHE_SUBFILES));
    m->addAction(MakeAction(ID_FILE_STATISTICS));
    QMenu* registration = m->addMenu(tr("Re&gister File Types"));
    registration->addAction(MakeAction(ID_REGISTER_BOTH));
    registration->addSeparator();
    registration->addAction(MakeAction(ID_REGISTER_DAT));
    registration->addAction(MakeAction(ID_REGISTER_MPD));
    m->addSeparator();
    m->addAction(MakeAction(ID_WRITE_POV));
    m->addSeparator();
    recentPlaceholder_ = m->addAction(tr("Recent File"));
    recentPlaceholder_->setEnabled(false);
    for (int i = 0; i < 10; ++i) {
        recentActions_[i] = m->addAction(QString());
        recentActions_[i]->setStatusTip(tr("Open this model"));
        recentActions_[i]->setVisible(false);
        connect(recentActions_[i], &QAction::triggered, this,
                [this, i] { OnCommand(ID_FILE_MRU_FIRST + i); });
    }
    m->addSeparator();
    m->addAction(MakeAction(ID_APP_EXIT));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildEditMenu() {
    auto* m = new QMenu(tr("&Edit"), this);
    m->addAction(MakeAction(ID_EDIT_UNDO));
    m->addSeparator();
    m->addAction(MakeAction(ID_EDIT_CUT));
    m->addAction(MakeAction(ID_EDIT_COPY));
    m->addAction(MakeAction(ID_EDIT_PASTE));
    m->addSeparator();
    m->addAction(MakeAction(ID_SET_LDRAW_DIR));
    return m;
}

QMenu* CMainFrame::BuildViewMenu() {
    auto* m = new QMenu(tr("&View"), this);
    auto add = [&](std::initializer_list<int> ids) {
        for (int id : ids) m->addAction(MakeAction(id));
        m->addSeparator();
    };
    MakeAction(ID_VIEW_TOOLBAR)->setCheckable(true);
    MakeAction(ID_AUTO_ZOOM)->setCheckable(true);
    MakeAction(ID_VIEW_STATUS_BAR)->setCheckable(true);
    add({ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR});
    add({ID_TREE_VIEW, ID_ZOOM});
    add({ID_BFC, ID_SHADING, ID_SEAMS, ID_STUDS_LAST, ID_REFRESH_EACH_PART, ID_LINE_AS_STUD,
         ID_VERTEX_LISTS});
    add({ID_SHOW_TYPE2, ID_SHOW_TYPE3, ID_SHOW_TYPE4, ID_SHOW_TYPE5, ID_EDGES_TYPE3, ID_EDGES_TYPE4,
         ID_SHOW_ALL_TYPE5, ID_COLOUR24_BLACK});
    add({ID_SHOW_MODEL_BOX, ID_SHOW_AXES});
    m->addAction(MakeAction(ID_NORMAL_COLOURS));
    m->addAction(MakeAction(ID_RANDOM_COLOURS));
    QMenu* schemes = m->addMenu(tr("&Color Scheme"));
    for (int id : QzSchemeIds) schemes->addAction(MakeAction(id));
    m->addSeparator();
    m->addAction(MakeAction(ID_ALL_TRANSPARENT));
    m->addAction(MakeAction(ID_DITHER_TRANSPARENCY));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildTestMenu() {
    auto* m = new QMenu(tr("&Test"), this);
    m->addAction(MakeAction(ID_STATISTICS));
    m->addSeparator();
    m->addAction(MakeAction(ID_TIME_CALCULATIONS));
    m->addAction(MakeAction(ID_LOGGING));
    m->addSeparator();
    for (int i = 0; i < 3; ++i) m->addAction(MakeAction(ID_RENDERER_FIRST + i));
    m->addSeparator();
    m->addAction(MakeAction(ID_MYTEST5));
    m->addAction(MakeAction(ID_MYTEST6));
    m->addSeparator();
    m->addAction(MakeAction(ID_REFRESH_DISPLAY));
    m->addAction(MakeAction(ID_BACKGROUND_IMAGE));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildHelpMenu() {
    auto* m = new QMenu(tr("&Help"), this);
    m->addAction(MakeAction(ID_WEB_ZARVEL));
    m->addAction(MakeAction(ID_WEB_TOLPIX));
    m->addSeparator();
    m->addAction(MakeAction(ID_APP_ABOUT));
    return m;
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(tr("Toolbar"), this);
    toolBar_->setObjectName("Toolbar");
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    // 0 marks a gap between groups.
    constexpr int kButtons[] = {ID_FILE_OPEN,
                                0,
                                32857,
                                32787,
                                32778,
                                32779,
                                32780,
                                32788,
                                32782,
                                32783,
                                32784,
                                0,
                                32785,
                                32786,
                                32789,
                                32790,
                                32791,
                                32792,
                                0,
                                ID_AUTO_ZOOM,
                                ID_TOOLBAR_32816,
                                0,
                                ID_NORMAL_COLOURS,
                                ID_RANDOM_COLOURS,
                                0,
                                ID_ALL_TRANSPARENT,
                                0,
                                ID_DITHER_TRANSPARENCY,
                                ID_DITHER_256,
                                0,
                                ID_SHADING,
                                0,
                                ID_SEAMS,
                                0,
                                ID_TOOLBAR_32852,
                                ID_TOOLBAR_32853};
    for (int id : kButtons) {
        if (id == 0)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(MakeAction(id));
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    idlePane_ = new QLabel(tr(kIdleText), bar);
    bar->addWidget(idlePane_, 1);
    const char* names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        lockPanes_[i] = new QLabel(bar);
        lockPanes_[i]->setAlignment(Qt::AlignCenter);
        lockPanes_[i]->setMinimumWidth(
            lockPanes_[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        lockPanes_[i]->setProperty("indicator", QString::fromLatin1(names[i]));
        bar->addPermanentWidget(lockPanes_[i]);
    }
    drawingPane_ = new QLabel(bar);
    drawingPane_->setObjectName("Drawing time");
    // 380 pixels, or as wide as the statistics of a large model need in this font.
    const int needed = drawingPane_->fontMetrics().horizontalAdvance(QStringLiteral(
        "2:1550365 3:484526 4:1151076 5:875071 0.325 seconds (0) M:801942 V:13254891"));
    drawingPane_->setFixedWidth(std::max(380, needed + 8));
    bar->addPermanentWidget(drawingPane_);
    UpdateDrawingPane();
    UpdateLockIndicators();
    auto* locks = new QTimer(this);
    connect(locks, &QTimer::timeout, this, &CMainFrame::UpdateLockIndicators);
    locks->start(250);
}

void CMainFrame::UpdateDrawingPane() {
    drawingPane_->setText(QString::fromStdString(QzDrawStatusText()));
}

void CMainFrame::UpdateLockIndicators() {
    const std::optional<app::KeyboardLocks> locks = app::ReadKeyboardLocks();
    const bool on[3] = {locks && locks->caps, locks && locks->num, locks && locks->scroll};
    for (int i = 0; i < 3; ++i)
        lockPanes_[i]->setText(on[i] ? lockPanes_[i]->property("indicator").toString() : QString());
}

bool CMainFrame::HasHandler(int id) const {
    for (int own : kProgramCommands)
        if (own == id) return true;
    const QzCommand* command = QzFindCommand(id);
    return command && command->apply;
}

void CMainFrame::UpdateCommandUI() {
    const QzDocument& doc = document_->Core();
    for (auto& [id, action] : actions_) {
        action->setEnabled(HasHandler(id));
        const QzCommand* command = QzFindCommand(id);
        if (command && command->checked) action->setChecked(command->checked(view_->State()));
    }
    for (int id : kPollModes) Action(id)->setChecked(doc.pollMode == id);
    Action(ID_CACHE_SUBFILES)->setChecked(doc.cacheSubfiles);
    Action(ID_AUTO_ZOOM)->setChecked(view_->AutoZoom());
    Action(ID_VIEW_TOOLBAR)->setChecked(toolBar_ && !toolBar_->isHidden());
    Action(ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
}

void CMainFrame::OnCommand(int id) {
    QzDocument& doc = document_->Core();
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + 10) {
        app_->OnOpenRecentFile(id - ID_FILE_MRU_FIRST);
    } else if (id == ID_POLL_ACTIVATE || id == ID_POLL_SILENT || id == ID_POLL_ASK ||
               id == ID_POLL_OFF) {
        doc.SetPollMode(id);
    } else {
        switch (id) {
            case ID_FILE_OPEN:
                app_->OnFileOpen();
                break;
            case ID_RELOAD:
                doc.Reload();
                break;
            case ID_CACHE_SUBFILES:
                doc.ToggleCacheSubfiles();
                break;
            case ID_APP_EXIT:
                close();
                break;
            case ID_SET_LDRAW_DIR:
                app_->OnSetLDrawDir();
                break;
            case ID_VIEW_TOOLBAR:
                toolBar_->setVisible(toolBar_->isHidden());
                break;
            case ID_VIEW_STATUS_BAR:
                statusBar()->setVisible(statusBar()->isHidden());
                break;
            case ID_ZOOM:
                view_->OnZoom();
                break;
            case ID_BACKGROUND_IMAGE:
                view_->OnBackgroundImage();
                break;
            case ID_WEB_ZARVEL:
                LaunchBrowser(kZarvelHomePage);
                break;
            case ID_WEB_TOLPIX:
                LaunchBrowser(kTolpixHomePage);
                break;
            case ID_APP_ABOUT:
                app_->OnAppAbout();
                break;
            case ID_TREE_VIEW:
                view_->OnTreeView();
                break;
            case ID_STATISTICS:
                view_->OnStatistics();
                break;
            case ID_WRITE_POV:
                view_->OnWritePovFile();
                break;
            case ID_AUTO_ZOOM:
                view_->OnAutoZoom();
                break;
            case ID_REGISTER_BOTH:
                app_->OnRegisterFileTypes(QZ_TYPE_DAT | QZ_TYPE_MPD);
                break;
            case ID_REGISTER_DAT:
                app_->OnRegisterFileTypes(QZ_TYPE_DAT);
                break;
            case ID_REGISTER_MPD:
                app_->OnRegisterFileTypes(QZ_TYPE_MPD);
                break;
            default:
                if (const QzCommand* command = QzFindCommand(id)) view_->RunCommand(*command);
                break;
        }
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateFrameTitle() {
    const QString framework = document_->Title() + QStringLiteral(" - Zarvel");
    QString caption = QString::fromStdString(
        QzComposeCaption(framework.toStdString(), QzModelTitle, QzModelAuthor));
    // "[*]" would be taken for the window's modified mark.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

void CMainFrame::SetRecentFiles(const QStringList& paths) {
    recentPlaceholder_->setVisible(paths.isEmpty());
    for (int i = 0; i < 10; ++i) {
        const bool used = i < paths.size();
        recentActions_[i]->setVisible(used);
        if (used) recentActions_[i]->setText(RecentText(i, paths[i]));
    }
}

void CMainFrame::ApplyStartSize() {
    if (!startSize_) return;
    // The switch gives the outer size; the window's own size leaves out the frame.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(startSize_->first - frame.width(), startSize_->second - frame.height());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    OnClose((plat::TickCount() - frameCreateTime_) / 1000);
    event->accept();
}

void CMainFrame::OnClose(uint32_t seconds) {
    app::ShowTimedMessage(this, QString::fromStdString(QzGoodbyeText(seconds)),
                          QStringLiteral("Zarvel"), QMessageBox::Information, kGoodbyeMs);
    // After more than four hours of use, offer to open LDraw files with this program.
    constexpr uint32_t kOfferAfter = 4 * 3600;
    if (seconds <= kOfferAfter) return;
    const int both = QZ_TYPE_DAT | QZ_TYPE_MPD;
    if (IsFileTypeRegistered(app_->FileTypeStore(), both)) return;
    if (plat::ShowMessage("Do you want Zarvel to be the default application\nfor file types .dat "
                          "and .mpd?",
                          plat::MessageKind::Question) == plat::MessageAnswer::Yes)
        RegisterFileTypes(app_->FileTypeStore(), both);
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The view is activated with the window: in mode "Ask on activate" the document
    // looks for a change of the model file.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        document_->Core().OnViewActivated();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        event->acceptProposedAction();
        app_->OpenDocumentFile(app::LocalFilePath(url));
        return;
    }
}
