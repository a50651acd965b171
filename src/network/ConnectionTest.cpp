#include "network/ConnectionTest.h"

#include "config/SystemLog.h"
#include "events/Events.h"
#include "network/CancelToken.h"
#include "network/MobileChannelDetector.h"
#include "network/QRNPSocket.h"
#include "platform/SocketErrors.h"
#include "platform/TextCodec.h"

#include <arpa/inet.h>
#include <memory>
#include <optional>
#include <thread>

namespace connection_test
{

int CheckStationValues(const std::wstring& alias, const std::wstring& pseudoId,
                       const std::wstring& ip)
{
    return alias.empty() || pseudoId.empty() || ip.empty() ? kValueRequired : 0;
}

int Run(const std::wstring& ip, MobileChannelDetector& detector, CListenerBase* listener,
        const std::function<void(const CStep&)>& report, const COptions& options,
        CCancelToken* cancel)
{
    auto* log = RUROR::CSystemLog::GetInstance();
    const auto finish = [&report](int messageId)
    {
        if (report)
            report({CStep::Finished, 0, 0, 0, 0, messageId});
        return messageId;
    };
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->IsCancelled(); };
    // A pause between steps that a cancel ends at once; true when cancelled.
    const auto pause = [cancel, &options]
    {
        if (cancel != nullptr)
            return cancel->WaitFor(options.pause);
        std::this_thread::sleep_for(options.pause);
        return false;
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
    if (cancelled())
        return finish(kCancelled);
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

    // A cancel ends the wait the socket is in; the hook goes before the socket does.
    std::optional<CCancelToken::CHook> hook;
    if (cancel != nullptr)
        hook.emplace(*cancel, [&socket] { socket->Cancel(); });
    if (listener != nullptr)
        socket->AddListener(listener, kSocketDataReceivedEvent);
    const auto release = [&]
    {
        hook.reset();
        if (listener != nullptr)
            socket->RemoveListener(listener, kSocketDataReceivedEvent);
        socket.reset(); // ends the link: end-of-link and close
    };
    for (int attempt = 1; attempt <= options.attempts; ++attempt)
    {
        log->WriteLog(L"Connect RemoteIP:", gLOG_LEVEL, L"%u time:%d", remote, attempt);
        if (report)
            report({CStep::Attempt, remote, subnet, 0, attempt, 0, options.attempts});
        const bool connected = socket->Connect(htonl(remote));
        // A cancel during the attempt or the pause after it ends the test without a message.
        const bool stopped = cancelled() || ((connected || attempt < options.attempts) && pause());
        if (stopped)
        {
            release();
            return finish(kCancelled);
        }
        if (connected)
        {
            const int message = finish(kConnected);
            release();
            return message;
        }
    }
    release();
    return finish(kConnectFailed);
}

std::string StepText(const CStep& step, const std::string& ip, uint16_t port)
{
    const auto dotted = [](uint32_t hostAddress)
    { return MobileChannelDetector::Dotted(htonl(hostAddress)); };
    switch (step.kind)
    {
    case CStep::RemoteFound:
        if (step.remote == 0)
            return {};
        return "Radio " + dotted(step.remote) + " (subnet " + std::to_string(step.subnet) +
               ") behind the adapter " + ip;
    case CStep::RouteSet:
        return "Route " + std::to_string(step.subnet) + ".0.0.0/8 set";
    case CStep::PortOpened:
        if (step.openResult == 0)
            return "Port " + std::to_string(port) + " open on " + ip;
        return "Port " + std::to_string(port) + " on " + ip + " failed with " +
               std::to_string(step.openResult);
    case CStep::Attempt:
        return "Attempt " + std::to_string(step.attempt) + " of " + std::to_string(step.attempts) +
               "...";
    case CStep::Finished:
        break;
    }
    return {};
}

} // namespace connection_test
