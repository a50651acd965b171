// The cost of opening the repeater page on a document with 500 repeaters (creating the page
// and running its initialisation: loading the model, filling the list, the RTP type lists and
// the fields), beside filling a plain QTableWidget with the same 500 rows of three columns in
// the same run. Qt runs on its offscreen platform. Two further rows split the page's cost:
// creating the page alone, and reading the repeaters into the model alone.
#include "RatioReporter.h"
#include "config/GatewayConfigDoc.h"
#include "model/RepeaterSettings.h"
#include "pages/RepeaterDlg.h"
#include "ui/LanguageTexts.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QTableWidget>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

constexpr int kRepeaters = 500;

void WriteUtf16(const std::string& path, const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text)
    {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

std::wstring SlotElement(int n, int slot)
{
    const std::wstring id = std::to_wstring(n);
    return L"<Station><Type>Repeater</Type><Used>TRUE</Used><GUID>S" + id + L"-" +
           std::to_wstring(slot) + L"</GUID><SlotID>" + std::to_wstring(slot) +
           L"</SlotID><RadioID>" + std::to_wstring(10000 + n) + L"</RadioID><RepeaterGUID>R" + id +
           L"</RepeaterGUID><RepeaterAlias>Repeater site " + id + L"</RepeaterAlias><IPSiteID>" +
           std::to_wstring(n % 7 + 1) + L"</IPSiteID><Name>TS" + std::to_wstring(slot) +
           L"</Name><SubNetID>10</SubNetID><PseudoID>" + id +
           L"</PseudoID><IsData>0</IsData><IsLocalSlot>0</IsLocalSlot><Volum><RecordVolum>3"
           L"</RecordVolum><PlaybackVolum>3</PlaybackVolum></Volum><RTPConfig><RTPEnable>1"
           L"</RTPEnable><RTPType>2</RTPType></RTPConfig></Station>";
}

// A tool folder with the RTP types and a document with kRepeaters repeaters, loaded.
struct CBench
{
    std::filesystem::path dir;
    CGatewayConfigDoc document;
    CPageContext context;
    CRepeaterSettings settings; // the rows the reference table shows
    bool ready = false;

    CBench()
    {
        char name[] = "/tmp/bench_repeater_page.XXXXXX";
        if (::mkdtemp(name) == nullptr)
            return;
        dir = name;
        std::ofstream(dir / "RaviraZazu_Gateway.ini")
            << "[RTPType]\r\nRTPType1=0:Basic Privacy\r\nRTPType2=1:Enhanced Privacy\r\n"
               "RTPType3=2:AES-256\r\nRTPType4=3:ARC4\r\n";
        std::wstring stations;
        for (int n = 0; n < kRepeaters; ++n)
            stations += SlotElement(n, 1) + SlotElement(n, 2);
        WriteUtf16(dir / "GatewayConfig.XML",
                   L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<MXRGateways>"
                   L"<GatewayConfig><Language>English</Language><QuorixStations><Stations>" +
                       stations +
                       L"</Stations></QuorixStations><ADKRCPPort1>30009</ADKRCPPort1>"
                       L"</GatewayConfig></MXRGateways>");
        if (!document.Load(dir / "GatewayConfig.XML"))
            return;
        context.document = &document;
        context.files.toolDir = dir.string() + "/";
        settings.Load(document, context.files);
        ready = settings.Repeaters().Count() == kRepeaters;
    }
    ~CBench() { std::filesystem::remove_all(dir); }
};

CBench& Bench()
{
    static CBench bench;
    return bench;
}

void BM_OpenRepeaterPage(benchmark::State& state)
{
    if (!Bench().ready)
    {
        state.SkipWithError("the document was not written or read");
        return;
    }
    for (auto _ : state)
    {
        auto* page = new CRepeaterDlg;
        page->SetContext(&Bench().context);
        page->OnInitDialog();
        benchmark::DoNotOptimize(page);
        state.PauseTiming();
        delete page;
        ClearLanguageRegistry();
        // What the window's event loop would do between two openings.
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_ConstructOnly(benchmark::State& state)
{
    for (auto _ : state)
    {
        auto* page = new CRepeaterDlg;
        benchmark::DoNotOptimize(page);
        state.PauseTiming();
        delete page;
        ClearLanguageRegistry();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void BM_LoadRepeaters(benchmark::State& state)
{
    for (auto _ : state)
    {
        CRepeaterSettings settings;
        settings.Load(Bench().document, Bench().context.files);
        benchmark::DoNotOptimize(settings);
    }
}

void BM_FillPlainTable(benchmark::State& state)
{
    if (!Bench().ready)
    {
        state.SkipWithError("the document was not written or read");
        return;
    }
    const auto& rows = Bench().settings.Repeaters().Rows();
    for (auto _ : state)
    {
        auto* table = new QTableWidget;
        table->setColumnCount(3);
        table->setRowCount(kRepeaters);
        for (int row = 0; row < kRepeaters; ++row)
        {
            const RepeaterInfo& repeater = rows[static_cast<size_t>(row)];
            table->setItem(row, 0, new QTableWidgetItem(ToQString(repeater.radioId)));
            table->setItem(row, 1, new QTableWidgetItem(ToQString(repeater.alias)));
            table->setItem(row, 2, new QTableWidgetItem(ToQString(repeater.ipSiteId)));
        }
        benchmark::DoNotOptimize(table);
        state.PauseTiming();
        delete table;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_OpenRepeaterPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConstructOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadRepeaters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillPlainTable)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("document: %d repeaters (%d slot elements)\n", kRepeaters, 2 * kRepeaters);
    rzbench::CRatioReporter reporter({
        {"open page / fill plain table", "BM_OpenRepeaterPage", "BM_FillPlainTable", "<= 2.0"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
