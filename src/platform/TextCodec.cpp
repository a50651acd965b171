#include "platform/TextCodec.h"

#include <algorithm>

namespace rz
{
namespace
{

constexpr wchar_t kReplacement = 0xFFFD;

void AppendUtf16Unit(std::wstring& out, char16_t unit, char16_t& pendingHigh)
{
    if (unit >= 0xD800 && unit <= 0xDBFF)
    {
        if (pendingHigh != 0)
            out.push_back(kReplacement);
        pendingHigh = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF)
    {
        if (pendingHigh != 0)
        {
            const char32_t cp =
                0x10000 + ((char32_t(pendingHigh) - 0xD800) << 10) + (char32_t(unit) - 0xDC00);
            out.push_back(static_cast<wchar_t>(cp));
            pendingHigh = 0;
        }
        else
        {
            out.push_back(kReplacement);
        }
        return;
    }
    if (pendingHigh != 0)
    {
        out.push_back(kReplacement);
        pendingHigh = 0;
    }
    out.push_back(static_cast<wchar_t>(unit));
}

template <typename Sink> void EncodeUtf16(std::wstring_view text, Sink sink)
{
    for (wchar_t wc : text)
    {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF)
            cp = kReplacement;
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            sink(static_cast<char16_t>(0xD800 + (cp >> 10)));
            sink(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
        else
        {
            sink(static_cast<char16_t>(cp));
        }
    }
}

// Length of the UTF-8 sequence at the start of bytes and its code point, or 0 when invalid.
size_t DecodeUtf8(std::string_view bytes, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    size_t len = 0;
    if (b0 < 0x80)
    {
        cp = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0)
    {
        len = 2;
        cp = b0 & 0x1F;
    }
    else if ((b0 & 0xF0) == 0xE0)
    {
        len = 3;
        cp = b0 & 0x0F;
    }
    else if ((b0 & 0xF8) == 0xF0)
    {
        len = 4;
        cp = b0 & 0x07;
    }
    else
    {
        return 0;
    }
    if (bytes.size() < len)
        return 0;
    for (size_t i = 1; i < len; ++i)
    {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Reject overlong forms, surrogates and values past the Unicode range.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

wchar_t FoldChar(wchar_t c)
{
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<wchar_t>(c + 0x20);
    return c;
}

} // namespace

std::wstring Utf16LeToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size() / 2);
    char16_t pendingHigh = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8));
        AppendUtf16Unit(out, unit, pendingHigh);
    }
    if (pendingHigh != 0)
        out.push_back(kReplacement);
    return out;
}

std::string WideToUtf16Le(std::wstring_view text)
{
    std::string out;
    AppendUtf16Le(out, text);
    return out;
}

void AppendUtf16Le(std::string& out, std::wstring_view text)
{
    // Encoded through a small block on the stack, so the string grows by whole blocks and
    // is never zero-filled first.
    char block[512];
    size_t used = 0;
    EncodeUtf16(text,
                [&](char16_t unit)
                {
                    if (used + 2 > sizeof block)
                    {
                        out.append(block, used);
                        used = 0;
                    }
                    block[used++] = static_cast<char>(unit & 0xFF);
                    block[used++] = static_cast<char>(unit >> 8);
                });
    out.append(block, used);
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text)
    {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = kReplacement;
        if (cp < 0x80)
        {
            out.push_back(static_cast<char>(cp));
        }
        else if (cp < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring Utf8ToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    while (!bytes.empty())
    {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(bytes, cp);
        if (len == 0)
        {
            out.push_back(kReplacement);
            bytes.remove_prefix(1);
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        bytes.remove_prefix(len);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    while (!bytes.empty())
    {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(bytes, cp);
        if (len == 0)
            return false;
        bytes.remove_prefix(len);
    }
    return true;
}

std::wstring Latin1ToWide(std::string_view bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string WideToLatin1(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out.push_back(static_cast<unsigned>(c) < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    }
    return true;
}

bool LessNoCase(std::wstring_view a, std::wstring_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y)
                                        { return FoldChar(x) < FoldChar(y); });
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

std::wstring_view TrimBlanks(std::wstring_view text)
{
    const auto isBlank = [](wchar_t c)
    { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace rz
