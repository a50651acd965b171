#include "config/DocumentValues.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <utility>

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

namespace
{

// The sign and the magnitude of the number at the start of text, the magnitude stopping at
// 2^32 (more is too big for either reading).
std::pair<bool, uint64_t> LeadingNumber(std::wstring_view text)
{
    size_t i = 0;
    while (i < text.size() &&
           (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' || text[i] == L'\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        magnitude = std::min<uint64_t>(magnitude * 10 + (text[i] - L'0'), uint64_t{1} << 32);
    return {negative, magnitude};
}

} // namespace

int32_t IntValue(std::wstring_view text)
{
    const auto [negative, magnitude] = LeadingNumber(text);
    if (negative)
        return static_cast<int32_t>(
            -std::min<int64_t>(static_cast<int64_t>(magnitude), int64_t{INT32_MAX} + 1));
    return static_cast<int32_t>(std::min<uint64_t>(magnitude, INT32_MAX));
}

uint32_t UnsignedValue(std::wstring_view text)
{
    const auto [negative, magnitude] = LeadingNumber(text);
    if (magnitude > UINT32_MAX)
        return UINT32_MAX;
    const auto value = static_cast<uint32_t>(magnitude);
    return negative ? 0u - value : value;
}

} // namespace docvalues
