#pragma once

#include <string>
#include <string_view>

// Conversions between the wide strings used inside the tool and the encodings found at its
// boundaries: UTF-16 little-endian in the gateway's files, UTF-8 on the terminal and in
// ini files written by hand.
namespace rz
{

// Decodes UTF-16 LE bytes (no byte-order mark handling; an odd last byte is ignored).
// Unpaired surrogates become U+FFFD.
std::wstring Utf16LeToWide(std::string_view bytes);

// Encodes as UTF-16 LE bytes, characters above U+FFFF as surrogate pairs.
std::string WideToUtf16Le(std::wstring_view text);

// Appends the UTF-16 LE bytes of text to out, without a temporary string.
void AppendUtf16Le(std::string& out, std::wstring_view text);

// Encodes as UTF-8.
std::string WideToUtf8(std::wstring_view text);

// Decodes UTF-8; each byte of an invalid sequence becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);

// True when the bytes are valid UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Decodes bytes as ISO 8859-1 (each byte is one character), for ini files that are
// neither UTF-16 nor UTF-8.
std::wstring Latin1ToWide(std::string_view bytes);

// Encodes as ISO 8859-1; characters outside it become '?'.
std::string WideToLatin1(std::wstring_view text);

// Compares without regard to case (ASCII and Latin-1 letters).
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Orders without regard to case (as EqualsNoCase compares), for lists sorted by name.
bool LessNoCase(std::wstring_view a, std::wstring_view b);

// Removes leading and trailing blanks (space, tab, CR, LF).
std::wstring_view TrimBlanks(std::wstring_view text);

} // namespace rz
