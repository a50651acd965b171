#pragma once

#include <QString>
#include <string>
#include <string_view>

// Conversions at the widget boundary: the core keeps wide strings, widgets QStrings.
inline QString ToQString(std::wstring_view text)
{
    return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::wstring ToWString(const QString& text)
{
    return text.toStdWString();
}
