#include "LanguageFiles.h"

#include "TestSupport.h"

namespace rztest
{

void WriteLanguageFile(const std::string& path, const std::vector<Section>& sections)
{
    std::wstring text = L"\uFEFF<?xml version=\"1.0\" encoding=\"unicode\"?>\r\n<Texts>\r\n";
    for (const auto& section : sections)
    {
        text += L"\t<Section Name=\"" + section.name + L"\">\r\n";
        for (const auto& [id, value] : section.items)
            text += L"\t\t<Item ID=\"" + id + L"\" Value=\"" + value + L"\"/>\r\n";
        text += L"\t</Section>\r\n";
    }
    text += L"</Texts>\r\n";
    WriteBytes(path, Utf16(text));
}

} // namespace rztest
