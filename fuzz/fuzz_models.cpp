// The settings pages' models on a hostile document: Basic Settings, the dispatch stations and
// the repeaters each read it and write their part back, as the window's Save does.
//
// Properties: nothing crashes; what a save wrote loads completely; the models read it back
// and a second save writes the same bytes (a save reaches a fixed point at once). The one
// exception is a document without GatewayConfig: the save creates it, and only the next load
// adds its Language element, so there the third save must write what the second wrote.

#include "FuzzSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/BasicSettings.h"
#include "model/RepeaterSettings.h"
#include "model/StationSettings.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace
{

// Loads the three models from a document and saves them into it; false when one of them
// refuses the save (a value no field would produce), as the window would.
bool LoadAndSave(CGatewayConfigDoc& document, const CToolFiles& files)
{
    CBasicSettings basic;
    CStationSettings stations;
    CRepeaterSettings repeaters;
    ISettingsModel* const models[] = {&basic, &stations, &repeaters};
    for (ISettingsModel* model : models)
        model->Load(document, files);
    for (const ISettingsModel* model : models)
    {
        if (!model->Validate().empty())
            return false;
    }
    CFileChanges changes;
    for (const ISettingsModel* model : models)
        model->Save(document, files, changes);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const CToolFiles files = []
    {
        const std::string tool = rzfuzz::WorkDir() + "/tool/";
        std::filesystem::create_directories(tool);
        std::filesystem::copy(RZ_SAMPLE_TOOL_DIR, tool,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        return CToolFiles{tool};
    }();
    static const std::string path = rzfuzz::WorkDir() + "/GatewayConfig.XML";
    rzfuzz::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size));

    CGatewayConfigDoc document;
    if (!document.Load(path))
        return 0;
    const bool hadGatewayConfig = document.GatewayConfig() != nullptr;
    if (!LoadAndSave(document, files))
        return 0;
    std::string saved = document.SavedBytes();

    for (int round = 0; round < (hadGatewayConfig ? 1 : 2); ++round)
    {
        rzfuzz::WriteFile(path, saved);
        CGatewayConfigDoc again;
        RZ_FUZZ_CHECK(again.Load(path).status == CGatewayConfigDoc::LoadResult::Ok);
        RZ_FUZZ_CHECK(LoadAndSave(again, files));
        const std::string resaved = again.SavedBytes();
        RZ_FUZZ_CHECK(resaved == saved || (!hadGatewayConfig && round == 0));
        saved = resaved;
    }
    return 0;
}
