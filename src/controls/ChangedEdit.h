#pragma once

#include <QLineEdit>

// An edit field that tells the main window when the user types into it: every accepted typed
// character posts WM_CONFIG_MODIFIED (while the notify flag is on). Subclasses filter what
// may be typed and correct the text afterwards; pasted text and text the program sets pass
// no filter.
class CChangedEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CChangedEdit(QWidget* parent = nullptr);

    void SetNotify(bool notify) { m_notify = notify; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

    // Whether a typed character (8 for backspace) is taken; the base takes everything.
    virtual bool AcceptsTyped(wchar_t typed) const;
    // Runs after an accepted character was inserted.
    virtual void AfterTyped() {}
    // Whether an accepted character posts the change notification.
    virtual bool NotifiesOnTyping() const { return m_notify; }

    // Replaces the text and puts the caret at its end.
    void SetTextCaretAtEnd(const std::wstring& text);

private:
    bool m_notify = true;
};
