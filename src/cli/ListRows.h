#pragma once

#include "model/RecordList.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <optional>
#include <string>
#include <variant>

// Choosing an entry of a list page by its key on the command line, and by its row where
// several entries share the key (the row numbers that the list commands show).
namespace clirows
{

// A row number as the lists show them: 1 and up.
inline const CLI::Validator kRowNumber(
    [](const std::string& value)
    {
        return value.find_first_not_of("0123456789") != std::string::npos || value.empty() ||
                       value.find_first_not_of('0') == std::string::npos
                   ? std::string("a row is a number from 1")
                   : "";
    },
    "");

// How messages name a list's entries and their key: "radio server", "radio servers",
// "address".
struct CNames
{
    std::string one;
    std::string many;
    std::string key;
};

// The row of the entry with the key: the only one, or the one row names among several. An
// error text when there is none, or several and row does not choose one of them.
template <typename Record>
std::variant<size_t, std::string> Choose(const CRecordList<Record>& list, const std::string& key,
                                         std::optional<size_t> row, const CNames& names)
{
    const auto rows = list.RowsWithKey(rz::Utf8ToWide(key));
    if (rows.empty())
        return "no " + names.one + " has the " + names.key + " " + key;
    if (row)
    {
        if (std::find(rows.begin(), rows.end(), *row - 1) == rows.end())
            return "row " + std::to_string(*row) + " is not a " + names.one + " with the " +
                   names.key + " " + key;
        return *row - 1;
    }
    if (rows.size() == 1)
        return rows.front();
    std::string numbers;
    for (size_t found : rows)
        numbers += (numbers.empty() ? "" : " and ") + std::to_string(found + 1);
    return std::to_string(rows.size()) + " " + names.many + " have the " + names.key + " " + key +
           " (rows " + numbers + "); choose one with --row N";
}

} // namespace clirows
