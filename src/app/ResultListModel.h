#pragma once
// The results list as a virtual table over the window model's list: it answers each visible row's
// texts when the view asks, so a medium of a hundred thousand files costs no per-row objects.

#include <QAbstractTableModel>

#include "ui/ResultView.h"

namespace stowra {

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Mode = ListMode;

    explicit ResultListModel(const ResultList& list, QObject* parent = nullptr)
        : QAbstractTableModel(parent), list_(list) {}

    // The list shows something else now: every row is read again.
    void Reset();
    Mode CurrentMode() const { return list_.Mode(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The texts of one row: the caption first, then one text per further column.
    QStringList ListViewData(int row) const;

private:
    const ResultList& list_;
};

}  // namespace stowra
