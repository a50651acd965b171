#pragma once

#include <QAbstractTableModel>

class CRepeaterSettings;

// The repeater list as the page shows it: the settings' repeaters in list order, padded with
// blank rows, in three centred columns under fixed headings. It holds no copy of them: the
// view reads a row when it draws it, so a list of any length fills at once.
class CRepeaterListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumns = 3;

    // settings must outlive the model; the page owns both.
    explicit CRepeaterListModel(const CRepeaterSettings& settings, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Called around every change of the settings' repeaters, so that the view reads them
    // anew (its selection is dropped).
    void BeginChange() { beginResetModel(); }
    void EndChange() { endResetModel(); }

private:
    const CRepeaterSettings& m_settings;
};
