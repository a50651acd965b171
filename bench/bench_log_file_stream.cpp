// What logging a record costs the caller: the log file stream's Write with its writer thread
// running, beside handing the same record's bytes to fwrite on a buffered FILE, from one
// thread and from four at once.
#include "logging/LogFileStream.h"
#include "platform/TextCodec.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

// An 80-character record, as the tool writes them.
const std::wstring kRecord =
    L"2026-12-05 23:23:14.123 [Info] CDSSETDialog: connection test 192.168.11.1 try 3\r\n";

std::string MakeFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rzbench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

// What all threads of one benchmark share, made by its first thread's setup.
struct CShared
{
    std::string folder;
    MXR::CLogFileStream* stream = nullptr;
    std::FILE* file = nullptr;
    std::string bytes;
};
CShared g_shared;

void SetUpStream(const benchmark::State&)
{
    g_shared.folder = MakeFolder();
    g_shared.stream = new MXR::CLogFileStream;
    g_shared.stream->SetFolder(rz::Utf8ToWide(g_shared.folder));
    g_shared.stream->SetMaxFileSize(0xA00000);
    g_shared.stream->Open();
}

void TearDownStream(const benchmark::State&)
{
    g_shared.stream->Close();
    g_shared.stream->release();
    std::filesystem::remove_all(g_shared.folder);
}

void SetUpFile(const benchmark::State&)
{
    g_shared.folder = MakeFolder();
    g_shared.file = std::fopen((g_shared.folder + "/direct.LOG").c_str(), "ab");
    g_shared.bytes = rz::WideToUtf16Le(kRecord);
}

void TearDownFile(const benchmark::State&)
{
    std::fclose(g_shared.file);
    std::filesystem::remove_all(g_shared.folder);
}

void BM_LogFileStreamWrite(benchmark::State& state)
{
    for (auto _ : state)
        g_shared.stream->Write(L"bench", kRecord);
    state.SetItemsProcessed(state.iterations());
}

void BM_FwriteDirect(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(
            std::fwrite(g_shared.bytes.data(), 1, g_shared.bytes.size(), g_shared.file));
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_LogFileStreamWrite)
    ->Setup(SetUpStream)
    ->Teardown(TearDownStream)
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
BENCHMARK(BM_FwriteDirect)
    ->Setup(SetUpFile)
    ->Teardown(TearDownFile)
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();
BENCHMARK_MAIN();
