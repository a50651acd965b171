#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The QRNP wire format: a 12-byte header in front of every packet, and the radio control
// messages that data packets carry.
namespace qrnp
{

inline constexpr size_t kHeaderSize = 12;
inline constexpr uint8_t kToolNodeId = 0x10;
inline constexpr uint8_t kDefaultPeerId = 0x20;
inline constexpr uint16_t kPort = 3005;

// Packet types (byte 3).
inline constexpr uint8_t kData = 0x00;
inline constexpr uint8_t kAcknowledgement = 0x10;
inline constexpr uint8_t kClose = 0xFB;
inline constexpr uint8_t kReject = 0xFC;
inline constexpr uint8_t kAccept = 0xFD;
inline constexpr uint8_t kConnectRequest = 0xFE;

// Radio control opcodes the tool sends.
inline constexpr uint16_t kLinkQuery = 0x10C9;
inline constexpr uint16_t kKeepAlive = 0x00CA;
inline constexpr uint16_t kEndOfLink = 0x00CB;
// The radio's replies to them, as the radio sends them (not derivable from the requests:
// 0x10C9 is answered with 0x80C9).
inline constexpr uint16_t kLinkQueryReply = 0x80C9;
inline constexpr uint16_t kKeepAliveReply = 0x80CA;
inline constexpr uint16_t kEndOfLinkReply = 0x80CB;

// The Internet checksum (RFC 1071) of bytes, an odd last byte padded with zero.
uint16_t Checksum(const uint8_t* bytes, size_t size);

// A whole packet: the header with its length and checksum, then the payload.
std::vector<uint8_t> Packet(uint8_t type, uint8_t destination, uint8_t source,
                            const std::vector<uint8_t>& payload = {});

// A radio control message: 02, opcode, parameter length, parameters, check byte, 03.
std::vector<uint8_t> ControlMessage(uint16_t opcode, const std::vector<uint8_t>& parameters);

// The three messages the tool sends.
std::vector<uint8_t> LinkQueryMessage();
std::vector<uint8_t> KeepAliveMessage(uint16_t intervalSeconds);
std::vector<uint8_t> EndOfLinkMessage();

// The opcode of a data packet's control message (offset 13, little-endian), when the packet
// is long enough to hold one.
bool ReadOpcode(const uint8_t* packet, size_t size, uint16_t& opcode);

} // namespace qrnp
