#include "network/QrnpPacket.h"

namespace qrnp
{

uint16_t Checksum(const uint8_t* bytes, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (size % 2 != 0)
        sum += static_cast<uint32_t>(bytes[size - 1] << 8);
    while ((sum >> 16) != 0)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> Packet(uint8_t type, uint8_t destination, uint8_t source,
                            const std::vector<uint8_t>& payload)
{
    const size_t length = kHeaderSize + payload.size();
    std::vector<uint8_t> packet = {0x7E,
                                   0x03,
                                   0x00,
                                   type,
                                   destination,
                                   source,
                                   0x00,
                                   0x00,
                                   static_cast<uint8_t>(length >> 8),
                                   static_cast<uint8_t>(length & 0xFF),
                                   0x00,
                                   0x00};
    packet.insert(packet.end(), payload.begin(), payload.end());
    const uint16_t checksum = Checksum(packet.data(), packet.size());
    packet[10] = static_cast<uint8_t>(checksum >> 8);
    packet[11] = static_cast<uint8_t>(checksum & 0xFF);
    return packet;
}

std::vector<uint8_t> ControlMessage(uint16_t opcode, const std::vector<uint8_t>& parameters)
{
    const auto n = static_cast<uint16_t>(parameters.size());
    std::vector<uint8_t> message = {0x02, static_cast<uint8_t>(opcode & 0xFF),
                                    static_cast<uint8_t>(opcode >> 8),
                                    static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
    message.insert(message.end(), parameters.begin(), parameters.end());
    uint8_t sum = 0;
    for (size_t i = 1; i < message.size(); ++i)
        sum = static_cast<uint8_t>(sum + message[i]);
    message.push_back(static_cast<uint8_t>(static_cast<uint8_t>(~sum) + 0x33));
    message.push_back(0x03);
    return message;
}

std::vector<uint8_t> LinkQueryMessage()
{
    return ControlMessage(kLinkQuery, {0x02, 0x00, 0x01, 0x01, 0x01});
}

std::vector<uint8_t> KeepAliveMessage(uint16_t intervalSeconds)
{
    return ControlMessage(kKeepAlive, {static_cast<uint8_t>(intervalSeconds & 0xFF),
                                       static_cast<uint8_t>(intervalSeconds >> 8)});
}

std::vector<uint8_t> EndOfLinkMessage()
{
    return ControlMessage(kEndOfLink, {0x00});
}

bool ReadOpcode(const uint8_t* packet, size_t size, uint16_t& opcode)
{
    if (size < kHeaderSize + 3)
        return false;
    opcode = static_cast<uint16_t>(packet[13] | packet[14] << 8);
    return true;
}

} // namespace qrnp
