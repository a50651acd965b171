#include "logging/LogFileStream.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <bit>
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
// A thread's records go into blocks of this size; a longer record gets a block of its own.
constexpr size_t kChunkSize = 32 * 1024; // code units

std::atomic<uint64_t> g_nextStreamId{1};

// The UTF-16 code units of text at out; returns their number (at most two per character).
size_t EncodeUtf16(std::wstring_view text, uint16_t* out)
{
    // Almost every record is plain text below the surrogates: one pass that the compiler turns
    // into wide copies, and the careful way only when the pass met a larger character.
    uint32_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto c = static_cast<uint32_t>(text[i]);
        seen |= c;
        out[i] = static_cast<uint16_t>(c);
    }
    if (seen < 0xD800)
        return text.size();
    uint16_t* at = out;
    for (const wchar_t c : text)
    {
        auto unit = static_cast<uint32_t>(c);
        if (unit >= 0x10000 && unit <= 0x10FFFF)
        {
            unit -= 0x10000;
            *at++ = static_cast<uint16_t>(0xD800 + (unit >> 10));
            *at++ = static_cast<uint16_t>(0xDC00 + (unit & 0x3FF));
            continue;
        }
        *at++ = static_cast<uint16_t>(unit > 0x10FFFF ? 0xFFFD : unit);
    }
    return static_cast<size_t>(at - out);
}

// The files are UTF-16 little-endian; the blocks hold code units as the machine stores them.
static_assert(std::endian::native == std::endian::little, "log blocks are written as they are");

} // namespace

// A block of one thread's encoded records. The thread appends and publishes how far it
// wrote; the writer takes what was published. When the block is full the thread links the
// next one after its last publish, and writes nothing more here.
struct CLogFileStream::CChunk
{
    explicit CChunk(size_t units) : data(new uint16_t[units]), capacity(units) {}

    std::unique_ptr<uint16_t[]> data; // UTF-16 code units
    size_t capacity;
    size_t used = 0; // the writing thread's
    std::atomic<size_t> published{0};
    std::atomic<CChunk*> next{nullptr};
    size_t consumed = 0; // the writer's
};

// One writing thread's chain of blocks: it writes at the end, the writer reads from the start.
struct CLogFileStream::CProducer
{
    CChunk* writing = nullptr;
    CChunk* reading = nullptr;
};

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

CLogFileStream::CLogFileStream()
    : m_id(g_nextStreamId++), m_clock(LocalTimeNow), m_freeSpace(StatvfsFreeSpace)
{
}

CLogFileStream::~CLogFileStream()
{
    Close();
    for (const auto& producer : m_producers)
    {
        for (CChunk* chunk = producer->reading; chunk != nullptr;)
        {
            CChunk* next = chunk->next.load();
            delete chunk;
            chunk = next;
        }
    }
    for (CChunk* chunk : m_freeChunks)
        delete chunk;
}

CLogFileStream::CProducer& CLogFileStream::ThisThreadsProducer()
{
    // One stream serves a process, so a one-entry cache per thread finds it at once.
    struct CCache
    {
        uint64_t stream = 0;
        CProducer* producer = nullptr;
    };
    thread_local CCache cache;
    if (cache.stream == m_id)
        return *cache.producer;
    auto producer = std::make_unique<CProducer>();
    producer->writing = producer->reading = TakeChunk(kChunkSize);
    std::lock_guard lock(m_producersMutex);
    m_producers.push_back(std::move(producer));
    cache = {m_id, m_producers.back().get()};
    return *cache.producer;
}

CLogFileStream::CChunk* CLogFileStream::TakeChunk(size_t capacity)
{
    if (capacity <= kChunkSize)
    {
        std::lock_guard lock(m_chunksMutex);
        if (!m_freeChunks.empty())
        {
            CChunk* chunk = m_freeChunks.back();
            m_freeChunks.pop_back();
            return chunk;
        }
        capacity = kChunkSize;
    }
    return new CChunk(capacity);
}

void CLogFileStream::RecycleChunk(CChunk* chunk)
{
    if (chunk->capacity != kChunkSize)
    {
        delete chunk;
        return;
    }
    chunk->used = 0;
    chunk->consumed = 0;
    chunk->published.store(0, std::memory_order_relaxed);
    chunk->next.store(nullptr, std::memory_order_relaxed);
    std::lock_guard lock(m_chunksMutex);
    m_freeChunks.push_back(chunk);
}

void CLogFileStream::Write(std::wstring_view /*source*/, std::wstring_view text)
{
    CProducer& producer = ThisThreadsProducer();
    const size_t most = text.size() * 2;
    CChunk* chunk = producer.writing;
    if (chunk->used + most > chunk->capacity)
    {
        // Full: the next block follows this one, which gets nothing more.
        CChunk* next = TakeChunk(most);
        chunk->next.store(next, std::memory_order_release);
        producer.writing = chunk = next;
    }
    chunk->used += EncodeUtf16(text, chunk->data.get() + chunk->used);
    chunk->published.store(chunk->used, std::memory_order_release);
    // The first record since the last flush wakes the writer; the others only read the flag.
    if (!m_pending.load(std::memory_order_relaxed) &&
        !m_pending.exchange(true, std::memory_order_acq_rel))
        m_pending.notify_one();
}

bool CLogFileStream::HasUnflushed()
{
    std::lock_guard lock(m_producersMutex);
    for (const auto& producer : m_producers)
    {
        const CChunk* chunk = producer->reading;
        if (chunk->published.load(std::memory_order_acquire) != chunk->consumed ||
            chunk->next.load(std::memory_order_acquire) != nullptr)
            return true;
    }
    return false;
}

void CLogFileStream::Collect()
{
    std::lock_guard lock(m_producersMutex);
    for (const auto& producer : m_producers)
    {
        CChunk* chunk = producer->reading;
        for (;;)
        {
            CChunk* next = chunk->next.load(std::memory_order_acquire);
            // Read after next: a linked block has published all it ever will.
            const size_t published = chunk->published.load(std::memory_order_acquire);
            m_batch.append(reinterpret_cast<const char*>(chunk->data.get() + chunk->consumed),
                           (published - chunk->consumed) * sizeof(uint16_t));
            chunk->consumed = published;
            if (next == nullptr)
                break;
            producer->reading = next;
            RecycleChunk(chunk);
            chunk = next;
        }
    }
}

void CLogFileStream::Open()
{
    if (m_running)
        return;
    m_running = true;
    m_lastFlush = LocalTime{};
    m_currentPath.clear();
    m_bytesWritten = 0;
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
    m_pending.store(true);
    m_pending.notify_all();
    m_writer.join();
}

void CLogFileStream::Run()
{
    for (;;)
    {
        // Asleep until a record comes (or Close).
        m_pending.wait(false);
        if (!m_running)
            break;
        // Then up to 100 ms for more, so that a burst is written at once.
        {
            std::unique_lock wakeLock(m_wakeMutex);
            m_wake.wait_for(wakeLock, kFlushInterval, [this] { return !m_running; });
        }
        m_pending.store(false);
        Flush();
        // Texts that wait for disk space are tried again after the next wait.
        if (HasUnflushed())
            m_pending.store(true);
        if (!m_running)
            break;
    }
    // Once more after Close: a Close that came while a flush ran must not lose what was
    // written meanwhile.
    Flush();
}

void CLogFileStream::SetFolder(std::wstring folder)
{
    std::lock_guard lock(m_fileMutex);
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
    // writing threads never wait for it: they go on filling their own blocks meanwhile.
    std::lock_guard fileLock(m_fileMutex);
    if (!HasUnflushed())
        return;
    if (FreeDiskSpaceMiB() < kMinFreeMiB)
        return; // the texts wait for the next flush
    Collect();
    if (m_batch.empty())
        return;

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
