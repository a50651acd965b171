#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "model/RepeaterSettings.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

namespace
{

std::string Utf8(std::wstring_view text)
{
    return rz::WideToUtf8(text);
}

const char* const kSlotKeys = "used alias subnet kind ip-site-channel encrypt rtp-type";

// The command-line name of a slot's kind, or "isdata-N" for a value no check box gives.
std::string KindName(const RepeaterSlot& slot)
{
    const auto kind = CRepeaterSettings::SlotKinds().FindStored(std::to_wstring(slot.isData));
    return kind ? CRepeaterSettings::SlotKinds().At(*kind).cliName
                : "isdata-" + std::to_string(slot.isData);
}

// Pads text (counted in characters) to a column width.
std::string Column(std::wstring_view text, size_t width)
{
    return Utf8(text) + std::string(text.size() < width ? width - text.size() : 1, ' ');
}

} // namespace

void CCliApp::DeclareRepeaterCommands(CLI::App& app)
{
    auto* repeater = app.add_subcommand("repeater", "the repeaters of the repeater settings page, "
                                                    "each with two time slots");
    repeater->require_subcommand(1);
    repeater->add_subcommand("list", "list the repeaters and their slots")
        ->callback([this] { m_command = [this] { return RepeaterList(); }; });

    auto args = std::make_shared<CRepeaterArgs>();
    const auto declare = [this, args](CLI::App* command, bool change)
    {
        command->add_option("RADIO-ID", args->radioId)->required();
        auto alias = std::make_shared<std::string>();
        auto ipSiteId = std::make_shared<std::string>();
        auto pseudoId = std::make_shared<std::string>();
        auto* aliasOption =
            command->add_option("--alias", *alias, "the repeater's alias")->type_name("A");
        auto* siteOption =
            command->add_option("--ip-site-id", *ipSiteId, "the IP site ID")->type_name("N");
        auto* pseudoOption =
            command->add_option("--pseudo-id", *pseudoId, "the pseudo ID")->type_name("N");
        for (int slot = 0; slot < 2; ++slot)
        {
            command
                ->add_option("--slot" + std::to_string(slot + 1), args->slots[slot],
                             std::string("the slot's settings; keys: ") + kSlotKeys)
                ->type_name("KEY=VALUE,...")
                ->delimiter(',')
                ->allow_extra_args(false);
        }
        command->callback(
            [this, args, change, alias, ipSiteId, pseudoId, aliasOption, siteOption, pseudoOption]
            {
                const auto given = [](const CLI::Option* option, const std::string& value)
                { return option->count() != 0 ? std::optional<std::string>(value) : std::nullopt; };
                args->alias = given(aliasOption, *alias);
                args->ipSiteId = given(siteOption, *ipSiteId);
                args->pseudoId = given(pseudoOption, *pseudoId);
                m_command = [this, args, change]
                { return change ? RepeaterChange(*args) : RepeaterAdd(*args); };
            });
    };
    declare(repeater->add_subcommand("add", "add a repeater; what is not given is what the "
                                            "page proposes"),
            false);
    declare(repeater->add_subcommand("change", "change the repeater with the Radio ID (which "
                                               "stays); what is not given keeps its value"),
            true);
    auto radioIds = std::make_shared<std::vector<std::string>>();
    auto* remove = repeater->add_subcommand("remove", "remove the repeaters with these Radio IDs");
    remove->add_option("RADIO-ID", *radioIds)->required();
    remove->callback([this, radioIds]
                     { m_command = [this, radioIds] { return RepeaterRemove(*radioIds); }; });

    auto* ports = app.add_subcommand("ports", "the port and timeout settings of the repeater "
                                              "settings page");
    ports->require_subcommand(1);
    ports->add_subcommand("show", "show the fifteen settings")
        ->callback([this] { m_command = [this] { return PortsShow(); }; });
    auto assignments = std::make_shared<std::vector<std::string>>();
    auto* set = ports->add_subcommand(
        "set", "change settings by their element names, each corrected as the page's field does");
    set->add_option("ELEMENT=VALUE", *assignments, "the settings to change")->required();
    set->callback([this, assignments]
                  { m_command = [this, assignments] { return PortsSet(*assignments); }; });
}

int CCliApp::RepeaterList()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    CRepeaterSettings settings;
    settings.Load(m_document, ToolFiles());
    const auto lookup = [this](const std::wstring& id) { return Lookup(id); };
    const CRtpTypeList& types = settings.RtpTypes();
    const auto& repeaters = settings.Repeaters().Rows();

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("minRows").Number(CRepeaterSettings::kMinRows);
        json.Key("rtpTypes").BeginArray();
        for (const auto& type : types.Entries())
        {
            json.BeginObject();
            json.Key("value").Number(type.value);
            json.Key("label").String(Utf8(CRtpTypeList::Label(type, lookup)));
            json.EndObject();
        }
        json.EndArray();
        json.Key("repeaters").BeginArray();
        for (const RepeaterInfo& repeater : repeaters)
        {
            json.BeginObject();
            json.Key("radioId").String(Utf8(repeater.radioId));
            json.Key("alias").String(Utf8(repeater.alias));
            json.Key("ipSiteId").String(Utf8(repeater.ipSiteId));
            json.Key("pseudoId").String(Utf8(repeater.pseudoId));
            json.Key("guid").String(Utf8(repeater.repeaterGuid));
            json.Key("slots").BeginArray();
            for (size_t i = 0; i < 2; ++i)
            {
                const RepeaterSlot& slot = repeater.slots[i];
                json.BeginObject();
                json.Key("slot").Number(static_cast<int64_t>(i + 1));
                json.Key("used").Bool(slot.used);
                json.Key("guid").String(Utf8(slot.guid));
                json.Key("alias").String(Utf8(slot.name));
                json.Key("subnet").String(Utf8(slot.subNetId));
                json.Key("kind").String(KindName(slot));
                json.Key("ipSiteChannel").Bool(slot.isLocalSlot);
                json.Key("encrypt").Bool(slot.rtpEnable != 0);
                json.Key("rtpType").Number(slot.rtpType);
                const auto shown = types.EntriesWith(slot.rtpType);
                const auto listed = types.IndexOf(slot.rtpType);
                json.Key("rtpTypeLabel");
                if (listed)
                    json.String(Utf8(CRtpTypeList::Label(shown[*listed], lookup)));
                else
                    json.Null();
                json.Key("rtpTypeListed").Bool(listed.has_value());
                json.EndObject();
            }
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    if (repeaters.empty())
    {
        m_out << "No repeaters.\n";
        return kDone;
    }
    m_out << "RADIO-ID    ALIAS                             IP-SITE-ID  PSEUDO-ID\n";
    for (const RepeaterInfo& repeater : repeaters)
    {
        m_out << Column(repeater.radioId, 12) << Column(repeater.alias, 34)
              << Column(repeater.ipSiteId, 12) << Utf8(repeater.pseudoId) << "\n";
        for (size_t i = 0; i < 2; ++i)
        {
            const RepeaterSlot& slot = repeater.slots[i];
            m_out << "  slot" << i + 1 << (slot.used ? "  in use  " : "  unused  ")
                  << "alias=" << Utf8(slot.name) << " subnet=" << Utf8(slot.subNetId)
                  << " kind=" << KindName(slot)
                  << " ip-site-channel=" << (slot.isLocalSlot ? "on" : "off")
                  << " encrypt=" << (slot.rtpEnable != 0 ? "on" : "off")
                  << " rtp-type=" << slot.rtpType;
            if (const auto listed = types.IndexOf(slot.rtpType))
                m_out << " (" << Utf8(CRtpTypeList::Label(types.Entries()[*listed], lookup)) << ")";
            else
                m_out << " (not listed in RaviraZazu_Gateway.ini; kept)";
            m_out << "\n";
        }
    }
    return kDone;
}

int CCliApp::EditRepeater(const CRepeaterSettings& settings, const CRepeaterArgs& args,
                          RepeaterEntry& entry)
{
    const auto text = [this](const fields::Rule& rule, const std::optional<std::string>& value,
                             std::wstring& into)
    {
        if (!value)
            return kDone;
        const auto typed = Typed(rule, *value);
        if (!typed)
            return kUsage;
        into = *typed;
        return kDone;
    };
    if (int status = text(CRepeaterSettings::AliasField(), args.alias, entry.alias))
        return status;
    if (int status = text(CRepeaterSettings::IpSiteIdField(), args.ipSiteId, entry.ipSiteId))
        return status;
    if (int status = text(CRepeaterSettings::PseudoIdField(), args.pseudoId, entry.pseudoId))
        return status;
    for (int slot = 1; slot <= 2; ++slot)
    {
        for (const std::string& assignment : args.slots[slot - 1])
        {
            RepeaterEntry::Slot& fields = entry.slots[slot - 1];
            const std::string option = "--slot" + std::to_string(slot);
            const auto eq = assignment.find('=');
            if (eq == std::string::npos)
                return Usage(option + ": expected KEY=VALUE, got " + assignment);
            const std::string key = assignment.substr(0, eq);
            const std::string value = assignment.substr(eq + 1);
            const std::string name = "slot" + std::to_string(slot) + "." + key;
            int status = kDone;
            if (key == "alias")
            {
                status = text(CRepeaterSettings::SlotAliasField(slot), value, fields.alias);
            }
            else if (key == "subnet")
            {
                status = text(CRepeaterSettings::SlotSubNetIdField(slot), value, fields.subNetId);
            }
            else if (key == "used" || key == "ip-site-channel" || key == "encrypt")
            {
                const auto on = ParseSwitch(value);
                if (!on)
                    return Usage(name + ": on or off");
                (key == "used"      ? fields.used
                 : key == "encrypt" ? fields.encrypt
                                    : fields.ipSiteChannel) = *on;
            }
            else if (key == "kind")
            {
                const CChoiceTable& kinds = CRepeaterSettings::SlotKinds();
                const auto kind = kinds.FindForCli(value, [this](int id) { return Lookup(id); });
                if (!kind)
                    return Usage(name + ": one of " + kinds.CliNames());
                CRepeaterSettings::SetKind(fields, *kind);
            }
            else if (key == "rtp-type")
            {
                const auto lookup = [this](const std::wstring& id) { return Lookup(id); };
                const CRtpTypeList& types = settings.RtpTypes();
                const auto type = types.FindForCli(value, lookup);
                if (!type)
                {
                    std::string listed;
                    for (const auto& listedType : types.Entries())
                        listed += (listed.empty() ? "" : ", ") + std::to_string(listedType.value) +
                                  " (" + Utf8(CRtpTypeList::Label(listedType, lookup)) + ")";
                    return Usage(name + ": " +
                                 (listed.empty() ? "RaviraZazu_Gateway.ini lists no RTP type"
                                                 : "one of " + listed));
                }
                fields.rtpType = *type;
            }
            else
            {
                return Usage(option + ": unknown key " + key + " (" + kSlotKeys + ")");
            }
            if (status != kDone)
                return status;
        }
    }
    return kDone;
}

int CCliApp::RepeaterAdd(const CRepeaterArgs& args)
{
    return Change("repeater add",
                  [&](CFileChanges& changes) -> int
                  {
                      CRepeaterSettings settings;
                      settings.Load(m_document, ToolFiles());
                      RepeaterEntry entry = settings.NewEntry();
                      const auto radioId = Typed(CRepeaterSettings::RadioIdField(), args.radioId);
                      if (!radioId)
                          return kUsage;
                      entry.radioId = *radioId;
                      if (const int status = EditRepeater(settings, args, entry); status != kDone)
                          return status;
                      const CEntryResult added = settings.AddRepeater(entry);
                      if (added.status != CEntryResult::Done)
                          return Refused(added.refusal);
                      if (!args.alias)
                          m_out << "alias: " << Utf8(entry.alias) << " (proposed)\n";
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::RepeaterChange(const CRepeaterArgs& args)
{
    return Change("repeater change",
                  [&](CFileChanges& changes) -> int
                  {
                      CRepeaterSettings settings;
                      settings.Load(m_document, ToolFiles());
                      const auto row = settings.RowOf(rz::Utf8ToWide(args.radioId));
                      if (!row)
                      {
                          m_err << "ravirazazu-cli: no repeater has the Radio ID " << args.radioId
                                << "\n";
                          return kRefused;
                      }
                      RepeaterEntry entry = settings.EntryOf(*row);
                      if (const int status = EditRepeater(settings, args, entry); status != kDone)
                          return status;
                      const CEntryResult changed = settings.ChangeRepeater(*row, entry);
                      if (changed.status != CEntryResult::Done)
                          return Refused(changed.refusal);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::RepeaterRemove(const std::vector<std::string>& radioIds)
{
    return Change("repeater remove",
                  [&](CFileChanges& changes) -> int
                  {
                      CRepeaterSettings settings;
                      settings.Load(m_document, ToolFiles());
                      std::vector<size_t> rows;
                      for (const std::string& radioId : radioIds)
                      {
                          const auto row = settings.RowOf(rz::Utf8ToWide(radioId));
                          if (!row)
                          {
                              m_err << "ravirazazu-cli: no repeater has the Radio ID " << radioId
                                    << "\n";
                              return kRefused;
                          }
                          rows.push_back(*row);
                      }
                      settings.RemoveRepeaters(rows);
                      return SaveModel(settings, changes);
                  });
}

int CCliApp::PortsShow()
{
    if (!LoadDocument())
        return kDocumentError;
    CRepeaterSettings settings;
    settings.Load(m_document, ToolFiles());
    const auto& table = CRepeaterSettings::PortSettings();
    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        for (size_t i = 0; i < table.size(); ++i)
            json.Key(table[i].field.key).String(Utf8(settings.ports[i]));
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    for (size_t i = 0; i < table.size(); ++i)
        m_out << Column(table[i].element, 25) << Utf8(settings.ports[i]) << "\n";
    return kDone;
}

int CCliApp::PortsSet(const std::vector<std::string>& assignments)
{
    return Change("ports set",
                  [&](CFileChanges& changes) -> int
                  {
                      CRepeaterSettings settings;
                      settings.Load(m_document, ToolFiles());
                      const auto& table = CRepeaterSettings::PortSettings();
                      for (const std::string& assignment : assignments)
                      {
                          const auto eq = assignment.find('=');
                          if (eq == std::string::npos)
                              return Usage("expected ELEMENT=VALUE, got " + assignment);
                          const auto index = CRepeaterSettings::PortIndex(assignment.substr(0, eq));
                          if (!index)
                          {
                              std::string names;
                              for (const auto& setting : table)
                                  names +=
                                      std::string(names.empty() ? "" : " ") + setting.field.key;
                              return Usage("unknown setting " + assignment.substr(0, eq) + " (" +
                                           names + ")");
                          }
                          const auto typed = Typed(table[*index].field, assignment.substr(eq + 1));
                          if (!typed)
                              return kUsage;
                          settings.ports[*index] = *typed;
                      }
                      return SaveModel(settings, changes);
                  });
}
