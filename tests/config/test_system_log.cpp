#include "config/StringTrans.h"
#include "config/SystemLog.h"
#include "config/Thread.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <vector>

using namespace RUROR;

namespace
{

// Collects records; counts its own destruction through a flag the test owns.
class CCollectingStream : public ILogOutStream
{
public:
    explicit CCollectingStream(bool* destroyed) : m_destroyed(destroyed) {}
    ~CCollectingStream() override { *m_destroyed = true; }
    void Write(std::wstring_view source, std::wstring_view record) override
    {
        std::lock_guard lock(m_mutex);
        sources.emplace_back(source);
        records.emplace_back(record);
    }
    void Flush() override { ++flushes; }

    std::mutex m_mutex;
    std::vector<std::wstring> sources;
    std::vector<std::wstring> records;
    int flushes = 0;

private:
    bool* m_destroyed;
};

class CWriter : public IRunable
{
public:
    void Run() override
    {
        for (int i = 0; i < 200; ++i)
            CSystemLog::GetInstance()->WriteLog(L"writer", gLOG_LEVEL, L"record %d", i);
    }
};

} // namespace

TEST(SystemLog, RecordsReachEveryStreamUntilItIsRemoved)
{
    bool destroyed = false;
    auto* stream = new CCollectingStream(&destroyed);
    CSystemLog* log = CSystemLog::GetInstance();
    log->AddOutStream(stream);
    EXPECT_EQ(stream->refCount(), 2);

    log->WriteLog(L"CRaviraZazuDlg", CSystemLog::LOG_ERROR, L"route %ls via %d.%d: %s", L"add", 10,
                  1, "failed");
    ASSERT_EQ(stream->records.size(), 1u);
    const std::wstring& record = stream->records[0];
    EXPECT_NE(record.find(L"[Error] CRaviraZazuDlg: route add via 10.1: failed\r\n"),
              std::wstring::npos)
        << std::string(record.begin(), record.end());
    EXPECT_EQ(stream->sources[0], L"CRaviraZazuDlg");

    // Records from several threads all arrive whole.
    CWriter w1, w2;
    Thread t1, t2;
    ASSERT_TRUE(t1.start(&w1));
    ASSERT_TRUE(t2.start(&w2));
    t1.join();
    t2.join();
    EXPECT_EQ(stream->records.size(), 401u);

    // Adding it again changes nothing: one reference, each record once.
    log->AddOutStream(stream);
    EXPECT_EQ(stream->refCount(), 2);
    log->WriteLog(L"x", CSystemLog::LOG_INFO, L"once");
    EXPECT_EQ(stream->records.size(), 402u);

    log->Flush();
    EXPECT_EQ(stream->flushes, 1);
    log->RemoveOutStream(stream);
    EXPECT_EQ(stream->refCount(), 1);
    log->WriteLog(L"x", CSystemLog::LOG_INFO, L"after removal");
    EXPECT_EQ(stream->records.size(), 402u);
    // Removing a stream the log does not hold leaves its references alone.
    log->RemoveOutStream(stream);
    EXPECT_EQ(stream->refCount(), 1);

    // Exit pushes out what is pending and drops the log's reference: the stream dies when
    // its owner lets go too.
    log->AddOutStream(stream);
    log->Exit();
    EXPECT_EQ(stream->flushes, 2);
    EXPECT_FALSE(destroyed);
    stream->release();
    EXPECT_TRUE(destroyed);
}

TEST(SystemLog, RecordsCarryTheirTimeLevelAndCaller)
{
    bool destroyed = false;
    auto* stream = new CCollectingStream(&destroyed);
    CSystemLog* log = CSystemLog::GetInstance();
    log->AddOutStream(stream);
    const std::time_t before = std::time(nullptr);
    log->WriteLog(L"AddRoute:", CSystemLog::LOG_SYSTEM, L"%ls", L"route add 10.0.0.0/8");
    log->WriteLog(L"", CSystemLog::LOG_WARNING, L"no caller");
    log->WriteLog(L"x", CSystemLog::LOG_INFO, L"info");
    log->WriteLog(L"x", CSystemLog::LOG_DEBUG, L"debug");
    const std::wstring longText(1000, L'L');
    log->WriteLog(L"x", CSystemLog::LOG_ERROR, L"%ls.", longText.c_str());
    const std::time_t after = std::time(nullptr);
    log->RemoveOutStream(stream);
    ASSERT_EQ(stream->records.size(), 5u);

    // The local date and time to the millisecond, then the level and the caller.
    const std::wregex form(L"(\\d{4}-\\d{2}-\\d{2}) \\d{2}:\\d{2}:\\d{2}\\.\\d{3} "
                           L"\\[System\\] AddRoute:: route add 10\\.0\\.0\\.0/8\r\n");
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(stream->records[0], match, form))
        << std::string(stream->records[0].begin(), stream->records[0].end());
    std::set<std::wstring> days;
    for (const std::time_t t : {before, after})
    {
        std::tm local{};
        localtime_r(&t, &local);
        wchar_t day[16];
        std::swprintf(day, 16, L"%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday);
        days.insert(day);
    }
    EXPECT_EQ(days.count(match[1].str()), 1u);
    EXPECT_EQ(stream->records[1].substr(23), L" [Warning] no caller\r\n");
    EXPECT_EQ(stream->records[2].substr(23), L" [Info] x: info\r\n");
    EXPECT_EQ(stream->records[3].substr(23), L" [Debug] x: debug\r\n");
    EXPECT_EQ(stream->records[4].substr(23), L" [Error] x: " + longText + L".\r\n");
    stream->release();
    EXPECT_TRUE(destroyed);
}

TEST(SystemLog, AStreamAnswersOnlyForItsInterface)
{
    bool destroyed = false;
    auto* stream = new CCollectingStream(&destroyed);
    void* found = nullptr;
    EXPECT_FALSE(stream->QueryInterface("RUROR.IRunable", &found));
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(stream->refCount(), 1);
    ASSERT_TRUE(stream->QueryInterface(ILogOutStream::IID, &found));
    EXPECT_EQ(found, static_cast<ILogOutStream*>(stream));
    EXPECT_EQ(stream->refCount(), 2);
    static_cast<ILogOutStream*>(found)->release();
    stream->release();
    EXPECT_TRUE(destroyed);
}

TEST(SystemLog, ThreadsStartOnceAndAreJoinedWhenTheyGo)
{
    class CSlow : public IRunable
    {
    public:
        void Run() override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ++runs;
        }
        std::atomic<int> runs{0};
    } slow;
    {
        Thread thread;
        EXPECT_FALSE(thread.start(nullptr));
        ASSERT_TRUE(thread.start(&slow));
        EXPECT_FALSE(thread.start(&slow)); // still running
        thread.join();
        EXPECT_EQ(slow.runs, 1); // join waited for the end
        EXPECT_TRUE(thread.start(&slow));
        // Going out of scope joins it.
    }
    EXPECT_EQ(slow.runs, 2);
}

TEST(StringTrans, NumbersAndNarrowing)
{
    EXPECT_EQ(CStringTrans::uinttostring(4294967295u), "4294967295");
    EXPECT_EQ(CStringTrans::wstringtostring(L"Gr\u00FC\u00DFe"), "Gr\xC3\xBC\xC3\x9F"
                                                                 "e");
}
