// Opening the Dispatch Station Settings page on a document of 1,000 dispatch stations (the
// page made, its OnInitDialog run: texts, sound devices, the stations read from the document
// and the list filled) against the least any page can do with them: a plain QTableWidget
// made and filled with the same 1,000 rows of three columns, in the same run. Both run on
// Qt's offscreen platform; taking each widget down again is not timed. After the runs the
// ratio of the CPU times is printed with its target.
#include "RatioReporter.h"
#include "config/GatewayConfigDoc.h"
#include "pages/DSSETDialog.h"
#include "pages/PageContext.h"

#include <QApplication>
#include <QTableWidget>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

constexpr int kStations = 1000;

struct CRow
{
    std::wstring alias;
    std::wstring pseudoId;
    std::wstring ip;
};

// The stations, as the document holds them and the reference fills them.
const std::vector<CRow>& Rows()
{
    static const std::vector<CRow> rows = []
    {
        std::vector<CRow> made;
        for (int i = 0; i < kStations; ++i)
            made.push_back({L"Dispatch desk " + std::to_wstring(i), std::to_wstring(1000 + i),
                            L"10." + std::to_wstring(i / 256 % 256) + L"." +
                                std::to_wstring(i % 256) + L".2"});
        return made;
    }();
    return rows;
}

// Little-endian UTF-16 bytes of ASCII-only text.
std::string Utf16(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text)
    {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

// The document, written by hand (not by the tool's writer) into a temporary folder, and
// loaded once: opening a page reads a document that is already in memory.
CGatewayConfigDoc& Document()
{
    static CGatewayConfigDoc document;
    if (document.IsLoaded())
        return document;
    std::wstring text = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<MXRGateways>\r\n"
                        L"<GatewayConfig>\r\n<QuorixStations>\r\n<Stations>\r\n";
    for (int i = 0; i < kStations; ++i)
    {
        const CRow& row = Rows()[static_cast<size_t>(i)];
        wchar_t guid[40];
        std::swprintf(guid, 40, L"%08X-0000-4000-8000-%012X", 0x1000 + i, i);
        text += L"<Station><Used>TRUE</Used><GUID>" + std::wstring(guid) + L"</GUID><Name>" +
                row.alias + L"</Name><IPAddress>" + row.ip + L"</IPAddress><PseudoID>" +
                row.pseudoId +
                L"</PseudoID><UseFrontMic>1</UseFrontMic><IsData>0</IsData>"
                L"<AudioPlay>Speakers</AudioPlay><AudioRecord>Microphone</AudioRecord>"
                L"<Volum><RecordVolum>3</RecordVolum><PlaybackVolum>3</PlaybackVolum></Volum>"
                L"</Station>\r\n";
    }
    text += L"</Stations>\r\n</QuorixStations>\r\n</GatewayConfig>\r\n</MXRGateways>\r\n";
    const auto folder = std::filesystem::temp_directory_path() / "rz_bench_station_page";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "GatewayConfig.XML").string();
    std::ofstream(path, std::ios::binary) << Utf16(text);
    if (!document.Load(path))
        std::fprintf(stderr, "the generated document did not load\n");
    std::filesystem::remove_all(folder);
    return document;
}

void BM_OpenStationPage(benchmark::State& state)
{
    CPageContext context{&Document(), {std::filesystem::temp_directory_path().string() + "/"}};
    for (auto _ : state)
    {
        auto* page = new CDSSETDialog;
        page->SetContext(&context);
        page->Create();
        state.PauseTiming();
        if (page->Settings().Stations().Count() != kStations)
            state.SkipWithError("the page did not list every station");
        delete page;
        state.ResumeTiming();
    }
}

void BM_FillPlainTable(benchmark::State& state)
{
    const std::vector<CRow>& rows = Rows();
    for (auto _ : state)
    {
        auto* table = new QTableWidget;
        table->setColumnCount(3);
        table->setRowCount(kStations);
        for (int row = 0; row < kStations; ++row)
        {
            const CRow& data = rows[static_cast<size_t>(row)];
            table->setItem(row, 0, new QTableWidgetItem(QString::fromStdWString(data.alias)));
            table->setItem(row, 1, new QTableWidgetItem(QString::fromStdWString(data.pseudoId)));
            table->setItem(row, 2, new QTableWidgetItem(QString::fromStdWString(data.ip)));
        }
        state.PauseTiming();
        delete table;
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_OpenStationPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillPlainTable)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("document: %d dispatch stations\n", kStations);
    Document();
    rzbench::CRatioReporter reporter({
        {"open the page / fill a plain table", "BM_OpenStationPage", "BM_FillPlainTable", "<= 2.0"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
