#include "pages/RepeaterListModel.h"

#include "model/RepeaterSettings.h"
#include "ui/QtText.h"

CRepeaterListModel::CRepeaterListModel(const CRepeaterSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), m_settings(settings)
{
}

int CRepeaterListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_settings.Repeaters().ShownRows();
}

int CRepeaterListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant CRepeaterListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    const auto& repeaters = m_settings.Repeaters();
    const auto row = static_cast<size_t>(index.row());
    if (!repeaters.IsRow(row))
        return QString(); // a blank row
    const RepeaterInfo& repeater = repeaters.Rows()[row];
    switch (index.column())
    {
    case 0:
        return ToQString(repeater.radioId);
    case 1:
        return ToQString(repeater.alias);
    case 2:
        return ToQString(repeater.ipSiteId);
    default:
        return {};
    }
}

QVariant CRepeaterListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // Fixed headings: no language renames them.
    static const char* const headings[kColumns] = {"Radio ID", "Alias", "IP Site ID"};
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(headings[section]);
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(Qt::AlignCenter);
    return {};
}
