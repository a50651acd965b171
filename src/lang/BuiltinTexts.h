#pragma once

#include <map>
#include <string>

namespace lang
{

// One slot of the built-in table: a text ID and its English text; an empty ID ends the table.
struct BuiltinText
{
    const wchar_t* id;
    const wchar_t* text;
};

// The number of slots of the built-in table.
constexpr size_t kBuiltinSlots = 200;

// The built-in English texts, in their order; unused slots are empty pairs.
const BuiltinText* BuiltinTable();

// The built-in map: the table's pairs from the first slot up to the first empty one (never
// past the last slot); the first pair for an ID stays.
std::map<std::wstring, std::wstring> LoadBuiltinTable();

} // namespace lang
