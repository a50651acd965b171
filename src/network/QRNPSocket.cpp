#include "network/QRNPSocket.h"

#include "network/QrnpPacket.h"
#include "platform/DebugOutput.h"

#include <arpa/inet.h>

CQRNPSocket::CQRNPSocket(uint32_t remoteAddress) : m_remoteAddress(remoteAddress) {}

CQRNPSocket::~CQRNPSocket()
{
    rz::OutputDebugString("Delete CQRNPSocket\r\n");
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_answer.notify_all();
    if (m_keepAlive.joinable())
        m_keepAlive.join(); // woken at once, whatever it waits for
    SendMessage(qrnp::EndOfLinkMessage());
    SendRaw(qrnp::Packet(qrnp::kClose, m_peerId, qrnp::kToolNodeId));
    // The receive thread calls this object's OnReceive: it ends before this part goes.
    StopReceiving();
}

void CQRNPSocket::SetTimings(int answerWaitMs, int queryWaitMs,
                             std::chrono::milliseconds keepAliveInterval)
{
    m_answerWaitMs = answerWaitMs;
    m_queryWaitMs = queryWaitMs;
    m_keepAliveInterval = keepAliveInterval;
}

size_t CQRNPSocket::SendRaw(const std::vector<uint8_t>& packet)
{
    return CQDPSocket::Send(packet.data(), packet.size(), m_remoteAddress, 0);
}

size_t CQRNPSocket::SendMessage(const std::vector<uint8_t>& message)
{
    return Send(message.data(), message.size(), m_remoteAddress, 0);
}

size_t CQRNPSocket::Send(const uint8_t* data, size_t length, uint32_t remoteAddress,
                         uint16_t remotePort)
{
    const std::vector<uint8_t> packet = qrnp::Packet(qrnp::kData, m_peerId, qrnp::kToolNodeId,
                                                     std::vector<uint8_t>(data, data + length));
    return CQDPSocket::Send(packet.data(), packet.size(), remoteAddress, remotePort);
}

bool CQRNPSocket::FromRadio(uint32_t senderAddress, uint16_t senderPort) const
{
    // The radio answers from the port the tool sends to (remote port 0 means the local one).
    return m_remoteAddress != 0 && htonl(senderAddress) == m_remoteAddress &&
           senderPort == LocalPort();
}

bool CQRNPSocket::Exchange(const std::vector<uint8_t>& packet, bool raw, Awaiting awaiting,
                           int milliseconds)
{
    {
        std::lock_guard lock(m_mutex);
        m_awaiting = awaiting;
        m_answered = false;
    }
    // A failed send shows as no answer.
    if (raw)
        SendRaw(packet);
    else
        SendMessage(packet);
    std::unique_lock lock(m_mutex);
    m_answer.wait_for(lock, std::chrono::milliseconds(milliseconds),
                      [this] { return m_answered || m_stopping || m_cancelled; });
    m_awaiting = Awaiting::Nothing;
    return m_answered && !m_stopping && !m_cancelled;
}

void CQRNPSocket::Cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_answer.notify_all();
}

bool CQRNPSocket::IsCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void CQRNPSocket::Answer(Awaiting kind, int result, uint8_t peerId)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_awaiting != kind || m_answered)
            return;
        if (kind == Awaiting::ConnectAnswer && result == 1)
            m_peerId = peerId;
        m_linkResult = result;
        m_answered = true;
    }
    m_answer.notify_all();
}

bool CQRNPSocket::Query()
{
    std::lock_guard exchange(m_exchange);
    return Exchange(qrnp::LinkQueryMessage(), false, Awaiting::QueryReply, m_queryWaitMs) &&
           m_linkResult == 1;
}

bool CQRNPSocket::Connect(uint32_t remoteAddress)
{
    if (IsCancelled())
        return false;
    {
        std::lock_guard exchange(m_exchange);
        m_remoteAddress = remoteAddress;
        // Every connect request goes to the default node; the accept names the radio's.
        if (!Exchange(qrnp::Packet(qrnp::kConnectRequest, qrnp::kDefaultPeerId, qrnp::kToolNodeId),
                      true, Awaiting::ConnectAnswer, m_answerWaitMs) ||
            m_linkResult == 0)
            return false;
    }
    if (!Query())
        return false;
    if (!m_keepAlive.joinable())
        m_keepAlive = std::thread([this] { KeepAlive(); });
    return true;
}

void CQRNPSocket::KeepAlive()
{
    for (;;)
    {
        // The radio is always told the real interval; tests only shorten the wait.
        SendMessage(qrnp::KeepAliveMessage(kKeepAliveSeconds));
        {
            std::unique_lock lock(m_mutex);
            if (m_answer.wait_for(lock, m_keepAliveInterval,
                                  [this] { return m_stopping || m_cancelled; }))
                return;
        }
        // Until the radio confirms the link again; a destruction or a cancel ends the wait at
        // once.
        while (!Query())
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping || m_cancelled)
                return;
        }
    }
}

void CQRNPSocket::OnReceive(const uint8_t* data, size_t length, uint32_t senderAddress,
                            uint16_t senderPort)
{
    // Anything shorter than a header is not a QRNP packet, and only the radio is heard.
    if (length < qrnp::kHeaderSize || !FromRadio(senderAddress, senderPort))
        return;
    const uint8_t type = data[3];
    const uint8_t source = data[5];

    switch (type)
    {
    case qrnp::kAccept:
        Answer(Awaiting::ConnectAnswer, 1, source);
        return;
    case qrnp::kReject:
        Answer(Awaiting::ConnectAnswer, 0, source);
        return;
    case qrnp::kData:
    {
        if (source != m_peerId)
            return;
        SendRaw(qrnp::Packet(qrnp::kAcknowledgement, m_peerId, qrnp::kToolNodeId));
        uint16_t opcode = 0;
        if (qrnp::ReadOpcode(data, length, opcode))
        {
            if (opcode == qrnp::kLinkQueryReply)
            {
                // The result byte is the first parameter; a reply too short to hold it is dropped.
                if (length >= qrnp::kHeaderSize + 6)
                    Answer(Awaiting::QueryReply, data[17] == 0 ? 1 : 0, source);
                return;
            }
            if (opcode == qrnp::kKeepAliveReply || opcode == qrnp::kEndOfLinkReply)
                return;
        }
        CQDPSocket::OnReceive(data + qrnp::kHeaderSize, length - qrnp::kHeaderSize, senderAddress,
                              senderPort);
        return;
    }
    case qrnp::kAcknowledgement:
        if (source == m_peerId)
            CQDPSocket::OnReceive(data + qrnp::kHeaderSize, length - qrnp::kHeaderSize,
                                  senderAddress, senderPort);
        return;
    default:
        return; // checksums and lengths of received packets are not checked
    }
}
