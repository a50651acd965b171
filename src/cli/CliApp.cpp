#include "cli/CliApp.h"

#include "config/SystemLog.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <cstring>

namespace
{

constexpr const char* kVersion = "0.1.0";

// Takes "--name VALUE" or "--name=VALUE" at args[i]; advances i past what it used.
bool TakeOption(const std::vector<std::string>& args, size_t& i, const std::string& name,
                std::string& value, bool& missingValue)
{
    const std::string& arg = args[i];
    if (arg == name)
    {
        if (i + 1 >= args.size())
        {
            missingValue = true;
            return true;
        }
        value = args[++i];
        return true;
    }
    if (arg.rfind(name + "=", 0) == 0)
    {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

CCliApp::CCliApp(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

const std::vector<CCliApp::Command>& CCliApp::Commands()
{
    static const std::vector<Command> commands = {
        {"check", &CCliApp::Check,
         "check                 load; print a summary and every problem found"},
        {"rewrite", &CCliApp::Rewrite,
         "rewrite               load and save unchanged (what Save does when nothing changed)"},
        {"basic", &CCliApp::Basic,
         "basic show | basic set KEY=VALUE...\n"
         "                        keys: local-ip local-port voip-port codec speed-unit\n"
         "                        gps-tracking rrs-disabled"},
        {"server", &CCliApp::Server,
         "server list | add IP PORT | change IP NEW-IP PORT | remove IP...\n"
         "                        the radio servers (at most 5)"},
        {"service", &CCliApp::Service,
         "service status | start | stop | restart\n"
         "                        the gateway service (systemd unit)"},
        {"adapters", &CCliApp::Adapters,
         "adapters              each adapter: name, first IPv4 address, hardware address,\n"
         "                        the radio address derived from it"},
        {"test-connection", &CCliApp::TestConnection,
         "test-connection IP    the dispatch-station connection test for the station IP"},
        {"language", &CCliApp::Language,
         "language list | text ID | set NAME\n"
         "                        the language files; a text as the window shows it;\n"
         "                        choose the language (by language or display name)"},
    };
    return commands;
}

int CCliApp::Run(const std::vector<std::string>& args)
{
    m_documentPath.clear();
    m_toolDir.clear();
    m_json = false;
    size_t i = 0;
    for (; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        bool missingValue = false;
        if (TakeOption(args, i, "--document", m_documentPath, missingValue) ||
            TakeOption(args, i, "--tool-dir", m_toolDir, missingValue))
        {
            if (missingValue)
                return Usage(arg + " needs a value");
            continue;
        }
        if (arg == "--json")
        {
            m_json = true;
            continue;
        }
        if (arg == "--help" || arg == "-h")
        {
            PrintHelp();
            return kDone;
        }
        if (arg == "--version")
        {
            m_out << "ravirazazu-cli " << kVersion << "\n";
            return kDone;
        }
        if (arg.rfind("--", 0) == 0)
            return Usage("unknown option " + arg);
        break;
    }
    if (i >= args.size())
        return Usage("no command given");
    if (m_documentPath.empty())
        m_documentPath = rz::DocumentPath();
    if (m_toolDir.empty())
        m_toolDir = rz::ToolDir();

    const std::string& name = args[i];
    const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                        args.end());
    for (const Command& command : Commands())
    {
        if (name == command.name)
            return (this->*command.handler)(rest);
    }
    return Usage("unknown command " + name);
}

int CCliApp::Usage(const std::string& message)
{
    m_err << "ravirazazu-cli: " << message << "\nTry 'ravirazazu-cli --help'.\n";
    return kUsage;
}

void CCliApp::PrintHelp()
{
    m_out << "Usage: ravirazazu-cli [--document PATH] [--tool-dir DIR] [--json] COMMAND ...\n"
             "\n"
             "Edits the radio dispatch gateway's configuration from a terminal.\n"
             "\n"
             "Options:\n"
             "  --document PATH  the configuration document (default: "
          << rz::DocumentPath()
          << ")\n"
             "  --tool-dir DIR   the folder with the ini files and language/ (default: the\n"
             "                   program's own folder)\n"
             "  --json           print one JSON object instead of a table\n"
             "  --help, --version\n"
             "\n"
             "Commands:\n";
    for (const Command& command : Commands())
        m_out << "  " << command.synopsis << "\n";
    m_out << "\n"
             "Exit status: 0 done; 1 refused by a rule or problems found; 2 usage error;\n"
             "3 the document cannot be read or written; 4 a service or network operation failed.\n";
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

int CCliApp::SaveDocument(const std::string& what)
{
    const bool saved = m_document.Save() >= 1;
    const std::string outcome = saved ? "saved" : std::strerror(m_document.LastSaveError());
    RUROR::CSystemLog::GetInstance()->WriteLog(
        L"ravirazazu-cli", gLOG_LEVEL, L"%ls: %ls %ls", rz::Utf8ToWide(what).c_str(),
        rz::Utf8ToWide(m_documentPath).c_str(), rz::Utf8ToWide(outcome).c_str());
    if (!saved)
    {
        m_err << "ravirazazu-cli: cannot write " << m_documentPath << ": " << outcome << "\n";
        return kDocumentError;
    }
    return kDone;
}

void CCliApp::LoadToolLanguage()
{
    m_language.LoadFile(lang::LanguageFilePath(m_toolDir, m_document), m_document, m_toolDir);
}

std::string CCliApp::Text(int id) const
{
    return rz::WideToUtf8(m_language.Lookup(std::to_wstring(id)));
}
