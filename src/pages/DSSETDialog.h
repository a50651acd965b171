#pragma once

#include "events/ListenerBase.h"
#include "events/NotifierBase.h"
#include "model/StationSettings.h"
#include "network/ConnectionTest.h"
#include "pages/ResizablePage.h"

#include <QPointer>
#include <memory>
#include <vector>

class CChangedEdit;
class CConnectionTestDialog;
class CDropDownList;
class CListEditor;
class CNumEdit;
class CStationListModel;
class MobileChannelDetector;
class QCheckBox;
class QPushButton;
class QTableView;

// The Dispatch Station Settings page: the dispatch stations with their alias, pseudo ID,
// adapter IP, kind and sound devices, and the connection test of a station's radio. The data
// and its rules live in CStationSettings; the page moves values between the controls and it.
//
// It hears two kinds of events: the IP addresses of the adapters (1029) from the detector it
// owns, delivered on the window's thread while the IP box drops down, and the radio's data
// (1026) during a connection test, delivered on the test socket's thread and ignored. It
// notifies nobody itself.
class CDSSETDialog : public CResizablePage, public CListenerBase, public CNotifierBase
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 153;

    // Control IDs of the page (labels carry their text IDs).
    enum ControlId
    {
        kChangeButton = 1046,
        kAddButton = 1047,
        kRemoveButton = 1049,
        kTestButton = 1050,
        kEntrySaveButton = 1051,
        kEntryCancelButton = 1052,
        kAliasEdit = 1058,
        kFrontMicCheck = 1059,
        kGpsCheck = 1060,
        kStationList = 1078,
        kSpeakerList = 1079,
        kMicrophoneList = 1080,
        kIpBox = 1090,
        kPseudoIdEdit = 1123,
        kQuickGpsCheck = 1229,
    };

    // Makes the adapter detector and listens to it for the adapters' addresses.
    explicit CDSSETDialog(QWidget* parent = nullptr);
    // Ends a connection test that still runs, then stops listening and drops the detector.
    ~CDSSETDialog() override;

    // Writes the stations into the document. Never fails.
    bool SaveConfig() override;
    // The fonts, and the entry's Save and Cancel labels (texts 1111 and 1112, or English).
    void LoadLanguage() override;
    bool CancelEdit() override;

    // Adapter addresses (1029) fill the IP box; the radio's data (1026) is not used.
    void OnEvent(CEventBase* event) override;

    const CStationSettings& Settings() const { return m_settings; }
    bool IsEditingEntry() const { return m_editing; }
    // The connection test's progress while one runs, else null.
    CConnectionTestDialog* ConnectionTest() const;
    // The waits of the connection test (the procedure's own unless a test shortens them).
    void SetTestOptions(const connection_test::COptions& options) { m_testOptions = options; }

protected:
    void OnInitDialog() override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Shows the stations as the settings hold them now.
    void FillList();
    // Fills a drop-down list with the devices found, selecting wanted, or keeping the name it
    // shows when wanted is empty, even when no device has that name any longer.
    void FillDevices(CDropDownList* list, const std::vector<std::wstring>& found,
                     const std::wstring& wanted);
    // Reads the sound devices anew into both lists.
    void ReadDevices();
    // Reads them the first time a list is needed.
    void EnsureDevices();
    void ShowStation(const StationInfo& station);
    // The blank state: nothing chosen, the fields empty, only Add on.
    void ShowNothing();
    void OnSelectionChanged();
    void OnAdd();
    void OnChange();
    void OnRemove();
    void OnEntrySave();
    void OnEntryCancel();
    void OnKindClicked();
    void OnIpDroppingDown();
    void OnConnectionTest();
    void OnConnectionTestFinished(int messageId);
    void BeginEdit(bool adding);
    // Leaves editing: list buttons, fields and Connection Test off; entry Save and Cancel
    // hidden.
    void EndEdit();
    // Enables "GPS Dispatch Station" and the sound controls as the ticked kind allows.
    void ApplyKindRules();
    void SetFieldsEnabled(bool enabled);
    // The editor's values as the controls hold them.
    StationEntry TakeEntry() const;

    CStationSettings m_settings;
    std::unique_ptr<MobileChannelDetector> m_detector;
    bool m_adding = true;
    int m_editRow = -1; // the row a change applies to
    bool m_editing = false;
    CListEditor* m_listEditor = nullptr;
    QPointer<CConnectionTestDialog> m_test;
    connection_test::COptions m_testOptions;
    // The devices found when the lists were last filled.
    bool m_devicesRead = false;
    std::vector<std::wstring> m_speakers;
    std::vector<std::wstring> m_microphones;

    CStationListModel* m_rows;
    QTableView* m_list;
    QPushButton* m_add;
    QPushButton* m_change;
    QPushButton* m_remove;
    CChangedEdit* m_alias;
    CNumEdit* m_pseudoId;
    CDropDownList* m_ip;
    QCheckBox* m_quickGps;
    QCheckBox* m_gps;
    QCheckBox* m_frontMic;
    CDropDownList* m_speaker;
    CDropDownList* m_microphone;
    QPushButton* m_testButton;
    QPushButton* m_entrySave;
    QPushButton* m_entryCancel;
};
