#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "model/StationSettings.h"
#include "network/ConnectionTest.h"
#include "network/MobileChannelDetector.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>
#include <cstdio>
#include <memory>

namespace
{

std::string HardwareText(const CAdapter& adapter)
{
    if (!adapter.hasHardware)
        return {};
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", adapter.hardware[0],
                  adapter.hardware[1], adapter.hardware[2], adapter.hardware[3],
                  adapter.hardware[4], adapter.hardware[5]);
    return text;
}

std::string HostDotted(uint32_t hostAddress)
{
    return MobileChannelDetector::Dotted(htonl(hostAddress));
}

} // namespace

void CCliApp::DeclareNetworkCommands(CLI::App& app)
{
    app.add_subcommand("adapters", "each adapter: name, first IPv4 address, hardware address, "
                                   "the radio address derived from it")
        ->callback([this] { m_command = [this] { return Adapters(); }; });
    auto ip = std::make_shared<std::string>();
    auto* test = app.add_subcommand("test-connection", "the dispatch-station connection test "
                                                       "for the station IP");
    test->add_option("IP", *ip, "the station's IP: the address of its adapter here")->required();
    test->callback([this, ip] { m_command = [this, ip] { return TestConnection(*ip); }; });
}

int CCliApp::Adapters()
{
    const auto adapters = MobileChannelDetector::ReadAdapters();
    if (!adapters)
    {
        m_err << "ravirazazu-cli: the network adapters cannot be read\n";
        return kOperationFailed;
    }
    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("adapters").BeginArray();
        for (const CAdapter& adapter : *adapters)
        {
            json.BeginObject();
            json.Key("name").String(adapter.name);
            json.Key("address").String(
                adapter.address != 0 ? MobileChannelDetector::Dotted(adapter.address) : "");
            json.Key("hardware").String(HardwareText(adapter));
            json.Key("radio").String(
                adapter.hasHardware
                    ? HostDotted(MobileChannelDetector::RemoteFromHardware(adapter.hardware))
                    : "");
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "ADAPTER          ADDRESS          HARDWARE           RADIO\n";
    for (const CAdapter& adapter : *adapters)
    {
        const auto column = [this](const std::string& text, size_t width)
        { m_out << text << std::string(text.size() < width ? width - text.size() : 1, ' '); };
        column(adapter.name, 17);
        column(adapter.address != 0 ? MobileChannelDetector::Dotted(adapter.address) : "-", 17);
        column(adapter.hasHardware ? HardwareText(adapter) : "-", 19);
        m_out << (adapter.hasHardware
                      ? HostDotted(MobileChannelDetector::RemoteFromHardware(adapter.hardware))
                      : "-")
              << "\n";
    }
    return kDone;
}

int CCliApp::TestConnection(const std::string& ip)
{
    // The test needs only the IP; the document, when there is one, says which station the
    // IP belongs to.
    if (rz::FileExists(m_documentPath) && LoadDocument())
    {
        LoadToolLanguage();
        CStationSettings settings;
        settings.Load(m_document, ToolFiles());
        std::string station;
        const auto rows = settings.Stations().RowsWithKey(rz::Utf8ToWide(ip));
        if (!rows.empty())
        {
            const StationInfo& found = settings.Stations().Rows()[rows.front()];
            station =
                rz::WideToUtf8(found.name) + " (pseudo ID " + rz::WideToUtf8(found.pseudoId) + ")";
        }
        if (station.empty())
            m_out << "No dispatch station of " << m_documentPath << " has the IP " << ip << "\n";
        else
            m_out << "Station " << station << "\n";
    }

    MobileChannelDetector detector;
    const auto report = [this, &ip](const connection_test::CStep& step)
    {
        const std::string text = connection_test::StepText(step, ip);
        if (!text.empty())
            m_out << text << std::endl; // as it happens: an attempt can take seconds
    };
    const int message = connection_test::Run(rz::Utf8ToWide(ip), detector, nullptr, report);
    const std::string text = Text(message);
    (message == connection_test::kConnected ? m_out : m_err) << text << "\n";
    if (message == connection_test::kConnected)
        return kDone;
    return message == connection_test::kValueRequired ? kRefused : kOperationFailed;
}
