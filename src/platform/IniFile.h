#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rz
{

// An ini file with the semantics of the Windows profile functions: section and key names
// are matched without regard to case, the first section and the first key of a name win,
// values are trimmed and lose one pair of enclosing quotes. A change rewrites one line and
// keeps every other line, comment, line ending and the file's encoding as they were.
class CIniFile
{
public:
    enum class Encoding
    {
        Utf8,
        Utf8Bom,
        Utf16Le,
        Latin1,
    };

    // Reads the file. A missing file gives an empty ini (and 0: nothing went wrong); any
    // other failure returns its errno and leaves the ini empty.
    int Load(const std::string& path);

    // The value of a key, or nothing when the section or key is absent.
    std::optional<std::wstring> Get(const std::wstring& section, const std::wstring& key) const;

    // GetPrivateProfileString: the value, or def when absent, cut to maxChars characters.
    std::wstring GetString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& def, size_t maxChars = 65535) const;

    // GetPrivateProfileInt: def when absent; otherwise the leading decimal number of the
    // value (0 when there is none), a leading minus wrapping around as unsigned.
    unsigned GetInt(const std::wstring& section, const std::wstring& key, unsigned def) const;

    // Sets a key: its line is rewritten in place, or added at the end of its section, or a
    // new section is appended at the end of the file.
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    // Writes the file back (temporary file and rename). Returns 0 or an errno.
    int Save(const std::string& path) const;
    // The file's bytes as Save writes them, in the file's encoding.
    std::string Bytes() const;

    Encoding GetEncoding() const { return m_encoding; }

    // Every key=value of one section in file order (first of each name only).
    std::vector<std::pair<std::wstring, std::wstring>> Section(const std::wstring& section) const;

private:
    struct Line
    {
        std::wstring text;
        std::wstring eol; // "\r\n", "\n", "\r" or empty for the last line without one
    };

    std::optional<size_t> FindSection(const std::wstring& section) const;
    // The line index of a key within the section that starts at line sectionLine.
    std::optional<size_t> FindKey(size_t sectionLine, const std::wstring& key) const;
    size_t SectionEnd(size_t sectionLine) const;
    std::wstring DefaultEol() const;

    std::vector<Line> m_lines;
    Encoding m_encoding = Encoding::Utf8;
};

// The profile functions over a file path, reading the file on every call as Windows does.
std::wstring GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& def, const std::string& path,
                                     size_t maxChars = 65535);
unsigned GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, unsigned def,
                              const std::string& path);
// Returns false when the file cannot be read or written.
bool WritePrivateProfileString(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value, const std::string& path);

} // namespace rz
