#pragma once
// A table whose first columns show captions and whose other columns are
// check boxes onto a selection table (the CSV selection's NodeSel and
// BeamSel, the plot's tension records). Only the user's clicks write the
// selection; refresh() shows it again after the window changed it.

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>

namespace qrn::plot {

class CheckTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    struct Source {
        QStringList headers;  // captions first, then one per check column
        int captionColumns = 1;
        std::function<int()> rows;
        std::function<QString(int row, int column)> caption;
        std::function<bool(int row, int check)> checked;
        std::function<void(int row, int check, bool on)> setChecked;
    };

    explicit CheckTableModel(Source source, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The selection changed outside the table.
    void refresh();

  signals:
    // The user ticked or cleared a box.
    void edited();

  private:
    Source src_;
};

}  // namespace qrn::plot
