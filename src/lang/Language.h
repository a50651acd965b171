#pragma once

#include "config/XNode.h"

#include <map>
#include <string>

class CGatewayConfigDoc;

namespace lang
{

// A language font as the language file describes it; the window turns it into a real font.
struct CFontChoice
{
    std::wstring faceName; // empty: the platform's default face
    int height = 0;        // character height in pixels; 0: the default size
    int charset = 0;       // the platform character-set number (0 is the Western set)

    bool operator==(const CFontChoice&) const = default;
};

// The current language: the text table read from a language file, with the built-in English
// texts standing in when the file supplies none, and the two language fonts. One instance
// serves the process (Instance); tests make their own.
class CLanguage
{
public:
    static CLanguage& Instance();

    CLanguage();

    // Loads a language file into the text table and makes the fonts. Does nothing while the
    // document is not loaded. A missing file is replaced by English.XML in the tool's own
    // folder; a file that cannot be read, holds no more than 82 bytes, does not parse or has
    // no items leaves the built-in English texts as the table. Also sets gLOG_LEVEL from the
    // document's LogFilter.
    void LoadFile(const std::string& path, const CGatewayConfigDoc& document,
                  const std::string& toolDir);

    // The text of an ID, or empty when the table has none (no fall-back to English).
    std::wstring Lookup(const std::wstring& id) const;

    // The text of an ID, or the built-in English text when the table's is empty or absent.
    // Only for the few places that want it (the pending Start label, inner Save and Cancel).
    std::wstring LookupOrBuiltin(const std::wstring& id) const;

    const std::map<std::wstring, std::wstring>& Table() const { return m_table; }
    // The built-in English texts, for the few callers that want them when a text is empty.
    const std::map<std::wstring, std::wstring>& BuiltinMap() const { return m_builtin; }
    const CFontChoice& NormalFont() const { return m_normalFont; }
    const CFontChoice& TitleFont() const { return m_titleFont; }

    // The file that was read by the last load (after the fall-back), and how its parse went.
    const std::string& LoadedPath() const { return m_loadedPath; }
    const RUROR::XParseResult& LastParse() const { return m_lastParse; }

private:
    void BuildTable(const RUROR::XNode& file);

    std::map<std::wstring, std::wstring> m_table;
    std::map<std::wstring, std::wstring> m_builtin;
    CFontChoice m_normalFont;
    CFontChoice m_titleFont;
    std::string m_loadedPath;
    RUROR::XParseResult m_lastParse;
};

// The language file named by the document: its Language value (or "English") plus ".xml" in
// the folder "language" of the tool's own folder, found without regard to case.
std::string LanguageFilePath(const std::string& toolDir, const CGatewayConfigDoc& document);

// The process's language: CLanguage::Instance() with the process's document and tool folder.
void LoadLanguageFile(const std::string& path);
std::wstring LookupText(const std::wstring& id);
std::wstring LookupText(int id);

// A number as the language settings hold it: a decimal integer read from the start, 0 when
// the value does not start with a digit or a minus sign.
int SettingNumber(const std::wstring& value);

} // namespace lang
