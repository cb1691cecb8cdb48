#include "shell/RowTableModel.h"

#include <algorithm>

namespace brevane {

namespace {

const QString choiceKey = QStringLiteral("value");

QVariant shownValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap)
        return value.toMap().value(choiceKey);
    return value;
}

} // namespace

RowTableModel::RowTableModel(QStringList columnKeys, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columnKeys(std::move(columnKeys))
    , m_columnTitles(m_columnKeys)
    , m_selection(this)
{
}

int RowTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RowTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columnKeys.size());
}

QVariant RowTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QString& key = m_columnKeys.at(index.column());
    const QVariant value = shownValue(m_rows.at(index.row()).value(key));
    if (m_checkBoxKeys.contains(key)) {
        if (role == Qt::CheckStateRole)
            return value.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole && m_secretKeys.contains(key))
        return QString(value.toString().size(), QChar(0x2022));
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return value;
}

bool RowTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !m_editable
        || m_readOnlyKeys.contains(m_columnKeys.at(index.column())))
        return false;
    Row& row = m_rows[index.row()];
    const QString& key = m_columnKeys.at(index.column());
    if (m_checkBoxKeys.contains(key)) {
        if (role != Qt::CheckStateRole)
            return false;
        row.insert(key, value.toInt() == Qt::Checked ? 1 : 0);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    // A choice cell keeps referring to an entry: editing replaces the entry.
    if (row.value(key).typeId() == QMetaType::QVariantMap)
        row.insert(key, QVariantMap{{choiceKey, value.toString()}});
    else
        row.insert(key, value);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags RowTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!m_editable || !index.isValid() || m_readOnlyKeys.contains(m_columnKeys.value(index.column())))
        return result;
    if (m_checkBoxKeys.contains(m_columnKeys.value(index.column())))
        return result | Qt::ItemIsUserCheckable;
    return result | Qt::ItemIsEditable;
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columnTitles.size())
        return m_columnTitles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void RowTableModel::setColumnTitles(const QStringList& titles)
{
    m_columnTitles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_columnKeys.size()) - 1);
}

void RowTableModel::setEditable(bool editable)
{
    m_editable = editable;
}

void RowTableModel::setCheckBoxKeys(const QStringList& keys)
{
    m_checkBoxKeys = keys;
}

void RowTableModel::setSecretKeys(const QStringList& keys)
{
    m_secretKeys = keys;
}

void RowTableModel::setReadOnlyKeys(const QStringList& keys)
{
    m_readOnlyKeys = keys;
}

void RowTableModel::setRows(const Rows& rows)
{
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void RowTableModel::addObject(const Row& row)
{
    addObjects({row});
}

void RowTableModel::addObjects(const Rows& rows)
{
    if (rows.isEmpty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.append(rows);
    endInsertRows();
}

void RowTableModel::removeAllObjects()
{
    if (m_rows.isEmpty())
        return;
    setRows({});
}

void RowTableModel::removeObjectAtArrangedIndex(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void RowTableModel::setValueForKey(int row, const QString& key, const QVariant& value)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].insert(key, value);
    const int column = static_cast<int>(m_columnKeys.indexOf(key));
    if (column >= 0)
        emit dataChanged(index(row, column), index(row, column));
}

QList<int> RowTableModel::selectionIndexes() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_selection.selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void RowTableModel::setSelectionIndex(int row)
{
    if (row < 0 || row >= m_rows.size()) {
        m_selection.clearSelection();
        return;
    }
    m_selection.select(index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection.setCurrentIndex(index(row, 0), QItemSelectionModel::NoUpdate);
}

} // namespace brevane
