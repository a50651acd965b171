#include "config/StringTrans.h"
#include "config/SystemLog.h"
#include "config/Thread.h"

#include <gtest/gtest.h>
#include <mutex>
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

    log->Flush();
    EXPECT_EQ(stream->flushes, 1);
    log->RemoveOutStream(stream);
    EXPECT_EQ(stream->refCount(), 1);
    log->WriteLog(L"x", CSystemLog::LOG_INFO, L"after removal");
    EXPECT_EQ(stream->records.size(), 401u);

    // Exit drops the log's reference: the stream dies when its owner lets go too.
    log->AddOutStream(stream);
    log->Exit();
    EXPECT_FALSE(destroyed);
    stream->release();
    EXPECT_TRUE(destroyed);
}

TEST(StringTrans, NumbersAndNarrowing)
{
    EXPECT_EQ(CStringTrans::uinttostring(4294967295u), "4294967295");
    EXPECT_EQ(CStringTrans::wstringtostring(L"Gr\u00FC\u00DFe"), "Gr\xC3\xBC\xC3\x9F"
                                                                 "e");
}
