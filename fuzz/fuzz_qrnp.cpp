// The QRNP socket's handling of received datagrams (CQRNPSocket::OnReceive), called as the
// receive thread calls it. The socket is never opened: the acknowledgements it answers with
// fail to send, and nothing leaves the process.
//
// Input: datagrams, each a selector byte (bit 0: from another address than the radio's,
// bit 1: from another port), a length byte and that many bytes (fewer at the end).
//
// Properties: nothing crashes or reads past a datagram; what reaches the listeners is the
// datagram's bytes after the 12-byte header, and only from the radio.

#include "FuzzSupport.h"
#include "events/Events.h"
#include "events/ListenerBase.h"
#include "network/QRNPSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

constexpr uint32_t kRadio = 0x7F000002; // host byte order

// The protected entry point, reached the way a derived socket reaches it; nothing changes.
class CFuzzedSocket : public CQRNPSocket
{
public:
    CFuzzedSocket() : CQRNPSocket(htonl(kRadio)) {}
    using CQRNPSocket::OnReceive;
};

class CPayloadCheck : public CListenerBase
{
public:
    const uint8_t* expected = nullptr;
    size_t expectedLength = 0;
    bool allowed = false;
    int delivered = 0;

    void OnEvent(CEventBase* event) override
    {
        RZ_FUZZ_CHECK(event->GetType() == kSocketDataReceivedEvent);
        const auto* received = static_cast<SocketDataReceivedEvent*>(event);
        RZ_FUZZ_CHECK(allowed);
        RZ_FUZZ_CHECK(received->length == expectedLength);
        RZ_FUZZ_CHECK(expectedLength == 0 ||
                      std::memcmp(received->data, expected, expectedLength) == 0);
        RZ_FUZZ_CHECK(received->senderAddress == kRadio);
        ++delivered;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzedSocket socket;
    CPayloadCheck listener;
    socket.AddListener(&listener, kSocketDataReceivedEvent);
    size_t at = 0;
    while (at + 2 <= size)
    {
        const uint8_t selector = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        at += 2;
        // Each datagram in a buffer of its own, so that a read past its end is caught.
        std::vector<uint8_t> datagram(data + at, data + at + length);
        at += length;
        const uint32_t address = (selector & 1) != 0 ? kRadio + 1 : kRadio;
        const uint16_t port = (selector & 2) != 0 ? 3005 : socket.LocalPort();
        listener.expected = length >= 12 ? datagram.data() + 12 : nullptr;
        listener.expectedLength = length >= 12 ? length - 12 : 0;
        listener.allowed = length >= 12 && (selector & 3) == 0;
        const int before = listener.delivered;
        socket.OnReceive(datagram.data(), datagram.size(), address, port);
        RZ_FUZZ_CHECK(listener.delivered - before <= 1);
    }
    socket.RemoveListener(&listener, kSocketDataReceivedEvent);
    return 0;
}
