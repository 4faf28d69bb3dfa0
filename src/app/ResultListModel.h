#pragma once
// The results list as a virtual table: it holds a row count and answers each visible row's texts
// when the view asks, so a medium of a hundred thousand files costs no per-row objects.

#include <QAbstractTableModel>

#include "packing/ScanSession.h"

namespace stowra {

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Mode { Empty, Summary, Files };

    explicit ResultListModel(const ScanState& state, QObject* parent = nullptr)
        : QAbstractTableModel(parent), state_(state) {}

    // Shows the media summary, the files of the state's file list, or nothing.
    void Show(Mode mode);
    Mode CurrentMode() const { return mode_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The texts of one row: the caption first, then one text per further column.
    QStringList ListViewData(int row) const;

private:
    const ScanState& state_;
    Mode mode_ = Mode::Empty;
};

}  // namespace stowra
