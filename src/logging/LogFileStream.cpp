#include "logging/LogFileStream.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace MXR
{
namespace
{

constexpr auto kFlushInterval = std::chrono::milliseconds(100);
constexpr size_t kInitialBuffer = 1 << 20;

} // namespace

LocalTime LocalTimeNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    LocalTime time;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.dayOfWeek = local.tm_wday;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
    time.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    return time;
}

int64_t StatvfsFreeSpace(const std::string& folder)
{
    struct statvfs fs
    {
    };
    if (::statvfs(folder.c_str(), &fs) != 0)
        return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

CLogFileStream::CLogFileStream() : m_clock(LocalTimeNow), m_freeSpace(StatvfsFreeSpace) {}

CLogFileStream::~CLogFileStream()
{
    Close();
}

void CLogFileStream::Write(std::wstring /*source*/, std::wstring text)
{
    RUROR::AutoLock lock(m_lock);
    rz::AppendUtf16Le(m_buffer, text);
}

void CLogFileStream::Open()
{
    if (m_running)
        return;
    m_running = true;
    m_lastFlush = LocalTime{};
    m_currentPath.clear();
    m_bytesWritten = 0;
    {
        // Room for a busy 100 ms, so that writers rarely wait for the buffer to grow.
        RUROR::AutoLock lock(m_lock);
        m_buffer.reserve(kInitialBuffer);
    }
    if (!m_writer.start(this))
        m_running = false; // no thread: the stream simply does not write
}

void CLogFileStream::Close()
{
    if (!m_running)
        return;
    {
        std::lock_guard wakeLock(m_wakeMutex);
        m_running = false;
    }
    m_wake.notify_all();
    m_writer.join();
}

void CLogFileStream::Run()
{
    for (;;)
    {
        {
            std::unique_lock wakeLock(m_wakeMutex);
            m_wake.wait_for(wakeLock, kFlushInterval, [this] { return !m_running; });
        }
        if (!m_running)
            break;
        Flush();
    }
    // Once more after Close: a Close that came while a flush ran must not lose what was
    // written meanwhile.
    Flush();
}

void CLogFileStream::SetFolder(std::wstring folder)
{
    RUROR::AutoLock lock(m_lock);
    m_folder = std::move(folder);
}

uint32_t CLogFileStream::FreeDiskSpaceMiB() const
{
    const std::string folder = rz::WideToUtf8(m_folder);
    // Ask the nearest folder that exists: the log folder itself is made at the first write.
    std::string probe = folder.empty() ? std::string(".") : folder;
    struct stat st
    {
    };
    while (::stat(probe.c_str(), &st) != 0 && probe.find('/') != std::string::npos)
    {
        const auto slash = probe.find_last_of('/');
        probe = slash == 0 ? std::string("/") : probe.substr(0, slash);
    }
    const int64_t bytes = m_freeSpace ? m_freeSpace(probe) : -1;
    if (bytes < 0)
        return kMinFreeMiB;
    return static_cast<uint32_t>(std::min<int64_t>(bytes / (1024 * 1024), UINT32_MAX));
}

std::wstring CLogFileStream::CurrentFilePath()
{
    const LocalTime now = m_clock();
    const bool due =
        m_currentPath.empty() || now.day != m_lastFlush.day || m_bytesWritten > m_maxFileSize;
    if (due)
    {
        wchar_t name[64];
        std::swprintf(name, 64, L"%04d-%02d-%02d %02d%02d%02d.LOG", now.year, now.month, now.day,
                      now.hour, now.minute, now.second);
        m_currentPath =
            rz::Utf8ToWide(rz::JoinPath(rz::WideToUtf8(m_folder), rz::WideToUtf8(name)));
        m_bytesWritten = 0;
    }
    m_lastFlush = now;
    return m_currentPath;
}

void CLogFileStream::Flush()
{
    // One flush at a time (the writer, or the system log when a language is applied). The
    // buffer is taken whole under the lock, so writers wait only for the swap, never for the
    // disk, and every text is either in this batch or the next.
    std::lock_guard fileLock(m_fileMutex);
    {
        RUROR::AutoLock lock(m_lock);
        if (m_buffer.empty())
            return;
        if (FreeDiskSpaceMiB() < kMinFreeMiB)
            return; // the texts wait for the next flush
        m_batch.swap(m_buffer);
    }

    const std::string path = rz::WideToUtf8(CurrentFilePath());
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        rz::MakeDirs(path.substr(0, slash));

    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0)
    {
        struct stat st
        {
        };
        bool ok = true;
        if (::fstat(fd, &st) == 0 && st.st_size == 0)
            ok = rz::WriteAll(fd, "\xFF\xFE") == 0;
        if (ok && rz::WriteAll(fd, m_batch) == 0)
            m_bytesWritten += static_cast<uint32_t>(m_batch.size());
        ::close(fd);
    }
    // Also when the file could not be opened: those texts are lost, the next ones may fare better.
    m_batch.clear();
}

} // namespace MXR
