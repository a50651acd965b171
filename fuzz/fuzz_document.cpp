// The configuration document: load from a file, the bytes a save writes, save (temporary file
// and rename) and load again.
//
// Properties: nothing crashes; a document that loaded completely is saved as bytes that load
// completely again, as the same tree with the same content after the root, and that a second
// save writes unchanged.

#include "FuzzSupport.h"
#include "config/GatewayConfigDoc.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = rzfuzz::WorkDir() + "/GatewayConfig.XML";
    rzfuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

    CGatewayConfigDoc document;
    const CGatewayConfigDoc::LoadResult loaded = document.Load(path);
    RZ_FUZZ_CHECK(loaded.status != CGatewayConfigDoc::LoadResult::CannotOpen);
    (void)loaded.Describe();
    const std::string saved = document.SavedBytes();
    if (!loaded)
        return 0;

    RZ_FUZZ_CHECK(document.Save() == 1);
    RZ_FUZZ_CHECK(rzfuzz::ReadFile(path) == saved);

    CGatewayConfigDoc again;
    const CGatewayConfigDoc::LoadResult reloaded = again.Load(path);
    RZ_FUZZ_CHECK(reloaded.status == CGatewayConfigDoc::LoadResult::Ok);
    RZ_FUZZ_CHECK(!reloaded.languageAdded);
    RZ_FUZZ_CHECK(reloaded.trailingContent == loaded.trailingContent);
    RZ_FUZZ_CHECK(reloaded.loneSurrogates == loaded.loneSurrogates);
    RZ_FUZZ_CHECK(again.Root() == document.Root());
    RZ_FUZZ_CHECK(again.SavedBytes() == saved);

    // Reload reads what is on disk now, through the same document.
    const CGatewayConfigDoc::LoadResult third = document.Reload(path);
    RZ_FUZZ_CHECK(third.status == CGatewayConfigDoc::LoadResult::Ok);
    RZ_FUZZ_CHECK(document.Root() == again.Root());
    return 0;
}
