#include "app/ResultListModel.h"

#include "dialogs/QtPrompter.h"

namespace stowra {

void ResultListModel::Show(Mode mode) {
    beginResetModel();
    mode_ = mode;
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    switch (mode_) {
        case Mode::Summary:
            return static_cast<int>(state_.result.media.size());
        case Mode::Files:
            return static_cast<int>(state_.fileList.size());
        default:
            return 0;
    }
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    switch (mode_) {
        case Mode::Summary:
            return 4;
        case Mode::Files:
            return 2;
        default:
            return 0;
    }
}

QStringList ResultListModel::ListViewData(int row) const {
    const auto cluster = static_cast<std::uint32_t>(state_.profile.Cluster);
    if (mode_ == Mode::Summary && row >= 0 && static_cast<std::size_t>(row) < state_.result.media.size()) {
        const PackedMedium& m = state_.result.media[static_cast<std::size_t>(row)];
        return {QString::number(row + 1), QString::number(m.files), ToQt(SizeText(m.used, cluster)),
                ToQt(PercentText(m.fill))};
    }
    if (mode_ == Mode::Files && row >= 0 && static_cast<std::size_t>(row) < state_.fileList.size()) {
        const FileItem* f = state_.fileList[static_cast<std::size_t>(row)];
        return {ToQt(f->path()), ToQt(SizeText(f->fullSectors, cluster))};
    }
    return {};
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole) {
        QStringList texts = ListViewData(index.row());
        return index.column() < texts.size() ? texts[index.column()] : QString();
    }
    if (role == Qt::TextAlignmentRole) {
        bool left = mode_ == Mode::Files && index.column() == 0;
        return QVariant::fromValue(Qt::Alignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
    }
    return {};
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const QString summary[] = {QStringLiteral("No."), QTr("ファイル数"), QTr("総サイズ"),
                                          QTr("詰め込み率")};
        static const QString files[] = {QTr("ファイル名"), QTr("サイズ")};
        if (mode_ == Mode::Summary && section < 4)
            return summary[section];
        if (mode_ == Mode::Files && section < 2)
            return files[section];
    }
    if (role == Qt::TextAlignmentRole) {
        bool left = mode_ == Mode::Files && section == 0;
        return QVariant::fromValue(Qt::Alignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter));
    }
    return {};
}

}  // namespace stowra
