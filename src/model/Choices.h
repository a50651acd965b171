#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One entry of a list of choices: what the document or ini file stores, how the window names
// it (a text ID, or a fixed label where no text exists), and the command line's name for it.
struct CChoice
{
    std::wstring stored;
    int textId = 0;     // 0: the label is fixed
    std::wstring label; // the fixed label, or the text's English name for the command line
    std::string cliName;
};

// The choices of a drop-down list, in the list's order. The page fills its list from it and
// the command line parses its argument with it, so that both offer the same.
class CChoiceTable
{
public:
    explicit CChoiceTable(std::vector<CChoice> choices) : m_choices(std::move(choices)) {}

    size_t Size() const { return m_choices.size(); }
    const CChoice& At(size_t index) const { return m_choices.at(index); }
    const std::vector<CChoice>& All() const { return m_choices; }

    // The entry that stores exactly this value.
    std::optional<size_t> FindStored(std::wstring_view stored) const;
    // The entry a person means on the command line: its command-line name, its position in
    // the list (0, 1, ...) or its label in the current language (lookup), without regard to
    // case.
    std::optional<size_t> FindForCli(std::string_view name,
                                     const std::function<std::wstring(int)>& lookup) const;
    // The label the window shows: the text of its ID in the current language, or the fixed one.
    std::wstring Label(size_t index, const std::function<std::wstring(int)>& lookup) const;
    // "a, b or c": the command-line names, for a usage message.
    std::string CliNames() const;

private:
    std::vector<CChoice> m_choices;
};
