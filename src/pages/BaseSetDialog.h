#pragma once

#include "model/BasicSettings.h"
#include "pages/ResizablePage.h"
#include "ui/BalloonTip.h"

class CIPEdit;
class CListEditor;
class CPortEdit;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The Basic Settings page: the gateway's local endpoint, its radio servers, the voice codec,
// the speed unit of telemetry GPS data and two GPS/RRS switches. The data and its rules live
// in CBasicSettings; the page moves values between the controls and it.
class CBaseSetDialog : public CResizablePage
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 129;

    // Control IDs of the page (labels and buttons carry their text IDs).
    enum ControlId
    {
        kLocalIpEdit = 1002,
        kLocalPortEdit = 1003,
        kVoipPortEdit = 1004,
        kServerIpEdit = 1005,
        kServerPortEdit = 1013,
        kServerList = 1085,
        kAddButton = 1086,
        kRemoveButton = 1087,
        kChangeButton = 1088,
        kEntrySaveButton = 1111,
        kEntryCancelButton = 1112,
        kCodecList = 1118,
        kSpeedUnitList = 1120,
        kGpsTrackingCheck = 1121,
        kRrsDisabledCheck = 1122,
    };

    explicit CBaseSetDialog(QWidget* parent = nullptr);

    bool SaveConfig() override;
    void LoadLanguage() override;

    bool CancelEdit() override;

    const CBasicSettings& Settings() const { return m_settings; }
    bool IsEditingEntry() const { return m_editing; }
    // The balloon tip on show (empty when none), and the last one shown.
    QString Balloon() const { return m_balloon.Shown(); }
    const QString& LastBalloon() const { return m_balloon.Last(); }

protected:
    void OnInitDialog() override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void FillList();
    void OnSelectionChanged();
    void OnAdd();
    void OnChange();
    void OnRemove();
    void OnEntrySave();
    void OnEntryCancel();
    void BeginEntry(bool adding);
    // Leaves entry editing: buttons and entry fields off, entry Save and Cancel hidden.
    void EndEntry();
    // The model's hint for a field after a change, as a balloon tip on it: shown (show) or
    // only hidden when its cause has gone.
    void ShowHint(QWidget* field, const char* key, bool show);
    void TakeControls();

    CBasicSettings m_settings;
    bool m_adding = true;
    int m_editRow = -1; // the row a change applies to
    bool m_editing = false;
    CBalloonTip m_balloon;
    CListEditor* m_listEditor = nullptr;

    CIPEdit* m_localIp;
    CPortEdit* m_localPort;
    CPortEdit* m_voipPort;
    QComboBox* m_speedUnit;
    QCheckBox* m_gpsTracking;
    QCheckBox* m_rrsDisabled;
    QLabel* m_codecLabel;
    QComboBox* m_codec;
    QTableWidget* m_list;
    CIPEdit* m_serverIp;
    CPortEdit* m_serverPort;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_change;
    QPushButton* m_entrySave;
    QPushButton* m_entryCancel;
};
