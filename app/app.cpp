#include "app.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScreen>

#include "aboutdlg.h"
#include "diagnostics.h"
#include "document.h"
#include "files.h"
#include "firststart.h"
#include "format.h"
#include "frametexts.h"
#include "ldrawdir.h"
#include "ldrawdirdlg.h"
#include "logdlg.h"
#include "mainframe.h"
#include "messagebox.h"
#include "modal.h"
#include "pathtext.h"
#include "resources.h"
#include "sections.h"
#include "view.h"

namespace {

// The open dialog's filter: the name the program has always shown, then the patterns
// in either letter case.
const char* const kOpenFilter =
    "LDraw Files (*.ldr,*.dat;*.mpd) (*.ldr *.dat *.mpd *.LDR *.DAT *.MPD);;All Files (*)";

constexpr const char* kGeneralSettings = "General settings";
constexpr const char* kViewSettings = "View settings";
constexpr const char* kRecentSection = "Recent File List";

QString Key(const char* section, const char* value) {
    return QString::fromLatin1(section) + '/' + QString::fromLatin1(value);
}

std::vector<std::string> ArgumentBytes(const QStringList& args) {
    std::vector<std::string> bytes;
    for (const QString& arg : args) bytes.push_back(app::PathBytes(arg));
    return bytes;
}

}  // namespace

CQzApp::CQzApp(const QStringList& args) : CQzApp(ArgumentBytes(args)) {}

CQzApp::CQzApp(std::vector<std::string> args)
    : args_(std::move(args)),
      settingsFile_(kCompany, kApplication),
      settings_(settingsFile_.Path(), QSettings::NativeFormat),
      fileTypes_(std::make_unique<QzXdgFileTypeStore>(app::IconPng)) {
    for (const std::string& arg : args_)
        rawCommandLine_ += (rawCommandLine_.empty() ? "" : " ") + arg;
}

CQzApp::~CQzApp() {
    if (!exited_) ExitInstance();
}

bool CQzApp::InitInstance() {
    // Boxes shown before the main window exists have no owner.
    previousMessageBox_ = plat::SetMessageBoxHandler(&messageBox_);
    if (!settingsFile_.IsUsersFile())
        plat::ShowMessage(settingsFile_.Warning(), plat::MessageKind::Exclamation);
    // Settings live under the company and application keys; the recent files with them.
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string path =
            app::PathFromSetting(settings_.value(Key(kRecentSection, "File") + QString::number(i)));
        if (!path.empty()) recent_ << QByteArray::fromStdString(path);
    }

    QzDebugLog("***** cmdline: '%s'\n", rawCommandLine_.c_str());
    QzDebugLog("***** Start of Zarvel\n");
    commandLine_ = QzParseCommandLine(args_);
    const std::string& name = commandLine_.fileName;
    switch (commandLine_.command) {
        case QzCommandLineInfo::FileNew:
            QzDebugLog("***** FileNew\n");
            break;
        case QzCommandLineInfo::FileOpen:
            QzDebugLog("***** FileOpen '%s'\n", name.c_str());
            break;
        case QzCommandLineInfo::FilePrint:
            QzDebugLog("***** FilePrint '%s'\n", name.c_str());
            break;
        case QzCommandLineInfo::FilePrintTo:
            QzDebugLog("***** FilePrintTo '%s'\n", name.c_str());
            break;
    }
    if (commandLine_.command != QzCommandLineInfo::FileNew && !name.empty()) {
        QzDebugLog("***** Filename '%s'\n", name.c_str());
        const std::string full = app::AbsolutePath(name);
        QzDebugLog("***** _tfullpath returned %x\n",
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(full.c_str())));
        QzDebugLog("***** _tfullpath '%s'\n", full.c_str());
        std::string expanded = full;
        if (ExpandLongPath(full, expanded) != 0) {
            plat::ShowMessage(plat::Format("Cannot parse path: \"%s\"", full.c_str()),
                              plat::MessageKind::Exclamation);
            expanded = full;
        }
        QzDebugLog("***** And the full path is '%s'\n", expanded.c_str());
        commandLine_.fileName = expanded;
    }

    const std::string ldrawDir = QzFindLDrawDir(
        app::PathFromSetting(settings_.value(Key(kGeneralSettings, "LDrawDir"))),
        [this](const std::string& dir) {
            settings_.setValue(Key(kGeneralSettings, "LDrawDir"), app::PathSetting(dir));
        });

    // The document, the view and the frame around it.
    document_ = new CQzDoc(args_, this);
    document_->Core().settings.ldrawDir = ldrawDir;
    app::SetModalDocument(&document_->Core());
    bool schemeKnown = false;
    const int scheme = settings_.value(Key(kViewSettings, "ColorScheme"), 0).toInt(&schemeKnown);
    view_ = new CQzView(document_, schemeKnown ? scheme : 0, args_);
    // The drawing mode the user chose last; the normal drawing at first start.
    view_->State().options.highQuality =
        settings_.value(Key(kViewSettings, "HighQuality"), false).toBool();
    document_->SetPalette(&view_->State().palette);
    frame_ = new CMainFrame(*this, *fileTypes_, document_, view_, QzFrameSizeSwitch(args_));
    connect(frame_, &CMainFrame::RecentFileChosen, this, &CQzApp::OnOpenRecentFile);
    connect(frame_, &CMainFrame::FileDropped, this,
            [this](const std::string& path) { OpenDocumentFile(path); });
    frame_->SetRecentFiles(app::PathTexts(recent_));
    messageBox_.SetOwner(frame_);
    inputLog_ = std::make_unique<CLogDlg>(QString::fromLatin1(kInputLogCaption), frame_);
    document_->SetLogWindow(inputLog_.get());

    frame_->show();
    frame_->ApplyStartSize();
    frame_->repaint();
    CheckColourDepth();

    if (commandLine_.command == QzCommandLineInfo::FileNew) return true;
    const bool libraryKnown = QzLibraryKnown(document_->Core().settings.ldrawDir);
    const bool opened = OpenDocumentFile(commandLine_.fileName);
    commandFailed_ = !opened;
    // Printing is not provided: "-p" and "-pt" only load the model, then end the program.
    if (commandLine_.command != QzCommandLineInfo::FileOpen) return false;
    // A first start without a library: the window stays for the user to choose one.
    if (!opened && !libraryKnown && plat::CanOpenForReading(commandLine_.fileName)) {
        commandFailed_ = false;
        OfferLibraryFolder(commandLine_.fileName);
        return true;
    }
    return opened;
}

int CQzApp::ExitInstance() {
    exited_ = true;
    if (previousMessageBox_) {
        plat::SetMessageBoxHandler(previousMessageBox_);
        previousMessageBox_ = nullptr;
    }
    if (frame_) {
        document_->SetLogWindow(nullptr);
        inputLog_.reset();
        app::SetModalDocument(nullptr);
        delete frame_;  // the view with it
        frame_ = nullptr;
        view_ = nullptr;
        delete document_;
        document_ = nullptr;
        settings_.sync();
    }
    return commandFailed_ ? 1 : 0;
}

void CQzApp::CheckColourDepth() {
    const QScreen* screen = frame_->screen();
    const std::string warning = QzColourDepthWarning(screen ? screen->depth() : 32);
    if (!warning.empty()) plat::ShowMessage(warning, plat::MessageKind::Information);
}

void CQzApp::OnFileOpen() {
    const QString start = document_->PathName().isEmpty()
                              ? QString()
                              : QFileInfo(document_->PathName()).absolutePath();
    QFileDialog dialog(frame_, tr("Open"), start, QString::fromLatin1(kOpenFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenDocumentFile(dialog.selectedFiles().first());
}

bool CQzApp::OpenDocumentFile(const QString& path) {
    return OpenDocumentFile(app::PathBytes(path));
}

bool CQzApp::OpenDocumentFile(const std::string& path) {
    const std::string full = app::AbsolutePath(path);
    // A model opens at its last step, the whole main model.
    view_->State().step = 0;
    view_->State().submodel.clear();
    if (!document_->OnOpenDocument(full)) return false;
    AddToRecentFileList(QByteArray::fromStdString(full));
    return true;
}

void CQzApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= recent_.size()) return;
    const QByteArray path = recent_[index];
    // A file that cannot be opened any more leaves the list.
    if (!OpenDocumentFile(path.toStdString())) {
        recent_.removeAll(path);
        SaveRecentFileList();
    }
}

void CQzApp::AddToRecentFileList(const QByteArray& path) {
    recent_.removeAll(path);
    recent_.prepend(path);
    while (recent_.size() > kRecentFiles) recent_.removeLast();
    SaveRecentFileList();
}

void CQzApp::SaveRecentFileList() {
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString key = Key(kRecentSection, "File") + QString::number(i);
        if (i <= recent_.size())
            settings_.setValue(key, app::PathSetting(recent_[i - 1].toStdString()));
        else
            settings_.remove(key);
    }
    if (frame_) frame_->SetRecentFiles(app::PathTexts(recent_));
}

void CQzApp::RememberHighQuality(bool on) {
    settings_.setValue(Key(kViewSettings, "HighQuality"), on);
}

bool CQzApp::OnSetLDrawDir() {
    CLDrawDirDlg dialog(frame_);
    std::string& current = document_->Core().settings.ldrawDir;
    std::string directory = current;
    if (!dialog.DoModal(directory)) return false;
    // Taken as typed; the next load uses it.
    current = directory;
    settings_.setValue(Key(kGeneralSettings, "LDrawDir"), app::PathSetting(directory));
    return true;
}

void CQzApp::OnRegisterFileTypes(int types) { ::RegisterFileTypes(*fileTypes_, types); }

void CQzApp::OnAppAbout() {
    CAboutDlg dialog(frame_);
    dialog.DoModal();
}

QzRenderState& CQzApp::State() { return view_->State(); }
QzModel& CQzApp::Model() { return document_->Model(); }
void CQzApp::SetPollMode(QzCmd mode) { document_->Core().SetPollMode(mode); }
void CQzApp::Reload() { document_->Core().Reload(); }
void CQzApp::ToggleCacheSubfiles() { document_->Core().ToggleCacheSubfiles(); }
void CQzApp::RegisterFileTypes(bool dat, bool mpd) {
    OnRegisterFileTypes((dat ? QZ_TYPE_DAT : 0) | (mpd ? QZ_TYPE_MPD : 0));
}
void CQzApp::WritePovFile() { view_->OnWritePovFile(); }
void CQzApp::ExportModel() { view_->OnExport(); }
void CQzApp::SavePicture() { view_->OnSavePicture(); }
void CQzApp::WriteInstructions() { view_->OnWriteInstructions(); }

void CQzApp::ShowSubmodel(const std::string& name) {
    if (!name.empty()) {
        QzPart* part = QzFindSubmodel(Model(), name);
        if (!part) return;
        // One the main model does not place is read through now; it stays unshown when
        // that fails (the log says why).
        if (!(part->flags & PF_RESOLVED) && document_->Core().ResolveSection(*part, true) == 2)
            return;
    }
    view_->ShowSubmodel(name);
    frame_->UpdateFrameTitle();
    frame_->UpdateCommandUI();
}
void CQzApp::Exit() { frame_->close(); }
void CQzApp::ToggleToolbar() { frame_->ToggleToolbar(); }
void CQzApp::ToggleStatusBar() { frame_->ToggleStatusBar(); }
void CQzApp::ShowTreeView() { view_->OnTreeView(); }
void CQzApp::ShowPartsList() { view_->OnPartsList(); }
void CQzApp::ShowZoom() { view_->OnZoom(); }
void CQzApp::ShowStatistics() { view_->OnStatistics(); }
void CQzApp::ToggleAutoZoom() { view_->OnAutoZoom(); }
void CQzApp::LoadBackgroundImage() { view_->OnBackgroundImage(); }
void CQzApp::OpenZarvelPage() { LaunchBrowser(kZarvelHomePage); }
void CQzApp::OpenTolpixPage() { LaunchBrowser(kTolpixHomePage); }
QzCmd CQzApp::PollMode() const { return document_->Core().pollMode; }
bool CQzApp::CachesSubfiles() const { return document_->Core().cacheSubfiles; }
bool CQzApp::AutoZoom() const { return view_->AutoZoom(); }
bool CQzApp::ToolbarShown() const { return frame_ && frame_->ToolbarShown(); }
bool CQzApp::StatusBarShown() const { return frame_ && frame_->StatusBarShown(); }

QString UsageText() {
    return QStringLiteral(
        "Usage: zarvel [SWITCHES] [MODEL]\n"
        "Shows an LDraw model (.ldr, .dat, .mpd), reports its faulty lines and reloads it\n"
        "when it changes on disk.\n"
        "\n"
        "Switches (a switch starts with \"-\"; poll and cache switches are case-sensitive):\n"
        "  -PollActivate        reload when the file changes, and bring the window forward\n"
        "  -PollSilent          reload when the file changes, in the background\n"
        "  -PollAsk             ask whether to reload when the window is activated (default)\n"
        "  -PollOff             never check; reload with F5\n"
        "  -NoCache             read every subfile again at each load\n"
        "  -vN                  window size: 0 320x200, 1 640x200, 2 640x350, 3 640x480,\n"
        "                       4 800x600, 5 1024x768, 6 1280x1024\n"
        "  -aA,B,C,D,E,F,G,H,I  start with this view matrix (nine numbers by rows, with\n"
        "                       commas, or with blanks in one quoted argument)\n"
        "  -p MODEL             load the model, show its problems, then end\n"
        "  --help               print this text\n"
        "  --version            print the version\n"
        "\n"
        "The LDraw library folder comes from the setting made with Edit > Set LDrawDir...,\n"
        "else from LDRAWDIR, else from BaseDirectory in section [LDraw] of\n"
        "$XDG_CONFIG_HOME/ldraw.ini (~/.config/ldraw.ini).\n");
}
