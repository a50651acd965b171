#include "config/SystemLog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <utility>

RUROR::CSystemLog::LOG_LEVEL gLOG_LEVEL = RUROR::CSystemLog::LOG_SYSTEM;

namespace RUROR
{
namespace
{

std::wstring FormatV(const wchar_t* format, va_list args)
{
    std::wstring text(256, L'\0');
    for (;;)
    {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(text.data(), text.size(), format, copy);
        va_end(copy);
        if (n >= 0)
        {
            text.resize(static_cast<size_t>(n));
            return text;
        }
        // vswprintf reports a too small buffer and a bad format (or a narrow %s argument that
        // is not valid in the C locale) alike; stop growing at a size no record needs.
        if (text.size() >= (1u << 16))
            return L"(unformattable record)";
        text.resize(text.size() * 4);
    }
}

std::wstring Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    wchar_t text[40];
    std::swprintf(text, 40, L"%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

} // namespace

bool ILogOutStream::QueryInterface(const char* iid, void** out)
{
    if (out == nullptr || iid == nullptr || std::strcmp(iid, IID) != 0)
        return false;
    *out = static_cast<ILogOutStream*>(this);
    duplicate();
    return true;
}

CSystemLog* CSystemLog::GetInstance()
{
    static CSystemLog instance;
    return &instance;
}

void CSystemLog::AddOutStream(ILogOutStream* stream)
{
    if (stream == nullptr)
        return;
    AutoLock lock(m_lock);
    if (std::find(m_streams.begin(), m_streams.end(), stream) != m_streams.end())
        return;
    stream->duplicate();
    m_streams.push_back(stream);
}

void CSystemLog::RemoveOutStream(ILogOutStream* stream)
{
    {
        AutoLock lock(m_lock);
        const auto it = std::find(m_streams.begin(), m_streams.end(), stream);
        if (it == m_streams.end())
            return;
        m_streams.erase(it);
    }
    stream->release();
}

void CSystemLog::WriteLog(const wchar_t* caller, LOG_LEVEL level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLogV(caller, level, format, args);
    va_end(args);
}

void CSystemLog::WriteLogV(const wchar_t* caller, LOG_LEVEL level, const wchar_t* format,
                           va_list args)
{
    std::wstring record = Timestamp();
    record += L" [";
    record += LevelName(level);
    record += L"] ";
    if (caller != nullptr && *caller != L'\0')
    {
        record += caller;
        record += L": ";
    }
    record += format != nullptr ? FormatV(format, args) : std::wstring();
    record += L"\r\n";

    const std::wstring source = caller != nullptr ? caller : L"";
    AutoLock lock(m_lock);
    for (ILogOutStream* stream : m_streams)
        stream->Write(source, record);
}

void CSystemLog::Flush()
{
    AutoLock lock(m_lock);
    for (ILogOutStream* stream : m_streams)
        stream->Flush();
}

std::vector<ILogOutStream*> CSystemLog::TakeStreams()
{
    AutoLock lock(m_lock);
    return std::exchange(m_streams, {});
}

void CSystemLog::Exit()
{
    for (ILogOutStream* stream : TakeStreams())
    {
        stream->Flush();
        stream->release();
    }
}

const wchar_t* CSystemLog::LevelName(LOG_LEVEL level)
{
    switch (level)
    {
    case LOG_SYSTEM:
        return L"System";
    case LOG_ERROR:
        return L"Error";
    case LOG_WARNING:
        return L"Warning";
    case LOG_INFO:
        return L"Info";
    case LOG_DEBUG:
        return L"Debug";
    }
    return L"?";
}

} // namespace RUROR
