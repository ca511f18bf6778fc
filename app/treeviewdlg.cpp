#include "treeviewdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "dialogunits.h"
#include "modal.h"
#include "treeitemmodel.h"

CTreeViewDlg::CTreeViewDlg(QWidget* parent)
    : QDialog(parent),
      model_(new TreeItemModel(this)),
      tree_(new QTreeView(this)),
      lineNumbers_(new QCheckBox(tr("&Line Numbers"), this)) {
    setWindowTitle(tr("Zarvel Tree View"));
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setRootIsDecorated(true);
    tree_->setDragEnabled(false);
    tree_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    // Lines are long: the column is wide and the view scrolls sideways.
    tree_->header()->setStretchLastSection(false);
    tree_->header()->resizeSection(0, tree_->fontMetrics().averageCharWidth() * 200);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    const char* names[3] = {"&Normal", "&BFC", "B&ounding Box"};
    auto* group = new QButtonGroup(this);
    for (int mode = 0; mode < 3; ++mode) {
        modes_[mode] = new QRadioButton(tr(names[mode]), this);
        group->addButton(modes_[mode], mode);
    }
    connect(lineNumbers_, &QCheckBox::toggled, this, &CTreeViewDlg::OptionsChanged);
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) OptionsChanged();
    });

    auto* side = new QVBoxLayout;
    side->addWidget(ok);
    side->addSpacing(app::DialogUnitsY(this, 20));
    side->addWidget(lineNumbers_);
    side->addSpacing(app::DialogUnitsY(this, 8));
    for (QRadioButton* button : modes_) side->addWidget(button);
    side->addStretch(1);
    auto* layout = new QGridLayout(this);
    layout->addWidget(tree_, 0, 0);
    layout->addLayout(side, 0, 1);
    layout->setColumnStretch(0, 1);
    setSizeGripEnabled(true);
    setMinimumSize(200, 100);
    resize(app::DialogUnits(this, 318, 219));
}

void CTreeViewDlg::DoModal(const QzPart* model) {
    model_->Open(model);
    lineNumbers_->setChecked(false);
    modes_[0]->setChecked(true);
    tree_->setFocus();
    app::ExecModal(*this);
}

void CTreeViewDlg::OptionsChanged() {
    inspect::TreeModel& tree = model_->Tree();
    tree.SetShowLineNumbers(lineNumbers_->isChecked());
    for (int mode = 0; mode < 3; ++mode)
        if (modes_[mode]->isChecked()) tree.SetTextMode(mode);
    // Texts are composed whenever a row is painted: repainting shows the new ones.
    tree_->viewport()->update();
}
