#include "ldrawdirdlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "dialogunits.h"
#include "modal.h"
#include "pathtext.h"

CLDrawDirDlg::CLDrawDirDlg(QWidget* parent)
    : QDialog(parent),
      field_(new QLineEdit(this)),
      browse_(new QPushButton(tr("Browse..."), this)) {
    setWindowTitle(tr("LDraw Directory"));
    connect(browse_, &QPushButton::clicked, this, &CLDrawDirDlg::Browse);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr(kLDrawDirPrompt), this), 0, 0, 1, 2);
    layout->addWidget(field_, 1, 0);
    layout->addWidget(browse_, 1, 1);
    layout->addWidget(buttons, 0, 2, 2, 1);
    layout->setColumnStretch(0, 1);
    resize(app::DialogUnits(this, 339, 74));
}

bool CLDrawDirDlg::DoModal(std::string& directory) {
    const QString shown = app::PathText(directory);
    field_->setText(shown);
    if (app::ExecModal(*this) != QDialog::Accepted) return false;
    // A folder whose name is not UTF-8 has no exact text: unless the text was changed,
    // the folder stays the one it was.
    if (field_->text() != shown) directory = app::PathBytes(field_->text());
    return true;
}

void CLDrawDirDlg::Browse() {
    // The picker starts at the desktop, as the folder to look from.
    QFileDialog picker(this, tr(kLDrawDirPrompt),
                       app::PickerStartFolder(QStandardPaths::DesktopLocation));
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    if (app::ExecModal(picker) != QDialog::Accepted || picker.selectedFiles().isEmpty()) return;
    field_->setText(QDir::toNativeSeparators(picker.selectedFiles().first()));
}
