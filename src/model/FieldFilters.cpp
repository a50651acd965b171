#include "model/FieldFilters.h"

#include <algorithm>

namespace fields
{
namespace
{

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// A decimal number read from the start of text, saturating instead of overflowing.
long long ReadNumber(std::wstring_view text)
{
    long long value = 0;
    for (wchar_t c : text)
    {
        if (!IsDigit(c))
            break;
        value = std::min<long long>(value * 10 + (c - L'0'), 1LL << 40);
    }
    return value;
}

} // namespace

bool NumAccepts(std::wstring_view text, wchar_t typed, bool decimalPoint)
{
    if (IsDigit(typed) || typed == kBackspace)
        return true;
    return typed == L'.' && decimalPoint && text.find(L'.') == std::wstring_view::npos;
}

FixedLimits PortLimits()
{
    FixedLimits limits;
    limits.hasMaximum = true;
    limits.maximum = 65535;
    return limits;
}

std::optional<std::wstring> FixedAfterTyping(std::wstring_view text, const FixedLimits& limits)
{
    const long long value = ReadNumber(text);
    long long corrected = value;
    if (limits.hasMaximum && value > limits.maximum)
        corrected = limits.maximum;
    else if (limits.hasMinimum && value < limits.minimum)
        corrected = limits.minimum;
    if (corrected == value)
        return std::nullopt;
    return std::to_wstring(corrected);
}

std::optional<std::wstring> FixedOnLeave(std::wstring_view text, const FixedLimits& limits)
{
    if (limits.hasDefault && text.empty())
        return std::to_wstring(limits.defaultValue);
    return std::nullopt;
}

bool IpAccepts(std::wstring_view text, wchar_t typed)
{
    if (IsDigit(typed) || typed == kBackspace)
        return true;
    if (typed != L'.')
        return false;
    return !text.empty() && text.back() != L'.' && std::count(text.begin(), text.end(), L'.') < 3;
}

std::optional<std::wstring> IpAfterTyping(std::wstring_view text)
{
    const auto dot = text.rfind(L'.');
    const std::wstring_view last = dot == std::wstring_view::npos ? text : text.substr(dot + 1);
    if (last.empty())
        return std::nullopt;
    const long long value = std::min<long long>(ReadNumber(last), 255);
    const std::wstring normal = std::to_wstring(value);
    if (normal == last)
        return std::nullopt;
    return std::wstring(text.substr(0, text.size() - last.size())) + normal;
}

std::optional<std::wstring> IpOnLeave(std::wstring_view text)
{
    if (text.empty())
        return std::wstring(L"127.0.0.1");
    std::wstring result(text);
    bool appended = false;
    for (;;)
    {
        while (!result.empty() && result.back() == L'.')
            result.pop_back();
        if (std::count(result.begin(), result.end(), L'.') >= 3)
            break;
        result += L".0";
        appended = true;
    }
    if (!appended)
        return std::nullopt;
    return result;
}

namespace
{

// The text a field shows after value was typed into it, before it is left.
std::optional<std::wstring> TypeIp(std::wstring_view value)
{
    std::wstring text;
    for (wchar_t c : value)
    {
        if (c == kBackspace || !IpAccepts(text, c))
            return std::nullopt;
        text.push_back(c);
        if (auto corrected = IpAfterTyping(text))
            text = *corrected;
    }
    return text;
}

std::optional<std::wstring> TypeFixed(std::wstring_view value, const FixedLimits& limits)
{
    std::wstring text;
    for (wchar_t c : value)
    {
        if (c == kBackspace || !NumAccepts(text, c, false))
            return std::nullopt;
        text.push_back(c);
        if (auto corrected = FixedAfterTyping(text, limits))
            text = *corrected;
    }
    return text;
}

// A number field without limits: every character must pass its filter, and the text must
// fit the field.
std::optional<std::wstring> TypeNumber(std::wstring_view value, bool decimalPoint, size_t maxLength)
{
    if (maxLength != 0 && value.size() > maxLength)
        return std::nullopt;
    std::wstring text;
    for (wchar_t c : value)
    {
        if (c == kBackspace || !NumAccepts(text, c, decimalPoint))
            return std::nullopt;
        text.push_back(c);
    }
    return text;
}

} // namespace

std::optional<std::wstring> TypeIntoIpField(std::wstring_view value)
{
    const auto typed = TypeIp(value);
    if (!typed)
        return std::nullopt;
    return IpOnLeave(*typed).value_or(*typed);
}

std::optional<std::wstring> TypeIntoFixedField(std::wstring_view value, const FixedLimits& limits)
{
    const auto typed = TypeFixed(value, limits);
    if (!typed)
        return std::nullopt;
    return FixedOnLeave(*typed, limits).value_or(*typed);
}

std::optional<std::wstring> TypeIntoTextField(std::wstring_view value, size_t maxLength)
{
    if (maxLength != 0 && value.size() > maxLength)
        return std::nullopt;
    return std::wstring(value);
}

std::optional<std::wstring> TypeInto(const Rule& rule, std::wstring_view value)
{
    switch (rule.kind)
    {
    case Kind::Ip:
        return TypeIntoIpField(value);
    case Kind::Fixed:
        return TypeIntoFixedField(value, rule.limits);
    case Kind::Digits:
    case Kind::Decimal:
        return TypeNumber(value, rule.kind == Kind::Decimal, rule.maxLength);
    case Kind::Text:
        break;
    }
    return TypeIntoTextField(value, rule.maxLength);
}

bool Accepts(const Rule& rule, std::wstring_view value)
{
    // Typing the value must give the value itself, nothing dropped and nothing corrected; a
    // field may hold it before it is left (an empty Local IP, a half-typed address).
    std::optional<std::wstring> typed;
    switch (rule.kind)
    {
    case Kind::Ip:
        typed = TypeIp(value);
        break;
    case Kind::Fixed:
        typed = TypeFixed(value, rule.limits);
        break;
    case Kind::Digits:
    case Kind::Decimal:
        typed = TypeNumber(value, rule.kind == Kind::Decimal, rule.maxLength);
        break;
    case Kind::Text:
        typed = TypeIntoTextField(value, rule.maxLength);
        break;
    }
    return typed && *typed == value;
}

} // namespace fields
