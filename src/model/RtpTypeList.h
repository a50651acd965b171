#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The RTP types a repeater slot can be encrypted with, as RaviraZazu_Gateway.ini lists them
// (section "RTPType", keys RTPType1, RTPType2, ... up to the first empty one, each
// "type:label"). Both RTP Type lists of the repeater page and the command line show these
// entries in this order.
class CRtpTypeList
{
public:
    // One entry: the type value the document stores and the label as the file gives it,
    // which is looked up as a text ID when shown.
    struct CEntry
    {
        uint32_t value = 0;
        std::wstring label;

        bool operator==(const CEntry&) const = default;
    };
    // Looks a text up by its ID in the current language; empty when there is none.
    using Lookup = std::function<std::wstring(const std::wstring&)>;

    // The type an entry gets when the list is empty and nothing can be chosen.
    static constexpr uint32_t kNone = 4294967295u;

    CRtpTypeList() = default;
    explicit CRtpTypeList(std::vector<CEntry> entries) : m_entries(std::move(entries)) {}

    // Reads the list from the ini file. A missing file or section gives an empty list; a value
    // without a ":" after its first character, or with nothing after it, is passed over
    // without using up a place in the list.
    static CRtpTypeList Read(const std::string& iniPath);

    const std::vector<CEntry>& Entries() const { return m_entries; }
    size_t Size() const { return m_entries.size(); }
    // The place of the first entry with this type value.
    std::optional<size_t> IndexOf(uint32_t value) const;
    // The type an entry gets when its list has no selection: the first entry's, or kNone.
    uint32_t FirstValue() const;
    // What the lists show for an entry: its label's text in the current language, or the
    // label itself when the language has none.
    static std::wstring Label(const CEntry& entry, const Lookup& lookup);

    // What a slot's RTP Type list offers: the file's entries, and after them the slot's own
    // type when the file no longer lists it (labelled with its number), so that a type the
    // document holds is shown and kept, never replaced by another one.
    std::vector<CEntry> EntriesWith(uint32_t current) const;

    // The type a person means on the command line: a listed type value in decimal, or the
    // label of an entry (as the file gives it or in the current language) without regard to
    // case. Nothing when no entry fits.
    std::optional<uint32_t> FindForCli(std::string_view name, const Lookup& lookup) const;

    bool operator==(const CRtpTypeList&) const = default;

private:
    std::vector<CEntry> m_entries;
};
