#pragma once

#include <QAbstractTableModel>

class CStationSettings;

// The station list as the page shows it, read straight from the settings: a row for each
// station (alias, pseudo ID and IP, centred), then blank rows up to the list's least number.
// Nothing is copied into the view, so a list of a thousand stations costs nothing to show
// beyond the rows on screen. Refresh after the settings change.
class CStationListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The settings must outlive the model.
    explicit CStationListModel(const CStationSettings& settings, QObject* parent = nullptr);

    // Tells the views that every row may have changed (a station added, changed or removed).
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const CStationSettings& m_settings;
};
