#pragma once

#include <QHeaderView>
#include <QList>
#include <QObject>

class QAbstractButton;
class QTableView;
class QWidget;

// The keyboard and focus rules of a list page with an entry editor (the radio servers, the
// dispatch stations): a list of rows, the buttons Add, Remove and Change, and an entry with
// its own Save and Cancel. The page keeps its rules and wires its buttons; this makes every
// such page behave the same:
//   - Tab leaves the list for its buttons instead of walking its cells;
//   - on the list, Delete removes the selected rows, F2 or a double click changes the row,
//     and Enter does nothing (it never saves the document);
//   - while an entry is open, Enter is the entry's Save and Escape its Cancel, wherever the
//     focus is on the page;
//   - after the entry's Save the focus goes back to the list, on the row just saved;
//   - the list's columns fill its width and its header stays plain.
class CListEditor : public QObject
{
    Q_OBJECT

public:
    struct CParts
    {
        QWidget* page = nullptr;
        QTableView* list = nullptr; // a table widget, or a view on a model of the page's own
        QAbstractButton* remove = nullptr;
        QAbstractButton* change = nullptr;
        QAbstractButton* save = nullptr;   // the entry's Save, shown while an entry is open
        QAbstractButton* cancel = nullptr; // the entry's Cancel
    };

    explicit CListEditor(const CParts& parts);

    // Whether an entry is open (its Save is shown).
    bool IsEditing() const;
    // Cancels the open entry as its Cancel does; false when none was open.
    bool CancelEdit();
    // Puts the focus on the list, on a row (none for -1), choosing it when select is set.
    void FocusRow(int row, bool select);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Presses a button when it is there and enabled; false otherwise.
    static bool Press(QAbstractButton* button);
    void Watch(QWidget* widget);

    CParts m_parts;
};

// The column header of such a list: a section is never highlighted when the selection touches
// its column, and a section's label is measured in its own font. The toolkit measures every
// label in bold, so that a highlighted one still fits; for a header that never highlights,
// that only loads a bold font when the page is first shown.
class CListHeader : public QHeaderView
{
public:
    explicit CListHeader(QWidget* parent);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
};
