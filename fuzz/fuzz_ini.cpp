// Ini files: Load, Get, Set and the bytes written back, read again.
//
// Properties: nothing crashes; after changing an existing key, adding a key to an existing
// section and adding a new section, the bytes read back give the new values, every other key
// of the sections read before keeps its value, and the file keeps its encoding.

#include "FuzzSupport.h"
#include "platform/IniFile.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace
{

// The sections of the tool's ini files, and one that no file has.
constexpr const wchar_t* kSections[] = {L"GENERAL", L"TELEMETRYGPSFLAGSTRINGS", L"RTPType",
                                        L"Fuzz"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = rzfuzz::WorkDir() + "/Fuzzed.ini";
    rzfuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

    rz::CIniFile ini;
    RZ_FUZZ_CHECK(ini.Load(path) == 0);
    std::vector<std::pair<std::wstring, std::vector<std::pair<std::wstring, std::wstring>>>> before;
    for (const wchar_t* section : kSections)
    {
        before.emplace_back(section, ini.Section(section));
        for (const auto& [key, value] : before.back().second)
        {
            RZ_FUZZ_CHECK(ini.Get(section, key) == value);
            (void)ini.GetInt(section, key, 7);
            (void)ini.GetString(section, key, L"", 3);
        }
    }

    // Values the encodings of every ini file can hold, without blanks or quotes at the ends.
    struct Change
    {
        std::wstring section;
        std::wstring key;
        std::wstring value;
    };
    std::vector<Change> changes;
    for (const auto& [section, entries] : before)
    {
        if (!entries.empty())
        {
            changes.push_back({section, entries.front().first, L"changed value"});
            break;
        }
    }
    changes.push_back({L"GENERAL", L"FuzzAdded", L"a=b; \u00e9t\u00e9"});
    changes.push_back({L"Fuzz New Section", L"Key", L"1"});
    for (const Change& change : changes)
        ini.Set(change.section, change.key, change.value);
    for (const Change& change : changes)
        RZ_FUZZ_CHECK(ini.Get(change.section, change.key) == change.value);

    const std::string bytes = ini.Bytes();
    rzfuzz::WriteFile(path, bytes);
    rz::CIniFile again;
    RZ_FUZZ_CHECK(again.Load(path) == 0);
    RZ_FUZZ_CHECK(again.Bytes() == bytes);
    RZ_FUZZ_CHECK(again.GetEncoding() == ini.GetEncoding());
    for (const Change& change : changes)
        RZ_FUZZ_CHECK(again.Get(change.section, change.key) == change.value);
    for (const auto& [section, entries] : before)
    {
        for (const auto& [key, value] : entries)
        {
            bool changed = false;
            for (const Change& change : changes)
                changed = changed || (rz::EqualsNoCase(change.section, section) &&
                                      rz::EqualsNoCase(change.key, key));
            if (!changed)
                RZ_FUZZ_CHECK(again.Get(section, key) == value);
        }
    }
    return 0;
}
