// Language files: the text table loader (CLanguage::LoadFile) and the section reader
// (LoadLanguageSection) on the same bytes, against the sample document.
//
// Properties: nothing crashes; the table is never empty (the built-in English texts stand in
// for a file that supplies none); the section reader keeps no empty ID or value.

#include "FuzzSupport.h"
#include "config/GatewayConfigDoc.h"
#include "lang/Language.h"
#include "lang/LanguageSection.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{

// The sample document, loaded once from a copy in the work folder.
const CGatewayConfigDoc& Document()
{
    static CGatewayConfigDoc document;
    if (!document.IsLoaded())
    {
        const std::string path = rzfuzz::WorkDir() + "/GatewayConfig.XML";
        rzfuzz::WriteFile(path, rzfuzz::ReadFile(RZ_SAMPLE_DOCUMENT));
        RZ_FUZZ_CHECK(document.Load(path));
    }
    return document;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = rzfuzz::WorkDir() + "/Fuzzed.xml";
    rzfuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

    lang::CLanguage language;
    language.LoadFile(path, Document(), rzfuzz::WorkDir());
    RZ_FUZZ_CHECK(language.LoadedPath() == path);
    RZ_FUZZ_CHECK(!language.Table().empty());
    (void)language.Lookup(L"Display");
    (void)language.LookupOrBuiltin(L"1000");
    (void)language.NormalFont();
    (void)language.TitleFont();
    language.Close();

    for (const wchar_t* name : {L"Language", L"LANGUAGE", L""})
    {
        const lang::CLanguageSection section = lang::LoadLanguageSection(path, name);
        for (const auto& [id, value] : section.items)
        {
            RZ_FUZZ_CHECK(!id.empty() && !value.empty());
            RZ_FUZZ_CHECK(section.Value(id) == value);
        }
    }
    return 0;
}
