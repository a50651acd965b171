#pragma once

#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"
#include "model/FieldFilters.h"
#include "model/SettingsModel.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI
{
class App;
}
struct StationEntry;
class CRepeaterSettings;
struct RepeaterEntry;

// The command-line companion: the jobs of the window from a terminal or a script. Every
// command works through the models of the pages; the command line holds no rule of its own.
class CCliApp
{
public:
    // Exit statuses, the same for every command.
    enum Exit
    {
        kDone = 0,
        kRefused = 1,       // a rule refused the request; the message is on stderr
        kUsage = 2,         // the command line is wrong
        kDocumentError = 3, // the document (or an ini file) cannot be read or written
        kOperationFailed = 4,
    };

    CCliApp(std::ostream& out, std::ostream& err);
    ~CCliApp();

    // Runs one command line (without the program name) and returns the exit status.
    int Run(const std::vector<std::string>& args);

private:
    // The parser of the whole command line: options, commands and their arguments, help.
    void Declare(CLI::App& app);
    void DeclareDocumentCommands(CLI::App& app);
    void DeclareBasicCommands(CLI::App& app);
    void DeclareStationCommands(CLI::App& app);
    void DeclareRepeaterCommands(CLI::App& app);
    void DeclareLogCommands(CLI::App& app);
    void DeclareLanguageCommands(CLI::App& app);
    void DeclareServiceCommands(CLI::App& app);
    void DeclareNetworkCommands(CLI::App& app);

    // Commands (each in the source file of its group).
    int Check();
    int Rewrite();
    int LanguageList();
    int LanguageText(const std::string& id);
    int LanguageSet(const std::string& name);
    int BasicShow();
    int BasicSet(const std::vector<std::string>& assignments);
    int ServerList();
    int ServerAdd(const std::string& ip, const std::string& port);
    int ServerChange(const std::string& ip, const std::string& newIp, const std::string& port,
                     std::optional<size_t> row);
    int ServerRemove(const std::vector<std::string>& ips, std::optional<size_t> row);
    // The options of station add and change: each one that was given.
    struct CStationOptions
    {
        std::optional<std::string> alias;
        std::optional<std::string> pseudoId;
        std::optional<std::string> ip;
        std::optional<std::string> kind;
        std::optional<std::string> frontMic;
        std::optional<std::string> speaker;
        std::optional<std::string> microphone;
    };
    int StationList();
    int StationAdd(const CStationOptions& options);
    int StationChange(const std::string& ip, const CStationOptions& options,
                      std::optional<size_t> row);
    int StationRemove(const std::vector<std::string>& ips, std::optional<size_t> row);
    // Puts the given options into the station editor's values, each typed into its field
    // (corrections printed); kDone, or kUsage (printed) when a value is not taken.
    int ApplyStationOptions(const CStationOptions& options, StationEntry& entry);
    // The options of repeater add and change; those not given keep the entry's values.
    struct CRepeaterArgs
    {
        std::string radioId;
        std::optional<std::string> alias;
        std::optional<std::string> ipSiteId;
        std::optional<std::string> pseudoId;
        std::vector<std::string> slots[2]; // KEY=VALUE of --slot1 and --slot2
    };
    // Applies the options of repeater add or change to an entry, each value typed into its
    // field: kDone, or the status of the first value that is not taken.
    int EditRepeater(const CRepeaterSettings& settings, const CRepeaterArgs& args,
                     RepeaterEntry& entry);
    int RepeaterList();
    int RepeaterAdd(const CRepeaterArgs& args);
    int RepeaterChange(const CRepeaterArgs& args);
    int RepeaterRemove(const std::vector<std::string>& radioIds);
    int PortsShow();
    int PortsSet(const std::vector<std::string>& assignments);
    int LogShow();
    int LogSet(const std::optional<std::string>& size, const std::optional<std::string>& level);
    int Service(const std::string& verb);
    int Adapters();
    int TestConnection(const std::string& ip);

    // Loads the document into m_document and m_loadResult; false, reported, when it cannot
    // be opened.
    bool LoadDocument();
    // The same, and also false (reported) when the document was not read completely: a
    // command that changes it would lose what could not be read.
    bool LoadDocumentForChange();
    // The one way every command changes files: loads the document for a change, lets apply
    // change the models, the document and the staged ini files, and writes them all only
    // when apply answers kDone. A refused or wrong command leaves every file as it was.
    int Change(const std::string& what, const std::function<int(CFileChanges&)>& apply);
    // Checks a changed model (printing its refusals and hints) and saves it into the
    // document and changes: kDone, or kRefused when a value is refused.
    int SaveModel(const ISettingsModel& model, CFileChanges& changes);
    // What typing value into a field gives, printing "key: value -> corrected" when the field
    // corrects it; nothing (a usage error printed) when the field would drop a character.
    std::optional<std::wstring> Typed(const fields::Rule& rule, const std::string& value);
    // "on"/"off" and their usual spellings; nothing for anything else.
    static std::optional<bool> ParseSwitch(const std::string& value);
    // Loads the document's language, for messages in the same texts as the window.
    void LoadToolLanguage();
    // A text of the document's language, UTF-8; the built-in English one where it is empty.
    std::string Text(int id) const;
    // The text of an ID in the document's language, as the window looks it up.
    std::wstring Lookup(int id) const;
    std::wstring Lookup(const std::wstring& id) const;
    // The text of a refusal, with its subject: "subject: text".
    std::string Describe(const CRefusal& refusal) const;
    int Refused(const CRefusal& refusal);
    int Usage(const std::string& message);
    CToolFiles ToolFiles() const { return {m_toolDir}; }

    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_documentPath;
    std::string m_toolDir;
    bool m_json = false;
    // The command that the parser chose, run once parsing is done.
    std::function<int()> m_command;
    CGatewayConfigDoc m_document;
    CGatewayConfigDoc::LoadResult m_loadResult;
    lang::CLanguage m_language;
};
