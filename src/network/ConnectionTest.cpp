#include "network/ConnectionTest.h"

#include "config/SystemLog.h"
#include "events/Events.h"
#include "network/MobileChannelDetector.h"
#include "network/QRNPSocket.h"
#include "platform/SocketErrors.h"
#include "platform/TextCodec.h"

#include <arpa/inet.h>
#include <memory>
#include <thread>

namespace connection_test
{

int CheckStationValues(const std::wstring& alias, const std::wstring& pseudoId,
                       const std::wstring& ip)
{
    return alias.empty() || pseudoId.empty() || ip.empty() ? kValueRequired : 0;
}

int Run(const std::wstring& ip, MobileChannelDetector& detector, CListenerBase* listener,
        const std::function<void(const CStep&)>& report, const COptions& options)
{
    auto* log = RUROR::CSystemLog::GetInstance();
    const auto finish = [&report](int messageId)
    {
        if (report)
            report({CStep::Finished, 0, 0, 0, 0, messageId});
        return messageId;
    };
    if (ip.empty())
        return finish(kValueRequired);

    // Text that is not an address finds no adapter.
    const uint32_t address = ::inet_addr(rz::WideToUtf8(ip).c_str());
    const uint32_t remote = detector.FindRemoteAddress(address);
    log->WriteLog(L"CDSSETDialog::TestConnection()", gLOG_LEVEL, L"%u", remote);
    const int subnet = static_cast<int>(remote >> 24);
    log->WriteLog(L"subNetID:", gLOG_LEVEL, L"%d", subnet);
    if (report)
        report({CStep::RemoteFound, remote, subnet});
    if (remote == 0)
        return finish(kStationNotFound);
    detector.AddRoute(static_cast<uint8_t>(subnet), address);
    if (report)
        report({CStep::RouteSet, remote, subnet});

    auto socket = std::make_unique<CQRNPSocket>(0);
    socket->SetTimings(options.answerWaitMs, options.queryWaitMs,
                       std::chrono::seconds(CQRNPSocket::kKeepAliveSeconds));
    const int opened = socket->Open(address, options.port);
    log->WriteLog(L"nErrorCode:", gLOG_LEVEL, L"%d", opened);
    if (report)
        report({CStep::PortOpened, remote, subnet, opened});
    if (opened == rz::WSAEADDRINUSE)
        return finish(kAddressInUse);
    if (opened != 0)
        return finish(kPortNotOpened);

    if (listener != nullptr)
        socket->AddListener(listener, kSocketDataReceivedEvent);
    const auto release = [&]
    {
        if (listener != nullptr)
            socket->RemoveListener(listener, kSocketDataReceivedEvent);
        socket.reset(); // ends the link: end-of-link and close
    };
    for (int attempt = 1; attempt <= options.attempts; ++attempt)
    {
        log->WriteLog(L"Connect RemoteIP:", gLOG_LEVEL, L"%u time:%d", remote, attempt);
        if (report)
            report({CStep::Attempt, remote, subnet, 0, attempt});
        if (socket->Connect(htonl(remote)))
        {
            std::this_thread::sleep_for(options.pause);
            const int message = finish(kConnected);
            release();
            return message;
        }
        if (attempt < options.attempts)
            std::this_thread::sleep_for(options.pause);
    }
    release();
    return finish(kConnectFailed);
}

} // namespace connection_test
