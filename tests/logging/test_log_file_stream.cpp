#include "TestSupport.h"
#include "config/SystemLog.h"
#include "logging/LogFileStream.h"
#include "platform/TextCodec.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

using MXR::CLogFileStream;
using MXR::LocalTime;
using rztest::CTempDir;

namespace
{

// A stream in a temporary folder whose clock and free space the test sets.
class LogFileStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_stream = new CLogFileStream;
        m_stream->SetFolder(rz::Utf8ToWide(m_dir.File("log")));
        m_stream->SetClock(
            [this]
            {
                std::lock_guard lock(m_mutex);
                return m_now;
            });
        m_stream->SetFreeSpace([this](const std::string&) { return m_freeBytes.load(); });
    }
    void TearDown() override { m_stream->release(); }

    void SetTime(int year, int month, int day, int hour, int minute, int second)
    {
        std::lock_guard lock(m_mutex);
        m_now = LocalTime{year, month, 0, day, hour, minute, second, 0};
    }

    // Each log file's name and its content read back as text, without the byte-order mark.
    std::map<std::string, std::wstring> Files() const
    {
        std::map<std::string, std::wstring> files;
        if (!std::filesystem::exists(m_dir.File("log")))
            return files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.File("log")))
        {
            const std::string bytes = rztest::ReadBytes(entry.path().string());
            EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << entry.path();
            files[entry.path().filename().string()] = rz::Utf16LeToWide(bytes.substr(2));
        }
        return files;
    }

    CTempDir m_dir;
    CLogFileStream* m_stream = nullptr;
    std::mutex m_mutex;
    LocalTime m_now{2013, 5, 5, 17, 9, 30, 12, 0};
    std::atomic<int64_t> m_freeBytes{int64_t{1} << 40};
};

} // namespace

TEST_F(LogFileStreamTest, AWriteFollowedAtOnceByCloseReachesTheFile)
{
    m_stream->Open();
    EXPECT_TRUE(m_stream->IsRunning());
    m_stream->Write(L"ignored", L"first record\r\n");
    const auto before = std::chrono::steady_clock::now();
    m_stream->Close();
    // Close wakes the writer instead of waiting out its 100 ms.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(90));
    EXPECT_FALSE(m_stream->IsRunning());
    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "2013-05-17 093012.LOG");
    EXPECT_EQ(files.begin()->second, L"first record\r\n");
}

TEST_F(LogFileStreamTest, NewFileEachDayButNotForTheSameDayOfALaterMonth)
{
    SetTime(2024, 3, 5, 23, 59, 58);
    m_stream->Write({}, L"a");
    m_stream->Flush();
    SetTime(2024, 3, 6, 0, 0, 1); // seconds later, past midnight
    m_stream->Write({}, L"b");
    m_stream->Flush();
    SetTime(2024, 5, 6, 10, 0, 0); // the 6th again, two months on, nothing flushed between
    m_stream->Write({}, L"c");
    m_stream->Flush();
    m_stream->Flush(); // an empty buffer writes nothing
    const auto files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("2024-03-05 235958.LOG"), L"a");
    // The file started on the 6th goes on: only a change of the day of the month starts one.
    EXPECT_EQ(files.at("2024-03-06 000001.LOG"), L"bc");
}

TEST_F(LogFileStreamTest, TheFlushPastTheSizeLimitStillGoesToTheOldFile)
{
    m_stream->SetMaxFileSize(0xA00000);
    SetTime(2024, 1, 2, 8, 0, 0);
    // Exactly 10 MiB is not over the limit: the next flush continues the file.
    m_stream->Write({}, std::wstring(0xA00000 / 2, L'x'));
    m_stream->Flush();
    SetTime(2024, 1, 2, 8, 0, 1);
    m_stream->Write({}, L"y");
    m_stream->Flush();
    SetTime(2024, 1, 2, 8, 0, 2);
    m_stream->Write({}, L"z");
    m_stream->Flush();
    // The new file counts from nought: it is continued.
    SetTime(2024, 1, 2, 8, 0, 3);
    m_stream->Write({}, L"w");
    m_stream->Flush();
    const auto files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("2024-01-02 080000.LOG").size(), 0xA00000u / 2 + 1);
    EXPECT_EQ(files.at("2024-01-02 080000.LOG").back(), L'y');
    EXPECT_EQ(files.at("2024-01-02 080002.LOG"), L"zw");
}

TEST_F(LogFileStreamTest, EachStartBeginsAFileOfItsOwn)
{
    SetTime(2024, 1, 2, 8, 0, 0);
    m_stream->Open();
    m_stream->Write({}, L"first run");
    m_stream->Close();
    SetTime(2024, 1, 2, 9, 30, 0);
    m_stream->Open();
    m_stream->Write({}, L"second run");
    m_stream->Close();
    const auto files = Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("2024-01-02 080000.LOG"), L"first run");
    EXPECT_EQ(files.at("2024-01-02 093000.LOG"), L"second run");
}

TEST_F(LogFileStreamTest, TextsThatWaitForSpaceFollowWhenItReturns)
{
    // The running writer tries again by itself: nothing new needs to be written.
    m_freeBytes = int64_t{150} * 1024 * 1024;
    m_stream->Open();
    m_stream->Write({}, L"kept");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Files().empty());
    m_freeBytes = int64_t{300} * 1024 * 1024;
    std::wstring written;
    for (int i = 0; i < 500 && written.empty(); ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto files = Files();
        written = files.empty() ? std::wstring() : files.begin()->second;
    }
    EXPECT_EQ(written, L"kept");
    m_stream->Close();
}

TEST_F(LogFileStreamTest, AnExistingFileGetsNoSecondByteOrderMark)
{
    std::filesystem::create_directories(m_dir.File("log"));
    rztest::WriteBytes(m_dir.File("log/2013-05-17 093012.LOG"),
                       "\xFF\xFE" + rztest::Utf16(L"old "));
    m_stream->Write({}, L"new");
    m_stream->Flush();
    EXPECT_EQ(rztest::ReadBytes(m_dir.File("log/2013-05-17 093012.LOG")),
              "\xFF\xFE" + rztest::Utf16(L"old new"));
}

TEST_F(LogFileStreamTest, BelowTwoHundredMiBNothingIsWrittenAndNothingLost)
{
    m_freeBytes = int64_t{199} * 1024 * 1024;
    EXPECT_EQ(m_stream->FreeDiskSpaceMiB(), 199u);
    m_stream->Write({}, L"kept ");
    m_stream->Flush();
    m_stream->Write({}, L"waiting");
    m_stream->Flush();
    EXPECT_TRUE(Files().empty());
    m_freeBytes = int64_t{200} * 1024 * 1024;
    m_stream->Flush();
    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->second, L"kept waiting");
    // When the system cannot tell, writing is allowed.
    m_freeBytes = -1;
    EXPECT_EQ(m_stream->FreeDiskSpaceMiB(), 200u);
}

TEST_F(LogFileStreamTest, ManyThreadsThroughTheSystemLogLoseNothingAndInterleaveNothing)
{
    m_stream->Open();
    auto* log = RUROR::CSystemLog::GetInstance();
    log->AddOutStream(m_stream);
    constexpr int kThreads = 6;
    constexpr int kRecords = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back(
            [log, t]
            {
                for (int i = 0; i < kRecords; ++i)
                    log->WriteLog(L"writer", gLOG_LEVEL, L"thread %d record %d of a longer text", t,
                                  i);
            });
    }
    for (auto& thread : threads)
        thread.join();
    log->RemoveOutStream(m_stream);
    m_stream->Close();

    const auto files = Files();
    ASSERT_EQ(files.size(), 1u);
    const std::wstring& text = files.begin()->second;
    std::vector<int> next(kThreads, 0);
    size_t lines = 0;
    for (size_t start = 0; start < text.size();)
    {
        const size_t end = text.find(L"\r\n", start);
        ASSERT_NE(end, std::wstring::npos);
        const std::wstring line = text.substr(start, end - start);
        int t = -1;
        int i = -1;
        const auto at = line.find(L"writer: thread ");
        ASSERT_NE(at, std::wstring::npos) << rz::WideToUtf8(line);
        ASSERT_EQ(std::swscanf(line.c_str() + at, L"writer: thread %d record %d of a longer text",
                               &t, &i),
                  2);
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[static_cast<size_t>(t)]++); // each thread's records in its order
        ++lines;
        start = end + 2;
    }
    EXPECT_EQ(lines, size_t{kThreads} * kRecords);
}

TEST_F(LogFileStreamTest, ARecordReachesTheFileWithoutCloseAndEveryCharacterSurvives)
{
    m_stream->Open();
    // Plain text, text with a character above U+FFFF, a long record of its own block.
    const std::wstring plain = L"plain record\r\n";
    const std::wstring wide = L"Stra\u00DFe \U0001F4E1 antenna\r\n";
    const std::wstring longOne = std::wstring(40000, L'\u00E9') + L"\r\n";
    m_stream->Write(L"", plain);
    m_stream->Write(L"", wide);
    m_stream->Write(L"", longOne);
    // The writer wakes for the records on its own: no Close needed.
    const auto waitFor = [this](const std::wstring& expected)
    {
        std::wstring written;
        for (int i = 0; i < 500 && written != expected; ++i)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const auto files = Files();
            written = files.empty() ? std::wstring() : files.begin()->second;
        }
        return written;
    };
    const std::wstring expected = plain + wide + longOne;
    EXPECT_EQ(waitFor(expected), expected);
    // Again once the writer has long gone back to sleep: a record wakes it.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::wstring later = L"a later record\r\n";
    m_stream->Write(L"", later);
    EXPECT_EQ(waitFor(expected + later), expected + later);
    m_stream->Close();
}
