// Records per second through the log file stream's Write with its writer thread running,
// beside the same records written straight to a file with fwrite, one call per record.
#include "logging/LogFileStream.h"
#include "platform/TextCodec.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{

const std::wstring kRecord =
    L"2026-12-05 23:23:14.123 [Info] CDSSETDialog: connection test to 192.168.11.1, attempt 3\r\n";

std::string MakeFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rzbench.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

void BM_LogFileStreamWrite(benchmark::State& state)
{
    const std::string folder = MakeFolder();
    auto* stream = new MXR::CLogFileStream;
    stream->SetFolder(rz::Utf8ToWide(folder));
    stream->SetMaxFileSize(0xA00000);
    stream->Open();
    for (auto _ : state)
        stream->Write(L"bench", kRecord);
    stream->Close();
    stream->release();
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kRecord.size() * 2));
    std::filesystem::remove_all(folder);
}

void BM_FwriteDirect(benchmark::State& state)
{
    const std::string folder = MakeFolder();
    std::FILE* file = std::fopen((folder + "/direct.LOG").c_str(), "ab");
    const std::string bytes = rz::WideToUtf16Le(kRecord);
    for (auto _ : state)
        benchmark::DoNotOptimize(std::fwrite(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
    std::filesystem::remove_all(folder);
}

} // namespace

BENCHMARK(BM_LogFileStreamWrite)->UseRealTime();
BENCHMARK(BM_FwriteDirect)->UseRealTime();
BENCHMARK_MAIN();
