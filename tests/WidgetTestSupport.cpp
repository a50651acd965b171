#include "WidgetTestSupport.h"

#include "ui/LanguageTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <filesystem>

namespace rztest
{

CMessageBoxAnswerer::CMessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
{
    // A modal box runs its own event loop, in which this timer keeps firing.
    connect(&m_timer, &QTimer::timeout, this, &CMessageBoxAnswerer::Check);
    m_timer.start(5);
}

void CMessageBoxAnswerer::Check()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    m_texts.append(box->text());
    m_icons.append(box->icon());
    if (QAbstractButton* button = box->button(m_answer))
        button->click();
    else
        box->done(m_answer);
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
    ClearLanguageRegistry();
}

} // namespace rztest
