#include "platform/Guid.h"

#include <cerrno>
#include <cstdio>
#include <sys/random.h>

namespace rz
{

std::wstring FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3,
                        const std::array<uint8_t, 8>& data4)
{
    wchar_t text[40];
    std::swprintf(text, 40, L"%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", data1,
                  unsigned(data2), unsigned(data3), unsigned(data4[0]), unsigned(data4[1]),
                  unsigned(data4[2]), unsigned(data4[3]), unsigned(data4[4]), unsigned(data4[5]),
                  unsigned(data4[6]), unsigned(data4[7]));
    return text;
}

std::wstring NewGuidText()
{
    uint8_t bytes[16];
    size_t got = 0;
    while (got < sizeof bytes)
    {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return {};
        }
        got += static_cast<size_t>(n);
    }
    const uint32_t data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    const auto data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    // Version 4 in the high nibble of the third field, variant 10xx in the first byte of
    // the last eight, as RFC 4122 lays out a random identifier.
    const auto data3 = static_cast<uint16_t>(((bytes[6] & 0x0F) | 0x40) << 8 | bytes[7]);
    std::array<uint8_t, 8> data4{};
    for (size_t i = 0; i < 8; ++i)
        data4[i] = bytes[8 + i];
    data4[0] = static_cast<uint8_t>((data4[0] & 0x3F) | 0x80);
    return FormatGuid(data1, data2, data3, data4);
}

} // namespace rz
