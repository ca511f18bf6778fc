#include "mainframe.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
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

#include "clock.h"
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
#include "sections.h"
#include "view.h"

namespace {

constexpr QzCmd kPollModes[] = {QzCmd::PollActivate, QzCmd::PollSilent, QzCmd::PollAsk,
                                QzCmd::PollOff};

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

CMainFrame::CMainFrame(QzCommandTarget& commands, QzFileTypeStore& fileTypes, CQzDoc* document,
                       CQzView* view, std::optional<std::pair<int, int>> size, QWidget* parent)
    : QMainWindow(parent),
      frameCreateTime_(plat::TickCount()),
      commands_(commands),
      fileTypes_(fileTypes),
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
    connect(document_, &CQzDoc::Changed, this, &CMainFrame::UpdateFrameTitle);
    connect(document_, &CQzDoc::Changed, this, &CMainFrame::UpdateSubmodels);
    connect(document_, &CQzDoc::Progress, this, [this](const QString& message) {
        if (message.isEmpty()) {
            statusBar()->clearMessage();
            return;
        }
        statusBar()->showMessage(message);
        statusBar()->repaint();
    });
    connect(document_, &CQzDoc::MissingFile, this, [this](const QString& message) {
        idlePane_->setText(message.isEmpty() ? tr(kIdleText) : message);
    });

    // The default outer size: most of the screen, at most 1024 x 768.
    const QSize available = screen() ? screen()->availableSize() : QSize(1024, 768);
    resize(std::min(1024, available.width() * 3 / 4), std::min(768, available.height() * 3 / 4));
    if (startSize_) resize(startSize_->first, startSize_->second);
    setAcceptDrops(true);
    UpdateFrameTitle();
    UpdateSubmodels();
    UpdateCommandUI();
}

QAction* CMainFrame::MakeAction(QzCmd cmd) {
    QAction*& action = actions_[static_cast<int>(cmd)];
    if (action) return action;
    const QzCommand& command = QzCommandOf(cmd);
    action = new QAction(this);
    if (command.menuText) action->setText(QString::fromUtf8(command.menuText));
    if (command.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(command.shortcut)));
    action->setStatusTip(QString::fromStdString(QzCommandStatusTip(command)));
    action->setToolTip(QString::fromStdString(QzCommandToolTip(command)));
    action->setCheckable(command.checked != nullptr);
    action->setIcon(app::ToolbarIcon(cmd));
    action->setIconVisibleInMenu(false);
    connect(action, &QAction::triggered, this, [this, cmd] { OnCommand(cmd); });
    return action;
}

QMenu* CMainFrame::BuildFileMenu() {
    fileMenu_ = new QMenu(tr("&File"), this);
    QMenu* m = fileMenu_;
    m->addAction(MakeAction(QzCmd::FileOpen));
    m->addSeparator();
    QMenu* poll = m->addMenu(tr("Po&ll for changes"));
    for (QzCmd mode : kPollModes) poll->addAction(MakeAction(mode));
    m->addAction(MakeAction(QzCmd::Reload));
    m->addAction(MakeAction(QzCmd::CacheSubfiles));
    m->addAction(MakeAction(QzCmd::FileStatistics));
    QMenu* registration = m->addMenu(tr("Re&gister File Types"));
    registration->addAction(MakeAction(QzCmd::RegisterBoth));
    registration->addSeparator();
    registration->addAction(MakeAction(QzCmd::RegisterDat));
    registration->addAction(MakeAction(QzCmd::RegisterMpd));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::WritePov));
    m->addAction(MakeAction(QzCmd::Export));
    m->addAction(MakeAction(QzCmd::SavePicture));
    m->addAction(MakeAction(QzCmd::WriteInstructions));
    m->addSeparator();
    recentPlaceholder_ = m->addAction(tr("Recent File"));
    recentPlaceholder_->setEnabled(false);
    for (int i = 0; i < 10; ++i) {
        recentActions_[i] = m->addAction(QString());
        recentActions_[i]->setStatusTip(tr("Open this model"));
        recentActions_[i]->setVisible(false);
        connect(recentActions_[i], &QAction::triggered, this, [this, i] {
            emit RecentFileChosen(i);
            UpdateCommandUI();
        });
    }
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::AppExit));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildEditMenu() {
    auto* m = new QMenu(tr("&Edit"), this);
    m->addAction(MakeAction(QzCmd::EditUndo));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::EditCut));
    m->addAction(MakeAction(QzCmd::EditCopy));
    m->addAction(MakeAction(QzCmd::EditPaste));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::SetLDrawDir));
    return m;
}

QMenu* CMainFrame::BuildViewMenu() {
    auto* m = new QMenu(tr("&View"), this);
    auto add = [&](std::initializer_list<QzCmd> commands) {
        for (QzCmd command : commands) m->addAction(MakeAction(command));
        m->addSeparator();
    };
    add({QzCmd::ViewToolbar, QzCmd::ViewStatusBar});
    add({QzCmd::TreeView, QzCmd::PartsList, QzCmd::Zoom});
    add({QzCmd::FirstStep, QzCmd::PreviousStep, QzCmd::NextStep, QzCmd::LastStep});
    // The files the model can show, filled at every load.
    submodelMenu_ = m->addMenu(tr("S&ubmodel"));
    m->addSeparator();
    add({QzCmd::Bfc, QzCmd::Shading, QzCmd::HighQuality, QzCmd::Seams, QzCmd::StudsLast,
         QzCmd::RefreshEachPart, QzCmd::LineAsStud, QzCmd::VertexLists});
    add({QzCmd::ShowType2, QzCmd::ShowType3, QzCmd::ShowType4, QzCmd::ShowType5, QzCmd::EdgesType3,
         QzCmd::EdgesType4, QzCmd::ShowAllType5, QzCmd::Colour24Black});
    add({QzCmd::ShowModelBox, QzCmd::ShowAxes});
    m->addAction(MakeAction(QzCmd::NormalColours));
    m->addAction(MakeAction(QzCmd::RandomColours));
    QMenu* schemes = m->addMenu(tr("&Color Scheme"));
    for (int scheme = 0; scheme < QZ_SCHEME_COUNT; ++scheme)
        schemes->addAction(MakeAction(QzSchemeCommand(scheme)));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::AllTransparent));
    m->addAction(MakeAction(QzCmd::DitherTransparency));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildTestMenu() {
    auto* m = new QMenu(tr("&Test"), this);
    m->addAction(MakeAction(QzCmd::Statistics));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::TimeCalculations));
    m->addAction(MakeAction(QzCmd::Logging));
    m->addSeparator();
    for (int type = 1; type <= 3; ++type) m->addAction(MakeAction(QzRendererCommand(type)));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::FlushAfterEveryPart));
    m->addAction(MakeAction(QzCmd::BfcTestColours));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::RefreshDisplay));
    m->addAction(MakeAction(QzCmd::BackgroundImage));
    connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return m;
}

QMenu* CMainFrame::BuildHelpMenu() {
    auto* m = new QMenu(tr("&Help"), this);
    m->addAction(MakeAction(QzCmd::WebZarvel));
    m->addAction(MakeAction(QzCmd::WebTolpix));
    m->addSeparator();
    m->addAction(MakeAction(QzCmd::AppAbout));
    return m;
}

void CMainFrame::BuildToolBar() {
    toolBar_ = new QToolBar(tr("Toolbar"), this);
    toolBar_->setObjectName("Toolbar");
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(16, 16));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    // The groups of buttons, a gap between each two.
    auto group = [this](std::initializer_list<QzCmd> commands) {
        if (!toolBar_->actions().isEmpty()) toolBar_->addSeparator();
        for (QzCmd command : commands) toolBar_->addAction(MakeAction(command));
    };
    auto views = [this](int first, int last) {
        toolBar_->addSeparator();
        for (int view = first; view <= last; ++view)
            toolBar_->addAction(MakeAction(QzViewCommand(view)));
    };
    group({QzCmd::FileOpen});
    views(0, 8);
    views(9, 14);
    group({QzCmd::AutoZoom, QzCmd::Toolbar32816});
    group({QzCmd::NormalColours, QzCmd::RandomColours});
    group({QzCmd::AllTransparent});
    group({QzCmd::DitherTransparency, QzCmd::Dither256});
    group({QzCmd::Shading, QzCmd::HighQuality});
    group({QzCmd::Seams});
    group({QzCmd::Toolbar32852, QzCmd::Toolbar32853});
    // The building steps, and the file they are steps of.
    group({QzCmd::FirstStep, QzCmd::PreviousStep, QzCmd::NextStep, QzCmd::LastStep});
    submodelBox_ = new QComboBox(toolBar_);
    submodelBox_->setObjectName("Submodel");
    submodelBox_->setToolTip(tr("Submodel"));
    submodelBox_->setStatusTip(tr("Show the main model or one of its submodels"));
    submodelBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    submodelBox_->setMaximumWidth(240);
    toolBar_->addWidget(submodelBox_);
    connect(submodelBox_, &QComboBox::activated, this, [this](int index) {
        const std::vector<QzSubmodelChoice> choices = QzSubmodelChoices(document_->Model());
        if (index >= 0 && index < static_cast<int>(choices.size()))
            commands_.ShowSubmodel(choices[static_cast<size_t>(index)].name);
        UpdateSubmodels();
    });
}

void CMainFrame::UpdateSubmodels() {
    const QzModel& model = document_->Model();
    const std::vector<QzSubmodelChoice> choices = QzSubmodelChoices(model);
    const int shown = QzShownChoice(view_->State(), model);
    submodelMenu_->clear();
    submodelBox_->clear();
    auto* group = new QActionGroup(submodelMenu_);
    for (size_t i = 0; i < choices.size(); ++i) {
        const QString text = QString::fromStdString(choices[i].text);
        QString menuText = text;
        menuText.replace('&', QStringLiteral("&&"));
        QAction* action = submodelMenu_->addAction(menuText);
        action->setCheckable(true);
        action->setChecked(static_cast<int>(i) == shown);
        action->setActionGroup(group);
        action->setStatusTip(i == 0 ? tr("Show the main model") : tr("Show this submodel"));
        const std::string name = choices[i].name;
        connect(action, &QAction::triggered, this, [this, name] {
            commands_.ShowSubmodel(name);
            UpdateSubmodels();
        });
        submodelBox_->addItem(text);
    }
    submodelBox_->setCurrentIndex(choices.empty() ? -1 : shown);
    // A model of one file has nothing to choose.
    submodelMenu_->setEnabled(choices.size() > 1);
    submodelBox_->setEnabled(choices.size() > 1);
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
    stepPane_ = new QLabel(bar);
    stepPane_->setObjectName("Step");
    stepPane_->setAlignment(Qt::AlignCenter);
    stepPane_->setMinimumWidth(
        stepPane_->fontMetrics().horizontalAdvance(QStringLiteral("Step 8888/8888")) + 8);
    bar->addPermanentWidget(stepPane_);
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
    drawingPane_->setText(QString::fromStdString(QzDrawStatusText(view_->Statistics())));
    const QzStepPosition at = QzShownStep(view_->State(), document_->Model());
    stepPane_->setText(QString::fromStdString(QzStepText(at.step, at.count)));
}

void CMainFrame::UpdateLockIndicators() {
    const std::optional<app::KeyboardLocks> locks = app::ReadKeyboardLocks();
    const bool on[3] = {locks && locks->caps, locks && locks->num, locks && locks->scroll};
    for (int i = 0; i < 3; ++i)
        lockPanes_[i]->setText(on[i] ? lockPanes_[i]->property("indicator").toString() : QString());
}

void CMainFrame::UpdateCommandUI() {
    for (int i = 0; i < QZ_COMMAND_COUNT; ++i) {
        QAction* action = actions_[i];
        if (!action) continue;
        const QzCommand& command = QzCommandOf(static_cast<QzCmd>(i));
        action->setEnabled(QzCommandEnabled(command));
        if (command.checked) action->setChecked(command.checked(commands_));
    }
}

void CMainFrame::OnCommand(QzCmd cmd) {
    const QzCommand& command = QzCommandOf(cmd);
    if (command.kind == QzCommandKind::Drawing)
        view_->RunCommand(command, commands_);
    else if (command.run)
        command.run(commands_);
    UpdateCommandUI();
}

void CMainFrame::ToggleToolbar() { toolBar_->setVisible(toolBar_->isHidden()); }

void CMainFrame::ToggleStatusBar() { statusBar()->setVisible(statusBar()->isHidden()); }

bool CMainFrame::ToolbarShown() const { return toolBar_ && !toolBar_->isHidden(); }

bool CMainFrame::StatusBarShown() const { return !statusBar()->isHidden(); }

void CMainFrame::UpdateFrameTitle() {
    const QzModel& model = document_->Model();
    const QzPart* shown = model.Loaded() ? &view_->State().ShownPart(model) : nullptr;
    const QString framework = QString::fromStdString(
        QzFrameworkCaption(document_->Title().toStdString(),
                           shown && shown != &model.Main() ? QzFileName(model, *shown) : ""));
    QString caption = QString::fromStdString(
        QzComposeCaption(framework.toStdString(), model.modelTitle, model.modelAuthor));
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
    if (IsFileTypeRegistered(fileTypes_, both)) return;
    if (plat::ShowMessage("Do you want Zarvel to be the default application\nfor file types .dat "
                          "and .mpd?",
                          plat::MessageKind::Question) == plat::MessageAnswer::Yes)
        RegisterFileTypes(fileTypes_, both);
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
        emit FileDropped(app::LocalFilePath(url));
        return;
    }
}
