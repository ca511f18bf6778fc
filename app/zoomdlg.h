// The "Zoom" dialog: the zoom percentage as a number to type. The arrows and the slider
// beside it are there but change nothing.
#pragma once

#include <QDialog>

class QLineEdit;
class QSlider;
class QToolButton;

class CZoomDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CZoomDlg(QWidget* parent = nullptr);

    // Shows the zoom; on OK stores the typed number (standard conversion, no range
    // check) and returns true.
    bool DoModal(int& zoom);

    QLineEdit* Field() const { return field_; }
    QSlider* Slider() const { return slider_; }
    QToolButton* UpArrow() const { return up_; }

  private:
    QLineEdit* field_;
    QToolButton* up_;
    QToolButton* down_;
    QSlider* slider_;
};
