#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "lang/Language.h"
#include "model/LanguageChoice.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

void CCliApp::DeclareLanguageCommands(CLI::App& app)
{
    auto* language = app.add_subcommand("language", "the language files and texts");
    language->require_subcommand(1);
    language->add_subcommand("list", "the language files (display name and language name)")
        ->callback([this] { m_command = [this] { return LanguageList(); }; });
    auto argument = std::make_shared<std::string>();
    auto* text = language->add_subcommand("text", "a text as the window shows it in the "
                                                  "document's language");
    text->add_option("ID", *argument)->required();
    text->callback([this, argument]
                   { m_command = [this, argument] { return LanguageText(*argument); }; });
    auto* set = language->add_subcommand("set", "choose the language, by its language or "
                                                "display name");
    set->add_option("NAME", *argument)->required();
    set->callback([this, argument]
                  { m_command = [this, argument] { return LanguageSet(*argument); }; });
}

namespace
{

// The files in the order the page's list shows them: by display name without regard to case.
std::vector<LanguageFileEntry> InListOrder(const CLanguageChoice& choice)
{
    std::vector<LanguageFileEntry> files = choice.Files();
    std::stable_sort(files.begin(), files.end(),
                     [](const LanguageFileEntry& a, const LanguageFileEntry& b)
                     { return rz::LessNoCase(a.display, b.display); });
    return files;
}

} // namespace

int CCliApp::LanguageList()
{
    // The list needs only the tool's folder; the document, when it can be read, says which
    // language the page selects.
    m_document.Load(m_documentPath);
    CLanguageChoice choice;
    choice.Load(m_document, ToolFiles());
    const auto files = InListOrder(choice);
    const auto selected = choice.SelectedIndex();

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("current").String(rz::WideToUtf8(choice.CurrentLanguage()));
        json.Key("languages").BeginArray();
        for (size_t i = 0; i < files.size(); ++i)
        {
            json.BeginObject();
            json.Key("display").String(rz::WideToUtf8(files[i].display));
            json.Key("language").String(rz::WideToUtf8(files[i].language));
            json.Key("file").String(files[i].path);
            json.Key("current").Bool(selected == i);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    if (files.empty())
    {
        m_out << "No language files in " << rz::ResolvePathNoCase(m_toolDir, "Language") << "\n";
        return kDone;
    }
    size_t width = 7;
    for (const auto& file : files)
        width = std::max(width, file.display.size());
    m_out << "  " << std::string("Display") << std::string(width - 7 + 2, ' ') << "Language\n";
    for (size_t i = 0; i < files.size(); ++i)
    {
        // Pad by characters, not bytes, so that names outside ASCII line up too.
        const size_t shown = files[i].display.size();
        m_out << (selected == i ? "* " : "  ") << rz::WideToUtf8(files[i].display)
              << std::string(width - std::min(width, shown) + 2, ' ')
              << rz::WideToUtf8(files[i].language) << "\n";
    }
    return kDone;
}

int CCliApp::LanguageText(const std::string& id)
{
    if (!LoadDocument())
        return kDocumentError;
    LoadToolLanguage();
    // As the window shows it: an ID without a text in the language shows nothing.
    m_out << rz::WideToUtf8(m_language.Lookup(rz::Utf8ToWide(id))) << "\n";
    return kDone;
}

int CCliApp::LanguageSet(const std::string& name)
{
    CLanguageChoice choice;
    std::optional<std::wstring> display;
    const int status = Change("language set",
                              [&](CFileChanges& changes) -> int
                              {
                                  choice.Load(m_document, ToolFiles());
                                  display = choice.FindForCli(rz::Utf8ToWide(name));
                                  if (!display)
                                  {
                                      m_err << "ravirazazu-cli: no language file has the name "
                                            << name << "; choose one of:";
                                      for (const auto& file : choice.Files())
                                          m_err << " " << rz::WideToUtf8(file.language);
                                      m_err << "\n";
                                      return kRefused;
                                  }
                                  choice.Choose(*display);
                                  return SaveModel(choice, changes);
                              });
    if (status != kDone)
        return status;
    m_out << "Language set to " << rz::WideToUtf8(*choice.Chosen()) << " ("
          << rz::WideToUtf8(*display) << ")\n";
    // The tool finds the file again by the language name plus ".xml".
    if (!rz::FileExists(lang::LanguageFilePath(m_toolDir, m_document)))
        m_err << "ravirazazu-cli: note: the file is named " << choice.PathOf(*display)
              << ", not after its language; the tool will fall back to English.XML\n";
    return kDone;
}
