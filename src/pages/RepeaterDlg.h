#pragma once

#include "model/RepeaterSettings.h"
#include "pages/RepeaterPageBase.h"

#include <array>

class CChangedEdit;
class CListEditor;
class CNumEdit;
class CRepeaterListModel;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

// The repeater settings page: the port and timeout settings of the repeater interface and the
// repeaters with their two time slots, in two groups that fold. The repeater frame hosts it
// and carries the Save and Cancel of its edit mode (adding or changing a repeater). The data
// and its rules live in CRepeaterSettings; the page moves values between the controls and it.
class CRepeaterDlg : public CRepeaterPageBase
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 250;

    // Control IDs of the page (labels carry their text IDs).
    enum ControlId
    {
        kIpSiteIdEdit = 1135,
        kAliasEdit = 1136,
        kRadioIdEdit = 1137,
        kRepeaterList = 1138,
        kPseudoIdEdit = 2139,
        kAddButton = 1086,
        kRemoveButton = 1087,
        kChangeButton = 1088,
        kPortsHeader = 1174,
        kRepeatersHeader = 1175,
    };
    // The controls of one time slot.
    struct SlotIds
    {
        int used;
        int alias;
        int subNetId;
        int quickGps;
        int gpsData;
        int ipSiteChannel;
        int encrypt;
        int rtpType;
        int aliasLabel;
        int subNetIdLabel;
        int rtpTypeLabel;
    };
    static constexpr std::array<SlotIds, 2> kSlotIds{{
        {1140, 1128, 1132, 1230, 1129, 1186, 1232, 1234, 1056, 1142, 1233},
        {1141, 1130, 1133, 1231, 1131, 1187, 1235, 1236, 1057, 1143, 1237},
    }};

    // The edit modes: none, adding a repeater, changing the selected one.
    enum class Mode
    {
        None,
        Adding,
        Changing,
    };

    explicit CRepeaterDlg(QWidget* parent = nullptr);

    void SetEntryButtons(QAbstractButton* save, QAbstractButton* cancel) override;
    // Loads the model, fills the list and the fields; the edit mode is off.
    void OnInitDialog() override;
    bool InEditMode() const override { return m_mode != Mode::None; }
    // The frame's Save: the entry is checked by the model; a refusal is shown and the edit
    // stays open.
    void SaveEntry() override;
    // The frame's Cancel: no record changes; a cancelled change shows its repeater again.
    void CancelEntry() override;
    void Refresh() override;
    // Writes the port settings and the repeaters into the document; never fails.
    bool SaveConfig() override;
    // The language font on every control, the RTP types' labels in the language, then the
    // groups laid out anew for the new texts.
    void LoadLanguage() override;

    Mode EditMode() const { return m_mode; }
    const CRepeaterSettings& Settings() const { return m_settings; }
    // Whether a group shows its fields (0: ports, 1: repeaters).
    bool IsGroupOpen(int group) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SlotControls
    {
        QCheckBox* used;
        QLabel* aliasLabel;
        QLineEdit* alias;
        QLabel* subNetIdLabel;
        CNumEdit* subNetId;
        QCheckBox* quickGps;
        QCheckBox* gpsData;
        QCheckBox* ipSiteChannel;
        QCheckBox* encrypt;
        QLabel* rtpTypeLabel;
        QComboBox* rtpType;
    };
    struct Group
    {
        QToolButton* header;
        QWidget* body;
    };

    QWidget* BuildPortsBody();
    QWidget* BuildRepeatersBody();
    // Places the group headers and the open groups one below the other and takes their
    // extent as the page's design size. The controls sit at fixed places in their group, as
    // in a dialog template, measured for the current font and texts.
    void PlaceGroups();
    // Place the controls of a group; the size the group takes.
    QSize PlacePorts(int rowHeight);
    QSize PlaceRepeaters(int rowHeight);
    // The height of a row of fields in the current font.
    int RowHeight() const;
    void ToggleGroup(int group);

    void OnSelectionChanged();
    // Back to browsing: Add, Remove, Change and every repeater and slot control disabled.
    void EndRepeaterEdit();
    void ChooseNoRepeater();
    void OnAdd();
    void OnChange();
    void OnRemove();
    void BeginEdit(Mode mode);
    // Leaves the edit mode: the list, the page tree and the main window's buttons come back,
    // and the frame lays itself out for browsing.
    void LeaveEditMode();
    // The enabling rule of a slot, from what its check boxes show.
    void ApplyEnabling(size_t slot);

    RepeaterEntry ReadEntry() const;
    void ShowEntry(const RepeaterEntry& entry);
    void ClearEntry();
    // Fills an RTP Type list with the types of the ini file and the slot's own type, choosing
    // that one (nothing for kNone).
    void FillRtpTypes(QComboBox* list, uint32_t current);
    // The labels of a filled list in the current language.
    void RelabelRtpTypes(QComboBox* list);
    int SelectedRow() const;

    CRepeaterSettings m_settings;
    Mode m_mode = Mode::None;
    int m_editRow = -1; // the row a change applies to
    QAbstractButton* m_entrySave = nullptr;
    QAbstractButton* m_entryCancel = nullptr;
    CListEditor* m_listEditor = nullptr;

    std::array<QLabel*, CRepeaterSettings::kPortCount> m_portLabels{};
    std::array<CChangedEdit*, CRepeaterSettings::kPortCount> m_ports{};
    CRepeaterListModel* m_listModel = nullptr;
    QTableView* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_change = nullptr;
    QLabel* m_radioIdLabel = nullptr;
    CNumEdit* m_radioId = nullptr;
    QLabel* m_aliasLabel = nullptr;
    QLineEdit* m_alias = nullptr;
    QLabel* m_ipSiteIdLabel = nullptr;
    CNumEdit* m_ipSiteId = nullptr;
    QLabel* m_pseudoIdLabel = nullptr;
    QLineEdit* m_pseudoId = nullptr;
    std::array<SlotControls, 2> m_slots{};
    std::array<Group, 2> m_groups{};
};
