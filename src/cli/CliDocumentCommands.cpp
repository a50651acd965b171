#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "model/DocumentSummary.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>

void CCliApp::DeclareDocumentCommands(CLI::App& app)
{
    app.add_subcommand("check", "load the document; print a summary and every problem found")
        ->callback([this] { m_command = [this] { return Check(); }; });
    app.add_subcommand("rewrite", "load and save unchanged (what Save does when nothing changed)")
        ->callback([this] { m_command = [this] { return Rewrite(); }; });
}

int CCliApp::Check()
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    const CDocumentSummary summary = CDocumentSummary::Of(m_document, m_loadResult, ToolFiles());
    std::vector<std::string> problems = summary.problems;
    for (const CRefusal& refusal : summary.refusals)
        problems.push_back(Describe(refusal) + " (a save refuses this value)");

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("document").String(m_documentPath);
        json.Key("readable").Bool(static_cast<bool>(m_loadResult));
        json.Key("language").String(rz::WideToUtf8(summary.language));
        json.Key("radioServers").BeginObject();
        json.Key("total").Number(summary.radioServers);
        json.Key("active").Number(summary.activeRadioServers);
        json.EndObject();
        json.Key("dispatchStations").BeginObject();
        json.Key("total").Number(summary.dispatchStations);
        json.Key("active").Number(summary.activeDispatchStations);
        json.EndObject();
        json.Key("repeaters").BeginObject();
        json.Key("total").Number(summary.repeaters);
        json.Key("slots").Number(summary.repeaterSlots);
        json.EndObject();
        json.Key("problems").BeginArray();
        for (const auto& problem : problems)
            json.String(problem);
        json.EndArray();
        json.Key("notes").BeginArray();
        for (const auto& note : summary.notes)
            json.String(note);
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
    }
    else
    {
        m_out << "Document:          " << m_documentPath << "\n"
              << "Language:          " << rz::WideToUtf8(summary.language) << "\n"
              << "Radio servers:     " << summary.radioServers << " (" << summary.activeRadioServers
              << " active)\n"
              << "Dispatch stations: " << summary.dispatchStations << " ("
              << summary.activeDispatchStations << " active)\n"
              << "Repeaters:         " << summary.repeaters << " (" << summary.repeaterSlots
              << " slots)\n";
        if (problems.empty())
        {
            m_out << "Problems:          none\n";
        }
        else
        {
            m_out << "Problems:\n";
            for (const auto& problem : problems)
                m_out << "  - " << problem << "\n";
        }
        for (const auto& note : summary.notes)
            m_out << "Note: " << note << "\n";
    }
    if (!m_loadResult)
        return kDocumentError;
    return problems.empty() ? kDone : kRefused;
}

int CCliApp::Rewrite()
{
    const int status = Change("rewrite", [](CFileChanges&) { return kDone; });
    if (status == kDone)
        m_out << "Rewrote " << m_documentPath << "\n";
    return status;
}
