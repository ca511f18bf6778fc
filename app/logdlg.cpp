#include "logdlg.h"

#include <QGridLayout>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogunits.h"
#include "modal.h"

namespace {

// The window never gets smaller than this many pixels.
constexpr int kMinWidth = 175;
constexpr int kMinHeight = 110;

}  // namespace

CLogDlg::CLogDlg(const QString& caption, QWidget* parent)
    : QDialog(parent),
      caption_(caption),
      edit_(new QPlainTextEdit(this)),
      ok_(new QPushButton(tr("OK"), this)) {
    setObjectName("Log Dialog");
    edit_->setReadOnly(true);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ok_->setDefault(true);
    ok_->setFixedSize(app::DialogUnits(this, 50, 14));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    // The text area takes every pixel the window gains; OK stays at the top right.
    auto* layout = new QGridLayout(this);
    const int margin = app::DialogUnitsX(this, 7);
    layout->setContentsMargins(margin, app::DialogUnitsY(this, 7), margin, margin);
    layout->setHorizontalSpacing(app::DialogUnitsX(this, 6));
    layout->addWidget(edit_, 0, 0);
    layout->addWidget(ok_, 0, 1, Qt::AlignTop);
    layout->setColumnStretch(0, 1);

    setSizeGripEnabled(true);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(app::DialogUnits(this, 362, 222));
}

void CLogDlg::DoModal() {
    QString body = text;
    body.replace("\r\n", "\n");
    edit_->setPlainText(body);
    // Tabs stop every 50 dialog units.
    edit_->setTabStopDistance(app::DialogUnitsX(this, 50));
    setWindowTitle(caption_);
    app::ExecModal(*this);
}
