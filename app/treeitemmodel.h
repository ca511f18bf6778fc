// The model tree for Qt's item views: rows are the tree's items, their texts composed by
// the tree only when the view asks, the lines of a referenced part fetched only when its
// row is first opened. A placeholder child is never shown as a row: it only gives the
// row its expand button.
#pragma once

#include <QAbstractItemModel>
#include <vector>

#include "treeview.h"

class TreeItemModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    explicit TreeItemModel(QObject* parent = nullptr);

    // Starts the tree over with the main model's lines at the top level.
    void Open(const QzPart* model);
    inspect::TreeModel& Tree() { return tree_; }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    bool hasChildren(const QModelIndex& parent) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    using ItemId = inspect::TreeModel::ItemId;
    ItemId IdOf(const QModelIndex& index) const;
    // Whether the item still has only its placeholder.
    bool Unfilled(ItemId item) const;

    mutable inspect::TreeModel tree_;
    // The row of each item under its parent, noted as rows are handed out.
    mutable std::vector<int> rows_;
};
