#pragma once

#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// The command-line companion: the jobs of the window from a terminal or a script.
class CCliApp
{
public:
    // Exit statuses, the same for every command.
    enum Exit
    {
        kDone = 0,
        kRefused = 1,       // a rule refused the request; the message is on stderr
        kUsage = 2,         // the command line is wrong
        kDocumentError = 3, // the document cannot be read or written
        kOperationFailed = 4,
    };

    CCliApp(std::ostream& out, std::ostream& err);

    // Runs one command line (without the program name) and returns the exit status.
    int Run(const std::vector<std::string>& args);

private:
    using Handler = int (CCliApp::*)(const std::vector<std::string>& args);
    struct Command
    {
        const char* name;
        Handler handler;
        const char* synopsis;
    };
    static const std::vector<Command>& Commands();

    // Commands (each in the source file of its group).
    int Check(const std::vector<std::string>& args);
    int Rewrite(const std::vector<std::string>& args);
    int Language(const std::vector<std::string>& args);
    int LanguageList();
    int LanguageText(const std::string& id);
    int LanguageSet(const std::string& name);
    int Basic(const std::vector<std::string>& args);
    int BasicShow();
    int BasicSet(const std::vector<std::string>& assignments);
    int Server(const std::vector<std::string>& args);
    int Service(const std::vector<std::string>& args);
    int Adapters(const std::vector<std::string>& args);
    int TestConnection(const std::vector<std::string>& args);

    // Loads the document into m_document and m_loadResult; false, reported, when it cannot
    // be opened.
    bool LoadDocument();
    // The same, and also false (reported) when the document was not read completely: a
    // command that changes it would lose what could not be read.
    bool LoadDocumentForChange();
    // Saves the document as the window does and logs it; returns kDone or kDocumentError.
    int SaveDocument(const std::string& what);
    // Loads the document's language, for messages in the same texts as the window.
    void LoadToolLanguage();
    // A text of the document's language, UTF-8.
    std::string Text(int id) const;
    int Usage(const std::string& message);
    void PrintHelp();

    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_documentPath;
    std::string m_toolDir;
    bool m_json = false;
    CGatewayConfigDoc m_document;
    CGatewayConfigDoc::LoadResult m_loadResult;
    lang::CLanguage m_language;
};
