#pragma once

#include "model/Choices.h"
#include "model/FieldFilters.h"
#include "model/SettingsModel.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The Others page: the size of one gateway log file (LogFileSize, in MB) and the gateway's log
// level (LogFilter). Choosing a level changes the tool's own log level (gLOG_LEVEL) at once,
// before anything is saved.
class CLogSettings : public ISettingsModel
{
public:
    // The size hint: "Range: 1-100", a line break, "Default Value:" and the default.
    static constexpr int kRangeText = 10025;
    static constexpr int kDefaultValueText = 10031;
    static constexpr int kMinSize = 1;
    static constexpr int kMaxSize = 100;
    static constexpr const wchar_t* kDefaultSize = L"10";

    // The size field: a number field without a decimal point.
    static const fields::Rule& SizeField();
    // The levels in the list's order: System, Error, Warning, Info, stored as "0" to "3"; the
    // index of an entry is also the tool's log level it sets.
    static const CChoiceTable& Levels();
    static constexpr size_t kError = 1;

    // The size as the field shows it.
    std::wstring fileSize = kDefaultSize;
    // The chosen level, an index into Levels().
    size_t level = kError;

    // The size ("10" when empty or absent) and the level that LogFilter gives. Writes nothing,
    // and leaves the tool's log level alone.
    void Load(const CGatewayConfigDoc& document, const CToolFiles& files) override;
    // The range hint while the size is below 1 or above 100.
    std::vector<CHint> Hints() const override;
    // Sets or creates LogFileSize (as typed, or "10" when out of range) and LogFilter.
    void Save(CGatewayConfigDoc& document, const CToolFiles& files,
              CFileChanges& changes) const override;

    // What the list selects each time the page fills itself (when it is made and after every
    // change of language): the first time the document's LogFilter, afterwards the level shown
    // or chosen since. Either becomes the tool's log level again: loading a language file sets
    // the tool's level from the saved LogFilter, which must not undo a level chosen since.
    size_t LevelToShow();
    // A level chosen in the list: it becomes the tool's log level at once.
    void ChooseLevel(size_t index);

    // The level LogFilter gives: "0" to "3", anything else (empty too) Error.
    static size_t LevelFromFilter(std::wstring_view logFilter);
    // Whether a size text, read as its leading digits, is within 1 to 100.
    static bool SizeInRange(std::wstring_view text);
    // The size text on leaving the field and on save: "10" when out of range, else as it is.
    static std::wstring SizeOnLeave(std::wstring_view text);
    // The range hint's text in the current language.
    static std::wstring RangeHint(const std::function<std::wstring(int)>& lookup);

    bool operator==(const CLogSettings&) const = default;

private:
    std::wstring m_logFilter;
    bool m_firstDisplay = true;
};
