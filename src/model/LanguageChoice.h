#pragma once

#include "model/SettingsModel.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// A language file that the language list offers: its section "Language" names both its
// display name and its language name.
struct LanguageFileEntry
{
    std::wstring display;
    std::wstring language;
    std::string path;

    bool operator==(const LanguageFileEntry&) const = default;
};

// The Language Settings page: the language files of the tool's folder and the choice among
// them. Choosing a language stores its language name (not its display name) in the
// document's Language element, under which the tool finds the file again at the next start.
//
// Like the page, it keeps two maps keyed by display name (to the file's path and to its
// language name); a later file with a display name that an earlier one has takes the maps'
// entries over, while the list then shows the name twice.
class CLanguageChoice : public ISettingsModel
{
public:
    // The language files in the folder "Language" of the tool's folder (folder and ".XML"
    // matched without regard to case), in file name order, that have both settings.
    static std::vector<LanguageFileEntry> FindFiles(const std::string& toolDir);

    // The files, the maps, and the current language: the Language element's value, or
    // "English" when there is none.
    void Load(const CGatewayConfigDoc& document, const CToolFiles& files) override;
    // Writes the chosen language name into the Language element; nothing when no choice was
    // made since the load.
    void Save(CGatewayConfigDoc& document, const CToolFiles& files,
              CFileChanges& changes) const override;

    // Every file that takes part, in file name order.
    const std::vector<LanguageFileEntry>& Files() const { return m_files; }
    // The names the list shows, sorted without regard to case, one per file.
    std::vector<std::wstring> ListNames() const;
    // The maps: the file and the language name of a display name; empty when it has none.
    std::string PathOf(const std::wstring& display) const;
    std::wstring LanguageOf(const std::wstring& display) const;
    const std::wstring& CurrentLanguage() const { return m_current; }

    // The entry of ListNames() that the list selects when it is filled: for each display name
    // whose language name is the current language exactly, the first entry that begins with
    // that name without regard to case; of several such display names the last one (in
    // display name order) decides. Nothing when no file names the current language.
    std::optional<size_t> SelectedIndex() const;

    // A display name chosen in the list. False, and nothing changes, when no file has it.
    bool Choose(const std::wstring& display);
    // The language name chosen since the load.
    const std::optional<std::wstring>& Chosen() const { return m_chosen; }

    // The display name a person means on the command line, among the files the list can
    // choose, in file name order: the first whose language name is the name exactly, else the
    // first whose language or display name equals it without regard to case.
    std::optional<std::wstring> FindForCli(const std::wstring& name) const;

    bool operator==(const CLanguageChoice&) const = default;

private:
    std::vector<LanguageFileEntry> m_files;
    std::map<std::wstring, std::string> m_paths;
    std::map<std::wstring, std::wstring> m_languages;
    std::wstring m_current;
    std::optional<std::wstring> m_chosen;
};
