// The "Zarvel Tree View" dialog: the loaded model as a tree of its stored lines, each
// reference opening to the lines of its part, in three text modes and with or without
// line numbers.
#pragma once

#include <QDialog>

class QCheckBox;
class QRadioButton;
class QTreeView;
class TreeItemModel;
struct QzPart;

class CTreeViewDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CTreeViewDlg(QWidget* parent = nullptr);

    // Shows the tree of the model modally, collapsed, in the normal mode.
    void DoModal(const QzPart* model);

    QTreeView* Tree() const { return tree_; }
    TreeItemModel* Model() const { return model_; }
    QCheckBox* LineNumbers() const { return lineNumbers_; }
    QRadioButton* ModeButton(int mode) const { return modes_[mode]; }

  private:
    void OptionsChanged();

    TreeItemModel* model_;
    QTreeView* tree_;
    QCheckBox* lineNumbers_;
    QRadioButton* modes_[3];
};
