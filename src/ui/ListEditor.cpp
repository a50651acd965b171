#include "ui/ListEditor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QStyleOptionHeader>
#include <QTableView>

CListEditor::CListEditor(const CParts& parts) : QObject(parts.page), m_parts(parts)
{
    QTableView* list = m_parts.list;
    list->setTabKeyNavigation(false);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setStretchLastSection(true);
    // Keys the focused control leaves alone come up to the page: the rules below see them
    // before the main window would take Enter for its Save and Escape for its Close.
    m_parts.page->installEventFilter(this);
    connect(list, &QTableView::doubleClicked, this,
            [this]
            {
                if (!IsEditing())
                    Press(m_parts.change);
            });
}

bool CListEditor::IsEditing() const
{
    return m_parts.save != nullptr && !m_parts.save->isHidden();
}

bool CListEditor::Press(QAbstractButton* button)
{
    if (button == nullptr || button->isHidden() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool CListEditor::CancelEdit()
{
    return IsEditing() && Press(m_parts.cancel);
}

void CListEditor::FocusRow(int row, bool select)
{
    QTableView* list = m_parts.list;
    list->setFocus(Qt::OtherFocusReason);
    if (row < 0 || row >= list->model()->rowCount())
        return;
    if (select)
    {
        list->setCurrentIndex(list->model()->index(row, 0));
        list->selectRow(row);
    }
    else
    {
        list->clearSelection();
        list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                                QItemSelectionModel::NoUpdate);
    }
}

bool CListEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_parts.page || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (IsEditing())
    {
        if (key->key() == Qt::Key_Escape)
            Press(m_parts.cancel);
        else if (enter)
            Press(m_parts.save);
        else
            return false;
        return true;
    }
    QWidget* focus = QApplication::focusWidget();
    const bool onList =
        focus != nullptr && (focus == m_parts.list || m_parts.list->isAncestorOf(focus));
    if (!onList)
        return false;
    switch (key->key())
    {
    case Qt::Key_Delete:
        Press(m_parts.remove);
        return true;
    case Qt::Key_F2:
        Press(m_parts.change);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true; // Enter on the list is not the main window's Save
    default:
        return false;
    }
}

CListHeader::CListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true); // as a table view's own header is
    setHighlightSections(false);
}

QSize CListHeader::sectionSizeFromContents(int logicalIndex) const
{
    // What the toolkit's header measures, without making the label's font bold.
    ensurePolished();
    const QAbstractItemModel* items = model();
    const QVariant wanted = items->headerData(logicalIndex, orientation(), Qt::SizeHintRole);
    if (wanted.isValid())
        return wanted.toSize();
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = logicalIndex;
    const QVariant font = items->headerData(logicalIndex, orientation(), Qt::FontRole);
    option.fontMetrics =
        QFontMetrics(font.canConvert<QFont>() ? font.value<QFont>() : this->font());
    option.text = items->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const QVariant picture = items->headerData(logicalIndex, orientation(), Qt::DecorationRole);
    option.icon = picture.value<QIcon>();
    if (option.icon.isNull())
        option.icon = picture.value<QPixmap>();
    if (isSortIndicatorShown())
        option.sortIndicator = QStyleOptionHeader::SortDown; // room for the indicator
    return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
}
