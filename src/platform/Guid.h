#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace rz
{

// A new random (version 4) identifier in the document's format: upper-case hexadecimal
// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" without braces, or empty when the system's random
// source fails.
std::wstring NewGuidText();

// The document's format for given GUID bytes: the first field (4 bytes), the second and
// third (2 bytes each, all three read as numbers in the machine's order) and the last
// eight bytes.
std::wstring FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3,
                        const std::array<uint8_t, 8>& data4);

} // namespace rz
