#pragma once

#include "model/SettingsModel.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

// The rules of a list page's entries, in one place: the entries in list order, addressed by
// their row (an address or ID may repeat in a document, so it cannot address a row), the
// most entries the list takes, and which key no two entries may share.
template <typename Record> class CRecordList
{
public:
    struct CRules
    {
        size_t limit = 0;    // most entries; 0: no limit
        int limitTextId = 0; // the refusal when the list is full
        int duplicateTextId = 0;
        // A change must give a new key (the radio server list refuses a change that keeps the
        // address), or may keep its own (only another entry's key is refused).
        bool changeNeedsNewKey = false;
        // Rows the list shows at least, blank ones padding it.
        int minRows = 0;
    };
    using KeyOf = std::function<std::wstring(const Record&)>;
    // The refusal of a change or removal of a row that the list does not have (a caller's
    // mistake: the window and the command line only name rows they were shown).
    static constexpr int kNoSuchRow = -1;

    // keyField: the command-line name of the key's field, for refusals.
    CRecordList(CRules rules, KeyOf keyOf, std::string keyField = {})
        : m_rules(rules), m_keyOf(std::move(keyOf)), m_keyField(std::move(keyField))
    {
    }

    const std::vector<Record>& Rows() const { return m_rows; }
    size_t Count() const { return m_rows.size(); }
    bool IsRow(size_t row) const { return row < m_rows.size(); }
    const CRules& Rules() const { return m_rules; }

    // Entries as they were read; no rule applies to what the document holds.
    void Assign(std::vector<Record> rows) { m_rows = std::move(rows); }

    // The refusal for one more entry when the list is full.
    CRefusal CanAdd() const
    {
        if (m_rules.limit != 0 && m_rows.size() >= m_rules.limit)
            return {m_rules.limitTextId, {}};
        return {};
    }
    // Appends an entry unless the list is full or its key is taken.
    CRefusal Add(Record record)
    {
        if (CRefusal full = CanAdd())
            return full;
        if (CRefusal taken = KeyTaken(m_keyOf(record), m_rows.size()))
            return taken;
        m_rows.push_back(std::move(record));
        return {};
    }
    // Replaces the entry of a row, in its place.
    CRefusal Change(size_t row, Record record)
    {
        if (!IsRow(row))
            return {kNoSuchRow, {}};
        const size_t except = m_rules.changeNeedsNewKey ? m_rows.size() : row;
        if (CRefusal taken = KeyTaken(m_keyOf(record), except))
            return taken;
        m_rows[row] = std::move(record);
        return {};
    }
    // Removes the entries of the given rows (in any order, each once).
    void Remove(const std::vector<size_t>& rows)
    {
        const std::set<size_t> gone(rows.begin(), rows.end());
        std::vector<Record> kept;
        for (size_t row = 0; row < m_rows.size(); ++row)
            if (gone.count(row) == 0)
                kept.push_back(std::move(m_rows[row]));
        m_rows = std::move(kept);
    }
    // The rows whose entry has the key, in list order.
    std::vector<size_t> RowsWithKey(const std::wstring& key) const
    {
        std::vector<size_t> rows;
        for (size_t row = 0; row < m_rows.size(); ++row)
            if (m_keyOf(m_rows[row]) == key)
                rows.push_back(row);
        return rows;
    }
    // Keys that more than one entry has, each once, in list order.
    std::vector<std::wstring> DuplicateKeys() const
    {
        std::vector<std::wstring> duplicates;
        for (size_t row = 0; row < m_rows.size(); ++row)
        {
            const std::wstring key = m_keyOf(m_rows[row]);
            if (RowsWithKey(key).front() == row && RowsWithKey(key).size() > 1)
                duplicates.push_back(key);
        }
        return duplicates;
    }
    // How many rows the list shows: every entry, and blank rows up to the minimum.
    int ShownRows() const { return std::max(m_rules.minRows, static_cast<int>(m_rows.size())); }

    bool operator==(const CRecordList& other) const { return m_rows == other.m_rows; }

private:
    CRefusal KeyTaken(const std::wstring& key, size_t except) const
    {
        for (size_t row = 0; row < m_rows.size(); ++row)
            if (row != except && m_keyOf(m_rows[row]) == key)
                return {m_rules.duplicateTextId, key, m_keyField};
        return {};
    }

    CRules m_rules;
    KeyOf m_keyOf;
    std::string m_keyField;
    std::vector<Record> m_rows;
};
