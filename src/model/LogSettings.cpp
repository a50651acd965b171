#include "model/LogSettings.h"

#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"

#include <algorithm>

const fields::Rule& CLogSettings::SizeField()
{
    static const fields::Rule rule{"size", fields::Kind::Digits, {}, 0};
    return rule;
}

const CChoiceTable& CLogSettings::Levels()
{
    static const CChoiceTable table({
        {L"0", 10035, L"System", "system"},
        {L"1", 10033, L"Error", "error"},
        {L"2", 10036, L"Warning", "warning"},
        {L"3", 10034, L"Info", "info"},
    });
    return table;
}

void CLogSettings::Load(const CGatewayConfigDoc& document, const CToolFiles&)
{
    const wchar_t* size = document.GetSetting(L"LogFileSize");
    fileSize = size != nullptr && *size != L'\0' ? size : kDefaultSize;
    const wchar_t* filter = document.GetSetting(L"LogFilter");
    m_logFilter = filter != nullptr ? filter : L"";
    level = LevelFromFilter(m_logFilter);
}

std::vector<CHint> CLogSettings::Hints() const
{
    if (SizeInRange(fileSize))
        return {};
    return {{SizeField().key, kRangeText}};
}

void CLogSettings::Save(CGatewayConfigDoc& document, const CToolFiles&, CFileChanges&) const
{
    document.SetSetting(L"LogFileSize", SizeOnLeave(fileSize));
    document.SetSetting(L"LogFilter", Levels().At(level < Levels().Size() ? level : kError).stored);
}

size_t CLogSettings::LevelToShow()
{
    if (m_firstDisplay)
    {
        m_firstDisplay = false;
        level = LevelFromFilter(m_logFilter);
    }
    gLOG_LEVEL = static_cast<RUROR::CSystemLog::LOG_LEVEL>(level);
    return level;
}

void CLogSettings::ChooseLevel(size_t index)
{
    if (index >= Levels().Size())
        return;
    level = index;
    gLOG_LEVEL = static_cast<RUROR::CSystemLog::LOG_LEVEL>(index);
}

size_t CLogSettings::LevelFromFilter(std::wstring_view logFilter)
{
    if (logFilter.size() == 1 && logFilter[0] >= L'0' && logFilter[0] <= L'3')
        return static_cast<size_t>(logFilter[0] - L'0');
    return kError;
}

bool CLogSettings::SizeInRange(std::wstring_view text)
{
    long long value = 0;
    for (wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            break;
        value = std::min<long long>(value * 10 + (c - L'0'), kMaxSize + 1);
    }
    return value >= kMinSize && value <= kMaxSize;
}

std::wstring CLogSettings::SizeOnLeave(std::wstring_view text)
{
    return SizeInRange(text) ? std::wstring(text) : std::wstring(kDefaultSize);
}

std::wstring CLogSettings::RangeHint(const std::function<std::wstring(int)>& lookup)
{
    return lookup(kRangeText) + L"\n" + lookup(kDefaultValueText) + kDefaultSize;
}
