// The application object: start-up in its fixed order (settings, document, frame and
// view, the LDraw directory, the window, then the file of the command line), the
// recent files, and what the commands act on: it runs the program's own commands and
// hands the others to the document, the view and the frame.
#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QSettings>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "qtmessagebox.h"
#include "registration.h"
#include "settingsfile.h"
#include "switches.h"

class CLogDlg;
class CMainFrame;
class CQzDoc;
class CQzView;

class CQzApp : public QObject, public QzCommandTarget {
    Q_OBJECT

  public:
    // args: the process arguments after the program name, the toolkit's own removed,
    // as the bytes the process got (a file name need not be UTF-8) or as text.
    explicit CQzApp(std::vector<std::string> args);
    explicit CQzApp(const QStringList& args);
    ~CQzApp() override;

    // True to run the event loop, false to end the program at once (a failed open of the
    // command line's file, or "-p", which only loads).
    bool InitInstance();
    // Frees everything, once; returns the program's exit status.
    int ExitInstance();

    // File Open: the open dialog, then OpenDocumentFile.
    void OnFileOpen();
    // Opens a model as every way of opening does; true when it loaded.
    bool OpenDocumentFile(const std::string& path);
    bool OpenDocumentFile(const QString& path);
    void OnOpenRecentFile(int index);
    // The LDraw directory dialog; true when it was closed with OK.
    bool OnSetLDrawDir();
    void OnAppAbout();
    // "Register File Types": the extensions of the set (QZ_TYPE_DAT, QZ_TYPE_MPD).
    void OnRegisterFileTypes(int types);

    // QzCommandTarget
    QzRenderState& State() override;
    QzModel& Model() override;
    void OpenFile() override { OnFileOpen(); }
    void SetPollMode(QzCmd mode) override;
    void Reload() override;
    void ToggleCacheSubfiles() override;
    void RegisterFileTypes(bool dat, bool mpd) override;
    void WritePovFile() override;
    void ExportModel() override;
    void SavePicture() override;
    void WriteInstructions() override;
    void ShowSubmodel(const std::string& name) override;
    void Exit() override;
    void SetLDrawDir() override { OnSetLDrawDir(); }
    void ToggleToolbar() override;
    void ToggleStatusBar() override;
    void ShowTreeView() override;
    void ShowPartsList() override;
    void ShowZoom() override;
    void ShowStatistics() override;
    void ToggleAutoZoom() override;
    void LoadBackgroundImage() override;
    void OpenZarvelPage() override;
    void OpenTolpixPage() override;
    void ShowAbout() override { OnAppAbout(); }
    void RememberHighQuality(bool on) override;
    QzCmd PollMode() const override;
    bool CachesSubfiles() const override;
    bool AutoZoom() const override;
    bool ToolbarShown() const override;
    bool StatusBarShown() const override;
    // Where registrations are written: the user's freedesktop folders.
    QzFileTypeStore& FileTypeStore() { return *fileTypes_; }

    QSettings& Settings() { return settings_; }
    CMainFrame* Frame() const { return frame_; }
    CQzDoc* Document() const { return document_; }
    CQzView* View() const { return view_; }

    // The settings' company and application keys.
    static constexpr const char* kCompany = "Veltmark";
    static constexpr const char* kApplication = "Zarvel";
    static constexpr int kRecentFiles = 10;

  private:
    // After a model did not open for want of a library: the LDraw directory dialog until
    // a folder with a library is chosen, then the model. False when the user gave up.
    bool OfferLibraryFolder(const std::string& model);
    void AddToRecentFileList(const QByteArray& path);
    void SaveRecentFileList();
    void CheckColourDepth();

    std::vector<std::string> args_;
    std::string rawCommandLine_;
    QzCommandLineInfo commandLine_;
    app::SettingsFile settingsFile_;
    QSettings settings_;
    QByteArrayList recent_;  // paths as bytes
    app::QtMessageBox messageBox_;
    plat::MessageBoxHandler* previousMessageBox_ = nullptr;
    std::unique_ptr<CLogDlg> inputLog_;
    std::unique_ptr<QzFileTypeStore> fileTypes_;
    CQzDoc* document_ = nullptr;
    CQzView* view_ = nullptr;
    CMainFrame* frame_ = nullptr;
    bool commandFailed_ = false;
    bool exited_ = false;
};

// The text `zarvel --help` prints.
QString UsageText();
