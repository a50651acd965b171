#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "cli/ListRows.h"
#include "model/BasicSettings.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <variant>

namespace
{

std::string Utf8(const std::wstring& text)
{
    return rz::WideToUtf8(text);
}

const char* const kBasicKeys =
    "local-ip local-port voip-port codec speed-unit gps-tracking rrs-disabled";

} // namespace

void CCliApp::DeclareBasicCommands(CLI::App& app)
{
    auto* basic = app.add_subcommand("basic", "the Basic Settings page");
    basic->require_subcommand(1);
    basic->add_subcommand("show", "show the settings")
        ->callback([this] { m_command = [this] { return BasicShow(); }; });
    auto* set = basic->add_subcommand(
        "set", std::string("change settings, each corrected as the page's field does; keys: ") +
                   kBasicKeys);
    auto assignments = std::make_shared<std::vector<std::string>>();
    set->add_option("KEY=VALUE", *assignments, "the settings to change")->required();
    set->callback([this, assignments]
                  { m_command = [this, assignments] { return BasicSet(*assignments); }; });

    auto* server = app.add_subcommand("server", "the radio servers of the Basic Settings page "
                                                "(at most 5)");
    server->require_subcommand(1);
    server->add_subcommand("list", "list the servers with their rows")
        ->callback([this] { m_command = [this] { return ServerList(); }; });
    auto strings = std::make_shared<std::vector<std::string>>(3);
    auto row = std::make_shared<size_t>(0);
    auto* add = server->add_subcommand("add", "add a server");
    add->add_option("IP", (*strings)[0])->required();
    add->add_option("PORT", (*strings)[1])->required();
    add->callback(
        [this, strings]
        { m_command = [this, strings] { return ServerAdd((*strings)[0], (*strings)[1]); }; });
    auto* change = server->add_subcommand(
        "change", "give the server at IP a new address and port (the address must change)");
    change->add_option("IP", (*strings)[0])->required();
    change->add_option("NEW-IP", (*strings)[1])->required();
    change->add_option("PORT", (*strings)[2])->required();
    change->add_option("--row", *row, "which of several servers with the address IP (see list)")
        ->type_name("N")
        ->check(clirows::kRowNumber);
    change->callback(
        [this, strings, row]
        {
            m_command = [this, strings, row]
            {
                return ServerChange((*strings)[0], (*strings)[1], (*strings)[2],
                                    *row != 0 ? std::optional<size_t>(*row) : std::nullopt);
            };
        });
    auto ips = std::make_shared<std::vector<std::string>>();
    auto* remove = server->add_subcommand("remove", "remove the servers with these addresses");
    remove->add_option("IP", *ips)->required();
    remove->add_option("--row", *row, "which of several servers with the address IP (see list)")
        ->type_name("N")
        ->check(clirows::kRowNumber);
    remove->callback(
        [this, ips, row]
        {
            m_command = [this, ips, row]
            { return ServerRemove(*ips, *row != 0 ? std::optional<size_t>(*row) : std::nullopt); };
        });
}

int CCliApp::BasicShow()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    CBasicSettings settings;
    settings.Load(m_document, ToolFiles());
    const auto lookup = [this](int id) { return m_language.Lookup(std::to_wstring(id)); };
    const std::string codec = Utf8(CBasicSettings::Codecs().Label(settings.codec, lookup));
    const std::string unitName =
        Utf8(CBasicSettings::SpeedUnits().Label(settings.speedUnit, lookup));

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("local-ip").String(Utf8(settings.localIp));
        json.Key("local-port").String(Utf8(settings.localPort));
        json.Key("voip-port").String(Utf8(settings.voipPort));
        json.Key("codec").String(codec);
        json.Key("speed-unit").Number(static_cast<int64_t>(settings.speedUnit));
        json.Key("speed-unit-name").String(unitName);
        json.Key("gps-tracking").Bool(settings.gpsTracking);
        json.Key("rrs-disabled").Bool(settings.rrsDisabled);
        json.Key("servers").BeginArray();
        for (const auto& server : settings.Servers().Rows())
        {
            json.BeginObject();
            json.Key("ip").String(Utf8(server.ipAddress));
            json.Key("port").String(Utf8(server.ipPort));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "local-ip       " << Utf8(settings.localIp) << "\n"
          << "local-port     " << Utf8(settings.localPort) << "\n"
          << "voip-port      " << Utf8(settings.voipPort) << "\n"
          << "codec          " << codec << "\n"
          << "speed-unit     " << settings.speedUnit
          << (unitName.empty() ? "" : " (" + unitName + ")") << "\n"
          << "gps-tracking   " << (settings.gpsTracking ? "on" : "off") << "\n"
          << "rrs-disabled   " << (settings.rrsDisabled ? "on" : "off") << "\n"
          << "radio servers  " << settings.Servers().Count() << " of at most "
          << CBasicSettings::kMaxServers << "\n";
    return kDone;
}

int CCliApp::BasicSet(const std::vector<std::string>& assignments)
{
    return Change(
        "basic set",
        [&](CFileChanges& changes) -> int
        {
            CBasicSettings settings;
            settings.Load(m_document, ToolFiles());
            settings.Repair(ToolFiles(), changes);
            const auto lookup = [this](int id) { return Lookup(id); };
            // Every value is checked before anything is written: one bad value changes nothing.
            for (const std::string& assignment : assignments)
            {
                const auto eq = assignment.find('=');
                if (eq == std::string::npos)
                    return Usage("expected KEY=VALUE, got " + assignment);
                const std::string key = assignment.substr(0, eq);
                const std::string value = assignment.substr(eq + 1);
                std::optional<std::wstring> typed;
                if (key == CBasicSettings::LocalIpField().key)
                {
                    if (!(typed = Typed(CBasicSettings::LocalIpField(), value)))
                        return kUsage;
                    settings.localIp = *typed;
                }
                else if (key == CBasicSettings::LocalPortField().key)
                {
                    if (!(typed = Typed(CBasicSettings::LocalPortField(), value)))
                        return kUsage;
                    settings.localPort = *typed;
                }
                else if (key == CBasicSettings::VoipPortField().key)
                {
                    if (!(typed = Typed(CBasicSettings::VoipPortField(), value)))
                        return kUsage;
                    settings.voipPort = *typed;
                }
                else if (key == "codec" || key == "speed-unit")
                {
                    const CChoiceTable& table =
                        key == "codec" ? CBasicSettings::Codecs() : CBasicSettings::SpeedUnits();
                    const auto choice = table.FindForCli(value, lookup);
                    if (!choice)
                        return Usage(key + ": one of " + table.CliNames());
                    (key == "codec" ? settings.codec : settings.speedUnit) = *choice;
                }
                else if (key == "gps-tracking" || key == "rrs-disabled")
                {
                    const auto on = ParseSwitch(value);
                    if (!on)
                        return Usage(key + ": on or off");
                    (key == "gps-tracking" ? settings.gpsTracking : settings.rrsDisabled) = *on;
                }
                else
                {
                    return Usage("unknown setting " + key + " (" + kBasicKeys + ")");
                }
            }
            return SaveModel(settings, changes);
        });
}

int CCliApp::ServerList()
{
    if (!LoadDocument())
        return kDocumentError;
    CBasicSettings settings;
    settings.Load(m_document, ToolFiles());
    const auto& servers = settings.Servers().Rows();
    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("max").Number(CBasicSettings::kMaxServers);
        json.Key("servers").BeginArray();
        for (size_t row = 0; row < servers.size(); ++row)
        {
            json.BeginObject();
            json.Key("row").Number(static_cast<int64_t>(row + 1));
            json.Key("ip").String(Utf8(servers[row].ipAddress));
            json.Key("port").String(Utf8(servers[row].ipPort));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "ROW  IP               PORT\n";
    for (size_t row = 0; row < servers.size(); ++row)
    {
        const std::string number = std::to_string(row + 1);
        const std::string ip = Utf8(servers[row].ipAddress);
        m_out << number << std::string(5 - std::min<size_t>(number.size(), 4), ' ') << ip
              << std::string(ip.size() < 17 ? 17 - ip.size() : 1, ' ') << Utf8(servers[row].ipPort)
              << "\n";
    }
    return kDone;
}

namespace
{

const clirows::CNames kServerNames{"radio server", "radio servers", "address"};

} // namespace

int CCliApp::ServerAdd(const std::string& ip, const std::string& port)
{
    return Change("server add",
                  [&](CFileChanges& changes) -> int
                  {
                      CBasicSettings settings;
                      settings.Load(m_document, ToolFiles());
                      settings.Repair(ToolFiles(), changes);
                      if (CRefusal full = settings.CanAdd())
                          return Refused(full);
                      const auto address = Typed(CBasicSettings::ServerIpField(), ip);
                      const auto number = Typed(CBasicSettings::ServerPortField(), port);
                      if (!address || !number)
                          return kUsage;
                      const CEntryResult added = settings.AddServer(*address, *number);
                      if (added.status == CEntryResult::Incomplete)
                          return Usage("server add needs an address and a port");
                      if (added.status == CEntryResult::Refused)
                          return Refused(added.refusal);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::ServerChange(const std::string& ip, const std::string& newIp, const std::string& port,
                          std::optional<size_t> row)
{
    return Change("server change",
                  [&](CFileChanges& changes) -> int
                  {
                      CBasicSettings settings;
                      settings.Load(m_document, ToolFiles());
                      settings.Repair(ToolFiles(), changes);
                      const auto found = clirows::Choose(settings.Servers(), ip, row, kServerNames);
                      if (const auto* error = std::get_if<std::string>(&found))
                      {
                          m_err << "ravirazazu-cli: " << *error << "\n";
                          return kRefused;
                      }
                      const auto address = Typed(CBasicSettings::ServerIpField(), newIp);
                      const auto number = Typed(CBasicSettings::ServerPortField(), port);
                      if (!address || !number)
                          return kUsage;
                      const CEntryResult changed =
                          settings.ChangeServer(std::get<size_t>(found), *address, *number);
                      if (changed.status == CEntryResult::Incomplete)
                          return Usage("server change needs an address and a port");
                      if (changed.status == CEntryResult::Refused)
                          return Refused(changed.refusal);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::ServerRemove(const std::vector<std::string>& ips, std::optional<size_t> row)
{
    if (row && ips.size() != 1)
        return Usage("--row chooses among the servers of one address");
    return Change("server remove",
                  [&](CFileChanges& changes) -> int
                  {
                      CBasicSettings settings;
                      settings.Load(m_document, ToolFiles());
                      settings.Repair(ToolFiles(), changes);
                      std::vector<size_t> rows;
                      for (const std::string& ip : ips)
                      {
                          const auto found =
                              clirows::Choose(settings.Servers(), ip, row, kServerNames);
                          if (const auto* error = std::get_if<std::string>(&found))
                          {
                              m_err << "ravirazazu-cli: " << *error << "\n";
                              return kRefused;
                          }
                          rows.push_back(std::get<size_t>(found));
                      }
                      settings.RemoveServers(rows);
                      return SaveModel(settings, changes);
                  });
}
