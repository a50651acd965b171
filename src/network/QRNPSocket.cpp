#include "network/QRNPSocket.h"

#include "network/QrnpPacket.h"
#include "platform/DebugOutput.h"

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

void CQRNPSocket::ResetAnswer()
{
    std::lock_guard lock(m_mutex);
    m_answered = false;
}

bool CQRNPSocket::WaitForAnswer(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    m_answer.wait_for(lock, std::chrono::milliseconds(milliseconds),
                      [this] { return m_answered || m_stopping; });
    return m_answered && !m_stopping;
}

bool CQRNPSocket::Query()
{
    ResetAnswer();
    SendMessage(qrnp::LinkQueryMessage());
    return WaitForAnswer(m_queryWaitMs) && m_linkResult == 1;
}

bool CQRNPSocket::Connect(uint32_t remoteAddress)
{
    m_remoteAddress = remoteAddress;
    ResetAnswer();
    // A failed send shows as no answer.
    SendRaw(qrnp::Packet(qrnp::kConnectRequest, qrnp::kDefaultPeerId, qrnp::kToolNodeId));
    if (!WaitForAnswer(m_answerWaitMs) || m_linkResult == 0)
        return false;
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
        SendMessage(qrnp::KeepAliveMessage(static_cast<uint16_t>(
            std::chrono::duration_cast<std::chrono::seconds>(m_keepAliveInterval).count())));
        {
            std::unique_lock lock(m_mutex);
            if (m_answer.wait_for(lock, m_keepAliveInterval, [this] { return m_stopping; }))
                return;
        }
        // Until the radio confirms the link again; a destruction ends the wait at once.
        while (!Query())
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return;
        }
    }
}

void CQRNPSocket::OnReceive(const uint8_t* data, size_t length, uint32_t senderAddress,
                            uint16_t senderPort)
{
    // Anything shorter than a header is not a QRNP packet.
    if (length < qrnp::kHeaderSize)
        return;
    const uint8_t type = data[3];
    const uint8_t source = data[5];
    const auto answer = [this](int result)
    {
        {
            std::lock_guard lock(m_mutex);
            m_linkResult = result;
            m_answered = true;
        }
        m_answer.notify_all();
    };

    switch (type)
    {
    case qrnp::kAccept:
        m_peerId = source;
        answer(1);
        return;
    case qrnp::kReject:
        answer(0);
        return;
    case qrnp::kData:
    {
        if (source != m_peerId)
            return;
        SendRaw(qrnp::Packet(qrnp::kAcknowledgement, m_peerId, qrnp::kToolNodeId));
        uint16_t opcode = 0;
        if (qrnp::ReadOpcode(data, length, opcode))
        {
            if (opcode == (qrnp::kLinkQuery | qrnp::kReplyBit))
            {
                // The result byte is the first parameter; a reply too short to hold it is dropped.
                if (length >= qrnp::kHeaderSize + 6)
                    answer(data[17] == 0 ? 1 : 0);
                return;
            }
            if (opcode == (qrnp::kKeepAlive | qrnp::kReplyBit) ||
                opcode == (qrnp::kEndOfLink | qrnp::kReplyBit))
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
