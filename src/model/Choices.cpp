#include "model/Choices.h"

#include "platform/TextCodec.h"

std::optional<size_t> CChoiceTable::FindStored(std::wstring_view stored) const
{
    for (size_t i = 0; i < m_choices.size(); ++i)
        if (m_choices[i].stored == stored)
            return i;
    return std::nullopt;
}

std::optional<size_t> CChoiceTable::FindForCli(std::string_view name,
                                               const std::function<std::wstring(int)>& lookup) const
{
    for (size_t i = 0; i < m_choices.size(); ++i)
        if (rz::EqualsNoCase(name, m_choices[i].cliName) || name == std::to_string(i))
            return i;
    const std::wstring wide = rz::Utf8ToWide(name);
    for (size_t i = 0; i < m_choices.size(); ++i)
    {
        const std::wstring label = Label(i, lookup);
        if (!label.empty() && rz::EqualsNoCase(wide, label))
            return i;
    }
    return std::nullopt;
}

std::wstring CChoiceTable::Label(size_t index, const std::function<std::wstring(int)>& lookup) const
{
    const CChoice& choice = m_choices.at(index);
    if (choice.textId == 0 || !lookup)
        return choice.label;
    return lookup(choice.textId);
}

std::string CChoiceTable::CliNames() const
{
    std::string names;
    for (size_t i = 0; i < m_choices.size(); ++i)
    {
        if (i > 0)
            names += i + 1 == m_choices.size() ? " or " : ", ";
        names += m_choices[i].cliName;
    }
    return names;
}
