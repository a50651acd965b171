#pragma once

#include "config/GatewayConfigDoc.h"

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

    int Check(const std::vector<std::string>& args);
    int Rewrite(const std::vector<std::string>& args);

    // Loads the document; on failure reports it and returns false.
    bool LoadDocument(CGatewayConfigDoc::LoadResult& result);
    int Usage(const std::string& message);
    void PrintHelp();

    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_documentPath;
    std::string m_toolDir;
    bool m_json = false;
    CGatewayConfigDoc m_document;
};
