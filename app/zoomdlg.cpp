#include "zoomdlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "dialogunits.h"
#include "modal.h"
#include "switches.h"

CZoomDlg::CZoomDlg(QWidget* parent)
    : QDialog(parent),
      field_(new QLineEdit(this)),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)),
      slider_(new QSlider(Qt::Horizontal, this)) {
    setWindowTitle(tr("Zoom"));
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {up_, down_}) arrow->setFixedSize(app::DialogUnits(this, 10, 7));
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(up_);
    arrows->addWidget(down_);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Percentage"), this), 0, 0);
    layout->addWidget(field_, 0, 1);
    layout->addLayout(arrows, 0, 2);
    layout->addWidget(slider_, 1, 0, 1, 3);
    layout->addWidget(buttons, 0, 3, 2, 1);
    resize(app::DialogUnits(this, 186, 95));
}

bool CZoomDlg::DoModal(int& zoom) {
    field_->setText(QString::number(zoom));
    field_->selectAll();
    if (app::ExecModal(*this) != QDialog::Accepted) return false;
    zoom = QzStandardToInt(field_->text().toStdString());
    return true;
}
