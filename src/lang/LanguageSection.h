#pragma once

#include <string>
#include <unordered_map>

namespace lang
{

// Item ID to item value of one section; absent IDs read as empty through Value().
class CLanguageSection
{
public:
    std::unordered_map<std::wstring, std::wstring> items;

    // The value of an ID, or empty.
    std::wstring Value(const std::wstring& id) const;
};

// Reads the section of a language file whose Name attribute equals sectionName without regard
// to case. Items are read by their attributes ID and Value; a later item with the same ID
// replaces an earlier one, and items with an empty ID or value are passed over. A missing,
// empty or unreadable file, or a missing section, gives an empty section.
CLanguageSection LoadLanguageSection(const std::string& path, const std::wstring& sectionName);

} // namespace lang
