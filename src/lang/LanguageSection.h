#pragma once

#include <string>
#include <unordered_map>
#include <vector>

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

// A language file that takes part in the language list: its section "Language" names both
// its display name and its language name.
struct CLanguageChoice
{
    std::wstring display;
    std::wstring language;
    std::string path;
};

// The language files in the folder "Language" of the tool's own folder (folder and ".XML"
// matched without regard to case), in name order, that have both settings.
std::vector<CLanguageChoice> ListLanguages(const std::string& toolDir);

} // namespace lang
