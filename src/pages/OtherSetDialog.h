#pragma once

#include "model/LogSettings.h"
#include "pages/ResizablePage.h"
#include "ui/BalloonTip.h"

class CNumEdit;
class QComboBox;

// The Others page: the size of one gateway log file and the gateway's log level. The data and
// its rules live in CLogSettings; the page moves values between the controls and it. A level
// chosen here becomes the tool's own log level at once, before anything is saved.
class COtherSetDialog : public CResizablePage
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 133;

    // Control IDs of the page (labels carry their text IDs).
    enum ControlId
    {
        kFileSizeEdit = 1066,
        kLogLevelList = 1067,
        kFileSizeLabel = 1068,
        kLogLevelLabel = 1069,
        kFileSizeUnit = 1113,
    };

    explicit COtherSetDialog(QWidget* parent = nullptr);

    // Writes LogFileSize (10 when out of range, the field too) and LogFilter into the document.
    bool SaveConfig() override;
    // The language font, the level names in the current language, and the level to show: the
    // document's the first time, the one shown or chosen since afterwards.
    void LoadLanguage() override;

    const CLogSettings& Settings() const { return m_settings; }
    // The balloon tip on show (empty when none), and the last one shown.
    QString Balloon() const { return m_balloon.Shown(); }
    const QString& LastBalloon() const { return m_balloon.Last(); }

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnLevelChosen(int index);
    // The range tip on the size field: shown (show) while the size is out of range, or only
    // hidden once it is back in range.
    void ShowSizeHint(bool show);

    CLogSettings m_settings;
    CBalloonTip m_balloon;
    CNumEdit* m_fileSize;
    QComboBox* m_level;
};
