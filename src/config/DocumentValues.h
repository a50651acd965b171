#pragma once

#include "config/XNode.h"

#include <string>
#include <string_view>

// Reading the document's value encodings the same way everywhere.
namespace docvalues
{

// The text of a node's first child of that name; empty when there is none.
std::wstring ChildText(const RUROR::XNode* node, std::wstring_view name);

// Whether an entry is active: its Used text is "TRUE" without regard to case.
bool IsUsed(const RUROR::XNode* entry);

} // namespace docvalues
