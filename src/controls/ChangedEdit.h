#pragma once

#include <QLineEdit>

// An edit field that tells the main window when the user changes it: every edit (a typed
// character, a paste, a cut, an undo) posts WM_CONFIG_MODIFIED while the notify flag is on.
// Subclasses filter what may be typed and correct the text afterwards. Pasted and dropped
// text goes through the same filter, character by character, as if it were typed; only text
// the program sets passes unfiltered.
class CChangedEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CChangedEdit(QWidget* parent = nullptr);

    void SetNotify(bool notify) { m_notify = notify; }
    bool Notifies() const { return m_notify; }
    // At most this many characters can be typed or pasted (0: any number). Unlike a line
    // edit's own maximum length it never cuts a text the program sets: a longer value from
    // the document is shown whole and left to the page's checks.
    void SetTypedLimit(size_t maxLength) { m_typedLimit = maxLength; }
    size_t TypedLimit() const { return m_typedLimit; }

    // Inserts text at the cursor as if it were typed, each character through the filter.
    void TypeText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Whether a typed character (8 for backspace) is taken; the base takes everything.
    virtual bool AcceptsTyped(wchar_t typed) const;
    // Runs after an accepted character was inserted.
    virtual void AfterTyped() {}

    // Replaces the text and puts the caret at its end.
    void SetTextCaretAtEnd(const std::wstring& text);

private:
    // One typed character through the filter; false when it was dropped.
    bool Type(wchar_t typed, QKeyEvent* event);

    bool m_notify = true;
    size_t m_typedLimit = 0;
};
