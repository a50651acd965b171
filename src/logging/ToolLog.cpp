#include "logging/ToolLog.h"

#include "config/SystemLog.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

CToolLog::CToolLog() : m_stream(new MXR::CLogFileStream)
{
    m_stream->SetLevel(0);
    m_stream->SetMaxFileSize(kMaxFileSize);
    m_stream->SetFolder(rz::Utf8ToWide(rz::LogFolder()));
    m_stream->Open();
    RUROR::CSystemLog::GetInstance()->AddOutStream(m_stream);
}

CToolLog::~CToolLog()
{
    RUROR::CSystemLog::GetInstance()->RemoveOutStream(m_stream);
    m_stream->Close();
    m_stream->release();
}
