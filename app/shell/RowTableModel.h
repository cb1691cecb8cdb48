#pragma once

#include "shell/Archive.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QStringList>

namespace brevane {

/// One row-table controller: rows are maps with string keys, columns show
/// the values of chosen keys. A value that is itself a map (an entry of a
/// choice list) shows and edits its "value". Owns the table's selection.
class RowTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit RowTableModel(QStringList columnKeys, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QStringList& columnKeys() const { return m_columnKeys; }
    void setColumnTitles(const QStringList& titles);
    void setEditable(bool editable);
    /// Columns whose value (0 or 1) shows as a check box.
    void setCheckBoxKeys(const QStringList& keys);
    /// Columns shown masked (passwords); editing still shows the text.
    void setSecretKeys(const QStringList& keys);
    /// Columns the program fills and the user only reads.
    void setReadOnlyKeys(const QStringList& keys);

    /// Rows in their arranged (display) order.
    const Rows& arrangedObjects() const { return m_rows; }
    void setRows(const Rows& rows);
    void addObject(const Row& row);
    void addObjects(const Rows& rows);
    void removeAllObjects();
    void removeObjectAtArrangedIndex(int row);
    void setValueForKey(int row, const QString& key, const QVariant& value);

    QItemSelectionModel* selectionModel() { return &m_selection; }
    /// Selected row numbers, ascending.
    QList<int> selectionIndexes() const;
    void setSelectionIndex(int row);

private:
    QStringList m_columnKeys;
    QStringList m_columnTitles;
    Rows m_rows;
    bool m_editable = true;
    QStringList m_checkBoxKeys;
    QStringList m_secretKeys;
    QStringList m_readOnlyKeys;
    QItemSelectionModel m_selection;
};

} // namespace brevane
