#include "treeitemmodel.h"

TreeItemModel::TreeItemModel(QObject* parent) : QAbstractItemModel(parent) {}

void TreeItemModel::Open(const QzPart* model) {
    beginResetModel();
    tree_.Open(model);
    rows_.clear();
    endResetModel();
}

TreeItemModel::ItemId TreeItemModel::IdOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<ItemId>(index.internalId()) : inspect::TreeModel::kRoot;
}

bool TreeItemModel::Unfilled(ItemId item) const {
    const std::vector<ItemId>& children = tree_.Children(item);
    return children.size() == 1 && tree_.IsPlaceholder(children.front());
}

QModelIndex TreeItemModel::index(int row, int column, const QModelIndex& parent) const {
    const ItemId id = IdOf(parent);
    if (column != 0 || row < 0 || Unfilled(id)) return {};
    const std::vector<ItemId>& children = tree_.Children(id);
    if (static_cast<size_t>(row) >= children.size()) return {};
    const ItemId child = children[static_cast<size_t>(row)];
    if (rows_.size() <= static_cast<size_t>(child))
        rows_.resize(static_cast<size_t>(child) + 1, -1);
    rows_[static_cast<size_t>(child)] = row;
    return createIndex(row, 0, static_cast<quintptr>(child));
}

QModelIndex TreeItemModel::parent(const QModelIndex& child) const {
    const ItemId parent = tree_.Parent(IdOf(child));
    if (parent == inspect::TreeModel::kRoot || !tree_.IsValid(parent)) return {};
    // The parent's row was noted when its index was made, before any of its children's.
    const int row =
        static_cast<size_t>(parent) < rows_.size() ? rows_[static_cast<size_t>(parent)] : -1;
    return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(parent));
}

int TreeItemModel::rowCount(const QModelIndex& parent) const {
    const ItemId id = IdOf(parent);
    if (parent.column() > 0 || Unfilled(id)) return 0;
    return static_cast<int>(tree_.Children(id).size());
}

int TreeItemModel::columnCount(const QModelIndex&) const { return 1; }

bool TreeItemModel::hasChildren(const QModelIndex& parent) const {
    return tree_.HasExpandButton(IdOf(parent));
}

bool TreeItemModel::canFetchMore(const QModelIndex& parent) const {
    return parent.isValid() && Unfilled(IdOf(parent));
}

void TreeItemModel::fetchMore(const QModelIndex& parent) {
    const ItemId id = IdOf(parent);
    if (!Unfilled(id)) return;
    const QzLine* line = tree_.Line(id);
    int lines = 0;
    if (line && line->part)
        for (const QzLine* l = line->part->lines; l; l = l->next) ++lines;
    if (lines > 0) beginInsertRows(parent, 0, lines - 1);
    tree_.OnItemExpanding(id);
    if (lines > 0)
        endInsertRows();
    else
        emit dataChanged(parent, parent);  // a part without lines loses its button
}

QVariant TreeItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return QString::fromStdString(tree_.OnGetItemText(IdOf(index)));
}

bool TreeItemModel::setData(const QModelIndex& index, const QVariant&, int role) {
    // A label can be edited in place, but the line stays as it was read: the item shows
    // its composed text again.
    if (role != Qt::EditRole) return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags TreeItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
