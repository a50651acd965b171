#include "model/RtpTypeList.h"

#include "config/DocumentValues.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"

namespace
{

const wchar_t* const kSection = L"RTPType";
// The page reads each value into a buffer of 100 characters.
constexpr size_t kValueChars = 99;

bool IsNumber(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

CRtpTypeList CRtpTypeList::Read(const std::string& iniPath)
{
    rz::CIniFile ini;
    std::vector<CEntry> entries;
    if (ini.Load(iniPath) != 0)
        return CRtpTypeList();
    for (unsigned n = 1;; ++n)
    {
        const std::wstring value =
            ini.GetString(kSection, L"RTPType" + std::to_wstring(n), L"", kValueChars);
        if (value.empty())
            break;
        const size_t colon = value.find(L':');
        if (colon == std::wstring::npos || colon == 0 || colon + 1 == value.size())
            continue;
        entries.push_back({docvalues::UnsignedValue(value), value.substr(colon + 1)});
    }
    return CRtpTypeList(std::move(entries));
}

std::optional<size_t> CRtpTypeList::IndexOf(uint32_t value) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].value == value)
            return i;
    return std::nullopt;
}

uint32_t CRtpTypeList::FirstValue() const
{
    return m_entries.empty() ? kNone : m_entries.front().value;
}

std::wstring CRtpTypeList::Label(const CEntry& entry, const Lookup& lookup)
{
    std::wstring text = lookup ? lookup(entry.label) : std::wstring();
    return text.empty() ? entry.label : text;
}

std::vector<CRtpTypeList::CEntry> CRtpTypeList::EntriesWith(uint32_t current) const
{
    std::vector<CEntry> entries = m_entries;
    if (!IndexOf(current) && current != kNone)
        entries.push_back({current, std::to_wstring(current)});
    return entries;
}

std::optional<uint32_t> CRtpTypeList::FindForCli(std::string_view name, const Lookup& lookup) const
{
    if (IsNumber(name))
    {
        const uint32_t value = docvalues::UnsignedValue(rz::Utf8ToWide(name));
        if (IndexOf(value))
            return value;
    }
    const std::wstring wide = rz::Utf8ToWide(name);
    for (const CEntry& entry : m_entries)
        if (rz::EqualsNoCase(wide, entry.label) || rz::EqualsNoCase(wide, Label(entry, lookup)))
            return entry.value;
    return std::nullopt;
}
