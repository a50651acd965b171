#pragma once

#include <QComboBox>

// A drop-down list whose entries are read anew each time it is dropped down (the sound
// devices, the adapters' addresses): it says so just before its list opens, so that the owner
// can refill it.
class CDropDownList : public QComboBox
{
    Q_OBJECT

public:
    explicit CDropDownList(QWidget* parent = nullptr);

    void showPopup() override;

Q_SIGNALS:
    // The list is about to open; the entries set now are those it shows.
    void droppingDown();
};
