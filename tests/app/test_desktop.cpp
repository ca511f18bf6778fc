// The desktop program's windows, driven as a user would, offscreen: start-up, loading
// through the document with the log window, dragging, zooming, reloading, the caption,
// the settings written and the goodbye. Modal windows are answered, never shown.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "aboutdlg.h"
#include "app.h"
#include "cli_run.h"
#include "commandids.h"
#include "diagnostics.h"
#include "doccore.h"
#include "document.h"
#include "inventory.h"
#include "ldrawdir.h"
#include "ldrawdirdlg.h"
#include "loader.h"
#include "logdlg.h"
#include "mainframe.h"
#include "measurements.h"
#include "modal.h"
#include "model.h"
#include "partslistdlg.h"
#include "pathtext.h"
#include "statistics.h"
#include "test_support.h"
#include "treeviewdlg.h"
#include "version.h"
#include "view.h"
#include "viewcore.h"
#include "zoomdlg.h"

namespace {

// What a modal window showed when the test answered it.
struct Shown {
    QString kind;     // the dialog's class
    QString caption;  // its window title
    QString text;     // a message box's or log window's text
};

class DesktopTest : public QObject {
    Q_OBJECT

  private:
    static std::string ReadWithoutDate(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        std::string text, line;
        while (std::getline(in, line))
            if (line.rfind("// Date:", 0) != 0) text += line + "\n";
        return text;
    }

    std::unique_ptr<CQzApp> app;
    QTemporaryDir models;
    std::vector<Shown> shown;
    // Answers the next modal windows; by default every window is closed at once.
    std::function<int(QDialog&)> answer;

    void Start(const QStringList& args, bool expectRunning = true) {
        app = std::make_unique<CQzApp>(args);
        QCOMPARE(app->InitInstance(), expectRunning);
    }
    // Writes a file of the test's folder as an editor saves one, with a new last-write
    // time even within the file system's time resolution. What the program has listed
    // of the folder is left as it is.
    QString Save(const QString& name, const std::string& text) {
        const QString path = models.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << text;
        static int touches = 0;
        std::filesystem::last_write_time(
            path.toStdString(),
            std::filesystem::file_time_type::clock::now() + std::chrono::seconds(++touches));
        return path;
    }
    // The same at the start of a test: the program has listed nothing yet.
    QString Write(const QString& name, const std::string& text) {
        const QString path = Save(name, text);
        plat::ClearPathCache();
        return path;
    }
    QString Title() const { return QString::fromStdString(app->Document()->Model().modelTitle); }
    // The text of the last modal window, for messages of failed checks.
    QString LastShown() const { return shown.empty() ? QString() : shown.back().text; }
    static QString MissingText(const QString& name) {
        return "Model file not found: " + name + "; waiting for it to come back";
    }
    CQzView* View() { return app->View(); }
    QzRenderState& State() { return app->View()->State(); }
    void Trigger(QzCmd command) { app->Frame()->Action(command)->trigger(); }
    void Mouse(QEvent::Type type, QPoint at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, View()->mapToGlobal(at), button, held, keys);
        QApplication::sendEvent(View(), &event);
    }

  private slots:
    void initTestCase() {
        QVERIFY(models.isValid());
        app::SetModalHandler([this](QDialog& dialog) {
            Shown s{dialog.metaObject()->className(), dialog.windowTitle(), {}};
            if (auto* box = qobject_cast<QMessageBox*>(&dialog)) s.text = box->text();
            if (auto* log = qobject_cast<CLogDlg*>(&dialog))
                s.text = log->TextArea()->toPlainText();
            shown.push_back(s);
            return answer ? answer(dialog) : int(QDialog::Rejected);
        });
    }
    void init() {
        qputenv("LDRAWDIR", testing_support::ExamplesDir().string().c_str());
        QSettings(CQzApp::kCompany, CQzApp::kApplication).clear();
        shown.clear();
        answer = nullptr;
    }
    void cleanup() { app.reset(); }

    void startsEmptyWithItsStartValues() {
        Start({});
        QCOMPARE(app->Frame()->windowTitle(), QString("Untitled - Zarvel"));
        const QzRenderOptions& o = State().options;
        QVERIFY(o.showType2 && o.showType3 && o.showType4 && o.showType5 && o.shading && o.bfc &&
                o.studsLast && o.ditherTransparency && o.dither256);
        QVERIFY(!o.seams && !o.refreshEachPart && !o.randomColours && !o.allTransparent);
        QCOMPARE(State().palette.scheme, 0);
        QCOMPARE(State().zoom, 100);
        QVERIFY(State().skewView);
        QVERIFY(app->Document()->Core().pollMode == QzCmd::PollAsk);
        QVERIFY(app->Frame()->Action(QzCmd::Bfc)->isChecked());
        QVERIFY(app->Frame()->Action(QzCmd::CacheSubfiles)->isChecked());
        QVERIFY(app->Frame()->Action(QzCmd::PollAsk)->isChecked());
        for (QzCmd command :
             {QzCmd::EditUndo, QzCmd::EditCut, QzCmd::EditCopy, QzCmd::EditPaste,
              QzCmd::FileStatistics, QzCmd::Toolbar32816, QzCmd::Toolbar32852, QzCmd::Toolbar32853})
            QVERIFY2(!app->Frame()->Action(command)->isEnabled(),
                     qPrintable(QString::number(QzCommandOf(command).id)));
        QCOMPARE(app->Frame()->IdlePane()->text(), QString(kIdleText));
        QCOMPARE(app->Frame()->Action(QzCmd::Shading)->statusTip(),
                 QString("Turn shading on or off"));
        QCOMPARE(app->Frame()->Action(QzCmd::Shading)->toolTip(), QString("Shading"));
        QCOMPARE(app->Frame()->Action(QzCmd::FileOpen)->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(app->Frame()->Action(QzCmd::Reload)->shortcut(), QKeySequence("F5"));
        QVERIFY(shown.empty());
    }

    void opensTheModelOfTheCommandLine() {
        // An absolute path starts with "/" and is a file, not a switch; it opens under the
        // names stored on disk.
        const QString path = Write("Tidy.ldr",
                                   "0 Tidy model\n0 Author: A. Builder\n"
                                   "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({models.filePath("tidy.LDR"), "-PollSilent"});
        QCOMPARE(app->Document()->PathName(), path);
        QCOMPARE(app->Frame()->windowTitle(),
                 QString("Tidy.ldr - Zarvel  \"Tidy model\"  Author: A. Builder"));
        QVERIFY(shown.empty());  // nothing logged: no log window
        QVERIFY(app->Document()->Core().pollMode == QzCmd::PollSilent);
        QVERIFY(app->Document()->Core().pollTimer != 0);
        QVERIFY(app->Frame()->DrawingPane()->text().startsWith("2:"));

        // The settings: the library folder found in LDRAWDIR, the file among the recent.
        app.reset();
        QSettings settings(CQzApp::kCompany, CQzApp::kApplication);
        QCOMPARE(settings.value("General settings/LDrawDir").toString(),
                 QString::fromStdString(testing_support::ExamplesDir().string()));
        QCOMPARE(settings.value("Recent File List/File1").toString(), path);
        QVERIFY(settings.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    }

    void aSettingsFileThatIsNoFileIsNeitherReadNorWritten() {
        // Opening the settings would wait for a writer of the pipe for good.
        const QString file = QSettings(CQzApp::kCompany, CQzApp::kApplication).fileName();
        QFile::remove(file);
        QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        const struct Removal {
            QString path;
            ~Removal() { QFile::remove(path); }
        } removal{file};
        Start({});
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(shown[0].text, "The settings file " + file +
                                    " is not a regular file.\nZarvel starts with its default "
                                    "settings and does not save them.");
        // The settings of this run work; the pipe stays a pipe.
        answer = [](QDialog& d) {
            d.findChild<QLineEdit*>()->setText("/for/this/run");
            return int(QDialog::Accepted);
        };
        Trigger(QzCmd::SetLDrawDir);
        QCOMPARE(app->Settings().value("General settings/LDrawDir").toString(),
                 QString("/for/this/run"));
        app.reset();
        QVERIFY(std::filesystem::is_fifo(file.toStdString()));
    }

    void pathsThatAreNotUtf8KeepTheirBytes() {
        // A library folder and a model named in Latin-1, as older systems wrote them.
        QTemporaryDir root;
        const std::string library = QFile::encodeName(root.path()).toStdString() + "/lib\xe9";
        std::filesystem::copy(testing_support::ExamplesDir(), library,
                              std::filesystem::copy_options::recursive);
        qputenv("LDRAWDIR", QByteArray::fromStdString(library));
        const std::string model = QFile::encodeName(models.path()).toStdString() + "/caf\xe9.ldr";
        std::ofstream(model) << "0 Cafe\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        plat::ClearPathCache();
        // The toolkit cannot remove what it cannot name.
        const struct Removal {
            std::string library, model;
            ~Removal() {
                std::filesystem::remove_all(library);
                std::filesystem::remove(model);
            }
        } removal{library, model};

        app = std::make_unique<CQzApp>(std::vector<std::string>{model});
        QVERIFY(app->InitInstance());
        QVERIFY(shown.empty());  // neither "Cannot parse path" nor a failed part
        QCOMPARE(app->Document()->Core().pathName, model);
        QCOMPARE(app->Document()->Model().modelTitle, std::string("Cafe"));
        QCOMPARE(app->Document()->Core().settings.ldrawDir, library);

        // The dialog's OK without an edit keeps the folder as it is.
        answer = [](QDialog&) { return int(QDialog::Accepted); };
        Trigger(QzCmd::SetLDrawDir);
        QCOMPARE(app->Document()->Core().settings.ldrawDir, library);

        // Dropped as a URL, the model opens too.
        QVERIFY(app->OpenDocumentFile(Write("plain.ldr", "0 Plain\n")));
        QCOMPARE(app->Document()->Model().modelTitle, std::string("Plain"));
        QMimeData data;
        data.setData("text/uri-list",
                     "file://" + QByteArray::fromStdString(model).toPercentEncoding("/") + "\r\n");
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the frame: the application would want a drag in progress.
        static_cast<QObject*>(app->Frame())->event(&drop);
        QCOMPARE(app->Document()->Core().pathName, model);

        // The settings hold the bytes, and the next start finds them again.
        app.reset();
        {
            QSettings settings(CQzApp::kCompany, CQzApp::kApplication);
            QCOMPARE(settings.value("General settings/LDrawDir").toByteArray().toStdString(),
                     library);
            QCOMPARE(settings.value("Recent File List/File1").toByteArray().toStdString(), model);
        }
        qputenv("LDRAWDIR", "/not/used");
        shown.clear();
        Start({});
        QCOMPARE(app->Document()->Core().settings.ldrawDir, library);
        app->OnOpenRecentFile(0);
        QCOMPARE(app->Document()->Core().pathName, model);
        QVERIFY(shown.empty());
    }

    void aLoadShowsWhatItReads() {
        const QString path = Write("busy.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({});
        QSignalSpy progress(app->Document(), &CQzDoc::Progress);
        QVERIFY(app->OpenDocumentFile(path));
        QVERIFY(progress.size() >= 2);
        QCOMPARE(progress.first().at(0).toString(), QString("Loading busy.ldr..."));
        QCOMPARE(progress.last().at(0).toString(), QString());
        QVERIFY(!QApplication::overrideCursor());
    }

    void recentFilesAreNumberedOneToTen() {
        Start({});
        QStringList paths;
        for (int i = 1; i <= 11; ++i) {
            paths << Write(QString("recent%1.ldr").arg(i),
                           "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
            QVERIFY(app->OpenDocumentFile(paths.last()));
        }
        // Newest first; ten kept; the tenth's access key is the 0 of "10".
        QCOMPARE(app->Frame()->RecentAction(0)->text(), "&1 " + paths[10]);
        QCOMPARE(app->Frame()->RecentAction(8)->text(), "&9 " + paths[2]);
        QCOMPARE(app->Frame()->RecentAction(9)->text(), "1&0 " + paths[1]);
        // Choosing one opens it.
        app->Frame()->RecentAction(9)->trigger();
        QCOMPARE(app->Document()->PathName(), paths[1]);
    }

    void showsTheInputLogAfterALoad() {
        const QString path = Write("odd.ldr", "1 999 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({path});
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(shown[0].kind, QString("CLogDlg"));
        QCOMPARE(shown[0].caption, QString("Warnings and errors during input"));
        QCOMPARE(shown[0].text, QString("WARNING \"" + path +
                                        "\" Line 1: Unknown color, using 7: 1 999 0 0 0 1 0 0 "
                                        "0 1 0 0 0 1 zb1x1.dat\n"));
    }

    void aModelThatDoesNotOpenEndsTheProgram() {
        Start({models.filePath("none.ldr")}, false);
        QCOMPARE(int(shown.size()), 2);
        QCOMPARE(shown[0].text,
                 QString("Cannot parse path: \"" + models.filePath("none.ldr") + "\""));
        QCOMPARE(shown[1].text, QString("Failed to open document."));
        QCOMPARE(app->ExitInstance(), 1);
    }

    void aFirstStartWithoutALibraryOffersOneThenOpensTheModel() {
        qunsetenv("LDRAWDIR");
        const QString path = Write("first.ldr", "0 First\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        const QString library = QString::fromStdString(testing_support::ExamplesDir().string());
        int dialogs = 0;
        answer = [&](QDialog& d) {
            if (!qobject_cast<CLDrawDirDlg*>(&d)) return int(QMessageBox::Ok);
            // A folder without a library first, then the library.
            d.findChild<QLineEdit*>()->setText(++dialogs == 1 ? models.path() : library);
            return int(QDialog::Accepted);
        };
        Start({path});
        QCOMPARE(int(shown.size()), 4);
        QCOMPARE(shown[0].text, QString("LDRAWDIR not set.\nSpecify directory in the Edit menu."));
        QCOMPARE(shown[1].caption, QString("LDraw Directory"));
        QCOMPARE(shown[2].text, "There is no LDraw library in\n" + models.path() +
                                    "\nSelect the folder that holds the folders P and PARTS.");
        QCOMPARE(shown[3].caption, QString("LDraw Directory"));
        QCOMPARE(app->Document()->PathName(), path);
        QCOMPARE(app->Frame()->windowTitle(), QString("first.ldr - Zarvel  \"First\""));
        QCOMPARE(QSettings(CQzApp::kCompany, CQzApp::kApplication)
                     .value("General settings/LDrawDir")
                     .toString(),
                 library);
    }

    void aFirstStartWithoutALibraryKeepsTheWindowWhenTheUserCancels() {
        qunsetenv("LDRAWDIR");
        const QString path = Write("first.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({path});
        QCOMPARE(int(shown.size()), 2);
        QCOMPARE(shown[0].text, QString("LDRAWDIR not set.\nSpecify directory in the Edit menu."));
        QCOMPARE(shown[1].caption, QString("LDraw Directory"));
        QVERIFY(app->Frame()->isVisible());
        QCOMPARE(app->Frame()->windowTitle(), QString("Untitled - Zarvel"));
        QCOMPARE(app->ExitInstance(), 0);
    }

    void printSwitchWithoutALibraryEndsTheProgram() {
        qunsetenv("LDRAWDIR");
        const QString path = Write("print.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({"-p", path}, false);
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(shown[0].text, QString("LDRAWDIR not set.\nSpecify directory in the Edit menu."));
        QCOMPARE(app->ExitInstance(), 1);
    }

    void printSwitchLoadsAndEnds() {
        const QString path = Write("print.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({"-p", path}, false);
        QCOMPARE(app->Document()->Model().Loaded(), true);
        QCOMPARE(app->ExitInstance(), 0);
    }

    void windowSizeAndViewSwitches() {
        Start({"-v4", "-a0,0,1,0,1,0,-1,0,0"});
        QCOMPARE(app->Frame()->frameGeometry().size(), QSize(800, 600));
        const std::array<float, 16> expected = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
        QCOMPARE(State().GetViewMatrix(), expected);
    }

    void dragTurnsTheModelWithThePreviewOfTheKeys() {
        const QString path = Write("drag.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb2x2.dat\n");
        Start({path});
        const QPoint start(100, 100);
        struct Case {
            Qt::KeyboardModifiers keys;
            int mode;
        };
        for (const Case& c :
             {Case{Qt::NoModifier, 3}, Case{Qt::ShiftModifier, 2}, Case{Qt::ControlModifier, 1},
              Case{Qt::ControlModifier | Qt::ShiftModifier, 1}}) {
            Mouse(QEvent::MouseButtonPress, start, c.keys);
            QVERIFY(View()->HasCapture());
            QVERIFY(State().dragging);
            QCOMPARE(State().dragMode, c.mode);
            // The preview of boxes counts no lines; the full drawing does.
            QCOMPARE(View()->Statistics().typeCount[3] + View()->Statistics().typeCount[4] > 0,
                     c.mode == 1);
            Mouse(QEvent::MouseButtonRelease, start, c.keys);
            QVERIFY(!State().dragging);
        }
        // A click starting from the skewed view 0 leaves the pure rotation of 30, 45.
        QVERIFY(!State().skewView);
        QzNullSink sink;
        QzRenderState expected(&sink);
        expected.SetViewAngles(30, 45);
        QCOMPARE(State().GetViewMatrix(), expected.GetViewMatrix());

        // 100 pixels to the right, in two steps, the last one the release outside.
        Mouse(QEvent::MouseButtonPress, start);
        Mouse(QEvent::MouseMove, start + QPoint(40, 0), Qt::ShiftModifier);
        QCOMPARE(State().dragMode, 2);
        Mouse(QEvent::MouseButtonRelease, start + QPoint(100, 0));
        expected.RotateView(100, 0);
        const std::array<float, 16> got = State().GetViewMatrix();
        const std::array<float, 16> want = expected.GetViewMatrix();
        for (int i = 0; i < 16; ++i) QVERIFY(std::abs(got[i] - want[i]) < 1e-5f);
        // About the vertical axis by 1.7444 radians: the screen's y row is unchanged.
        QVERIFY(std::abs(got[4] - want[4]) < 1e-6f);
        QVERIFY(View()->Statistics().typeCount[3] + View()->Statistics().typeCount[4] >
                0);  // full picture
        // Moves without a pressed button turn nothing.
        Mouse(QEvent::MouseMove, start + QPoint(300, 300));
        QCOMPARE(State().GetViewMatrix(), got);
    }

    void viewShowsWhatTheCommandLineDraws() {
        const QString path =
            testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd");
        Start({path, "-v3"});
        app->Frame()->resize(400, 330);
        QCoreApplication::processEvents();
        const QSize size = View()->size();
        const QImage onScreen = View()->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QCOMPARE(onScreen.size(), size);
        QzViewCore core;
        core.State().view = State().view;
        core.State().skewView = State().skewView;
        QVERIFY(core.Resize(size.width(), size.height()));
        core.Draw(app->Document()->Model());
        const std::vector<uint8_t> rgb = core.RgbPixels();
        int differing = 0;
        for (int y = 0; y < onScreen.height(); ++y) {
            const uchar* line = onScreen.constScanLine(y);
            const size_t row = size_t(size.width()) * 3;
            differing += std::memcmp(line, rgb.data() + y * row, row) != 0;
        }
        QCOMPARE(differing, 0);
    }

    void stepCommandsAndTheStatusBar() {
        const std::string threeSteps =
            "1 4 -40 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n1 1 40 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
            "0 STEP\n1 2 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n0 ROTSTEP 0 90 0 ABS\n"
            "1 14 20 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        const QString path = Write("steps.ldr", threeSteps);
        Start({path, "-PollOff"});
        CMainFrame* frame = app->Frame();
        const auto pane = [&] {
            QCoreApplication::processEvents();
            return frame->StepPane()->text();
        };
        QCOMPARE(pane(), QString("Step 3/3"));
        const QzCmd steps[] = {QzCmd::FirstStep, QzCmd::PreviousStep, QzCmd::NextStep,
                               QzCmd::LastStep};
        const char* keys[] = {"Home", "PgUp", "PgDown", "End"};
        const char* texts[] = {"First Step", "Previous Step", "Next Step", "Last Step"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(frame->Action(steps[i])->shortcut(), QKeySequence(keys[i]));
            QCOMPARE(frame->Action(steps[i])->text(), QString(texts[i]));
            QVERIFY(frame->ToolBar()->actions().contains(frame->Action(steps[i])));
        }
        const int whole = View()->Statistics().typeCount[4];
        Trigger(QzCmd::FirstStep);
        QCOMPARE(pane(), QString("Step 1/3"));
        QCOMPARE(View()->Statistics().typeCount[4], whole / 2);  // two bricks of four
        Trigger(QzCmd::PreviousStep);
        QCOMPARE(pane(), QString("Step 1/3"));
        Trigger(QzCmd::NextStep);
        QCOMPARE(pane(), QString("Step 2/3"));
        // The view shows what the command line draws for the step.
        const QImage onScreen = View()->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QzViewCore core;
        core.State().view = State().view;
        core.State().step = 2;
        QVERIFY(core.Resize(View()->width(), View()->height()));
        core.Draw(app->Document()->Model());
        const std::vector<uint8_t> rgb = core.RgbPixels();
        for (int y = 0; y < onScreen.height(); ++y)
            QVERIFY(std::memcmp(onScreen.constScanLine(y), rgb.data() + y * View()->width() * 3,
                                size_t(View()->width()) * 3) == 0);
        Trigger(QzCmd::NextStep);
        QCOMPARE(pane(), QString("Step 3/3"));
        QCOMPARE(View()->Statistics().typeCount[4], whole);
        Trigger(QzCmd::NextStep);
        QCOMPARE(pane(), QString("Step 3/3"));
        Trigger(QzCmd::PreviousStep);
        Trigger(QzCmd::LastStep);
        QCOMPARE(pane(), QString("Step 3/3"));

        // A reload keeps a step that still exists ...
        Trigger(QzCmd::PreviousStep);
        Write("steps.ldr", threeSteps + "0 STEP\n1 15 0 -24 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Trigger(QzCmd::Reload);
        QCOMPARE(pane(), QString("Step 2/4"));
        // ... else shows the last; at the last step it follows the new last step.
        Write("steps.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Trigger(QzCmd::Reload);
        QCOMPARE(pane(), QString("Step 1/1"));
        Write("steps.ldr", threeSteps);
        Trigger(QzCmd::Reload);
        QCOMPARE(pane(), QString("Step 3/3"));
        // Opening a model shows its last step.
        Trigger(QzCmd::FirstStep);
        QVERIFY(app->OpenDocumentFile(path));
        QCOMPARE(pane(), QString("Step 3/3"));
    }

    void submodelsAreChosenFromTheMenuAndTheToolbar() {
        const std::string roof =
            "0 FILE roof.ldr\n0 Roof\n"
            "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n0 STEP\n"
            "1 1 20 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n0 STEP\n"
            "1 2 40 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        const std::string spare = "0 FILE Spare.ldr\n1 14 0 0 0 1 0 0 0 1 0 0 0 1 zb2x2.dat\n";
        const std::string main =
            "0 FILE cabin.ldr\n0 Cabin\n"
            "1 15 0 0 0 1 0 0 0 1 0 0 0 1 zb1x2.dat\n0 STEP\n"
            "1 16 0 -24 0 1 0 0 0 1 0 0 0 1 roof.ldr\n";
        // pin.dat is a part of the file's own: no submodel.
        const std::string pin = "0 FILE pin.dat\n1 0 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        const QString path = Write("cabin.mpd", main + roof + spare + pin);
        Start({path, "-PollOff"});
        CMainFrame* frame = app->Frame();
        QComboBox* box = frame->SubmodelBox();
        const auto pane = [&] {
            QCoreApplication::processEvents();
            return frame->StepPane()->text();
        };
        const QStringList names{"cabin.ldr (main model)", "roof.ldr", "Spare.ldr"};
        QStringList listed, menu;
        for (int i = 0; i < box->count(); ++i) listed << box->itemText(i);
        for (QAction* action : frame->SubmodelMenu()->actions()) menu << action->text();
        QCOMPARE(listed, names);
        QCOMPARE(menu, names);
        QVERIFY(box->isEnabled() && frame->SubmodelMenu()->isEnabled());
        QCOMPARE(box->currentIndex(), 0);
        QVERIFY(frame->ToolBar()->isAncestorOf(box));
        QCOMPARE(frame->SubmodelMenu()->title(), QString("S&ubmodel"));
        QCOMPARE(pane(), QString("Step 2/2"));

        // From the menu: the submodel, from its last step, named in the caption.
        frame->SubmodelMenu()->actions()[1]->trigger();
        QCOMPARE(QString::fromStdString(State().submodel), QString("roof.ldr"));
        QCOMPARE(frame->windowTitle(), QString("cabin.mpd [roof.ldr] - Zarvel  \"Cabin\""));
        QCOMPARE(pane(), QString("Step 3/3"));
        QCOMPARE(box->currentIndex(), 1);
        QVERIFY(frame->SubmodelMenu()->actions()[1]->isChecked());
        Trigger(QzCmd::FirstStep);
        QCOMPARE(pane(), QString("Step 1/3"));
        // The view shows what the command line draws for it.
        const QImage onScreen = View()->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QzViewCore core;
        core.State().view = State().view;
        core.State().submodel = "ROOF.LDR";
        core.State().step = 1;
        QVERIFY(core.Resize(View()->width(), View()->height()));
        core.Draw(app->Document()->Model());
        const std::vector<uint8_t> rgb = core.RgbPixels();
        for (int y = 0; y < onScreen.height(); ++y)
            QVERIFY(std::memcmp(onScreen.constScanLine(y), rgb.data() + y * View()->width() * 3,
                                size_t(View()->width()) * 3) == 0);
        // The statistics report speaks of it.
        Trigger(QzCmd::Statistics);
        QVERIFY2(shown.back().text.startsWith("Title:\tRoof\n"), qPrintable(LastShown()));

        // From the toolbar: a submodel the main model does not place is read through.
        emit box->activated(2);
        QCOMPARE(QString::fromStdString(State().submodel), QString("Spare.ldr"));
        QCOMPARE(frame->windowTitle(), QString("cabin.mpd [Spare.ldr] - Zarvel  \"Cabin\""));
        QCOMPARE(pane(), QString("Step 1/1"));
        QVERIFY(View()->Statistics().typeCount[4] > 0);

        // A reload keeps the choice while the file has the submodel ...
        Write("cabin.mpd", main + spare + roof);
        Trigger(QzCmd::Reload);
        QCOMPARE(frame->windowTitle(), QString("cabin.mpd [Spare.ldr] - Zarvel  \"Cabin\""));
        QCOMPARE(box->currentIndex(), 1);
        QVERIFY(View()->Statistics().typeCount[4] > 0);
        // ... else shows the main model.
        Write("cabin.mpd", main + roof);
        Trigger(QzCmd::Reload);
        QVERIFY(State().submodel.empty());
        QCOMPARE(frame->windowTitle(), QString("cabin.mpd - Zarvel  \"Cabin\""));
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(pane(), QString("Step 2/2"));
        // Opening a model shows its main model.
        frame->SubmodelMenu()->actions()[1]->trigger();
        QVERIFY(app->OpenDocumentFile(path));
        QVERIFY(State().submodel.empty());
        QCOMPARE(box->currentIndex(), 0);
        // A model of one file has nothing to choose.
        QVERIFY(app->OpenDocumentFile(Write("one.ldr", "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n")));
        QCOMPARE(box->count(), 1);
        QVERIFY(!box->isEnabled() && !frame->SubmodelMenu()->isEnabled());
    }

    void writeInstructionsWithProgressAndCancel() {
        const QString model =
            testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd");
        Start({model, "-PollOff"});
        QCOMPARE(app->Frame()->Action(QzCmd::WriteInstructions)->text(),
                 QString("Write &Instructions..."));
        const QString folder = models.filePath("house guide");
        QDir().mkpath(folder);
        QString start;
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                if (files->fileMode() != QFileDialog::Directory) return int(QDialog::Rejected);
                start = files->directory().absolutePath();
                files->selectFile(folder);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::No);
        };
        Trigger(QzCmd::WriteInstructions);
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[0].caption, QString("Write Instructions"));
        QCOMPARE(start, QFileInfo(model).absolutePath());
        const QString index = folder + "/index.html";
        QCOMPARE(shown[1].text, "Wrote 3 steps to " + index + ".\nOpen them in your browser?");
        QVERIFY(QFileInfo::exists(index));
        QVERIFY(QFileInfo::exists(folder + "/step-0003.png"));
        QVERIFY(View()->findChildren<QProgressDialog*>().isEmpty() ||
                !View()->findChildren<QProgressDialog*>().first()->isVisible());

        // Cancel in the progress window: no index.html, no box.
        shown.clear();
        const QString other = models.filePath("cancelled guide");
        QDir().mkpath(other);
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(other);
                // The progress window is cancelled as soon as it shows.
                QTimer::singleShot(0, View(), [this] {
                    for (QProgressDialog* p : View()->findChildren<QProgressDialog*>()) p->cancel();
                });
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::No);
        };
        Trigger(QzCmd::WriteInstructions);
        QCOMPARE(shown.size(), size_t(1));
        QVERIFY(!QFileInfo::exists(other + "/index.html"));

        // A folder that is a file: the reason in a box.
        shown.clear();
        const QString file = Write("not a folder", "text");
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(file);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::WriteInstructions);
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[1].text, "Could not write the instructions:\n" + file + " is not a folder");
    }

    void partsListWindowAndItsCsv() {
        const QString path = Write("parts list.ldr",
                                   "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
                                   "1 4 20 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
                                   "1 1 0 -24 0 1 0 0 0 1 0 0 0 1 zb2x2.dat\n"
                                   "1 1 0 -48 0 1 0 0 0 1 0 0 0 1 gone.dat\n");
        Start({path});
        QList<QStringList> rows;
        QStringList afterSort;
        QString total, proposed;
        const QString csv = models.filePath("saved parts.csv");
        answer = [&](QDialog& d) {
            if (auto* parts = qobject_cast<CPartsListDlg*>(&d)) {
                QStandardItemModel* items = parts->Rows();
                for (int r = 0; r < items->rowCount(); ++r) {
                    QStringList row;
                    for (int c = 0; c < items->columnCount(); ++c) row << items->item(r, c)->text();
                    rows << row;
                }
                total = parts->Total()->text();
                parts->Table()->sortByColumn(3, Qt::DescendingOrder);
                for (int r = 0; r < items->rowCount(); ++r) afterSort << items->item(r, 0)->text();
                parts->SaveButton()->click();
                return int(QDialog::Accepted);
            }
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                proposed = QFileInfo(files->selectedFiles().value(0)).fileName();
                files->selectFile(csv);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        };
        Trigger(QzCmd::PartsList);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], QStringList({"gone.dat", "1", "Blue", "1", "(missing)"}));
        QCOMPARE(rows[1], QStringList({"zb1x1.dat", "4", "Red", "2", "Brick  1 x  1"}));
        QCOMPARE(rows[2], QStringList({"zb2x2.dat", "1", "Blue", "1", "Brick  2 x  2"}));
        QCOMPARE(total, QString("Total: 4 parts, 1 missing"));
        QCOMPARE(afterSort.first(), QString("zb1x1.dat"));
        QCOMPARE(proposed, QString("parts list.csv"));
        std::ifstream in(csv.toStdString(), std::ios::binary);
        const std::string written((std::istreambuf_iterator<char>(in)), {});
        QCOMPARE(written, inspect::PartsCsv(inspect::ListParts(
                              app->Document()->Model(), testing_support::ExamplesDir().string())));
        QVERIFY(written.rfind("part,colour,colour_name,quantity,description\r\ngone.dat,", 0) == 0);
    }

    void partsListPastThePartTableSaysItIsIncomplete() {
        // The main model, the brick and 1998 submodels fill the table.
        std::string text = "0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        for (int i = 1; i <= 2000; ++i)
            text += "1 4 0 0 0 1 0 0 0 1 0 0 0 1 s" + std::to_string(i) + ".ldr\n";
        for (int i = 1; i <= 2000; ++i)
            text +=
                "0 FILE s" + std::to_string(i) + ".ldr\n1 16 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        Start({Write("past the table.mpd", text)});
        QString total;
        answer = [&](QDialog& d) {
            if (auto* parts = qobject_cast<CPartsListDlg*>(&d)) total = parts->Total()->text();
            return int(QDialog::Rejected);
        };
        Trigger(QzCmd::PartsList);
        // The brick's own primitives come after the submodels: they are left out too.
        QCOMPARE(total, QString("Total: 1999 parts\nIncomplete: past the part table's 2000 "
                                "files, 4 files were left out: s1999.ldr, s2000.ldr, box5.dat, "
                                "stud.dat"));
    }

    void zoomDialogAndWheel() {
        Start({});
        struct Case {
            QString typed;
            bool ok;
            int zoom;
        };
        for (const Case& c : {Case{"250abc", true, 250}, Case{"abc", true, 0},
                              Case{"-50", true, -50}, Case{"75", false, -50}}) {
            answer = [&](QDialog& d) {
                auto& zoom = static_cast<CZoomDlg&>(d);
                zoom.Slider()->setValue(zoom.Slider()->maximum());
                zoom.UpArrow()->click();
                zoom.Field()->setText(c.typed);
                return int(c.ok ? QDialog::Accepted : QDialog::Rejected);
            };
            Trigger(QzCmd::Zoom);
            QCOMPARE(State().zoom, c.zoom);
        }
        QCOMPARE(shown.back().caption, QString("Zoom"));
        State().zoom = 100;
        QWheelEvent wheel(QPointF(10, 10), View()->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(View(), &wheel);
        QCOMPARE(State().zoom, 121);
    }

    void pollingReloadsAndWaitsForModalWindows() {
        const QString path = Write("poll.ldr", "0 First\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({path});
        Trigger(QzCmd::PollSilent);
        QVERIFY(app->Frame()->Action(QzCmd::PollSilent)->isChecked());
        Write("poll.ldr", "0 Second\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        QTRY_COMPARE(QString::fromStdString(app->Document()->Model().modelTitle),
                     QString("Second"));
        QTRY_VERIFY(app->Frame()->windowTitle().contains("\"Second\""));

        // While the zoom dialog is open, ticks change nothing; the check runs after it.
        answer = [&](QDialog&) {
            Write("poll.ldr", "0 Third\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
            QTest::qWait(1200);
            return int(app->Document()->Model().modelTitle == "Second" ? QDialog::Rejected
                                                                       : QDialog::Accepted);
        };
        const int zoom = State().zoom;
        Trigger(QzCmd::Zoom);
        QCOMPARE(State().zoom, zoom);  // rejected: the model stayed as it was
        QCOMPARE(QString::fromStdString(app->Document()->Model().modelTitle), QString("Third"));

        // Manual reload: nothing until F5.
        Trigger(QzCmd::PollOff);
        Write("poll.ldr", "0 Fourth\n");
        QTest::qWait(700);
        QCOMPARE(QString::fromStdString(app->Document()->Model().modelTitle), QString("Third"));
        Trigger(QzCmd::Reload);
        QCOMPARE(QString::fromStdString(app->Document()->Model().modelTitle), QString("Fourth"));
    }

    // Editors that save by renaming the old file away (m.ldr~) and writing a new one a
    // moment later: the status bar says the file is missing meanwhile, and each save is
    // reloaded, without a box, in both polling modes.
    void pollingFollowsSavesByRename() {
        for (const char* mode : {"-PollSilent", "-PollActivate"}) {
            const QString path = Write("renamed.ldr", "0 First\n");
            Start({path, mode});
            const QLabel* idle = app->Frame()->IdlePane();
            for (int save = 1; save <= 3; ++save) {
                std::filesystem::rename(path.toStdString(), path.toStdString() + "~");
                QTRY_COMPARE(idle->text(), MissingText("renamed.ldr"));
                const QString title = QString("Save %1").arg(save);
                Save("renamed.ldr", "0 " + title.toStdString() + "\n");
                QTRY_COMPARE(Title(), title);
                QCOMPARE(idle->text(), QString(kIdleText));
                QVERIFY(app->Document()->Core().pollTimer != 0);
            }
            QVERIFY2(shown.empty(), qPrintable(LastShown()));
            app.reset();
        }
    }

    void aModelFileGoneForGoodGivesOneBox() {
        const QString path = Write("gone.ldr", "0 Here\n");
        Start({path, "-PollSilent"});
        std::filesystem::rename(path.toStdString(), path.toStdString() + "~");
        QTRY_COMPARE(app->Frame()->IdlePane()->text(), MissingText("gone.ldr"));
        QVERIFY(shown.empty());
        QTRY_COMPARE_WITH_TIMEOUT(int(shown.size()), 1, 2 * QzDocument::kMissingReportMs);
        QCOMPARE(shown[0].kind, QString("QMessageBox"));
        QCOMPARE(shown[0].text, "Failed read timestamp of '" + path + "'.");
        // The ticks go on without a second box (nothing to wait for but time) ...
        QTest::qWait(4 * QzDocument::kPollIntervalMs);
        QCOMPARE(int(shown.size()), 1);
        QCOMPARE(app->Frame()->IdlePane()->text(), MissingText("gone.ldr"));
        // ... and find the file when it is back.
        Save("gone.ldr", "0 Back\n");
        QTRY_COMPARE(Title(), QString("Back"));
        QCOMPARE(app->Frame()->IdlePane()->text(), QString(kIdleText));
        QCOMPARE(int(shown.size()), 1);
    }

    // What the user does with files the program listed before: every way of opening sees
    // the folder as it is now, not as the last load found it.
    void aModelSavedBesideTheOpenOneOpens() {
        const QString first = Write("beside.ldr", "0 Beside\n");
        const QString recent = models.filePath("beside-recent.ldr");
        QFile::remove(recent);
        QSettings(CQzApp::kCompany, CQzApp::kApplication)
            .setValue("Recent File List/File1", recent);
        Start({first});
        QCOMPARE(Title(), QString("Beside"));

        const QString byOpen = Save("beside-open.ldr", "0 By Open\n");
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(byOpen);
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        };
        Trigger(QzCmd::FileOpen);
        QVERIFY2(shown.size() == 1, qPrintable(LastShown()));  // the file dialog only
        QCOMPARE(app->Document()->PathName(), byOpen);
        QCOMPARE(Title(), QString("By Open"));

        const QString byDrop = Save("beside-drop.ldr", "0 By Drop\n");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(byDrop)});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(app->Frame())->event(&drop);
        QVERIFY2(shown.size() == 1, qPrintable(LastShown()));
        QCOMPARE(app->Document()->PathName(), byDrop);

        // The recent entry of an earlier run, made again after the last load.
        Save("beside-recent.ldr", "0 By Recent\n");
        QCOMPARE(app->Frame()->RecentAction(3)->text(), "&4 " + recent);
        app->Frame()->RecentAction(3)->trigger();
        QVERIFY2(shown.size() == 1, qPrintable(LastShown()));
        QCOMPARE(app->Document()->PathName(), recent);
        QCOMPARE(Title(), QString("By Recent"));
    }

    void aModelRenamedToOtherLetterCaseOpens() {
        const QString lower = Write("case.ldr", "0 Case\n");
        Start({lower});
        const QString upper = models.filePath("CASE.ldr");
        std::filesystem::rename(lower.toStdString(), upper.toStdString());
        const bool opened = app->OpenDocumentFile(upper);
        QVERIFY2(shown.empty(), qPrintable(LastShown()));
        QVERIFY(opened);
        QCOMPARE(app->Document()->PathName(), upper);
    }

    void aRecentFileBackOnDiskOpensAndStaysInTheList() {
        const QString away = Write("away.ldr", "0 Away\n");
        const QString other = Write("other.ldr", "0 Other\n");
        Start({away});
        QVERIFY(app->OpenDocumentFile(other));
        QCOMPARE(app->Frame()->RecentAction(1)->text(), "&2 " + away);
        // Listed while it was away (the reload lists the changed folder again), then back.
        std::filesystem::rename(away.toStdString(), away.toStdString() + ".bak");
        Trigger(QzCmd::Reload);
        std::filesystem::rename(away.toStdString() + ".bak", away.toStdString());
        app->OnOpenRecentFile(1);
        QVERIFY2(shown.empty(), qPrintable(LastShown()));
        QCOMPARE(app->Document()->PathName(), away);
        QCOMPARE(app->Frame()->RecentAction(0)->text(), "&1 " + away);
        QCOMPARE(app->Frame()->RecentAction(1)->text(), "&2 " + other);
        app.reset();
        QSettings settings(CQzApp::kCompany, CQzApp::kApplication);
        QCOMPARE(settings.value("Recent File List/File1").toString(), away);
        QCOMPARE(settings.value("Recent File List/File2").toString(), other);
    }

    void aModelThroughALinkedFolderOrDotDotOpens() {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath("models") && QDir(root.path()).mkpath("other"));
        QVERIFY(QFile::link(root.filePath("models"), root.filePath("linked")));
        const QString first = root.filePath("models/first.ldr");
        std::ofstream(first.toStdString()) << "0 First\n";
        plat::ClearPathCache();
        Start({first});
        QCOMPARE(Title(), QString("First"));
        struct Case {
            const char* written;
            const char* opened;
        };
        for (const Case& c : {Case{"models/linked.ldr", "linked/linked.ldr"},
                              Case{"models/dots.ldr", "other/../models/dots.ldr"}}) {
            std::ofstream(root.filePath(c.written).toStdString()) << "0 " << c.written << "\n";
            const bool opened = app->OpenDocumentFile(root.path() + "/" + c.opened);
            QVERIFY2(shown.empty(), qPrintable(c.opened + (": " + LastShown())));
            QVERIFY(opened);
            QCOMPARE(Title(), QString(c.written));
        }
    }

    // First start without a library: the folder the user picks is empty, so it is
    // refused; the user puts the library into it and picks it again.
    void aLibraryFolderIsAcceptedOnceItHoldsPAndParts() {
        qunsetenv("LDRAWDIR");
        const QString path =
            Write("unpacked.ldr", "0 Unpacked\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        QTemporaryDir library;
        int dialogs = 0;
        answer = [&](QDialog& d) {
            if (qobject_cast<CLDrawDirDlg*>(&d)) {
                if (++dialogs > 2) return int(QDialog::Rejected);
                d.findChild<QLineEdit*>()->setText(library.path());
                return int(QDialog::Accepted);
            }
            auto* box = qobject_cast<QMessageBox*>(&d);
            if (box && box->text().startsWith("There is no LDraw library") &&
                !QFileInfo::exists(library.filePath("p")))
                for (const char* folder : {"parts", "p"})
                    std::filesystem::copy(testing_support::ExamplesDir() / folder,
                                          library.filePath(folder).toStdString(),
                                          std::filesystem::copy_options::recursive);
            return int(QMessageBox::Ok);
        };
        Start({path});
        QCOMPARE(shown[2].text, "There is no LDraw library in\n" + library.path() +
                                    "\nSelect the folder that holds the folders P and PARTS.");
        QCOMPARE(shown[3].caption, QString("LDraw Directory"));
        // Not refused again.
        QVERIFY2(shown.size() == 4, qPrintable(shown.size() > 4 ? shown[4].text : QString()));
        QCOMPARE(dialogs, 2);
        QCOMPARE(app->Document()->PathName(), path);
        QCOMPARE(Title(), QString("Unpacked"));
    }

    // A rename that changes only the letter case of the model (a.ldr to a.LDR) is no
    // missing file: polling goes on and reads the file's next save.
    void pollingFollowsACaseOnlyRenameOfTheModel() {
        const QString path = Write("renamedcase.ldr", "0 First\n");
        Start({path, "-PollSilent"});
        std::filesystem::rename(path.toStdString(),
                                models.filePath("renamedcase.LDR").toStdString());
        Save("renamedcase.LDR", "0 Second\n");
        QTRY_VERIFY2(Title() == "Second", qPrintable(app->Frame()->IdlePane()->text()));
        QVERIFY2(shown.empty(), qPrintable(LastShown()));
        QVERIFY(app->Document()->Core().pollTimer != 0);
        QCOMPARE(app->Frame()->IdlePane()->text(), QString(kIdleText));
    }

    void setLDrawDirStoresTheTypedText() {
        Start({});
        answer = [](QDialog& d) {
            auto* field = d.findChild<QLineEdit*>();
            field->setText("/some/where/ ");
            return int(QDialog::Accepted);
        };
        Trigger(QzCmd::SetLDrawDir);
        QCOMPARE(app->Document()->Core().settings.ldrawDir, std::string("/some/where/ "));
        QCOMPARE(QSettings(CQzApp::kCompany, CQzApp::kApplication)
                     .value("General settings/LDrawDir")
                     .toString(),
                 QString("/some/where/ "));
    }

    void commandsOfTheMenus() {
        Start({});
        Trigger(QzCmd::Seams);
        QVERIFY(State().options.seams && !State().options.showType2);
        QVERIFY(app->Frame()->Action(QzCmd::Seams)->isChecked());
        QVERIFY(!app->Frame()->Action(QzCmd::ShowType2)->isChecked());
        Trigger(QzRendererCommand(2));
        QCOMPARE(shown.back().text, QString("Renderer type 2 needs to be implemented..."));
        QVERIFY(app->Frame()->Action(QzRendererCommand(3))->isChecked());
        Trigger(QzCmd::ViewToolbar);
        QVERIFY(app->Frame()->ToolBar()->isHidden());
        QVERIFY(!app->Frame()->Action(QzCmd::ViewToolbar)->isChecked());
        // The About box keeps its fixed first line; its notice carries the package
        // version that --version prints.
        QStringList about;
        answer = [&](QDialog& d) {
            if (auto* box = qobject_cast<CAboutDlg*>(&d)) about = box->Lines();
            return int(QDialog::Accepted);
        };
        Trigger(QzCmd::AppAbout);
        QCOMPARE(shown.back().caption, QString("About Zarvel"));
        QCOMPARE(about.size(), 3);
        QCOMPARE(about[0], QString("Zarvel v1.2 20000616"));
        QCOMPARE(about[1], QString("Zarvel " ZARVEL_VERSION
                                   ": a viewer and checker for LDraw models. Free software."));
        QVERIFY(about[2].startsWith("Release version built "));
    }

    void goodbyeWhenTheWindowCloses() {
        Start({});
        app->Frame()->close();
        QCOMPARE(shown.back().kind, QString("QMessageBox"));
        QCOMPARE(shown.back().caption, QString("Zarvel"));
        QCOMPARE(shown.back().text, QString("Thank you for using Zarvel (0:00)"));
    }

    void backgroundImageAndCursor() {
        Start({});
        const QString picture = models.filePath("back.bmp");
        QImage image(64, 48, QImage::Format_RGB888);
        image.fill(QColor(10, 200, 30));
        QVERIFY(image.save(picture, "BMP"));
        answer = [&](QDialog& d) {
            static_cast<QFileDialog&>(d).selectFile(picture);
            return int(QDialog::Accepted);
        };
        Trigger(QzCmd::BackgroundImage);
        QTRY_COMPARE(View()->size(), QSize(64, 48));
        QCOMPARE(View()->Core().Width(), 64);  // the resize drew the model anew

        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(models.filePath("garbage.bmp"));
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        };
        Write("garbage.bmp", "not a picture");
        Trigger(QzCmd::BackgroundImage);
        QCOMPARE(shown.back().text, QString("Could not load bitmap"));
        QCOMPARE(shown.back().kind, QString("QMessageBox"));

        const QCursor hand = View()->cursor();
        QCOMPARE(hand.hotSpot(), QPoint(15, 15));
        QCOMPARE(hand.bitmap().size(), QSize(32, 32));
    }

    void pickersStartInFoldersThatExist() {
        QTemporaryDir home;
        const struct Restore {
            QByteArray home;
            ~Restore() { qputenv("HOME", home); }
        } restore{qgetenv("HOME")};
        qputenv("HOME", QFile::encodeName(home.path()));
        QVERIFY(QDir(home.path()).mkpath("lib"));
        Start({});
        struct Seen {
            QString folder, name;
        };
        std::vector<Seen> seen;  // where each picker started, and its name field
        QString chosen;          // the LDraw directory dialog's text after Browse...
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                seen.push_back({files->directory().absolutePath(), name ? name->text() : "?"});
                if (files->fileMode() != QFileDialog::Directory) return int(QDialog::Rejected);
                files->selectFile(home.filePath("lib"));
                return int(QDialog::Accepted);
            }
            auto& dialog = static_cast<CLDrawDirDlg&>(d);
            dialog.BrowseButton()->click();
            chosen = dialog.Field()->text();
            return int(QDialog::Rejected);
        };
        // Without Pictures and Desktop: the home folder; with them: they.
        for (bool made : {false, true}) {
            if (made)
                QVERIFY(QDir(home.path()).mkpath("Pictures") &&
                        QDir(home.path()).mkpath("Desktop"));
            seen.clear();
            Trigger(QzCmd::BackgroundImage);
            Trigger(QzCmd::SetLDrawDir);
            QCOMPARE(int(seen.size()), 2);
            QCOMPARE(seen[0].folder, made ? home.filePath("Pictures") : home.path());
            QCOMPARE(seen[0].name, QString());
            QCOMPARE(seen[1].folder, made ? home.filePath("Desktop") : home.path());
            QCOMPARE(seen[1].name, QString());
            QCOMPARE(chosen, home.filePath("lib"));
        }
    }

    void treeWindowFillsLazilyAndComposesTexts() {
        const QString path = Write("tree.ldr",
                                   "0 Tree model\n"
                                   "0 BFC CERTIFY CCW\n"
                                   "1 0x2FF0000 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
                                   "1 16 10 0 0 1 0 0 0 1 0 0 0 1 empty.ldr\n"
                                   "2 24 0 0 0 1 1 1\n");
        Write("empty.ldr", "0 Nothing\n");
        Start({path});
        bool checked = false;
        answer = [&](QDialog& d) {
            auto& dialog = static_cast<CTreeViewDlg&>(d);
            dialog.show();
            QAbstractItemModel* m = dialog.Tree()->model();
            auto text = [&](const QModelIndex& i) {
                return m->data(i, Qt::DisplayRole).toString();
            };
            [&] {
                QCOMPARE(m->rowCount({}), 5);
                const QModelIndex brick = m->index(2, 0, {});
                QCOMPARE(text(brick),
                         QString("1 0x2FF0000  0 0 0  1 0 0  0 1 0  0 0 1  zb1x1.dat"));
                QVERIFY(m->hasChildren(brick));
                QVERIFY(!m->hasChildren(m->index(4, 0, {})));
                QCOMPARE(m->rowCount(brick), 0);  // not filled before it opens
                dialog.Tree()->expand(brick);
                QVERIFY(m->rowCount(brick) > 0);
                const int filled = m->rowCount(brick);
                dialog.Tree()->collapse(brick);
                dialog.Tree()->expand(brick);
                QCOMPARE(m->rowCount(brick), filled);
                QCOMPARE(m->parent(m->index(0, 0, brick)), brick);
                // A part without lines opens to nothing and loses its button.
                const QModelIndex empty = m->index(3, 0, {});
                dialog.Tree()->expand(empty);
                QCOMPARE(m->rowCount(empty), 1);  // its comment line
                // Line numbers and the modes are composed anew.
                dialog.LineNumbers()->setChecked(true);
                QCOMPARE(text(m->index(0, 0, {})), QString("1: 0 Tree model"));
                dialog.ModeButton(1)->setChecked(true);
                QCOMPARE(text(m->index(1, 0, {})), QString("2: 0x21 0 BFC CERTIFY CCW"));
                dialog.ModeButton(2)->setChecked(true);
                QVERIFY(text(brick).startsWith("3: 1 0x2FF0000  <"));
                QCOMPARE(text(m->index(4, 0, {})), QString("5: 2 24  0 0 0  1 1 1"));
                // An edited label shows the composed text again.
                QVERIFY(m->setData(m->index(4, 0, {}), "edited", Qt::EditRole));
                QCOMPARE(text(m->index(4, 0, {})), QString("5: 2 24  0 0 0  1 1 1"));
                QCOMPARE(dialog.minimumSize(), QSize(200, 100));
                checked = true;
            }();
            return int(QDialog::Accepted);
        };
        Trigger(QzCmd::TreeView);
        QVERIFY(checked);
        QCOMPARE(shown.back().caption, QString("Zarvel Tree View"));
    }

    void statisticsWindow() {
        Start({testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd")});
        Trigger(QzCmd::Statistics);
        QCOMPARE(shown.back().caption, QString("Zarvel Statistics"));
        QString expected = QString::fromStdString(inspect::StatisticsText(
            app->Document()->Model(), View()->Statistics(), State().GetViewMatrix()));
        expected.replace("\r\n", "\n");
        QCOMPARE(shown.back().text, expected);
        QVERIFY(expected.startsWith("Title:\tLittle House\n"));
    }

    void writePovFileAsTheCommandLineDoes() {
        const QString model =
            testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd");
        Start({model});
        const QString scene = models.filePath("house-desktop.pov");
        QString proposed;
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                proposed = QFileInfo(files->selectedFiles().value(0)).fileName();
                files->selectFile(scene);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::WritePov);
        QCOMPARE(proposed, QString("house.pov"));
        QCOMPARE(shown[0].text,
                 QString("WARNING: This has not been tested, you may want to use Tolpix instead"));
        QCOMPARE(shown.back().caption, QString("Write POV file"));
        QTRY_COMPARE(app->Frame()->DrawingPane()->text().left(16), QString("2:0 3:0 4:0 5:0 "));
        const std::string desktop = ReadWithoutDate(scene);
        const QString cliScene = models.filePath("house-cli.pov");
        const testing_support::CliRun run = testing_support::RunZarvelCli(
            {"pov", "--ldraw", testing_support::ExamplesDir().string(), model.toStdString(), "-o",
             cliScene.toStdString()});
        QCOMPARE(run.status, 0);
        QVERIFY(desktop.size() > 1000);
        QCOMPARE(desktop, ReadWithoutDate(cliScene));
    }

    void exportWritesTheStepShownAsTheCommandLineDoes() {
        const std::string library = testing_support::ExamplesDir().string();
        const QString model = models.filePath("two steps.ldr");
        {
            std::ofstream(model.toStdString()) << "1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n"
                                                  "0 STEP\n"
                                                  "1 1 0 -24 0 1 0 0 0 1 0 0 0 1 zb1x2.dat\n";
        }
        Start({model});
        Trigger(QzCmd::FirstStep);
        const QString chosen = models.filePath("first step.glb");
        QString proposed;
        QStringList filters;
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                proposed = files->selectedFiles().value(0);
                filters = files->nameFilters();
                files->selectFile(chosen);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::Export);
        QCOMPARE(proposed, QFileInfo(model).absolutePath() + "/two steps.glb");
        QCOMPARE(filters, QStringList({"glTF binary (*.glb)", "glTF with its .bin (*.gltf)",
                                       "STL (*.stl)", "OBJ with its .mtl (*.obj)"}));
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].caption, QString("Export"));
        const QString cli = models.filePath("cli.glb");
        const testing_support::CliRun run =
            testing_support::RunZarvelCli({"export", "--ldraw", library, model.toStdString(),
                                           "--step", "1", "-o", cli.toStdString()});
        QCOMPARE(run.status, 0);
        const std::string desktop = testing_support::Slurp(chosen.toStdString());
        QVERIFY(desktop.size() > 1000);
        QCOMPARE(desktop, testing_support::Slurp(cli.toStdString()));

        // A name without a format's extension takes the filter's.
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectNameFilter("STL (*.stl)");
                files->selectFile(models.filePath("printable"));
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::LastStep);
        Trigger(QzCmd::Export);
        const std::string stl =
            testing_support::Slurp(models.filePath("printable.stl").toStdString());
        // Both steps: the bricks' 60 and 108 triangles, 50 bytes each.
        QCOMPARE(stl.size(), size_t(84 + 50 * (60 + 108)));

        // A folder that is not there: the reason in a box, nothing written.
        shown.clear();
        QString nowhere = models.filePath("no such folder/m.glb");
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(nowhere);
                nowhere = files->selectedFiles().value(0);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::Export);
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[1].text, "Could not export the model to " + nowhere + ":\nCannot write " +
                                    nowhere + ": No such file or directory");
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    void exportWritesTheSubmodelShownAsTheCommandLineDoes() {
        const std::string library = testing_support::ExamplesDir().string();
        const QString model = models.filePath("cabin.mpd");
        {
            std::ofstream(model.toStdString())
                << "0 FILE cabin.ldr\n1 15 0 0 0 1 0 0 0 1 0 0 0 1 zb1x2.dat\n"
                   "1 16 0 -24 0 1 0 0 0 1 0 0 0 1 roof.ldr\n"
                   "0 FILE roof.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n0 STEP\n"
                   "1 1 20 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n0 STEP\n"
                   "1 2 40 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n";
        }
        Start({model, "-PollOff"});
        app->Frame()->SubmodelMenu()->actions()[1]->trigger();
        Trigger(QzCmd::PreviousStep);  // step 2 of the roof's 3
        const QString chosen = models.filePath("roof step 2.glb");
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(chosen);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::Export);
        const QString cli = models.filePath("cli.glb");
        const testing_support::CliRun run = testing_support::RunZarvelCli(
            {"export", "--ldraw", library, model.toStdString(), "--submodel", "roof.ldr", "--step",
             "2", "-o", cli.toStdString()});
        QCOMPARE(run.status, 0);
        const std::string desktop = testing_support::Slurp(chosen.toStdString());
        QVERIFY(desktop.size() > 1000);
        QCOMPARE(desktop, testing_support::Slurp(cli.toStdString()));
    }

    void savePictureWritesWhatTheViewShows() {
        const QString model =
            testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd");
        Start({model});
        Trigger(QzViewCommand(9));  // another picture than the first one drawn
        const QString picture = models.filePath("house view.png");
        QString proposed;
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                proposed = files->selectedFiles().value(0);
                files->selectFile(picture);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::SavePicture);
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].caption, QString("Save Picture"));
        QCOMPARE(proposed, QFileInfo(model).absolutePath() + "/house.png");
        const QImage saved(picture);
        QCOMPARE(saved.size(), View()->size());
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB888),
                 View()->grab().toImage().convertToFormat(QImage::Format_RGB888));
        // Another view, another picture.
        Trigger(QzViewCommand(1));
        QVERIFY(QImage(picture).convertToFormat(QImage::Format_RGB888) !=
                View()->grab().toImage().convertToFormat(QImage::Format_RGB888));

        // A folder that is not there: the reason in a box, nothing written.
        shown.clear();
        QString nowhere = models.filePath("no such folder/house.png");
        answer = [&](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(nowhere);
                nowhere = files->selectedFiles().value(0);
                return int(QDialog::Accepted);
            }
            return int(QMessageBox::Ok);
        };
        Trigger(QzCmd::SavePicture);
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[1].text,
                 "Could not save the picture to " + nowhere + ":\nNo such file or directory");
        QVERIFY(!QFileInfo::exists(nowhere));
        // Cancelled: nothing written, no box.
        shown.clear();
        answer = nullptr;
        QFile::remove(picture);
        Trigger(QzCmd::SavePicture);
        QCOMPARE(shown.size(), size_t(1));
        QVERIFY(!QFileInfo::exists(picture));
    }

    void autoZoomFitsEveryLoadAndResize() {
        const QString model =
            testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd");
        Start({model});
        QCOMPARE(State().zoom, 100);
        QVERIFY(!app->Frame()->Action(QzCmd::AutoZoom)->isChecked());
        Trigger(QzCmd::AutoZoom);
        QVERIFY(app->Frame()->Action(QzCmd::AutoZoom)->isChecked());
        const int fitted = View()->Core().FitZoom(app->Document()->Model());
        QCOMPARE(State().zoom, fitted);
        QVERIFY(fitted != 100);
        app->Frame()->resize(app->Frame()->size() / 2);
        QTRY_VERIFY(State().zoom < fitted);
        State().zoom = 7;
        Trigger(QzCmd::Reload);
        QCOMPARE(State().zoom, View()->Core().FitZoom(app->Document()->Model()));
        Trigger(QzCmd::AutoZoom);
        State().zoom = 7;
        Trigger(QzCmd::Reload);
        QCOMPARE(State().zoom, 7);
    }

    void commandsWithSideEffects() {
        Start({testing_support::ExamplesDir().string().c_str() + QString("/models/house.mpd")});
        Trigger(QzCmd::RefreshEachPart);
        QVERIFY(app->Frame()->Action(QzCmd::RefreshEachPart)->isChecked());
        QVERIFY(!app->Frame()->Action(QzCmd::StudsLast)->isChecked());
        auto colours = [this] {
            std::vector<int> c;
            for (const QzLine* l = app->Document()->Model().parts[0].lines; l; l = l->next)
                c.push_back(l->randomColour);
            return c;
        };
        Trigger(QzCmd::RandomColours);
        const std::vector<int> first = colours();
        QTest::qWait(20);
        Trigger(QzCmd::RandomColours);
        QVERIFY(colours() != first);
        QVERIFY(app->Frame()->Action(QzCmd::RandomColours)->isChecked());
        QVERIFY(!app->Frame()->Action(QzCmd::NormalColours)->isChecked());
        Trigger(QzCmd::NormalColours);
        QVERIFY(!State().options.randomColours);
        QVERIFY(app->Frame()->Action(QzCmd::NormalColours)->isChecked());
        Trigger(QzSchemeCommand(1));
        QCOMPARE(State().palette.scheme, 1);
        QVERIFY(app->Frame()->Action(QzSchemeCommand(1))->isChecked());
        QCOMPARE(app->Frame()->Action(QzCmd::Logging)->statusTip(),
                 QString::fromStdString("Log debug info to file (" + plat::DebugLogPath() + ")"));
    }

    void offerToRegisterAfterFourHours() {
        Start({});
        app->Frame()->OnClose(14400);
        QCOMPARE(int(shown.size()), 1);  // the goodbye only
        answer = [](QDialog& d) {
            auto* box = qobject_cast<QMessageBox*>(&d);
            return int(box && box->icon() == QMessageBox::Question ? QMessageBox::Yes
                                                                   : QMessageBox::Ok);
        };
        app->Frame()->OnClose(14401);
        QCOMPARE(int(shown.size()), 4);
        QCOMPARE(shown[1].text, QString("Thank you for using Zarvel (4:00:01)"));
        QCOMPARE(shown[2].text, QString("Do you want Zarvel to be the default application\nfor "
                                        "file types .dat and .mpd?"));
        QCOMPARE(shown[3].text, QString("Qz registered, Thank You!"));
        app->Frame()->OnClose(14401);
        QCOMPARE(int(shown.size()), 5);  // registered now: no question
    }

    void libraryColoursReadTheModelAgain() {
        // A library of the test's own: the examples' parts and the test's colours.
        QTemporaryDir library;
        for (const char* folder : {"parts", "p"})
            std::filesystem::copy(testing_support::ExamplesDir() / folder,
                                  library.filePath(folder).toStdString(),
                                  std::filesystem::copy_options::recursive);
        {
            std::ofstream(library.filePath("LDConfig.ldr").toStdString())
                << testing_support::kTestLDConfig;
        }
        qputenv("LDRAWDIR", library.path().toUtf8());
        const QString path = Write("grey.ldr", "1 71 0 0 0 1 0 0 0 1 0 0 0 1 zb1x1.dat\n");
        Start({path});
        QCOMPARE(int(shown.size()), 1);
        QVERIFY(shown[0].text.contains("Unknown color, using 7"));

        // Read again: 71 is a colour now; only the faulty definition is logged.
        Trigger(QzSchemeCommand(3));
        QCOMPARE(int(shown.size()), 2);
        QVERIFY(shown[1].text.contains("Bad color definition"));
        QVERIFY(!shown[1].text.contains("Unknown color"));
        QCOMPARE(State().palette.scheme, 3);
        QVERIFY(app->Frame()->Action(QzSchemeCommand(3))->isChecked());
        QCOMPARE(app->Document()->Model().parts[0].lines->colour, 71);

        Trigger(QzSchemeCommand(1));
        QCOMPARE(int(shown.size()), 3);
        QVERIFY(shown[2].text.contains("Unknown color, using 7"));

        // Without the file the box says so and the first scheme stays.
        std::filesystem::remove(library.filePath("LDConfig.ldr").toStdString());
        plat::ClearPathCache();
        Trigger(QzSchemeCommand(3));
        QCOMPARE(shown[3].text, QString("Could not read LDConfig.ldr in " + library.path()));
        QCOMPARE(State().palette.scheme, 0);
        QVERIFY(app->Frame()->Action(QzSchemeCommand(0))->isChecked());
    }

    // zarvel-cli (thumbnails) reads the library folder the program stores without the
    // toolkit: every path comes back byte for byte.
    void storedLibraryFolderReadWithoutTheToolkit() {
        Start({});
        app.reset();  // the folder found in LDRAWDIR is stored
        const std::string found = QzStoredLDrawDir(QzDesktopSettingsPath());
        QCOMPARE(QString::fromStdString(found),
                 QString::fromStdString(testing_support::ExamplesDir().string()));
        for (const std::string& path : {
                 std::string("/plain/ldraw"),
                 std::string("/with blank/ldraw "),
                 std::string(" /leading"),
                 std::string("/a,b;c=d#e/ldraw"),
                 std::string("/say \"hi\"/back\\slash\\"),
                 std::string("@at/ldraw"),
                 std::string("/caf\xc3\xa9/\xe2\x82\xac/\xf0\x9f\xa7\xb1"),
                 std::string("/latin\xe9"
                             "a/\xff\x80"),
                 std::string("/tab\there/new\nline\x01"
                             "1"),
             }) {
            QSettings settings(CQzApp::kCompany, CQzApp::kApplication);
            settings.setValue("General settings/LDrawDir", app::PathSetting(path));
            settings.sync();
            QCOMPARE(
                QString::fromLatin1(
                    QByteArray::fromStdString(QzStoredLDrawDir(QzDesktopSettingsPath())).toHex()),
                QString::fromLatin1(QByteArray::fromStdString(path).toHex()));
        }
        QSettings(CQzApp::kCompany, CQzApp::kApplication).clear();
        QCOMPARE(QString::fromStdString(QzStoredLDrawDir(QzDesktopSettingsPath())), QString());
    }

    void storedColourScheme() {
        for (const auto& [stored, scheme] : {std::pair{2, 2}, {3, 3}, {5, 0}, {-1, 0}}) {
            QSettings(CQzApp::kCompany, CQzApp::kApplication)
                .setValue("View settings/ColorScheme", stored);
            Start({});
            QCOMPARE(State().palette.scheme, scheme);
            app.reset();
        }
    }

    void highQualityIsOffAtFirstStartAndKeptForTheNext() {
        Start({});
        CMainFrame* frame = app->Frame();
        QAction* action = frame->Action(QzCmd::HighQuality);
        QVERIFY(!State().options.highQuality);
        QCOMPARE(action->text(), QString("High &Quality"));
        QCOMPARE(action->statusTip(),
                 QString("Draw the full picture anti-aliased, lit and with blended transparency "
                         "(slower)"));
        QCOMPARE(action->toolTip(), QString("High Quality"));
        QVERIFY(action->isCheckable() && !action->isChecked());
        QVERIFY(!action->icon().isNull());
        QVERIFY(frame->ToolBar()->actions().contains(action));
        // In the View menu right after the shading switch.
        QMenu* view = nullptr;
        for (QAction* entry : frame->menuBar()->actions())
            if (entry->text() == "&View") view = entry->menu();
        QVERIFY(view);
        const QList<QAction*> entries = view->actions();
        const qsizetype shading = entries.indexOf(frame->Action(QzCmd::Shading));
        QVERIFY(shading >= 0 && shading + 1 < entries.size());
        QCOMPARE(entries[shading + 1], action);
        Trigger(QzCmd::HighQuality);
        QVERIFY(State().options.highQuality);
        QVERIFY(action->isChecked());
        app.reset();
        QCOMPARE(QSettings(CQzApp::kCompany, CQzApp::kApplication)
                     .value("View settings/HighQuality")
                     .toBool(),
                 true);
        Start({});
        QVERIFY(State().options.highQuality);
        QVERIFY(app->Frame()->Action(QzCmd::HighQuality)->isChecked());
        Trigger(QzCmd::HighQuality);
        app.reset();
        Start({});
        QVERIFY(!State().options.highQuality);
    }

    void logWindowLayout() {
        CLogDlg log("Caption");
        log.text = "Title:\tHouse\r\nNext\r\n";
        answer = [&](QDialog& d) {
            d.show();
            const QRect area = log.TextArea()->geometry();
            const QRect ok = log.OkButton()->geometry();
            d.resize(d.size() + QSize(100, 40));
            QCoreApplication::processEvents();
            [&] {
                QCOMPARE(log.TextArea()->width(), area.width() + 100);
                QCOMPARE(log.TextArea()->height(), area.height() + 40);
                QCOMPARE(log.OkButton()->geometry(), ok.translated(100, 0));
            }();
            d.resize(10, 10);
            QCoreApplication::processEvents();
            [&] { QCOMPARE(d.size(), QSize(175, 110)); }();
            return int(QDialog::Accepted);
        };
        log.DoModal();
        QCOMPARE(shown.back().text, QString("Title:\tHouse\nNext\n"));
        QCOMPARE(shown.back().caption, QString("Caption"));
    }
};

}  // namespace

int main(int argc, char** argv) {
    // Offscreen, with a configuration folder of the test's own: the user's settings are
    // never read or written.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, runtime;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("XDG_DATA_HOME", (config.path() + "/data").toUtf8());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QApplication application(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop.moc"
