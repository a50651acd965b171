#include "model/LanguageChoice.h"

#include "config/GatewayConfigDoc.h"
#include "lang/LanguageSection.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace
{

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && rz::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

std::vector<LanguageFileEntry> CLanguageChoice::FindFiles(const std::string& toolDir)
{
    std::vector<LanguageFileEntry> files;
    const std::string folder = rz::ResolvePathNoCase(toolDir, "Language");
    for (const std::string& name : rz::ListFilesWithSuffix(folder, ".XML"))
    {
        const std::string path = rz::JoinPath(folder, name);
        const lang::CLanguageSection settings = lang::LoadLanguageSection(path, L"Language");
        LanguageFileEntry entry{settings.Value(L"Display"), settings.Value(L"Language"), path};
        if (!entry.display.empty() && !entry.language.empty())
            files.push_back(std::move(entry));
    }
    return files;
}

void CLanguageChoice::Load(const CGatewayConfigDoc& document, const CToolFiles& files)
{
    m_files = FindFiles(files.toolDir);
    m_paths.clear();
    m_languages.clear();
    for (const LanguageFileEntry& file : m_files)
    {
        m_paths[file.display] = file.path;
        m_languages[file.display] = file.language;
    }
    const RUROR::XNode* language = document.Language();
    m_current = language != nullptr ? language->value : std::wstring(L"English");
    m_chosen.reset();
}

void CLanguageChoice::Save(CGatewayConfigDoc& document, const CToolFiles&, CFileChanges&) const
{
    if (m_chosen)
        document.SetSetting(L"Language", *m_chosen);
}

std::vector<std::wstring> CLanguageChoice::ListNames() const
{
    std::vector<std::wstring> names;
    for (const LanguageFileEntry& file : m_files)
        names.push_back(file.display);
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& a, const std::wstring& b)
                     { return rz::LessNoCase(a, b); });
    return names;
}

std::string CLanguageChoice::PathOf(const std::wstring& display) const
{
    const auto it = m_paths.find(display);
    return it != m_paths.end() ? it->second : std::string();
}

std::wstring CLanguageChoice::LanguageOf(const std::wstring& display) const
{
    const auto it = m_languages.find(display);
    return it != m_languages.end() ? it->second : std::wstring();
}

std::optional<size_t> CLanguageChoice::SelectedIndex() const
{
    const std::vector<std::wstring> names = ListNames();
    std::optional<size_t> selected;
    for (const auto& [display, language] : m_languages)
    {
        if (language != m_current)
            continue;
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (StartsWithNoCase(names[i], display))
            {
                selected = i;
                break;
            }
        }
    }
    return selected;
}

bool CLanguageChoice::Choose(const std::wstring& display)
{
    const std::wstring language = LanguageOf(display);
    if (language.empty())
        return false;
    m_chosen = language;
    return true;
}

std::optional<std::wstring> CLanguageChoice::FindForCli(const std::wstring& name) const
{
    // Only files the list can choose: a file whose display name a later file took over is
    // not one of them.
    std::vector<const LanguageFileEntry*> choosable;
    for (const LanguageFileEntry& file : m_files)
        if (PathOf(file.display) == file.path)
            choosable.push_back(&file);
    for (const LanguageFileEntry* file : choosable)
        if (file->language == name)
            return file->display;
    for (const LanguageFileEntry* file : choosable)
        if (rz::EqualsNoCase(file->language, name) || rz::EqualsNoCase(file->display, name))
            return file->display;
    return std::nullopt;
}
