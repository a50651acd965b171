// The settings pages' models on a hostile document: Basic Settings, the dispatch stations and
// the repeaters each read it and write their part back, as the window's Save does.
//
// Properties: nothing crashes; what a save wrote loads completely; the models read back the
// basic settings, stations, repeaters and ports they saved, and a second save writes the same
// bytes (a save reaches a fixed point at once). The one exception is a document without
// GatewayConfig: the save creates it, and only the next load adds its Language element, so
// there the third save must write what the second wrote.

#include "FuzzSupport.h"
#include "config/GatewayConfigDoc.h"
#include "model/BasicSettings.h"
#include "model/RepeaterSettings.h"
#include "model/StationSettings.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

struct CModels
{
    CBasicSettings basic;
    CStationSettings stations;
    CRepeaterSettings repeaters;
};

// Loads the three models from a document and saves them into it; false when one of them
// refuses the save (a value no field would produce), as the window would.
bool LoadAndSave(CGatewayConfigDoc& document, const CToolFiles& files, CModels& models)
{
    ISettingsModel* const all[] = {&models.basic, &models.stations, &models.repeaters};
    for (ISettingsModel* model : all)
        model->Load(document, files);
    for (const ISettingsModel* model : all)
    {
        if (!model->Validate().empty())
            return false;
    }
    CFileChanges changes;
    for (const ISettingsModel* model : all)
        model->Save(document, files, changes);
    return true;
}

// The repeaters in Radio ID order: a save may append elements, and the list follows the
// document's order.
std::vector<RepeaterInfo> Repeaters(const CRepeaterSettings& settings)
{
    std::vector<RepeaterInfo> rows = settings.Repeaters().Rows();
    std::sort(rows.begin(), rows.end(),
              [](const RepeaterInfo& a, const RepeaterInfo& b) { return a.radioId < b.radioId; });
    return rows;
}

// The basic settings as a save writes them: a server without address or port is left out.
CBasicSettings AsSaved(CBasicSettings settings)
{
    std::vector<size_t> incomplete;
    const std::vector<RadioServerRecord>& rows = settings.Servers().Rows();
    for (size_t row = 0; row < rows.size(); ++row)
    {
        if (rows[row].ipAddress.empty() || rows[row].ipPort.empty())
            incomplete.push_back(row);
    }
    settings.RemoveServers(incomplete);
    return settings;
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
    CModels models;
    if (!LoadAndSave(document, files, models))
        return 0;
    std::string saved = document.SavedBytes();

    for (int round = 0; round < (hadGatewayConfig ? 1 : 2); ++round)
    {
        rzfuzz::WriteFile(path, saved);
        CGatewayConfigDoc again;
        RZ_FUZZ_CHECK(again.Load(path).status == CGatewayConfigDoc::LoadResult::Ok);
        CModels reread;
        RZ_FUZZ_CHECK(LoadAndSave(again, files, reread));
        // What was saved is what is read back.
        RZ_FUZZ_CHECK(Repeaters(reread.repeaters) == Repeaters(models.repeaters));
        RZ_FUZZ_CHECK(reread.repeaters.ports == models.repeaters.ports);
        RZ_FUZZ_CHECK(reread.stations.Stations().Rows() == models.stations.Stations().Rows());
        RZ_FUZZ_CHECK(reread.basic == AsSaved(models.basic));
        const std::string resaved = again.SavedBytes();
        RZ_FUZZ_CHECK(resaved == saved || (!hadGatewayConfig && round == 0));
        saved = resaved;
    }
    return 0;
}
