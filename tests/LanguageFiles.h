#pragma once

#include <string>
#include <utility>
#include <vector>

namespace rztest
{

// One section of a language file: its name and its (ID, Value) items.
struct Section
{
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> items;
};

// Writes a language file in the gateway's format: FF FE, the 40-unit declaration
// <?xml version="1.0" encoding="unicode"?>, then a root with the sections, in UTF-16 LE.
void WriteLanguageFile(const std::string& path, const std::vector<Section>& sections);

} // namespace rztest
