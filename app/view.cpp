#include "view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "colours.h"
#include "commands.h"
#include "diagnostics.h"
#include "doccore.h"
#include "document.h"
#include "drawlist.h"
#include "format.h"
#include "frametexts.h"
#include "instructions.h"
#include "logdlg.h"
#include "messagebox.h"
#include "modal.h"
#include "model.h"
#include "modelexport.h"
#include "partslistdlg.h"
#include "pathtext.h"
#include "pngfile.h"
#include "povwriter.h"
#include "resources.h"
#include "sections.h"
#include "statistics.h"
#include "steps.h"
#include "switches.h"
#include "treeviewdlg.h"
#include "zoomdlg.h"

CQzView::CQzView(CQzDoc* document, int storedScheme, const std::vector<std::string>& args,
                 QWidget* parent)
    : QWidget(parent), document_(document), core_(this) {
    if (QzIsColourScheme(storedScheme)) core_.SetColourScheme(storedScheme);
    core_.State().SetStandardView(0);
    core_.State().zoom = 100;
    core_.State().SelectRenderer(3);
    QzApplyViewSwitches(args, core_.State());

    setCursor(app::HandCursor());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(1, 1);
    connect(document_, &CQzDoc::Updated, this, &CQzView::OnUpdate);
}

CQzView::~CQzView() = default;

void CQzView::Paint(const QzZImage&, const QzPixelRect& rect) {
    repaint(rect.x0, rect.y0, rect.x1 - rect.x0 + 1, rect.y1 - rect.y0 + 1);
}

void CQzView::SetWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CQzView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    if (showingBackground_) {
        painter.fillRect(area, palette().window());
        painter.drawImage(area.topLeft(), background_, area);
        return;
    }
    const QzZImage& image = core_.Image();
    if (!image.pixels) {
        painter.fillRect(area, palette().window());
        return;
    }
    // The renderer's pixels as they are: blue, green, red, rows from the top.
    const QImage pixels(image.pixels, image.width, image.height, image.width * 3,
                        QImage::Format_BGR888);
    painter.drawImage(area.topLeft(), pixels, area);
}

void CQzView::resizeEvent(QResizeEvent*) { OnSize(width(), height()); }

void CQzView::showEvent(QShowEvent*) {
    // The size arrives before the window counts as visible; the first showing draws.
    if (!core_.HasImage()) OnSize(width(), height());
}

void CQzView::OnSize(int cx, int cy) {
    const QWidget* frame = window();
    const int type = frame->isMinimized() ? 1 : frame->isMaximized() ? 2 : 0;
    QzDebugLog("OnSize %d %d %d IsIconic=%d IsWindowEnabled=%d IsWindowVisible=%d\n", type, cx, cy,
               frame->isMinimized() ? 1 : 0, isEnabled() ? 1 : 0, isVisible() ? 1 : 0);
    if (cx == 0 || cy == 0 || !isVisible()) return;
    core_.Resize(cx, cy);
    FitIfAutoZoom();
    RedrawModel(true);
    if (!background_.isNull()) {
        showingBackground_ = true;
        repaint();
        showingBackground_ = false;
        background_ = QImage();
    }
}

void CQzView::OnUpdate(int hint) {
    QWidget* frame = window();
    QzDebugLog("## OnUpdate lHint=%d IsIconic=%d IsWindowEnabled=%d IsWindowVisible=%d\n", hint,
               frame->isMinimized() ? 1 : 0, isEnabled() ? 1 : 0, isVisible() ? 1 : 0);
    if (hint == HINT_MODEL_LOADED) {
        if (frame->isMinimized()) frame->showNormal();
        frame->raise();
        frame->activateWindow();
    }
    if (hint == HINT_MODEL_LOADED || hint == HINT_MODEL_LOADED_SILENT) {
        QzModel& model = document_->Model();
        QzRenderState& state = core_.State();
        // The submodel shown stays while the file has it (read through again when the
        // main model does not place it), else the main model is shown.
        if (!state.submodel.empty()) {
            QzPart* part = model.Loaded() ? QzFindSubmodel(model, state.submodel) : nullptr;
            if (!part || (!(part->flags & PF_RESOLVED) &&
                          document_->Core().ResolveSection(*part, false) == 2))
                state.submodel.clear();
        }
        // A step the file shown no longer has gives way to the last one, the whole file.
        if (!model.Loaded() || state.step >= QzStepCount(state.ShownPart(model))) state.step = 0;
        toldIncomplete_ = false;
        FitIfAutoZoom();
        RedrawModel(false);
    }
}

void CQzView::RedrawModel(bool full) {
    core_.Redraw(document_->Model(), full);
    emit Drawn();
    // A model that places more than a drawing holds is said once a load, not at every
    // redraw.
    if (core_.Statistics().incomplete && !toldIncomplete_) {
        toldIncomplete_ = true;
        plat::ShowMessage(QzTooManyPlacementsText(), plat::MessageKind::Exclamation);
    }
}

void CQzView::RunCommand(const QzCommand& command, QzCommandTarget& target) {
    if (!command.run) return;
    const int scheme = core_.State().palette.scheme;
    command.run(target);
    const int now = core_.State().palette.scheme;
    // Which colours are defined is decided while reading: entering or leaving the
    // library's colours reads the model again, and the load draws it.
    const bool rereads =
        scheme != now && (scheme == QZ_SCHEME_LDCONFIG || now == QZ_SCHEME_LDCONFIG);
    if (rereads && !document_->Core().pathName.empty())
        document_->Core().Reload();
    else
        RedrawModel(false);
}

void CQzView::OnZoom() {
    CZoomDlg dialog(this);
    if (dialog.DoModal(core_.State().zoom)) RedrawModel(false);
}

void CQzView::OnBackgroundImage() {
    QFileDialog dialog(this, tr("Load background image"),
                       app::PickerStartFolder(QStandardPaths::PicturesLocation),
                       tr("Bitmap files (*.bmp *.BMP);;All Files (*)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    SetWaitCursor(true);
    QImage picture;
    const bool loaded = picture.load(path);
    SetWaitCursor(false);
    if (!loaded) {
        plat::ShowMessage("Could not load bitmap", plat::MessageKind::Stop);
        return;
    }
    // The frame grows or shrinks by what the view lacks or has too much; the picture is
    // shown once the view has the new size, and the next redraw replaces it.
    background_ = picture;
    const QSize change = picture.size() - size();
    if (change.isNull()) {
        OnSize(width(), height());
        return;
    }
    window()->resize(window()->size() + change);
}

void CQzView::OnStatistics() {
    CLogDlg report(QString::fromLatin1(inspect::kStatisticsCaption), this);
    const QzModel& model = document_->Model();
    report.text = QString::fromStdString(
        model.Loaded()
            ? inspect::StatisticsText(model, core_.State().ShownPart(model), core_.Statistics(),
                                      core_.State().GetViewMatrix())
            : inspect::StatisticsText(model, core_.Statistics(), core_.State().GetViewMatrix()));
    report.DoModal();
}

void CQzView::OnTreeView() {
    CTreeViewDlg dialog(this);
    const QzModel& model = document_->Model();
    dialog.DoModal(model.Loaded() ? &core_.State().ShownPart(model) : nullptr);
}

void CQzView::OnWritePovFile() {
    // The export's time and zero line counts become the statistics shown.
    QzDrawStatistics statistics = core_.Statistics();
    for (int type = 1; type <= 5; ++type) statistics.typeCount[type] = 0;
    core_.SetStatistics(statistics);
    const QzModel& model = document_->Model();
    if (model.Loaded() && !model.Main().name.empty()) ExportScene(model);
    emit Drawn();
}

void CQzView::ExportScene(const QzModel& model) {
    plat::ShowMessage("WARNING: This has not been tested, you may want to use Tolpix instead",
                      plat::MessageKind::Exclamation);
    // The scene goes beside the model unless the user says otherwise.
    const QString modelPath = app::PathText(model.Main().name);
    const QString name = app::PathText(PovProposedFileName(model.Main().name));
    QFileDialog dialog(this, tr("Write POV file"),
                       QDir(QFileInfo(modelPath).absolutePath()).filePath(name),
                       tr("PoVRay scene files (*.pov);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QStringLiteral("pov"));
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SetWaitCursor(true);
    const PovExport done =
        PovWriteSceneFile(app::PathBytes(dialog.selectedFiles().first()), model,
                          core_.State().palette, kPovDefaultOptions, model.Main().name);
    SetWaitCursor(false);
    if (done.result != POV_NOT_OPENED) {
        QzDrawStatistics statistics = core_.Statistics();
        statistics.drawTimeMs = done.durationMs;
        core_.SetStatistics(statistics);
    }
    if (done.result == POV_NOT_OPENED || done.result == POV_TOO_LARGE)
        plat::ShowMessage(PovResultMessage(done.result), plat::MessageKind::Stop);
    else if (done.result != POV_OK)
        plat::ShowMessage(PovResultMessage(done.result), plat::MessageKind::Exclamation);
}

void CQzView::OnExport() {
    const QzModel& model = document_->Model();
    const std::string& modelPath = document_->Core().pathName;
    if (!model.Loaded() || modelPath.empty()) return;
    // Beside the model, named after it.
    const QFileInfo info(app::PathText(modelPath));
    const QString proposed =
        QDir(info.absolutePath()).filePath(app::PathText(QzProposedFileName(modelPath, ".glb")));
    QStringList filters;
    for (const std::string& filter : QzExportFilters()) filters << QString::fromStdString(filter);
    QFileDialog dialog(this, tr("Export"), proposed, filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path =
        QzExportPath(app::PathBytes(dialog.selectedFiles().first()),
                     static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    SetWaitCursor(true);
    const std::string failure = QzExportShownModel(
        path, model, core_.State().palette, core_.State().ShownPart(model),
        QzShownStep(core_.State(), model).step, document_->Core().settings.ldrawDir);
    SetWaitCursor(false);
    if (!failure.empty()) plat::ShowMessage(failure, plat::MessageKind::Stop);
}

void CQzView::OnSavePicture() {
    // The picture goes beside the model, named after it; without a model, into the
    // user's pictures.
    const std::string& modelPath = document_->Core().pathName;
    QString proposed;
    if (modelPath.empty()) {
        proposed = QDir(app::PickerStartFolder(QStandardPaths::PicturesLocation))
                       .filePath(QStringLiteral("Untitled.png"));
    } else {
        const QFileInfo model(app::PathText(modelPath));
        proposed = QDir(model.absolutePath()).filePath(model.completeBaseName() + ".png");
    }
    QFileDialog dialog(this, tr("Save Picture"), proposed, tr("PNG images (*.png);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string path = app::PathBytes(dialog.selectedFiles().first());
    // Exactly the pixels the window shows: the image the view paints from.
    const std::vector<uint8_t> rgb = core_.RgbPixels();
    std::string error = "there is no picture";
    if (!rgb.empty() && QzWritePng(path, core_.Width(), core_.Height(), 3, rgb.data(), error))
        return;
    plat::ShowMessage("Could not save the picture to " + path + ":\n" + error,
                      plat::MessageKind::Stop);
}

void CQzView::OnPartsList() {
    const QzModel& model = document_->Model();
    const std::string& ldrawDir = document_->Core().settings.ldrawDir;
    CPartsListDlg dialog(model.Loaded()
                             ? inspect::ListParts(model, core_.State().ShownPart(model), ldrawDir,
                                                  inspect::ReadColourNames(ldrawDir))
                             : std::vector<inspect::PartsRow>{},
                         document_->Core().pathName, inspect::IncompleteText(model), this);
    dialog.DoModal();
}

void CQzView::ShowSubmodel(const std::string& name) {
    QzRenderState& state = core_.State();
    state.submodel = name;
    state.step = 0;
    FitIfAutoZoom();
    RedrawModel(false);
}

void CQzView::OnWriteInstructions() {
    const QzModel& model = document_->Model();
    const std::string& modelPath = document_->Core().pathName;
    if (!model.Loaded() || modelPath.empty()) return;
    // A folder beside the model, or any other.
    QFileDialog dialog(this, tr("Write Instructions"),
                       QFileInfo(app::PathText(modelPath)).absolutePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const std::string folder = app::PathBytes(dialog.selectedFiles().first());

    // The model stays as it is while the pictures are drawn: reloads wait.
    QzDocument::ReloadHold hold(&document_->Core());
    QProgressDialog progress(tr("Drawing the steps..."), tr("Cancel"), 0, 1, this);
    progress.setWindowTitle(tr("Write Instructions"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);
    SetWaitCursor(true);
    const QzGuideResult done =
        QzWriteGuide(model, core_.State().palette, document_->Core().settings.ldrawDir, folder,
                     QzGuideOptions{}, [&progress](int step, int total) {
                         progress.setMaximum(std::max(total, 1));
                         progress.setValue(step);
                         progress.setLabelText(tr("Step %1/%2").arg(step).arg(total));
                         QApplication::processEvents();
                         return !progress.wasCanceled();
                     });
    SetWaitCursor(false);
    progress.close();
    switch (done.outcome) {
        case QzGuideResult::Outcome::Cancelled:
            return;
        case QzGuideResult::Outcome::Failed:
            plat::ShowMessage("Could not write the instructions:\n" + done.error,
                              plat::MessageKind::Stop);
            return;
        case QzGuideResult::Outcome::Written:
            break;
    }
    const std::string index = (std::filesystem::path(folder) / "index.html").string();
    if (plat::ShowMessage(plat::Format("Wrote %d steps to %s.\nOpen them in your browser?",
                                       done.steps, index.c_str()),
                          plat::MessageKind::Question) == plat::MessageAnswer::Yes)
        QDesktopServices::openUrl(QUrl::fromLocalFile(app::PathText(index)));
}

void CQzView::OnAutoZoom() {
    autoZoom_ = !autoZoom_;
    if (!autoZoom_) return;
    FitIfAutoZoom();
    RedrawModel(false);
}

void CQzView::FitIfAutoZoom() {
    const QzModel& model = document_->Model();
    if (autoZoom_ && model.Loaded()) core_.State().zoom = core_.FitZoom(model);
}

void CQzView::SetDragMode(Qt::KeyboardModifiers modifiers) {
    QzRenderState& s = core_.State();
    if (modifiers & Qt::ControlModifier)
        s.dragMode = 1;
    else if (modifiers & Qt::ShiftModifier)
        s.dragMode = 2;
    else
        s.dragMode = 3;
}

void CQzView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    // The window keeps the mouse until the button goes up, also outside it.
    capture_ = true;
    last_ = event->position().toPoint();
    core_.State().dragging = true;
    SetDragMode(event->modifiers());
    RedrawModel(false);
}

void CQzView::DragStep(const QPoint& point) {
    core_.State().RotateView(point.x() - last_.x(), point.y() - last_.y());
    RedrawModel(false);
    last_ = point;
}

void CQzView::mouseMoveEvent(QMouseEvent* event) {
    // A burst of movements arrives as one: the toolkit merges the waiting ones, so only
    // the newest position is drawn.
    if (!capture_) return;
    SetDragMode(event->modifiers());
    DragStep(event->position().toPoint());
}

void CQzView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !capture_) return QWidget::mouseReleaseEvent(event);
    SetDragMode(event->modifiers());
    DragStep(event->position().toPoint());
    capture_ = false;
    core_.State().dragging = false;
    RedrawModel(false);
}

void CQzView::wheelEvent(QWheelEvent* event) {
    // One notch is 120; finer wheels add up to whole notches.
    wheelRest_ += event->angleDelta().y();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    event->accept();
    if (notches == 0) return;
    QzRenderState& s = core_.State();
    const int zoom = QzWheelZoom(s.zoom, notches);
    if (zoom == s.zoom) return;
    s.zoom = zoom;
    RedrawModel(false);
}

void CQzView::contextMenuEvent(QContextMenuEvent* event) {
    if (contextMenu_) contextMenu_->exec(event->globalPos());
}
