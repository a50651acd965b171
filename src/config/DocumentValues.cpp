#include "config/DocumentValues.h"

#include "platform/TextCodec.h"

namespace docvalues
{

std::wstring ChildText(const RUROR::XNode* node, std::wstring_view name)
{
    const wchar_t* text = node != nullptr ? node->GetChildValue(name) : nullptr;
    return text != nullptr ? std::wstring(text) : std::wstring();
}

bool IsUsed(const RUROR::XNode* entry)
{
    return rz::EqualsNoCase(ChildText(entry, L"Used"), std::wstring_view(L"TRUE"));
}

} // namespace docvalues
