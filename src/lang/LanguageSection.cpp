#include "lang/LanguageSection.h"

#include "config/XNode.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

namespace lang
{

std::wstring CLanguageSection::Value(const std::wstring& id) const
{
    const auto it = items.find(id);
    return it != items.end() ? it->second : std::wstring();
}

CLanguageSection LoadLanguageSection(const std::string& path, const std::wstring& sectionName)
{
    CLanguageSection section;
    std::string bytes;
    if (rz::ReadWholeFile(path, bytes) != 0 || bytes.size() <= 2)
        return section;
    // Skip the byte-order mark, whatever it holds, and everything up to the declaration's end.
    std::wstring text = rz::Utf16LeToWide(std::string_view(bytes).substr(2));
    if (const auto end = text.find(L"?>"); end != std::wstring::npos)
        text.erase(0, end + 2);

    RUROR::PARSEINFO info;
    info.trim_value = false;
    info.entity_value = true;
    RUROR::XNode root;
    root.Load(text, &info);

    for (const RUROR::XNode* candidate : root.GetChilds())
    {
        const wchar_t* name = candidate->GetAttrValue(L"Name");
        if (name == nullptr || !rz::EqualsNoCase(std::wstring_view(name), sectionName))
            continue;
        for (const RUROR::XNode* item : candidate->GetChilds())
        {
            const wchar_t* id = item->GetAttrValue(L"ID");
            const wchar_t* value = item->GetAttrValue(L"Value");
            if (id != nullptr && value != nullptr && *id != L'\0' && *value != L'\0')
                section.items[id] = value;
        }
        break;
    }
    return section;
}

} // namespace lang
