#include "cli/CliApp.h"
#include "cli/JsonWriter.h"
#include "lang/LanguageSection.h"
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

int CCliApp::LanguageList()
{
    // The current language is marked when the document can be read; the list itself needs
    // only the tool's folder.
    std::wstring current;
    if (m_document.Load(m_documentPath).status != CGatewayConfigDoc::LoadResult::CannotOpen &&
        m_document.Language() != nullptr)
        current = m_document.Language()->value;
    const auto choices = lang::ListLanguages(m_toolDir);

    if (m_json)
    {
        CJsonWriter json;
        json.BeginObject();
        json.Key("current").String(rz::WideToUtf8(current));
        json.Key("languages").BeginArray();
        for (const auto& choice : choices)
        {
            json.BeginObject();
            json.Key("display").String(rz::WideToUtf8(choice.display));
            json.Key("language").String(rz::WideToUtf8(choice.language));
            json.Key("file").String(choice.path);
            json.Key("current").Bool(choice.language == current);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        m_out << json.Text() << "\n";
        return kDone;
    }
    if (choices.empty())
    {
        m_out << "No language files in " << rz::ResolvePathNoCase(m_toolDir, "Language") << "\n";
        return kDone;
    }
    size_t width = 7;
    for (const auto& choice : choices)
        width = std::max(width, rz::WideToUtf8(choice.display).size());
    m_out << "  " << std::string("Display") << std::string(width - 7 + 2, ' ') << "Language\n";
    for (const auto& choice : choices)
    {
        const std::string display = rz::WideToUtf8(choice.display);
        // Pad by characters, not bytes, so that names outside ASCII line up too.
        const size_t shown = choice.display.size();
        m_out << (choice.language == current ? "* " : "  ") << display
              << std::string(width - std::min(width, shown) + 2, ' ')
              << rz::WideToUtf8(choice.language) << "\n";
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
    const std::wstring wanted = rz::Utf8ToWide(name);
    const auto choices = lang::ListLanguages(m_toolDir);
    auto choice = std::find_if(choices.begin(), choices.end(),
                               [&](const auto& c) { return c.language == wanted; });
    if (choice == choices.end())
        choice = std::find_if(choices.begin(), choices.end(),
                              [&](const auto& c) {
                                  return rz::EqualsNoCase(c.language, wanted) ||
                                         rz::EqualsNoCase(c.display, wanted);
                              });
    const int status = Change("language set",
                              [&](CFileChanges&) -> int
                              {
                                  if (choice == choices.end())
                                  {
                                      m_err << "ravirazazu-cli: no language file has the name "
                                            << name << "; choose one of:";
                                      for (const auto& c : choices)
                                          m_err << " " << rz::WideToUtf8(c.language);
                                      m_err << "\n";
                                      return kRefused;
                                  }
                                  m_document.SetSetting(L"Language", choice->language);
                                  return kDone;
                              });
    if (status != kDone)
        return status;
    m_out << "Language set to " << rz::WideToUtf8(choice->language) << " ("
          << rz::WideToUtf8(choice->display) << ")\n";
    // The tool finds the file again by the language name plus ".xml".
    if (!rz::FileExists(lang::LanguageFilePath(m_toolDir, m_document)))
        m_err << "ravirazazu-cli: note: the file is named " << choice->path
              << ", not after its language; the tool will fall back to English.XML\n";
    return kDone;
}
