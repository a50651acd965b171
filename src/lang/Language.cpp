#include "lang/Language.h"

#include "config/GatewayConfigDoc.h"
#include "config/SystemLog.h"
#include "lang/BuiltinTexts.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

namespace lang
{
namespace
{

constexpr size_t kSkippedBytes = 82; // byte-order mark and declaration: 41 code units

CFontChoice MakeFont(const std::map<std::wstring, std::wstring>& table, const wchar_t* heightKey)
{
    const auto get = [&table](const wchar_t* key)
    {
        const auto it = table.find(key);
        return it != table.end() ? it->second : std::wstring();
    };
    CFontChoice font;
    font.faceName = get(L"FontName");
    font.height = SettingNumber(get(heightKey));
    font.charset = SettingNumber(get(L"Charset"));
    return font;
}

RUROR::CSystemLog::LOG_LEVEL LevelFromFilter(const wchar_t* filter)
{
    const std::wstring value = filter != nullptr ? filter : L"";
    if (value.size() == 1 && value[0] >= L'0' && value[0] <= L'4')
        return static_cast<RUROR::CSystemLog::LOG_LEVEL>(value[0] - L'0');
    return RUROR::CSystemLog::LOG_SYSTEM;
}

} // namespace

int SettingNumber(const std::wstring& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && value[i] == L'-')
    {
        negative = true;
        ++i;
    }
    long long number = 0;
    for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i)
    {
        number = number * 10 + (value[i] - L'0');
        if (number > 0x7FFFFFFF)
            number = 0x7FFFFFFF;
    }
    return static_cast<int>(negative ? -number : number);
}

CLanguage& CLanguage::Instance()
{
    static CLanguage language;
    return language;
}

CLanguage::CLanguage() : m_builtin(LoadBuiltinTable()) {}

void CLanguage::LoadFile(const std::string& path, const CGatewayConfigDoc& document,
                         const std::string& toolDir)
{
    if (!document.IsLoaded())
        return;
    m_lastParse = {};
    m_loadedPath = path;
    if (!rz::FileExists(path))
        m_loadedPath = rz::FindFileNoCase(toolDir, "English.XML")
                           .value_or(rz::JoinPath(toolDir, "English.XML"));

    // The table takes copies of the texts: the parsed file goes once the table is made.
    RUROR::XNode file;
    std::string bytes;
    if (rz::ReadWholeFile(m_loadedPath, bytes) == 0 && bytes.size() > kSkippedBytes)
        m_lastParse = file.LoadUtf16Le(std::string_view(bytes).substr(kSkippedBytes));

    BuildTable(file);
    RUROR::CSystemLog::GetInstance()->Flush();
    gLOG_LEVEL = LevelFromFilter(document.GetSetting(L"LogFilter"));
}

void CLanguage::BuildTable(const RUROR::XNode& file)
{
    m_table.clear();
    bool inserted = false;
    for (const RUROR::XNode* section : file.GetChilds())
    {
        for (const RUROR::XNode* item : section->GetChilds())
        {
            const auto& attrs = item->GetAttrs();
            if (attrs.size() < 2)
                continue;
            // By position: the first attribute is the ID, the second the text.
            m_table.emplace(attrs[0].second, attrs[1].second);
            inserted = true;
        }
    }
    m_normalFont = MakeFont(m_table, L"FontSize");
    m_titleFont = MakeFont(m_table, L"TitleFontSize");
    if (!inserted)
        m_table = m_builtin;
}

std::wstring CLanguage::Lookup(const std::wstring& id) const
{
    const auto it = m_table.find(id);
    return it != m_table.end() ? it->second : std::wstring();
}

std::wstring CLanguage::LookupOrBuiltin(const std::wstring& id) const
{
    std::wstring text = Lookup(id);
    if (text.empty())
    {
        const auto it = m_builtin.find(id);
        if (it != m_builtin.end())
            text = it->second;
    }
    return text;
}

std::string LanguageFilePath(const std::string& toolDir, const CGatewayConfigDoc& document)
{
    const RUROR::XNode* language = document.Language();
    const std::wstring name = language != nullptr ? language->value : std::wstring(L"English");
    return rz::ResolvePathNoCase(toolDir, "language/" + rz::WideToUtf8(name) + ".xml");
}

void LoadLanguageFile(const std::string& path)
{
    CLanguage::Instance().LoadFile(path, CGatewayConfigDoc::Instance(), rz::ToolDir());
}

std::wstring LookupText(const std::wstring& id)
{
    return CLanguage::Instance().Lookup(id);
}

std::wstring LookupText(int id)
{
    return CLanguage::Instance().Lookup(std::to_wstring(id));
}

} // namespace lang
