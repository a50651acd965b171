#pragma once

#include <optional>
#include <string>
#include <string_view>

// The rules of the tool's edit fields, as plain functions: which typed characters a field
// takes, how it corrects its text after a character and when it is left. The widgets call
// them on every key, and the command line runs values through them, so that both end with
// the same text.
namespace fields
{

// Backspace, as a typed character.
constexpr wchar_t kBackspace = 8;

// Digits only, with a decimal point once when allowed (number fields).
bool NumAccepts(std::wstring_view text, wchar_t typed, bool decimalPoint);

// Bounds of a whole-number field; each bound applies only when its flag is on.
struct FixedLimits
{
    bool hasMinimum = false;
    int minimum = 0;
    bool hasMaximum = false;
    int maximum = 0;
    bool hasDefault = false;
    int defaultValue = 0;
};

// Limits of a port field: at most 65535.
FixedLimits PortLimits();

// After a typed character: the text read as a number (empty is 0) and brought within the
// bounds; the corrected text, or nothing when the value was within them.
std::optional<std::wstring> FixedAfterTyping(std::wstring_view text, const FixedLimits& limits);

// On leaving the field: the default value for an empty text, when the field has one.
std::optional<std::wstring> FixedOnLeave(std::wstring_view text, const FixedLimits& limits);

// Digits, and a dot where an address can have one: not first, not after a dot, not a fourth.
bool IpAccepts(std::wstring_view text, wchar_t typed);

// After a typed character: the last part of the address read as a number, above 255 made
// 255 and written without leading zeros; the corrected text, or nothing when unchanged.
std::optional<std::wstring> IpAfterTyping(std::wstring_view text);

// On leaving the field: empty becomes 127.0.0.1, and missing parts are filled with 0
// (192.168 becomes 192.168.0.0); the new text, or nothing when unchanged.
std::optional<std::wstring> IpOnLeave(std::wstring_view text);

// A whole value typed into an address field and then left, character by character: the text
// the field would show, or nothing when the field would have dropped a character.
std::optional<std::wstring> TypeIntoIpField(std::wstring_view value);

// The same for a whole-number field with the given limits (decimal point off).
std::optional<std::wstring> TypeIntoFixedField(std::wstring_view value, const FixedLimits& limits);

// The same for a text field that takes at most maxLength characters (0: any number): the
// text, or nothing when it is longer.
std::optional<std::wstring> TypeIntoTextField(std::wstring_view value, size_t maxLength);

// What kind of edit field a value is typed into.
enum class Kind
{
    Ip,      // CIPEdit
    Fixed,   // CFixedEdit / CPortEdit: digits within limits
    Digits,  // CNumEdit without a decimal point and without limits
    Decimal, // CNumEdit with its decimal point: digits and one "."
    Text,    // a plain edit field, maybe with a length limit
};

// A field as the page builds it: its kind, its limits, and the command line's name for it.
// maxLength (0: none) applies to the number and text kinds.
struct Rule
{
    const char* key = "";
    Kind kind = Kind::Text;
    FixedLimits limits{};
    size_t maxLength = 0;
};

// What the field of the rule shows after value was typed into it and the field was left;
// nothing when the field would have dropped a character.
std::optional<std::wstring> TypeInto(const Rule& rule, std::wstring_view value);

// Whether a value, as the document or a paste gives it, is one the field could show while
// it is typed into: the check a save makes before it writes what no field would produce.
bool Accepts(const Rule& rule, std::wstring_view value);

} // namespace fields
