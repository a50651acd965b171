#pragma once

#include "config/Lock.h"
#include "config/LogOutStream.h"
#include "config/Thread.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace MXR
{

// A local date and time, as the log file names and the day check need it.
struct LocalTime
{
    int year = 0;
    int month = 0;
    int dayOfWeek = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The tool's own log files: texts from the system log are collected in memory and a writer
// thread appends them to a UTF-16 LE file named after the moment it was started, within
// 100 ms of a record. A new file begins every calendar day and after the size limit was
// passed; below 200 MiB of free disk space nothing is written and the texts wait.
//
// Writing costs the caller no lock and, usually, no allocation: each writing thread encodes
// its records into blocks of its own, which the writer takes over in order. The writer
// sleeps while nothing is written.
class CLogFileStream : public virtual RUROR::ILogOutStream, public virtual RUROR::IRunable
{
public:
    using Clock = std::function<LocalTime()>;
    // Free bytes available on the file system that holds a folder, or -1 when unknown.
    using FreeSpace = std::function<int64_t(const std::string& folder)>;

    static constexpr uint32_t kDefaultMaxFileSize = 0x6400000; // 100 MiB
    static constexpr uint32_t kMinFreeMiB = 200;

    CLogFileStream();
    ~CLogFileStream() override;

    // Appends text to the calling thread's buffer; source is not used. Any thread.
    void Write(std::wstring_view source, std::wstring_view text) override;
    // Starts the writer unless it runs.
    void Open() override;
    // Stops the writer, which flushes once more on its way out. Returns within one flush.
    void Close() override;
    int GetLevel() const override { return m_level; }

    // Writes the buffer to the current file. Keeps it while the disk is short of space.
    void Flush() override;
    void SetLevel(int level) { m_level = level; }
    // The folder of the log files; created when missing at the next flush.
    void SetFolder(std::wstring folder);
    void SetMaxFileSize(uint32_t bytes) { m_maxFileSize = bytes; }
    // The file the next flush writes to, starting a new one when one is due. Called by Flush;
    // a caller of its own must not flush at the same time.
    std::wstring CurrentFilePath();
    // Free space in MiB on the folder's file system; 200 when it cannot be asked.
    uint32_t FreeDiskSpaceMiB() const;

    // The writer thread's body: after the first record since the last flush, waits up to
    // 100 ms for more and flushes; sleeps while nothing is written; ends at Close.
    void Run() override;

    // Seams for tests: where the local time and the free space come from.
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    void SetFreeSpace(FreeSpace freeSpace) { m_freeSpace = std::move(freeSpace); }

    bool IsRunning() const { return m_running; }

private:
    struct CChunk;
    struct CProducer;
    // The calling thread's chain of blocks, made on its first write.
    CProducer& ThisThreadsProducer();
    // A block of at least capacity bytes, recycled when one is free.
    CChunk* TakeChunk(size_t capacity);
    void RecycleChunk(CChunk* chunk);
    // Whether any thread has written what no flush has taken yet.
    bool HasUnflushed();
    // Moves everything written so far into m_batch, in each thread's order.
    void Collect();

    int m_level = 4;
    uint32_t m_maxFileSize = kDefaultMaxFileSize;
    std::wstring m_folder;
    std::wstring m_currentPath;
    LocalTime m_lastFlush;
    std::atomic<bool> m_running{false};
    // Set by the first record after a flush; the writer sleeps until then.
    std::atomic<bool> m_pending{false};
    // This stream's number, never used again by another: a thread's cached producer is
    // valid only for the stream it was made for.
    const uint64_t m_id;
    std::mutex m_producersMutex;
    std::vector<std::unique_ptr<CProducer>> m_producers;
    std::mutex m_chunksMutex;
    std::vector<CChunk*> m_freeChunks;
    std::string m_batch;    // what the running flush writes, under m_fileMutex
    std::mutex m_fileMutex; // the current file, its size, the time of the last flush, readers
    RUROR::Thread m_writer;
    uint32_t m_bytesWritten = 0;

    // Cuts the writer's wait short when Close asks it to stop.
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;

    Clock m_clock;
    FreeSpace m_freeSpace;
};

// The local time now.
LocalTime LocalTimeNow();
// Free bytes for an unprivileged caller on the folder's file system (statvfs), or -1.
int64_t StatvfsFreeSpace(const std::string& folder);

} // namespace MXR
