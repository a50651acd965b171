#include "config/StringTrans.h"

#include "platform/TextCodec.h"

namespace RUROR
{

std::string CStringTrans::uinttostring(unsigned long long number)
{
    return std::to_string(number);
}

std::string CStringTrans::wstringtostring(const std::wstring& text)
{
    return rz::WideToUtf8(text);
}

} // namespace RUROR
