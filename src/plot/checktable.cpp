#include "plot/checktable.h"

namespace qrn::plot {

CheckTableModel::CheckTableModel(Source source, QObject* parent)
    : QAbstractTableModel(parent), src_(std::move(source)) {}

int CheckTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : src_.rows();
}

int CheckTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(src_.headers.size());
}

QVariant CheckTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int c = index.column();
    if (c < src_.captionColumns) {
        if (role == Qt::DisplayRole) return src_.caption(index.row(), c);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::CheckStateRole)
        return src_.checked(index.row(), c - src_.captionColumns) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool CheckTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() < src_.captionColumns)
        return false;
    const bool on = value.value<Qt::CheckState>() == Qt::Checked;
    src_.setChecked(index.row(), index.column() - src_.captionColumns, on);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit edited();
    return true;
}

Qt::ItemFlags CheckTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (index.column() < src_.captionColumns) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant CheckTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return section >= 0 && section < src_.headers.size() ? src_.headers[section] : QVariant();
}

void CheckTableModel::refresh() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

}  // namespace qrn::plot
