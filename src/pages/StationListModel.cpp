#include "pages/StationListModel.h"

#include "model/StationSettings.h"
#include "ui/QtText.h"

namespace
{

constexpr int kColumns = 3;

} // namespace

CStationListModel::CStationListModel(const CStationSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), m_settings(settings)
{
}

void CStationListModel::Refresh()
{
    beginResetModel();
    endResetModel();
}

int CStationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_settings.Stations().ShownRows();
}

int CStationListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant CStationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole)
        return {};
    const auto& stations = m_settings.Stations();
    const auto row = static_cast<size_t>(index.row());
    if (!stations.IsRow(row))
        return QString(); // a blank row
    const StationInfo& station = stations.Rows()[row];
    switch (index.column())
    {
    case 0:
        return ToQString(station.name);
    case 1:
        return ToQString(station.pseudoId);
    case 2:
        return ToQString(station.ipAddress);
    default:
        return {};
    }
}

QVariant CStationListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole)
        return {};
    // Fixed titles: the language does not change them.
    switch (section)
    {
    case 0:
        return QStringLiteral("Alias");
    case 1:
        return QStringLiteral("Pseudo ID");
    case 2:
        return QStringLiteral("IP");
    default:
        return {};
    }
}

Qt::ItemFlags CStationListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
