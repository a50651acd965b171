#include "platform/IniFile.h"

#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <cerrno>

namespace rz
{
namespace
{

// The section name of a line "[name]", or nothing.
std::optional<std::wstring_view> SectionName(std::wstring_view line)
{
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != L'[')
        return std::nullopt;
    const auto close = line.find(L']');
    if (close == std::wstring_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(1, close - 1));
}

// The key of a line "key=value", or nothing for comments and lines without '='.
std::optional<std::wstring_view> KeyName(std::wstring_view line)
{
    const auto trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == L';' || trimmed.front() == L'[')
        return std::nullopt;
    const auto eq = line.find(L'=');
    if (eq == std::wstring_view::npos)
        return std::nullopt;
    return TrimBlanks(line.substr(0, eq));
}

std::wstring ValueOf(std::wstring_view line)
{
    auto value = TrimBlanks(line.substr(line.find(L'=') + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::wstring(value);
}

} // namespace

int CIniFile::Load(const std::string& path)
{
    m_lines.clear();
    m_encoding = Encoding::Utf8;
    std::string bytes;
    if (const int error = ReadWholeFile(path, bytes); error != 0)
        return error == ENOENT ? 0 : error;

    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
    {
        m_encoding = Encoding::Utf16Le;
        text = Utf16LeToWide(std::string_view(bytes).substr(2));
    }
    else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    {
        m_encoding = Encoding::Utf8Bom;
        text = Utf8ToWide(std::string_view(bytes).substr(3));
    }
    else if (IsValidUtf8(bytes))
    {
        text = Utf8ToWide(bytes);
    }
    else
    {
        m_encoding = Encoding::Latin1;
        text = Latin1ToWide(bytes);
    }

    size_t start = 0;
    while (start < text.size())
    {
        size_t end = start;
        while (end < text.size() && text[end] != L'\r' && text[end] != L'\n')
            ++end;
        Line line{text.substr(start, end - start), {}};
        if (end < text.size())
        {
            const size_t eolLength =
                (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1;
            line.eol = text.substr(end, eolLength);
            end += eolLength;
        }
        m_lines.push_back(std::move(line));
        start = end;
    }
    return 0;
}

std::optional<size_t> CIniFile::FindSection(const std::wstring& section) const
{
    for (size_t i = 0; i < m_lines.size(); ++i)
    {
        if (const auto name = SectionName(m_lines[i].text); name && EqualsNoCase(*name, section))
            return i;
    }
    return std::nullopt;
}

size_t CIniFile::SectionEnd(size_t sectionLine) const
{
    size_t i = sectionLine + 1;
    while (i < m_lines.size() && !SectionName(m_lines[i].text))
        ++i;
    return i;
}

std::optional<size_t> CIniFile::FindKey(size_t sectionLine, const std::wstring& key) const
{
    const size_t end = SectionEnd(sectionLine);
    for (size_t i = sectionLine + 1; i < end; ++i)
    {
        if (const auto name = KeyName(m_lines[i].text); name && EqualsNoCase(*name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::wstring> CIniFile::Get(const std::wstring& section,
                                          const std::wstring& key) const
{
    const auto sectionLine = FindSection(section);
    if (!sectionLine)
        return std::nullopt;
    const auto keyLine = FindKey(*sectionLine, key);
    if (!keyLine)
        return std::nullopt;
    return ValueOf(m_lines[*keyLine].text);
}

std::wstring CIniFile::GetString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& def, size_t maxChars) const
{
    std::wstring value = Get(section, key).value_or(def);
    if (value.size() > maxChars)
        value.resize(maxChars);
    return value;
}

unsigned CIniFile::GetInt(const std::wstring& section, const std::wstring& key, unsigned def) const
{
    const auto value = Get(section, key);
    if (!value)
        return def;
    std::wstring_view text = TrimBlanks(*value);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+'))
    {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    unsigned result = 0;
    for (wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            break;
        result = result * 10 + static_cast<unsigned>(c - L'0');
    }
    return negative ? 0u - result : result;
}

std::wstring CIniFile::DefaultEol() const
{
    for (const auto& line : m_lines)
    {
        if (!line.eol.empty())
            return line.eol;
    }
    return L"\n";
}

void CIniFile::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    const std::wstring eol = DefaultEol();
    const auto sectionLine = FindSection(section);
    if (!sectionLine)
    {
        if (!m_lines.empty() && m_lines.back().eol.empty())
            m_lines.back().eol = eol;
        m_lines.push_back({L"[" + section + L"]", eol});
        m_lines.push_back({key + L"=" + value, eol});
        return;
    }
    if (const auto keyLine = FindKey(*sectionLine, key))
    {
        auto& line = m_lines[*keyLine];
        line.text =
            std::wstring(TrimBlanks(line.text.substr(0, line.text.find(L'=')))) + L"=" + value;
        return;
    }
    // After the section's last line that is not blank, so that blank separators stay put.
    size_t insertAt = SectionEnd(*sectionLine);
    while (insertAt > *sectionLine + 1 && TrimBlanks(m_lines[insertAt - 1].text).empty())
        --insertAt;
    if (m_lines[insertAt - 1].eol.empty())
        m_lines[insertAt - 1].eol = eol;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   Line{key + L"=" + value, eol});
}

std::vector<std::pair<std::wstring, std::wstring>>
CIniFile::Section(const std::wstring& section) const
{
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    const auto sectionLine = FindSection(section);
    if (!sectionLine)
        return entries;
    const size_t end = SectionEnd(*sectionLine);
    for (size_t i = *sectionLine + 1; i < end; ++i)
    {
        const auto name = KeyName(m_lines[i].text);
        if (!name)
            continue;
        bool seen = false;
        for (const auto& entry : entries)
            seen = seen || EqualsNoCase(entry.first, *name);
        if (!seen)
            entries.emplace_back(std::wstring(*name), ValueOf(m_lines[i].text));
    }
    return entries;
}

int CIniFile::Save(const std::string& path) const
{
    return ReplaceFile(path, Bytes());
}

std::string CIniFile::Bytes() const
{
    std::wstring text;
    for (const auto& line : m_lines)
        text += line.text + line.eol;
    std::string bytes;
    switch (m_encoding)
    {
    case Encoding::Utf16Le:
        bytes = "\xFF\xFE" + WideToUtf16Le(text);
        break;
    case Encoding::Utf8Bom:
        bytes = "\xEF\xBB\xBF" + WideToUtf8(text);
        break;
    case Encoding::Latin1:
        bytes = WideToLatin1(text);
        break;
    case Encoding::Utf8:
        bytes = WideToUtf8(text);
        break;
    }
    return bytes;
}

std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& def, const std::string& path,
                                     size_t maxChars)
{
    CIniFile ini;
    ini.Load(path);
    return ini.GetString(section, key, def, maxChars);
}

unsigned GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, unsigned def,
                              const std::string& path)
{
    CIniFile ini;
    ini.Load(path);
    return ini.GetInt(section, key, def);
}

bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::string& path)
{
    CIniFile ini;
    if (ini.Load(path) != 0)
        return false;
    // A value the file already holds is not written again: a save syncs the disk, which can
    // take longer than everything else the caller does (the window stores its title at
    // every start).
    if (ini.Get(section, key) == value)
        return true;
    ini.Set(section, key, value);
    return ini.Save(path) == 0;
}

} // namespace rz
