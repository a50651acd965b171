#include "pages/ConnectionTestDialog.h"

#include "lang/Language.h"
#include "platform/TextCodec.h"
#include "ui/LanguageTexts.h"
#include "ui/QtText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CConnectionTestDialog::CConnectionTestDialog(std::wstring ip, MobileChannelDetector& detector,
                                             CListenerBase* listener,
                                             const connection_test::COptions& options,
                                             QWidget* parent)
    : QDialog(parent), m_ip(std::move(ip)), m_detector(detector), m_listener(listener),
      m_options(options), m_radio(new QLabel(this)), m_route(new QLabel(this)),
      m_attempt(new QLabel(this)), m_cancelButton(new QPushButton(this))
{
    setObjectName("ConnectionTestDialog");
    setModal(true);
    setWindowTitle(ToQString(lang::LookupText(1050)));
    m_radio->setObjectName("radio");
    m_route->setObjectName("route");
    m_attempt->setObjectName("attempt");
    m_radio->setText(QStringLiteral("Looking for the adapter of %1...").arg(ToQString(m_ip)));
    m_cancelButton->setText(
        ButtonText(ToQString(lang::CLanguage::Instance().LookupOrBuiltin(L"1112"))));
    m_cancelButton->setAutoDefault(false);
    auto* busy = new QProgressBar(this);
    busy->setRange(0, 0); // under way, for as long as it takes
    busy->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancelButton, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* line : std::initializer_list<QWidget*>{m_radio, m_route, m_attempt, busy})
        layout->addWidget(line);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    setFont(LanguageFont());
    connect(m_cancelButton, &QPushButton::clicked, this, &CConnectionTestDialog::Cancel);
}

CConnectionTestDialog::~CConnectionTestDialog()
{
    m_cancel.Cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void CConnectionTestDialog::Start()
{
    if (m_worker.joinable())
        return;
    show();
    // The steps and the end are handed to the window's thread; they are dropped when the
    // dialog has gone meanwhile.
    m_worker = std::thread(
        [this]
        {
            const int message = connection_test::Run(
                m_ip, m_detector, m_listener,
                [this](const connection_test::CStep& step)
                {
                    QMetaObject::invokeMethod(
                        this, [this, step] { OnStep(step); }, Qt::QueuedConnection);
                },
                m_options, &m_cancel);
            QMetaObject::invokeMethod(
                this, [this, message] { OnFinished(message); }, Qt::QueuedConnection);
        });
}

void CConnectionTestDialog::Cancel()
{
    m_cancel.Cancel();
    m_cancelButton->setEnabled(false);
}

void CConnectionTestDialog::reject()
{
    if (IsRunning())
        Cancel(); // the dialog closes when the test has ended
    else
        QDialog::reject();
}

void CConnectionTestDialog::OnStep(const connection_test::CStep& step)
{
    const QString text = QString::fromStdString(
        connection_test::StepText(step, rz::WideToUtf8(m_ip), m_options.port));
    switch (step.kind)
    {
    case connection_test::CStep::RemoteFound:
        m_radio->setText(text);
        break;
    case connection_test::CStep::RouteSet:
        m_route->setText(text);
        break;
    case connection_test::CStep::Attempt:
        m_attempt->setText(text);
        break;
    case connection_test::CStep::PortOpened:
    case connection_test::CStep::Finished:
        break;
    }
}

void CConnectionTestDialog::OnFinished(int messageId)
{
    // The thread has nothing left to do but end.
    if (m_worker.joinable())
        m_worker.join();
    hide();
    Q_EMIT testFinished(messageId);
}

QString CConnectionTestDialog::RadioText() const
{
    return m_radio->text();
}

QString CConnectionTestDialog::RouteText() const
{
    return m_route->text();
}

QString CConnectionTestDialog::AttemptText() const
{
    return m_attempt->text();
}
