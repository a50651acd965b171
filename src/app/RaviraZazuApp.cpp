#include "app/RaviraZazuApp.h"

#include "app/FontStart.h"
#include "app/SingleInstanceGuard.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "ui/MessageBox.h"
#include "ui/QtText.h"

CRaviraZazuApp::CRaviraZazuApp(CRaviraZazuDlg::Options options) : m_options(std::move(options)) {}

CRaviraZazuApp::~CRaviraZazuApp() = default;

int CRaviraZazuApp::InitInstance()
{
    m_guard = std::make_unique<CSingleInstanceGuard>(QString::fromStdString(rz::RuntimeDir()));
    // The running copy is found by the title it stored in the user's profile.
    const QString title =
        ToQString(rz::GetProfileString(L"MXR_GatewayRaviraZazu", L"Title", L"RaviraZazu", 512));
    switch (m_guard->Acquire(title))
    {
    case CSingleInstanceGuard::Outcome::Raised:
        return 0;
    case CSingleInstanceGuard::Outcome::NoWindow:
        ShowMessageText(nullptr, QMessageBox::Critical, QStringLiteral("RaviraZazu is running"));
        return 0;
    case CSingleInstanceGuard::Outcome::First:
        break;
    }

    // The font system reads its configuration beside the window's making and the document's
    // load (a copy that only brought the first one forward never needs it).
    rz::BeginFontStart();

    CRaviraZazuDlg dialog(m_options);
    m_guard->SetRaiseHandler([&dialog](const QString& wanted)
                             { return dialog.ActivateIfTitled(wanted); });
    m_guard->SetReloadHandler(
        [&dialog]
        {
            dialog.ReloadDocument();
            return true;
        });
    if (dialog.OnInitDialog())
        dialog.exec();
    m_guard->SetRaiseHandler({});
    m_guard->SetReloadHandler({});
    return 0;
}
