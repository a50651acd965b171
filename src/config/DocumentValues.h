#pragma once

#include "config/XNode.h"

#include <cstdint>
#include <string>
#include <string_view>

// Reading the document's value encodings the same way everywhere.
namespace docvalues
{

// The text of a node's first child of that name; empty when there is none.
std::wstring ChildText(const RUROR::XNode* node, std::wstring_view name);

// Whether an entry is active: its Used text is "TRUE" without regard to case.
bool IsUsed(const RUROR::XNode* entry);

// A decimal number read from the start of a value: blanks before it are skipped and a sign
// is allowed; 0 when no digit follows. As a signed 32-bit number it stops at the type's
// bounds; as an unsigned one a minus sign wraps around ("-1" is 4294967295) and a number
// too big gives 4294967295, so that every value the tool writes reads back as itself.
int32_t IntValue(std::wstring_view text);
uint32_t UnsignedValue(std::wstring_view text);

} // namespace docvalues
