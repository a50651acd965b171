#include "WidgetTestSupport.h"

#include "ui/LanguageTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

namespace rztest
{

namespace
{
int g_liveAnswerers = 0;
}

CMessageBoxAnswerer::CMessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
{
    ++g_liveAnswerers;
    // A modal box runs its own event loop, in which this timer keeps firing.
    connect(&m_timer, &QTimer::timeout, this, &CMessageBoxAnswerer::Check);
    m_timer.start(5);
}

CMessageBoxAnswerer::~CMessageBoxAnswerer()
{
    --g_liveAnswerers;
}

int CMessageBoxAnswerer::Live()
{
    return g_liveAnswerers;
}

void CMessageBoxAnswerer::Check()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    m_texts.append(box->text());
    m_icons.append(box->icon());
    m_titles.append(box->windowTitle());
    m_defaults.append(box->defaultButton() != nullptr ? box->standardButton(box->defaultButton())
                                                      : QMessageBox::NoButton);
    QStringList labels;
    for (const QAbstractButton* button : box->buttons())
        labels.append(QString(button->text()).remove(QLatin1Char('&')));
    m_buttons.append(labels);
    connect(box, &QMessageBox::finished, this, [this](int result) { m_results.append(result); });
    if (m_key != Qt::Key_unknown)
        QTest::keyClick(box, m_key);
    else if (QAbstractButton* button = box->button(m_answer))
        button->click();
    else
        box->done(m_answer);
}

CUnexpectedMessageBoxes::CUnexpectedMessageBoxes()
{
    connect(&m_timer, &QTimer::timeout, this, &CUnexpectedMessageBoxes::Check);
    m_timer.start(10);
}

void CUnexpectedMessageBoxes::Check()
{
    if (CMessageBoxAnswerer::Live() > 0)
        return; // the test answers its boxes itself
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    ADD_FAILURE() << "a message box that the test did not expect: \"" << box->text().toStdString()
                  << "\"";
    if (QAbstractButton* escape = box->escapeButton())
        escape->click();
    else
        box->done(QMessageBox::NoButton);
}

WindowTest::WindowTest()
    : m_config("XDG_CONFIG_HOME", m_dir.File("config")),
      m_state("XDG_STATE_HOME", m_dir.File("state"))
{
    std::filesystem::copy(SampleToolDir(), m_dir.File("tool"),
                          std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(m_dir.File("data"));
    WriteBytes(DocumentPath(), ReadBytes(SampleDocumentPath()));
    if (!m_bus.Start() || !m_systemd.Start(m_bus.Address()))
    {
        ADD_FAILURE() << "no private bus: " << m_bus.Error();
        return;
    }
    m_busKind = std::make_unique<CScopedEnv>("RAVIRAZAZU_SERVICE_BUS", "user");
    m_busAddress = std::make_unique<CScopedEnv>("DBUS_SESSION_BUS_ADDRESS", m_bus.Address());
    m_systemd.AddUnit({kUnit, "Quorix MXR Gateway", "inactive", "running", "disabled"});
}

WindowTest::~WindowTest()
{
    m_window.reset();
    ClearLanguageRegistry();
}

void WindowTest::ReplaceInDocument(const std::wstring& from, const std::wstring& to)
{
    std::string bytes = ReadBytes(DocumentPath());
    const std::string old = Utf16(from);
    const size_t at = bytes.find(old);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, old.size(), Utf16(to));
    WriteBytes(DocumentPath(), bytes);
}

void WindowTest::OpenWindow(QSize size)
{
    m_window = std::make_unique<CRaviraZazuDlg>(Options());
    ASSERT_TRUE(m_window->OnInitDialog());
    if (size.isValid())
        m_window->resize(size);
    m_window->show();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
}

void WindowTest::ClickPage(int index)
{
    QListWidget* tree = m_window->PageTree();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->item(index)).center());
}

bool WindowTest::MainButtonsShown() const
{
    return FindControl(m_window.get(), 1)->isVisible() &&
           FindControl(m_window.get(), 2)->isVisible();
}

bool WindowTest::Pending() const
{
    QCoreApplication::processEvents();
    return m_window->IsPending();
}

void TypeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void ClickRow(QAbstractItemView* list, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex cell = list->model()->index(row, 0);
    list->scrollTo(cell);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(cell).center());
}

QString MessagesOf(const std::function<void()>& action, int milliseconds, QStringList* titles)
{
    const char* const icons[] = {"none", "information", "warning", "critical", "question"};
    CMessageBoxAnswerer answerer;
    action();
    WaitUntil([&] { return answerer.Count() > 0; }, milliseconds);
    QStringList boxes;
    for (int i = 0; i < answerer.Count(); ++i)
        boxes << QString("%1: %2").arg(icons[answerer.Icons()[i]], answerer.Texts()[i]);
    if (titles != nullptr)
        *titles = answerer.Titles();
    return boxes.join('\n');
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition())
    {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace rztest
