// The view: shows the renderer's off-screen image as it is, repaints only what the
// renderer flushed, turns mouse drags into rotations and runs the drawing commands.
// The drawing itself stays in the view core; repainting never redraws the model.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <string>
#include <vector>

#include "viewcore.h"

class CQzDoc;
class QMenu;
class QzCommandTarget;
struct QzCommand;

class CQzView : public QWidget, public QzDisplaySink {
    Q_OBJECT

  public:
    // Constructs the view's state with its start values, the stored colour scheme when it
    // is one of those known, and the "a" switches of the process arguments.
    CQzView(CQzDoc* document, int storedScheme, const std::vector<std::string>& args,
            QWidget* parent = nullptr);
    ~CQzView() override;

    // The display sink: copies a rectangle of the image to the same place of the window
    // at once.
    void Paint(const QzZImage& image, const QzPixelRect& rect) override;
    void SetWaitCursor(bool on) override;

    // After a load: 37913 brings the main window forward (restored when minimised) and
    // redraws, 37914 only redraws, other hints do nothing.
    void OnUpdate(int hint);
    // Clears (all of the image when full, else what the last drawing touched) and draws.
    void RedrawModel(bool full);
    // A drawing command of the table: its change of the state, then a redraw (or a
    // reload, when the colours defined change).
    void RunCommand(const QzCommand& command, QzCommandTarget& target);
    // "Zoom...": the zoom dialog, and a redraw on OK.
    void OnZoom();
    // "Load background image": shows a picture file in the window until the next redraw.
    void OnBackgroundImage();
    // "Statistics...": the statistics report in its window.
    void OnStatistics();
    // "Tree View...": the model's tree in its window.
    void OnTreeView();
    // "Write POV file...": the scene export with its save dialog.
    void OnWritePovFile();
    // "Export...": the model as far as the step shown, as glTF, STL or OBJ, to a file
    // chosen in a save dialog (the model's name with ".glb", in its folder).
    void OnExport();
    // "Save Picture...": the picture the view shows, as a PNG file chosen in a save
    // dialog (the model's name with ".png", in its folder).
    void OnSavePicture();
    // "Parts List...": the parts of the model in their window.
    void OnPartsList();
    // "Write Instructions...": the building instructions of the model written into a
    // folder chosen in a dialog, with a progress window that can cancel; then the offer
    // to open them in the browser.
    void OnWriteInstructions();
    // Shows the main model (an empty name) or a submodel (read through already), from its
    // last step.
    void ShowSubmodel(const std::string& name);
    // "Auto Zoom": while on, every load and every resize choose the zoom that fits the
    // model into the view (the view's placement of the model stays).
    void OnAutoZoom();
    bool AutoZoom() const { return autoZoom_; }
    // The View menu, shown at the mouse on a right click.
    void SetContextMenu(QMenu* menu) { contextMenu_ = menu; }

    QzRenderState& State() { return core_.State(); }
    QzViewCore& Core() { return core_; }
    // The measurements of the last drawing (or export) for the status bar.
    const QzDrawStatistics& Statistics() const { return core_.Statistics(); }
    CQzDoc* Document() const { return document_; }
    // Whether a drag holds the mouse.
    bool HasCapture() const { return capture_; }

  signals:
    // After every drawing: the status bar shows its statistics.
    void Drawn();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // The scene export of the model: warning, save dialog, export and its result.
    void ExportScene(const QzModel& model);
    void OnSize(int cx, int cy);
    void SetDragMode(Qt::KeyboardModifiers modifiers);
    void DragStep(const QPoint& point);

    CQzDoc* document_;
    QzViewCore core_;
    QMenu* contextMenu_ = nullptr;
    void FitIfAutoZoom();

    bool capture_ = false;
    bool autoZoom_ = false;
    // Whether the box saying that the model places more than a drawing holds was shown
    // since the last load.
    bool toldIncomplete_ = false;
    QPoint last_;
    int wheelRest_ = 0;
    // A picture waiting to be shown once the window has its size, and while shown.
    QImage background_;
    bool showingBackground_ = false;
};
