#include "cli/CliApp.h"

#include "config/SystemLog.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstring>

namespace
{

constexpr const char* kVersion = "0.1.0";

// A path option may not be empty: an empty one would fall back to the machine's own files.
const CLI::Validator kNotEmpty([](const std::string& value)
                               { return value.empty() ? std::string("must not be empty") : ""; },
                               "");

constexpr size_t kDescriptionColumn = 30;
constexpr size_t kLineWidth = 96;
// Where the continued lines of a long synopsis begin.
constexpr size_t kContinuation = 6;

// A command's arguments as the synopsis writes them: "IP NEW-IP PORT [--row N]".
std::string Arguments(const CLI::App& command)
{
    std::string positionals;
    std::string options;
    for (const CLI::Option* option : command.get_options())
    {
        if (option == command.get_help_ptr() || option == command.get_version_ptr())
            continue;
        if (option->get_positional())
        {
            std::string name = option->get_name(true);
            if (option->get_items_expected_max() > 1)
                name += "...";
            positionals += " " + (option->get_required() ? name : "[" + name + "]");
        }
        else
        {
            const std::string type = option->get_type_name();
            const std::string name = option->get_name() + (type.empty() ? "" : " " + type);
            options += " " + (option->get_required() ? name : "[" + name + "]");
        }
    }
    return positionals + options;
}

// A synopsis wider than a line, broken before options ("--x" or "[--x ...]") onto indented
// lines.
std::string WrappedSynopsis(const std::string& synopsis)
{
    std::string text = "  ";
    size_t column = text.size();
    size_t start = 0;
    while (start < synopsis.size())
    {
        // The next piece ends before the next blank that starts an option.
        size_t end = start;
        do
        {
            end = synopsis.find(' ', end + 1);
        } while (end != std::string::npos && synopsis[end + 1] != '[' &&
                 synopsis.compare(end + 1, 2, "--") != 0);
        if (end == std::string::npos)
            end = synopsis.size();
        std::string piece = synopsis.substr(start, end - start);
        if (column > kContinuation && column + piece.size() > kLineWidth)
        {
            text += "\n" + std::string(kContinuation, ' ');
            column = kContinuation;
            piece.erase(0, piece.find_first_not_of(' '));
        }
        text += piece;
        column += piece.size();
        start = end;
    }
    return text;
}

// One line of the help: the synopsis, and the description beside it (or below when the
// synopsis is too long). A synopsis too long for a line is broken before an option, the rest
// indented.
std::string HelpLine(const std::string& synopsis, const std::string& description)
{
    std::string line = WrappedSynopsis(synopsis);
    if (line.size() + 1 < kDescriptionColumn)
        line += std::string(kDescriptionColumn - line.size(), ' ');
    else
        line += "\n" + std::string(kDescriptionColumn, ' ');
    // The description, wrapped at the line width below its column.
    size_t column = kDescriptionColumn;
    size_t start = 0;
    while (start < description.size())
    {
        size_t end = description.find(' ', start);
        if (end == std::string::npos)
            end = description.size();
        const size_t word = end - start;
        if (column > kDescriptionColumn && column + 1 + word > kLineWidth)
        {
            line += "\n" + std::string(kDescriptionColumn, ' ');
            column = kDescriptionColumn;
        }
        else if (column > kDescriptionColumn)
        {
            line += ' ';
            ++column;
        }
        line += description.substr(start, word);
        column += word;
        start = end + 1;
    }
    return line + "\n";
}

// Every command that does something, with its arguments, from the one declaration.
void CommandLines(const CLI::App& app, const std::string& prefix, std::string& out)
{
    const auto commands = app.get_subcommands([](const CLI::App*) { return true; });
    if (commands.empty())
    {
        out += HelpLine(prefix + Arguments(app), app.get_description());
        return;
    }
    for (const CLI::App* command : commands)
        CommandLines(*command, (prefix.empty() ? "" : prefix + " ") + command->get_name(), out);
}

std::string Help(const CLI::App& app)
{
    std::string help = "Usage: ravirazazu-cli" + Arguments(app) + " COMMAND ...\n\n" +
                       app.get_description() + "\n\nOptions:\n";
    for (const CLI::Option* option : app.get_options())
    {
        const std::string type = option->get_type_name();
        help += HelpLine(option->get_name(false, true) + (type.empty() ? "" : " " + type),
                         option->get_description());
    }
    help += "\nCommands:\n";
    CommandLines(app, {}, help);
    return help + "\n" + app.get_footer() + "\n";
}

} // namespace

CCliApp::CCliApp(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

CCliApp::~CCliApp() = default;

void CCliApp::Declare(CLI::App& app)
{
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", std::string("ravirazazu-cli ") + kVersion,
                         "print the version and exit");
    app.add_option("--document", m_documentPath,
                   "the configuration document (default: " + rz::DocumentPath() + ")")
        ->type_name("PATH")
        ->check(kNotEmpty);
    app.add_option("--tool-dir", m_toolDir,
                   "the folder with the ini files and language/ (default: the program's own "
                   "folder)")
        ->type_name("DIR")
        ->check(kNotEmpty);
    app.add_flag("--json", m_json, "print one JSON object instead of a table");
    app.require_subcommand(1);
    app.fallthrough();
    app.footer("Exit status: 0 done; 1 refused by a rule or problems found; 2 usage error;\n"
               "3 the document or an ini file cannot be read or written; 4 a service or "
               "network operation failed.");
    DeclareDocumentCommands(app);
    DeclareBasicCommands(app);
    DeclareStationCommands(app);
    DeclareRepeaterCommands(app);
    DeclareLogCommands(app);
    DeclareServiceCommands(app);
    DeclareNetworkCommands(app);
    DeclareLanguageCommands(app);
}

int CCliApp::Run(const std::vector<std::string>& args)
{
    m_documentPath.clear();
    m_toolDir.clear();
    m_json = false;
    m_command = nullptr;

    CLI::App app("Edits the radio dispatch gateway's configuration from a terminal.",
                 "ravirazazu-cli");
    Declare(app);
    try
    {
        // The parser takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    }
    catch (const CLI::CallForHelp&)
    {
        // The whole command set at once, with every command's arguments.
        m_out << Help(app);
        return kDone;
    }
    catch (const CLI::CallForVersion& version)
    {
        m_out << version.what() << "\n";
        return kDone;
    }
    catch (const CLI::ParseError& error)
    {
        // The innermost command that was named shows its own usage.
        const CLI::App* named = &app;
        std::string name;
        while (!named->get_subcommands().empty())
        {
            named = named->get_subcommands().front();
            name += " " + named->get_name();
        }
        if (named == &app)
            return Usage(error.what());
        return Usage(error.what() + std::string("\nUsage: ravirazazu-cli") + name +
                     Arguments(*named));
    }
    if (m_documentPath.empty())
        m_documentPath = rz::DocumentPath();
    if (m_toolDir.empty())
        m_toolDir = rz::ToolDir();
    if (!m_command)
        return Usage("no command given");
    return m_command();
}

int CCliApp::Usage(const std::string& message)
{
    m_err << "ravirazazu-cli: " << message;
    if (message.empty() || message.back() != '\n')
        m_err << "\n";
    m_err << "Try 'ravirazazu-cli --help'.\n";
    return kUsage;
}

bool CCliApp::LoadDocument()
{
    m_loadResult = m_document.Load(m_documentPath);
    if (!m_loadResult)
        RUROR::CSystemLog::GetInstance()->WriteLog(L"ravirazazu-cli", gLOG_LEVEL, L"%ls %ls",
                                                   rz::Utf8ToWide(m_documentPath).c_str(),
                                                   rz::Utf8ToWide(m_loadResult.Describe()).c_str());
    if (m_loadResult.status == CGatewayConfigDoc::LoadResult::CannotOpen)
    {
        m_err << "ravirazazu-cli: " << m_documentPath << " " << m_loadResult.Describe() << "\n";
        return false;
    }
    return true;
}

bool CCliApp::LoadDocumentForChange()
{
    if (!LoadDocument())
        return false;
    if (!m_loadResult)
    {
        m_err << "ravirazazu-cli: " << m_documentPath << " " << m_loadResult.Describe()
              << "; not changed, since what could not be read would be lost\n";
        return false;
    }
    return true;
}

int CCliApp::Change(const std::string& what, const std::function<int(CFileChanges&)>& apply)
{
    if (!LoadDocumentForChange())
        return kDocumentError;
    LoadToolLanguage();
    CFileChanges changes;
    if (const int status = apply(changes); status != kDone)
        return status;
    const auto written = changes.Commit(&m_document);
    const std::string outcome = written ? "saved" : written.Describe();
    RUROR::CSystemLog::GetInstance()->WriteLog(
        L"ravirazazu-cli", gLOG_LEVEL, L"%ls: %ls %ls", rz::Utf8ToWide(what).c_str(),
        rz::Utf8ToWide(m_documentPath).c_str(), rz::Utf8ToWide(outcome).c_str());
    if (!written)
    {
        m_err << "ravirazazu-cli: " << outcome << "\n";
        return kDocumentError;
    }
    return kDone;
}

int CCliApp::SaveModel(const ISettingsModel& model, CFileChanges& changes)
{
    const auto refusals = model.Validate();
    for (const CRefusal& refusal : refusals)
        m_err << "ravirazazu-cli: " << Describe(refusal) << "\n";
    if (!refusals.empty())
        return kRefused;
    for (const CHint& hint : model.Hints())
        m_err << "ravirazazu-cli: " << hint.field << ": " << Text(hint.textId) << "\n";
    model.Save(m_document, ToolFiles(), changes);
    return kDone;
}

std::optional<std::wstring> CCliApp::Typed(const fields::Rule& rule, const std::string& value)
{
    auto typed = fields::TypeInto(rule, rz::Utf8ToWide(value));
    if (!typed)
    {
        Usage(std::string(rule.key) + ": the field does not take " + value);
        return std::nullopt;
    }
    if (rz::WideToUtf8(*typed) != value)
        m_out << rule.key << ": " << value << " -> " << rz::WideToUtf8(*typed) << "\n";
    return typed;
}

void CCliApp::LoadToolLanguage()
{
    m_language.LoadFile(lang::LanguageFilePath(m_toolDir, m_document), m_document, m_toolDir);
}

std::string CCliApp::Text(int id) const
{
    return rz::WideToUtf8(m_language.LookupOrBuiltin(std::to_wstring(id)));
}

std::wstring CCliApp::Lookup(int id) const
{
    return m_language.Lookup(std::to_wstring(id));
}

std::wstring CCliApp::Lookup(const std::wstring& id) const
{
    return m_language.Lookup(id);
}

std::optional<bool> CCliApp::ParseSwitch(const std::string& value)
{
    for (const char* on : {"1", "on", "true", "yes"})
        if (rz::EqualsNoCase(value, on))
            return true;
    for (const char* off : {"0", "off", "false", "no"})
        if (rz::EqualsNoCase(value, off))
            return false;
    return std::nullopt;
}

std::string CCliApp::Describe(const CRefusal& refusal) const
{
    std::string about = refusal.field;
    if (!refusal.subject.empty())
        about += (about.empty() ? "" : "=") + rz::WideToUtf8(refusal.subject);
    // A message that only a language file supplies is named by its number without one.
    std::string text = Text(refusal.textId);
    if (text.empty())
        text = "message " + std::to_string(refusal.textId);
    return (about.empty() ? "" : about + ": ") + text;
}

int CCliApp::Refused(const CRefusal& refusal)
{
    m_err << "ravirazazu-cli: " << Describe(refusal) << "\n";
    return kRefused;
}
