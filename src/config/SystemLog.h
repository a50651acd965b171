#pragma once

#include "config/Lock.h"
#include "config/LogOutStream.h"

#include <cstdarg>
#include <string>
#include <vector>

namespace RUROR
{

// The process's log: formats records and hands them to every attached output stream.
class CSystemLog
{
public:
    // Record levels, most important first.
    enum LOG_LEVEL
    {
        LOG_SYSTEM = 0,
        LOG_ERROR = 1,
        LOG_WARNING = 2,
        LOG_INFO = 3,
        LOG_DEBUG = 4,
    };

    static CSystemLog* GetInstance();

    // Attaches a stream; the log holds a reference until the stream is removed.
    void AddOutStream(ILogOutStream* stream);
    // Detaches a stream and drops the log's reference. Called at exit for the log file.
    virtual void RemoveOutStream(ILogOutStream* stream);
    // Writes one record: the caller's name, its level and a printf-style wide format.
    virtual void WriteLog(const wchar_t* caller, LOG_LEVEL level, const wchar_t* format, ...);
    void WriteLogV(const wchar_t* caller, LOG_LEVEL level, const wchar_t* format, va_list args);
    // Called whenever a language is applied: every stream pushes out what it holds, so the
    // records written under the previous settings are on disk.
    virtual void Flush();
    // Called once at exit: flushes and detaches every stream.
    virtual void Exit();

    virtual ~CSystemLog() = default;

    // The readable name of a level ("System", "Error", ...).
    static const wchar_t* LevelName(LOG_LEVEL level);

private:
    CSystemLog() = default;

    std::vector<ILogOutStream*> TakeStreams();

    CLock m_lock;
    std::vector<ILogOutStream*> m_streams;
};

} // namespace RUROR

// The tool's own log level, 0 to 4, set from the document's LogFilter.
extern RUROR::CSystemLog::LOG_LEVEL gLOG_LEVEL;
