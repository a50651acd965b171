// The document layer against references in the same run: a generated GatewayConfig.XML of
// 3,000 dispatch stations and 1,000 repeaters (two slot elements each) is loaded, saved, and
// loaded and saved, by CGatewayConfigDoc, by pugixml (parse, and save indented as UTF-16) and
// by Qt's QDomDocument. The generator writes the text by hand, not with the tool's writer.
// After the runs a table gives each row's ratio, "ours / reference", of the CPU times (the
// machines this runs on are shared, so the wall clock says more about the neighbours).
#include "RatioReporter.h"
#include "config/GatewayConfigDoc.h"

#include <QByteArray>
#include <QDomDocument>
#include <QFile>
#include <QString>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <pugixml.hpp>
#include <string>

namespace
{

constexpr int kStations = 3000;
constexpr int kRepeaters = 1000;

// Builds UTF-16 LE text from ASCII pieces.
class CUtf16Text
{
public:
    CUtf16Text& operator<<(std::string_view ascii)
    {
        for (char c : ascii)
        {
            m_bytes.push_back(c);
            m_bytes.push_back('\0');
        }
        return *this;
    }
    CUtf16Text& operator<<(long number) { return *this << std::to_string(number); }
    // One character by its code (below U+10000).
    CUtf16Text& Char(unsigned code)
    {
        m_bytes.push_back(static_cast<char>(code & 0xFF));
        m_bytes.push_back(static_cast<char>(code >> 8));
        return *this;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

std::string Guid(long seed)
{
    char text[40];
    std::snprintf(text, sizeof text, "%08lX-%04lX-4%03lX-8%03lX-%012lX",
                  seed * 2654435761UL % 0xFFFFFFFF, seed % 0xFFFF, seed % 0xFFF, (seed * 7) % 0xFFF,
                  seed * 40503UL);
    return text;
}

std::string Ip(long n)
{
    return "10." + std::to_string(n / 65536 % 256) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256);
}

void Leaf(CUtf16Text& t, int tabs, std::string_view name, const std::string& value)
{
    t << std::string(static_cast<size_t>(tabs), '\t') << "<" << name << ">" << value << "</" << name
      << ">\r\n";
}

std::string GenerateDocument()
{
    CUtf16Text t;
    t.Char(0xFEFF);
    t << "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<MXRGateways>\r\n\t<GatewayConfig>\r\n";
    Leaf(t, 2, "GatewayName", "Harbour Dispatch Gateway");
    Leaf(t, 2, "LocalIP", "192.168.10.20");
    Leaf(t, 2, "LocalPort", "3003");
    Leaf(t, 2, "VOIPBeginPort", "19000");
    Leaf(t, 2, "KeepUnsubscribedGPSData", "1");
    Leaf(t, 2, "KeepRRSRetryTime", "0");
    Leaf(t, 2, "VocCodec", "8:G.711a");
    t << "\t\t<RadioServers>\r\n";
    for (int i = 0; i < 5; ++i)
    {
        t << "\t\t\t<RadioServer>\r\n";
        Leaf(t, 4, "Used", i % 2 == 0 ? "TRUE" : "FALSE");
        Leaf(t, 4, "GUID", Guid(i + 1));
        Leaf(t, 4, "Name", "Tower " + std::to_string(i));
        Leaf(t, 4, "IPAddress", Ip(i + 2));
        Leaf(t, 4, "IPPort", "4002");
        t << "\t\t\t</RadioServer>\r\n";
    }
    t << "\t\t</RadioServers>\r\n\t\t<QuorixStations>\r\n\t\t\t<Stations>\r\n";
    for (long i = 0; i < kStations; ++i)
    {
        t << "\t\t\t\t<Station>\r\n";
        Leaf(t, 5, "Used", i % 7 == 0 ? "FALSE" : "TRUE");
        Leaf(t, 5, "GUID", Guid(100 + i));
        // Some names need references, some hold characters beyond ASCII.
        t << "\t\t\t\t\t<Name>Fleet " << i << (i % 5 == 0 ? " &amp; GPS &lt;north&gt;" : "");
        if (i % 3 == 0)
            t.Char(0x00C4).Char(0x4E2D);
        t << "</Name>\r\n";
        Leaf(t, 5, "IPAddress", Ip(0x0B0000 + i));
        Leaf(t, 5, "PseudoID", std::to_string(1000 + i));
        Leaf(t, 5, "UseFrontMic", i % 2 == 0 ? "1" : "0");
        Leaf(t, 5, "IsData", i % 4 == 0 ? "1" : "0");
        Leaf(t, 5, "AudioPlay", "Speakers (USB Audio Device)");
        Leaf(t, 5, "AudioRecord", "Microphone (USB Audio Device)");
        t << "\t\t\t\t\t<Volum>\r\n";
        Leaf(t, 6, "RecordVolum", "3");
        Leaf(t, 6, "PlaybackVolum", "4");
        t << "\t\t\t\t\t</Volum>\r\n\t\t\t\t</Station>\r\n";
    }
    for (long r = 0; r < kRepeaters; ++r)
    {
        for (int slot = 1; slot <= 2; ++slot)
        {
            t << "\t\t\t\t<Station>\r\n";
            Leaf(t, 5, "Type", "Repeater");
            Leaf(t, 5, "Used", "TRUE");
            Leaf(t, 5, "GUID", Guid(100000 + r * 2 + slot));
            Leaf(t, 5, "SlotID", std::to_string(slot));
            Leaf(t, 5, "RadioID", std::to_string(1000 + r));
            Leaf(t, 5, "RepeaterGUID", Guid(500000 + r));
            Leaf(t, 5, "RepeaterAlias", "Site " + std::to_string(r));
            Leaf(t, 5, "IPSiteID", std::to_string(r % 16));
            Leaf(t, 5, "Name", "Site " + std::to_string(r) + " TS" + std::to_string(slot));
            Leaf(t, 5, "SubNetID", "10");
            Leaf(t, 5, "PseudoID", std::to_string(20000 + r * 2 + slot));
            Leaf(t, 5, "IsData", "0");
            Leaf(t, 5, "IsLocalSlot", slot == 2 ? "1" : "0");
            t << "\t\t\t\t\t<Volum>\r\n";
            Leaf(t, 6, "RecordVolum", "3");
            Leaf(t, 6, "PlaybackVolum", "3");
            t << "\t\t\t\t\t</Volum>\r\n\t\t\t\t\t<RTPConfig>\r\n";
            Leaf(t, 6, "RTPEnable", "1");
            Leaf(t, 6, "RTPType", std::to_string(slot));
            t << "\t\t\t\t\t</RTPConfig>\r\n\t\t\t\t</Station>\r\n";
        }
    }
    t << "\t\t\t</Stations>\r\n\t\t</QuorixStations>\r\n";
    Leaf(t, 2, "Language", "English");
    Leaf(t, 2, "LogFileSize", "10");
    Leaf(t, 2, "LogFilter", "2");
    const char* const ports[] = {
        "ADKRCPPort1", "ADKTMPPort1", "ADKLPPort1",       "ADKRRSPort1",     "ADKRTPPort1",
        "ADKRCPPort2", "ADKTMPPort2", "ADKLPPort2",       "ADKRRSPort2",     "ADKRTPPort2",
        "ADKTPPort1",  "ADKTPPort2",  "ADKRTPAnalogPort", "ADKRCPAnalogPort"};
    int port = 30001;
    for (const char* name : ports)
        Leaf(t, 2, name, std::to_string(port++));
    Leaf(t, 2, "RepeaterTransmitTimeout", "60");
    t << "\t\t<Database type=\"embedded\">\r\n";
    Leaf(t, 3, "Path", "C:\\ProgramData\\Quorix\\MXR Gateway 4.5\\Gateway.db");
    t << "\t\t</Database>\r\n\t</GatewayConfig>\r\n</MXRGateways>\r\n";
    return t.Bytes();
}

// The generated document in a fresh folder, on a memory file system where there is one, so
// that the disk does not decide the figures.
struct CBenchFiles
{
    std::string folder;
    std::string source;
    std::string bytes;

    CBenchFiles()
    {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "rzbench.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder = pattern;
        bytes = GenerateDocument();
        source = folder + "/source.XML";
        std::ofstream(source, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~CBenchFiles() { std::filesystem::remove_all(folder); }

    // A fresh copy of the document to be saved over.
    std::string Copy(const std::string& name) const
    {
        const std::string path = folder + "/" + name;
        std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
        return path;
    }
};

CBenchFiles& Files()
{
    static CBenchFiles files;
    return files;
}

void BM_OursLoad(benchmark::State& state)
{
    const std::string& path = Files().source;
    for (auto _ : state)
    {
        CGatewayConfigDoc doc;
        const auto result = doc.Load(path);
        if (!result || doc.Stations()->GetChildCount() != kStations + 2 * kRepeaters)
            state.SkipWithError("the document did not load");
        benchmark::DoNotOptimize(doc.Stations());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_PugixmlLoad(benchmark::State& state)
{
    const std::string& path = Files().source;
    for (auto _ : state)
    {
        pugi::xml_document doc;
        const auto result =
            doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf16_le);
        if (!result)
            state.SkipWithError("pugixml did not load the document");
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_OursSave(benchmark::State& state)
{
    const std::string path = Files().Copy("ours-save.XML");
    CGatewayConfigDoc doc;
    if (!doc.Load(path))
        state.SkipWithError("the document did not load");
    for (auto _ : state)
    {
        if (doc.Save() != 1)
            state.SkipWithError("the document was not saved");
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_PugixmlSave(benchmark::State& state)
{
    const std::string path = Files().Copy("pugixml-save.XML");
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf16_le))
        state.SkipWithError("pugixml did not load the document");
    for (auto _ : state)
    {
        if (!doc.save_file(path.c_str(), "\t", pugi::format_default | pugi::format_write_bom,
                           pugi::encoding_utf16_le))
            state.SkipWithError("pugixml did not save the document");
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_OursLoadSave(benchmark::State& state)
{
    const std::string path = Files().Copy("ours-load-save.XML");
    for (auto _ : state)
    {
        CGatewayConfigDoc doc;
        if (!doc.Load(path) || doc.Save() != 1)
            state.SkipWithError("the document did not load and save");
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_PugixmlLoadSave(benchmark::State& state)
{
    const std::string path = Files().Copy("pugixml-load-save.XML");
    for (auto _ : state)
    {
        pugi::xml_document doc;
        if (!doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf16_le) ||
            !doc.save_file(path.c_str(), "\t", pugi::format_default | pugi::format_write_bom,
                           pugi::encoding_utf16_le))
            state.SkipWithError("pugixml did not load and save the document");
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

void BM_QDomLoadSave(benchmark::State& state)
{
    const QString path = QString::fromStdString(Files().Copy("qdom-load-save.XML"));
    for (auto _ : state)
    {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            state.SkipWithError("the document cannot be opened");
        QDomDocument doc;
        if (!doc.setContent(in.readAll()))
            state.SkipWithError("QDomDocument did not load the document");
        in.close();
        const QString text = doc.toString(1);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            state.SkipWithError("the document cannot be written");
        const QByteArray bom("\xFF\xFE", 2);
        out.write(bom);
        out.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(Files().bytes.size()));
}

} // namespace

BENCHMARK(BM_OursLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursLoadSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlLoadSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QDomLoadSave)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("document: %zu bytes, %d stations, %d repeaters\n", Files().bytes.size(), kStations,
                kRepeaters);
    rzbench::CRatioReporter reporter({
        {"load+save / pugixml load+save", "BM_OursLoadSave", "BM_PugixmlLoadSave", "<= 1.0"},
        {"load / pugixml load", "BM_OursLoad", "BM_PugixmlLoad", "<= 2.0"},
        {"save / pugixml save", "BM_OursSave", "BM_PugixmlSave", ""},
        {"QDomDocument load+save / load+save", "BM_QDomLoadSave", "BM_OursLoadSave", ">= 4.0"},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
