#pragma once

#include "logging/LogFileStream.h"

// The tool's log file for the life of a scope: made, configured for the tool (level 0,
// 10 MiB files, the user's log folder), started and attached to the system log on
// construction; detached, stopped and released on destruction.
class CToolLog
{
public:
    static constexpr uint32_t kMaxFileSize = 0xA00000; // 10 MiB

    CToolLog();
    ~CToolLog();
    CToolLog(const CToolLog&) = delete;
    CToolLog& operator=(const CToolLog&) = delete;

    MXR::CLogFileStream* Stream() const { return m_stream; }

private:
    MXR::CLogFileStream* m_stream;
};
