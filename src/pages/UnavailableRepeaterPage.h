#pragma once

#include "pages/RepeaterPageBase.h"

class QLabel;

// Stands in the repeater frame for the repeater page that this version does not have yet.
// It has no edit mode, changes nothing and so always saves successfully.
class CUnavailableRepeaterPage : public CRepeaterPageBase
{
    Q_OBJECT

public:
    explicit CUnavailableRepeaterPage(QWidget* parent = nullptr);

    void OnInitDialog() override;
    bool InEditMode() const override { return false; }
    void SaveEntry() override {}
    void CancelEntry() override {}
    bool SaveConfig() override { return true; }
    void LoadLanguage() override;

private:
    QLabel* m_notice;
};
