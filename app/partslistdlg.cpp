#include "partslistdlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "atomicfile.h"
#include "dialogunits.h"
#include "frametexts.h"
#include "messagebox.h"
#include "modal.h"
#include "pathtext.h"

namespace {

// An item that sorts by its number.
QStandardItem* NumberItem(qulonglong value, const QString& text) {
    auto* item = new QStandardItem(text);
    item->setData(value, Qt::UserRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QStandardItem* TextItem(const std::string& text) {
    auto* item = new QStandardItem(QString::fromStdString(text));
    item->setData(QString::fromStdString(text), Qt::UserRole);
    return item;
}

}  // namespace

CPartsListDlg::CPartsListDlg(std::vector<inspect::PartsRow> rows, std::string modelPath,
                             std::string incomplete, QWidget* parent)
    : QDialog(parent),
      rows_(std::move(rows)),
      modelPath_(std::move(modelPath)),
      items_(new QStandardItemModel(this)),
      table_(new QTableView(this)),
      total_(new QLabel(this)),
      save_(new QPushButton(tr("&Save CSV..."), this)) {
    setWindowTitle(tr("Parts List"));
    items_->setHorizontalHeaderLabels(
        {tr("Part"), tr("Colour"), tr("Colour name"), tr("Quantity"), tr("Description")});
    items_->setSortRole(Qt::UserRole);
    for (const inspect::PartsRow& row : rows_) {
        QList<QStandardItem*> cells{
            TextItem(row.part),
            NumberItem(static_cast<qulonglong>(static_cast<uint32_t>(row.colour)),
                       QString::fromStdString(inspect::ColourText(row.colour))),
            TextItem(row.colourName),
            NumberItem(static_cast<qulonglong>(row.quantity), QString::number(row.quantity)),
            TextItem(row.description)};
        if (row.missing)
            for (QStandardItem* cell : cells) cell->setForeground(QColor(192, 0, 0));
        for (QStandardItem* cell : cells) cell->setEditable(false);
        items_->appendRow(cells);
    }
    table_->setModel(items_);
    // The rows come sorted by part, then colour: the header says so, and a sort by
    // another column keeps that order among equal values.
    table_->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->resizeColumnsToContents();
    QString total = tr("Total: %1").arg(QString::fromStdString(inspect::TotalText(rows_)));
    if (!incomplete.empty()) {
        total += "\n" + QString::fromStdString(incomplete);
        total_->setStyleSheet(QStringLiteral("color: #c00000"));
    }
    total_->setText(total);
    total_->setWordWrap(true);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(save_, &QPushButton::clicked, this, &CPartsListDlg::SaveCsv);
    save_->setEnabled(!rows_.empty());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(total_, 1);
    buttons->addWidget(save_);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    setSizeGripEnabled(true);
    resize(app::DialogUnits(this, 400, 260));
}

void CPartsListDlg::DoModal() { app::ExecModal(*this); }

void CPartsListDlg::SaveCsv() {
    // The list goes beside the model, named after it, unless the user says otherwise.
    const QString folder = modelPath_.empty()
                               ? app::PickerStartFolder(QStandardPaths::DocumentsLocation)
                               : QFileInfo(app::PathText(modelPath_)).absolutePath();
    const QString proposed =
        QDir(folder).filePath(app::PathText(QzProposedFileName(modelPath_, ".csv")));
    QFileDialog dialog(this, tr("Save parts list"), proposed,
                       tr("CSV files (*.csv);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (app::ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    std::string error;
    if (!plat::WriteFileAtomically(app::PathBytes(dialog.selectedFiles().first()),
                                   inspect::PartsCsv(rows_), error))
        plat::ShowMessage(error, plat::MessageKind::Stop);
}
