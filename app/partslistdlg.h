// The "Parts List" window: the parts of the model by colour with their quantities in a
// table sorted by clicking a column's header, the total, and a button that saves the
// list as a CSV file.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "inventory.h"

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

class CPartsListDlg : public QDialog {
    Q_OBJECT

  public:
    // modelPath: the model file, whose folder and name the save dialog proposes.
    // incomplete: the line that says what the full part table left out of the list
    // (inspect::IncompleteText), shown under the total; empty for a complete list.
    CPartsListDlg(std::vector<inspect::PartsRow> rows, std::string modelPath,
                  std::string incomplete = {}, QWidget* parent = nullptr);

    void DoModal();

    QTableView* Table() const { return table_; }
    QStandardItemModel* Rows() const { return items_; }
    QLabel* Total() const { return total_; }
    QPushButton* SaveButton() const { return save_; }

    // The save dialog, then the CSV written through a temporary file beside the target.
    void SaveCsv();

  private:
    std::vector<inspect::PartsRow> rows_;
    std::string modelPath_;
    QStandardItemModel* items_;
    QTableView* table_;
    QLabel* total_;
    QPushButton* save_;
};
