#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "model/LogSettings.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

void CCliApp::DeclareLogCommands(CLI::App& app)
{
    auto* log = app.add_subcommand("log", "the gateway's log settings (the Others page)");
    log->require_subcommand(1);
    log->add_subcommand("show", "show the log file size and the log level")
        ->callback([this] { m_command = [this] { return LogShow(); }; });
    auto* set = log->add_subcommand("set", "change the size (1 to 100 MB; else 10) or the level");
    auto size = std::make_shared<std::string>();
    auto level = std::make_shared<std::string>();
    auto* sizeOption =
        set->add_option("--size", *size, "the size of one log file in MB")->type_name("N");
    std::string levels;
    for (const CChoice& choice : CLogSettings::Levels().All())
        levels += (levels.empty() ? "" : "|") + choice.cliName;
    auto* levelOption = set->add_option("--level", *level, "the log level")->type_name(levels);
    set->callback(
        [this, size, level, sizeOption, levelOption]
        {
            const auto given = [](const CLI::Option* option, const std::string& value)
            { return option->count() != 0 ? std::optional<std::string>(value) : std::nullopt; };
            m_command = [this, size = given(sizeOption, *size), level = given(levelOption, *level)]
            { return LogSet(size, level); };
        });
}

int CCliApp::LogShow()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    CLogSettings settings;
    settings.Load(m_document, ToolFiles());
    const CChoice& level = CLogSettings::Levels().At(settings.level);
    const std::string name = rz::WideToUtf8(
        CLogSettings::Levels().Label(settings.level, [this](int id) { return Lookup(id); }));
    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("size").String(rz::WideToUtf8(settings.fileSize));
        json.Key("level").String(level.cliName);
        json.Key("levelName").String(name);
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    m_out << "size   " << rz::WideToUtf8(settings.fileSize) << " MB\n"
          << "level  " << level.cliName << (name.empty() ? "" : " (" + name + ")") << "\n";
    return kDone;
}

int CCliApp::LogSet(const std::optional<std::string>& size, const std::optional<std::string>& level)
{
    if (!size && !level)
        return Usage("log set needs --size or --level");
    return Change("log set",
                  [&](CFileChanges& changes) -> int
                  {
                      CLogSettings settings;
                      settings.Load(m_document, ToolFiles());
                      if (size)
                      {
                          const auto typed = Typed(CLogSettings::SizeField(), *size);
                          if (!typed)
                              return kUsage;
                          // Out of range: the hint the field shows, and what leaving it gives.
                          const std::wstring kept = CLogSettings::SizeOnLeave(*typed);
                          if (kept != *typed)
                          {
                              std::wstring hint =
                                  CLogSettings::RangeHint([this](int id) { return Lookup(id); });
                              std::replace(hint.begin(), hint.end(), L'\n', L' ');
                              m_err << "ravirazazu-cli: " << CLogSettings::SizeField().key << ": "
                                    << rz::WideToUtf8(hint) << "\n";
                              m_out << CLogSettings::SizeField().key << ": "
                                    << rz::WideToUtf8(*typed) << " -> " << rz::WideToUtf8(kept)
                                    << "\n";
                          }
                          settings.fileSize = kept;
                      }
                      if (level)
                      {
                          const auto index = CLogSettings::Levels().FindForCli(
                              *level, [this](int id) { return Lookup(id); });
                          if (!index)
                              return Usage("--level: one of " + CLogSettings::Levels().CliNames());
                          settings.ChooseLevel(*index);
                      }
                      return SaveModel(settings, changes);
                  });
}
