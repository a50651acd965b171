#pragma once

#include "events/NotifierBase.h"
#include "platform/WakeFd.h"

#include <atomic>
#include <cstdint>
#include <thread>

// A UDP/IPv4 socket that receives on a thread of its own and hands every datagram, unchanged,
// to its listeners as a SocketDataReceivedEvent (type 1026, delivered on that thread).
class CQDPSocket : public CNotifierBase
{
public:
    CQDPSocket();
    ~CQDPSocket() override;

    // Binds to a local address (network byte order) and port and starts receiving. Returns 0,
    // or the Windows Sockets number of the failure (10048 when the address is in use).
    virtual int Open(uint32_t localAddress, uint16_t localPort);
    // Sends bytes as one datagram to an address (network byte order) and port (0: the local
    // port). Returns the number of bytes sent, 0 on failure.
    virtual size_t Send(const uint8_t* data, size_t length, uint32_t remoteAddress,
                        uint16_t remotePort);

    uint32_t LocalAddress() const { return m_localAddress; }
    uint16_t LocalPort() const { return m_localPort; }

protected:
    // One datagram (sender address and port in host byte order), on the receive thread.
    virtual void OnReceive(const uint8_t* data, size_t length, uint32_t senderAddress,
                           uint16_t senderPort);
    // Ends the receive thread and waits for it; it blocks on the socket, so this takes no
    // longer than the delivery in progress. Derived sockets call it before their own parts go.
    void StopReceiving();

private:
    void ReceiveLoop();

    std::atomic<bool> m_stop{true};
    std::thread m_receiver;
    uint32_t m_localAddress = 0;
    uint16_t m_localPort = 0;
    int m_socket = -1;
    rz::CWakeFd m_wake;
};
