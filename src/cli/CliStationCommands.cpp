#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "cli/ListRows.h"
#include "model/StationSettings.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <array>
#include <memory>

namespace
{

std::string Utf8(const std::wstring& text)
{
    return rz::WideToUtf8(text);
}

const clirows::CNames kStationNames{"dispatch station", "dispatch stations", "IP"};

// A switch as the document stores it.
const CLI::Validator kSwitch([](const std::string& value)
                             { return value == "0" || value == "1" ? "" : std::string("0 or 1"); },
                             "");

// The options of station add and change as the parser fills them, in this order.
struct CParsedOptions
{
    std::array<std::string, 7> values;
    std::array<CLI::Option*, 7> options{};
};

// A text padded to a column's width (at least one blank after it).
std::string Column(const std::string& text, size_t width)
{
    return text + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

} // namespace

void CCliApp::DeclareStationCommands(CLI::App& app)
{
    auto* station = app.add_subcommand("station", "the dispatch stations of the Dispatch "
                                                  "Station Settings page");
    station->require_subcommand(1);
    station->add_subcommand("list", "list the stations with their rows")
        ->callback([this] { m_command = [this] { return StationList(); }; });

    const std::string kinds = CStationSettings::Kinds().CliNames();
    std::string kindNames;
    for (const CChoice& kind : CStationSettings::Kinds().All())
        kindNames += (kindNames.empty() ? "" : "|") + kind.cliName;
    const auto declare = [&kinds, &kindNames](CLI::App* command, bool adding)
    {
        auto parsed = std::make_shared<CParsedOptions>();
        auto& v = parsed->values;
        auto& o = parsed->options;
        const std::string keep = adding ? "" : " (not given: kept)";
        o[0] =
            command
                ->add_option("--alias", v[0],
                             "the alias, at most " + std::to_string(CStationSettings::kAliasTyped) +
                                 " characters" + keep)
                ->type_name("A")
                ->required(adding);
        o[1] = command->add_option("--pseudo-id", v[1], "the pseudo ID, digits" + keep)
                   ->type_name("N")
                   ->required(adding);
        o[2] = command
                   ->add_option("--ip", v[2],
                                "the address of the station's adapter on this computer" + keep)
                   ->type_name("IP")
                   ->required(adding);
        o[3] = command
                   ->add_option("--kind", v[3],
                                "the kind of station: " + kinds +
                                    (adding ? " (not given: voice)" : keep))
                   ->type_name(kindNames);
        o[4] = command
                   ->add_option("--front-mic", v[4],
                                "1: the remote speaker microphone is used" +
                                    (adding ? std::string(" (not given: 0)") : keep))
                   ->type_name("0|1")
                   ->check(kSwitch);
        o[5] = command->add_option("--speaker", v[5], "the speaker's device name" + keep)
                   ->type_name("NAME");
        o[6] = command->add_option("--microphone", v[6], "the microphone's device name" + keep)
                   ->type_name("NAME");
        return parsed;
    };
    // The options that were given, once parsing is done.
    const auto given = [](const CParsedOptions& parsed)
    {
        std::array<std::optional<std::string>, 7> values;
        for (size_t i = 0; i < values.size(); ++i)
            if (parsed.options[i]->count() > 0)
                values[i] = parsed.values[i];
        return CStationOptions{values[0], values[1], values[2], values[3],
                               values[4], values[5], values[6]};
    };
    auto row = std::make_shared<size_t>(0);
    const auto rowOption = [row](CLI::App* command)
    {
        command->add_option("--row", *row, "which of several stations with the IP (see list)")
            ->type_name("N")
            ->check(clirows::kRowNumber);
    };
    const auto chosenRow = [row] { return *row != 0 ? std::optional<size_t>(*row) : std::nullopt; };

    auto* add = station->add_subcommand("add", "add a station; each value is corrected as the "
                                               "page's field does");
    auto added = declare(add, true);
    add->callback([this, added, given]
                  { m_command = [this, options = given(*added)] { return StationAdd(options); }; });

    auto* change = station->add_subcommand(
        "change", "change the station with the IP; what is not given keeps its value");
    auto ip = std::make_shared<std::string>();
    change->add_option("IP", *ip)->required();
    auto changed = declare(change, false);
    rowOption(change);
    change->callback(
        [this, ip, changed, given, chosenRow]
        {
            m_command = [this, ip = *ip, options = given(*changed), row = chosenRow()]
            { return StationChange(ip, options, row); };
        });

    auto ips = std::make_shared<std::vector<std::string>>();
    auto* remove = station->add_subcommand("remove", "remove the stations with these IPs");
    remove->add_option("IP", *ips)->required();
    rowOption(remove);
    remove->callback(
        [this, ips, chosenRow]
        { m_command = [this, ips, row = chosenRow()] { return StationRemove(*ips, row); }; });
}

int CCliApp::StationList()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    CStationSettings settings;
    settings.Load(m_document, ToolFiles());
    const auto lookup = [this](int id) { return m_language.Lookup(std::to_wstring(id)); };
    const auto& stations = settings.Stations().Rows();
    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("stations").BeginArray();
        for (size_t row = 0; row < stations.size(); ++row)
        {
            const StationInfo& station = stations[row];
            const CStationSettings::CShown shown = CStationSettings::Shown(station);
            json.BeginObject();
            json.Key("row").Number(static_cast<int64_t>(row + 1));
            json.Key("guid").String(Utf8(station.guid));
            json.Key("alias").String(Utf8(station.name));
            json.Key("pseudo-id").String(Utf8(station.pseudoId));
            json.Key("ip").String(Utf8(station.ipAddress));
            json.Key("kind").String(CStationSettings::Kinds().At(shown.kind).cliName);
            json.Key("kind-name").String(Utf8(CStationSettings::Kinds().Label(shown.kind, lookup)));
            json.Key("is-data").String(Utf8(station.isData));
            json.Key("front-mic").Bool(shown.frontMic);
            json.Key("speaker").String(Utf8(station.audioPlay));
            json.Key("microphone").String(Utf8(station.audioRecord));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "ROW  IP               PSEUDO ID  KIND       MIC  ALIAS\n";
    for (size_t row = 0; row < stations.size(); ++row)
    {
        const StationInfo& station = stations[row];
        const CStationSettings::CShown shown = CStationSettings::Shown(station);
        m_out << Column(std::to_string(row + 1), 5) << Column(Utf8(station.ipAddress), 17)
              << Column(Utf8(station.pseudoId), 11)
              << Column(CStationSettings::Kinds().At(shown.kind).cliName, 11)
              << Column(shown.frontMic ? "1" : "0", 5) << Utf8(station.name) << "\n";
        if (!station.audioPlay.empty())
            m_out << "     speaker: " << Utf8(station.audioPlay) << "\n";
        if (!station.audioRecord.empty())
            m_out << "     microphone: " << Utf8(station.audioRecord) << "\n";
    }
    return kDone;
}

int CCliApp::ApplyStationOptions(const CStationOptions& options, StationEntry& entry)
{
    const std::pair<const std::optional<std::string>*, const fields::Rule*> texts[] = {
        {&options.alias, &CStationSettings::AliasField()},
        {&options.pseudoId, &CStationSettings::PseudoIdField()},
        {&options.ip, &CStationSettings::IpField()},
        {&options.speaker, &CStationSettings::SpeakerField()},
        {&options.microphone, &CStationSettings::MicrophoneField()},
    };
    std::wstring* const targets[] = {&entry.alias, &entry.pseudoId, &entry.ipAddress,
                                     &entry.speaker, &entry.microphone};
    for (size_t i = 0; i < std::size(texts); ++i)
    {
        const auto& [value, rule] = texts[i];
        if (!*value)
            continue;
        const auto typed = Typed(*rule, **value);
        if (!typed)
            return kUsage;
        *targets[i] = *typed;
    }
    if (options.kind)
    {
        const auto lookup = [this](int id) { return m_language.Lookup(std::to_wstring(id)); };
        const auto kind = CStationSettings::Kinds().FindForCli(*options.kind, lookup);
        if (!kind)
            return Usage("kind: one of " + CStationSettings::Kinds().CliNames());
        entry.quickGps = *kind == CStationSettings::kQuickGps;
        entry.gps = *kind == CStationSettings::kGps;
    }
    if (options.frontMic)
        entry.frontMic = *options.frontMic == "1";
    return kDone;
}

int CCliApp::StationAdd(const CStationOptions& options)
{
    return Change("station add",
                  [&](CFileChanges& changes) -> int
                  {
                      CStationSettings settings;
                      settings.Load(m_document, ToolFiles());
                      StationEntry entry;
                      if (const int status = ApplyStationOptions(options, entry); status != kDone)
                          return status;
                      const CEntryResult added = settings.AddStation(entry);
                      if (added.status != CEntryResult::Done)
                          return Refused(added.refusal);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::StationChange(const std::string& ip, const CStationOptions& options,
                           std::optional<size_t> row)
{
    return Change("station change",
                  [&](CFileChanges& changes) -> int
                  {
                      CStationSettings settings;
                      settings.Load(m_document, ToolFiles());
                      const auto found =
                          clirows::Choose(settings.Stations(), ip, row, kStationNames);
                      if (const auto* error = std::get_if<std::string>(&found))
                      {
                          m_err << "ravirazazu-cli: " << *error << "\n";
                          return kRefused;
                      }
                      const size_t chosen = std::get<size_t>(found);
                      // The editor opens with the station as the page shows it.
                      StationEntry entry =
                          CStationSettings::EntryOf(settings.Stations().Rows()[chosen]);
                      if (const int status = ApplyStationOptions(options, entry); status != kDone)
                          return status;
                      const CEntryResult changed = settings.ChangeStation(chosen, entry);
                      if (changed.status != CEntryResult::Done)
                          return Refused(changed.refusal);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::StationRemove(const std::vector<std::string>& ips, std::optional<size_t> row)
{
    if (row && ips.size() != 1)
        return Usage("--row chooses among the stations of one IP");
    return Change("station remove",
                  [&](CFileChanges& changes) -> int
                  {
                      CStationSettings settings;
                      settings.Load(m_document, ToolFiles());
                      std::vector<size_t> rows;
                      for (const std::string& ip : ips)
                      {
                          const auto found =
                              clirows::Choose(settings.Stations(), ip, row, kStationNames);
                          if (const auto* error = std::get_if<std::string>(&found))
                          {
                              m_err << "ravirazazu-cli: " << *error << "\n";
                              return kRefused;
                          }
                          rows.push_back(std::get<size_t>(found));
                      }
                      settings.RemoveStations(rows);
                      return SaveModel(settings, changes);
                  });
}
