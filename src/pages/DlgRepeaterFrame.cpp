#include "pages/DlgRepeaterFrame.h"

#include "pages/RepeaterPageBase.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowMessages.h"

#include <QPainter>
#include <QPushButton>

CDlgRepeaterFrame::CDlgRepeaterFrame(std::function<CRepeaterPageBase*()> makePage, QWidget* parent)
    : CResizablePage(kDialogId, parent), m_makePage(std::move(makePage)),
      m_save(new QPushButton(QStringLiteral("Save"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    m_save->setProperty(kControlIdProperty, 1051);
    m_cancel->setProperty(kControlIdProperty, 1052);
    m_save->hide();
    m_cancel->hide();
    connect(m_save, &QPushButton::clicked, this,
            [this]
            {
                if (m_page != nullptr)
                    m_page->SaveEntry();
            });
    connect(m_cancel, &QPushButton::clicked, this,
            [this]
            {
                if (m_page != nullptr)
                    m_page->CancelEntry();
            });
}

void CDlgRepeaterFrame::OnInitDialog()
{
    if (m_makePage)
    {
        m_page = m_makePage();
        if (m_page != nullptr)
        {
            m_page->setParent(this);
            m_page->SetContext(Context());
            m_page->SetEntryButtons(m_save, m_cancel);
            m_page->OnInitDialog();
        }
    }
    ApplyLanguageTexts(this, kDialogId, true);
    m_save->hide();
    m_cancel->hide();
    LayOut();
}

bool CDlgRepeaterFrame::event(QEvent* event)
{
    if (event->type() == MessageEventType(WM_REPEATER_EDIT_MODE))
    {
        LayOut();
        event->accept();
        return true;
    }
    return CResizablePage::event(event);
}

void CDlgRepeaterFrame::resizeEvent(QResizeEvent* event)
{
    CResizablePage::resizeEvent(event);
    LayOut();
}

bool CDlgRepeaterFrame::InEditMode() const
{
    return m_page != nullptr && m_page->InEditMode();
}

QRect CDlgRepeaterFrame::PageArea() const
{
    QRect area = rect();
    if (InEditMode())
        area.setBottom(m_save->geometry().top() - kMargin - 1);
    return area;
}

void CDlgRepeaterFrame::LayOut()
{
    const QSize buttonSize = m_save->sizeHint().expandedTo(m_cancel->sizeHint());
    const int top = height() - kMargin - buttonSize.height();
    m_cancel->setGeometry(width() - kMargin - buttonSize.width(), top, buttonSize.width(),
                          buttonSize.height());
    m_save->setGeometry(m_cancel->x() - kMargin - buttonSize.width(), top, buttonSize.width(),
                        buttonSize.height());
    const bool editing = InEditMode();
    m_save->setVisible(editing);
    m_cancel->setVisible(editing);
    if (m_page != nullptr)
    {
        m_page->setGeometry(PageArea());
        m_page->ResetScroll();
        m_page->show();
    }
    update();
}

void CDlgRepeaterFrame::paintEvent(QPaintEvent* event)
{
    CResizablePage::paintEvent(event);
    if (!InEditMode())
        return;
    // A separator 3 units wide across the frame, 5 units above the buttons.
    QPainter painter(this);
    const int y = m_save->geometry().top() - kMargin - 2;
    painter.fillRect(QRect(0, y, width(), 3), palette().color(QPalette::Mid));
}

bool CDlgRepeaterFrame::SaveConfig()
{
    return m_page != nullptr && m_page->SaveConfig();
}

void CDlgRepeaterFrame::LoadLanguage()
{
    const QFont font = LanguageFont();
    m_save->setFont(font);
    m_cancel->setFont(font);
    if (m_page != nullptr)
        m_page->LoadLanguage();
}

void CDlgRepeaterFrame::OnSetActive()
{
    if (m_page != nullptr)
        m_page->Refresh();
}

bool CDlgRepeaterFrame::CancelEdit()
{
    if (!InEditMode())
        return false;
    m_page->CancelEntry();
    return true;
}
