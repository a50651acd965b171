#pragma once

#include <QString>
#include <string>

// Conversions at the widget boundary: the core keeps wide strings, widgets QStrings.
inline QString ToQString(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

inline std::wstring ToWString(const QString& text)
{
    return text.toStdWString();
}
