#pragma once

#include <string>

namespace RUROR
{

// Small string conversions of the support library.
class CStringTrans
{
public:
    // An unsigned number in decimal.
    static std::string uinttostring(unsigned long long number);
    // A wide string narrowed to UTF-8.
    static std::string wstringtostring(const std::wstring& text);
};

} // namespace RUROR
