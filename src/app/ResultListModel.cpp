#include "app/ResultListModel.h"

#include "dialogs/QtPrompter.h"

namespace stowra {

void ResultListModel::Reset() {
    beginResetModel();
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.RowCount();
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.ColumnCount();
}

QStringList ResultListModel::ListViewData(int row) const {
    QStringList texts;
    for (const std::string& t : list_.RowTexts(row)) {
        texts << ToQt(t);
    }
    return texts;
}

namespace {

QVariant Alignment(bool left) {
    return QVariant::fromValue(Qt::Alignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
}

}  // namespace

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        const std::vector<std::string> texts = list_.RowTexts(index.row());
        return index.column() < static_cast<int>(texts.size())
                   ? ToQt(texts[static_cast<std::size_t>(index.column())])
                   : QString();
    }
    if (role == Qt::TextAlignmentRole) {
        return Alignment(list_.LeftAligned(index.column()));
    }
    if (role == Qt::ToolTipRole && list_.Mode() == ListMode::Files && index.column() == 0) {
        // The list cuts a long path in the middle; the whole of it shows on hover.
        const std::vector<std::string> texts = list_.RowTexts(index.row());
        return texts.empty() ? QVariant() : QVariant(ToQt(texts.front()));
    }
    return {};
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole && section < list_.ColumnCount()) {
        return ToQt(list_.HeaderText(section));
    }
    if (role == Qt::TextAlignmentRole) {
        return Alignment(list_.LeftAligned(section));
    }
    return {};
}

}  // namespace stowra
