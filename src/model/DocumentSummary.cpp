#include "model/DocumentSummary.h"

#include "config/DocumentValues.h"
#include "model/BasicSettings.h"
#include "model/RepeaterSettings.h"
#include "model/StationSettings.h"
#include "platform/TextCodec.h"

#include <set>

using docvalues::ChildText;
using RUROR::XNode;

namespace
{

bool IsRepeaterSlot(const XNode* node)
{
    return rz::EqualsNoCase(ChildText(node, L"Type"), L"Repeater");
}

// Row numbers as the lists show them: "1, 3".
std::string Rows(const std::vector<size_t>& rows)
{
    std::string text;
    for (size_t row : rows)
        text += (text.empty() ? "" : ", ") + std::to_string(row + 1);
    return text;
}

} // namespace

CDocumentSummary CDocumentSummary::Of(const CGatewayConfigDoc& document,
                                      const CGatewayConfigDoc::LoadResult& loadResult,
                                      const CToolFiles& files)
{
    CDocumentSummary summary;
    auto& problems = summary.problems;
    if (!loadResult)
        problems.push_back("the document " + loadResult.Describe());
    if (loadResult.trailingContent)
        problems.push_back("content after the root element MXRGateways is not read, but kept");
    if (loadResult.loneSurrogates > 0)
        problems.push_back(std::to_string(loadResult.loneSurrogates) +
                           " broken UTF-16 character(s) (lone surrogates) are kept as they are");

    if (document.GatewayConfig() == nullptr)
    {
        if (loadResult.status != CGatewayConfigDoc::LoadResult::TooShort)
            problems.push_back("GatewayConfig is missing: every setting shows its default");
        return summary;
    }
    if (loadResult.languageAdded)
        problems.push_back("Language was missing: English is used and will be written");
    if (document.Language() != nullptr)
        summary.language = document.Language()->value;

    if (document.RadioServers() == nullptr)
        problems.push_back("GatewayConfig/RadioServers is missing: no radio server is listed");
    else
        summary.radioServers = static_cast<int>(document.RadioServers()->GetChildCount());
    CBasicSettings basic;
    basic.Load(document, files);
    const auto& servers = basic.Servers();
    summary.activeRadioServers = static_cast<int>(servers.Count());
    for (const std::wstring& address : servers.DuplicateKeys())
        problems.push_back("radio server " + rz::WideToUtf8(address) +
                           " is listed more than once (rows " + Rows(servers.RowsWithKey(address)) +
                           ")");
    if (servers.Count() > CBasicSettings::kMaxServers)
        problems.push_back(std::to_string(servers.Count()) +
                           " active radio servers: the page takes no more than " +
                           std::to_string(CBasicSettings::kMaxServers));
    summary.refusals = basic.Validate();

    if (document.Stations() == nullptr)
    {
        problems.push_back(
            "GatewayConfig/QuorixStations/Stations is missing: no station or repeater is listed");
        return summary;
    }
    CRepeaterSettings repeaters;
    repeaters.Load(document, files);
    const RepeaterLoadReport& read = repeaters.LoadReport();
    summary.repeaters = static_cast<int>(repeaters.Repeaters().Count());
    summary.repeaterSlots = read.slotElements;
    if (read.brokenElements == 1)
        problems.push_back("a repeater slot without RadioID or RepeaterGUID is removed at the "
                           "next save");
    else if (read.brokenElements > 1)
        problems.push_back(std::to_string(read.brokenElements) +
                           " repeater slots without RadioID or RepeaterGUID are removed at the "
                           "next save");
    for (const std::wstring& radioId : read.mergedRadioIds)
        summary.notes.push_back("repeater " + rz::WideToUtf8(radioId) +
                                " has slots of more than one RepeaterGUID: the next save keeps "
                                "only those of the last one");
    for (const std::wstring& radioId : read.otherSlotIds)
        summary.notes.push_back("repeater " + rz::WideToUtf8(radioId) +
                                " has a slot whose SlotID is neither 1 nor 2: it is read as "
                                "slot 2 and stays beside the slot 2 that the next save writes");

    for (const XNode* station : document.Stations()->GetChilds())
    {
        // Every entry that is no repeater slot is the station page's: listed, or removed
        // when it saves.
        if (IsRepeaterSlot(station))
            continue;
        ++summary.dispatchStations;
        if (CStationSettings::IsListed(station))
            continue;
        const std::wstring address = ChildText(station, L"IPAddress");
        summary.notes.push_back(
            (address.empty() ? "an entry " + rz::WideToUtf8(station->name) + " without IPAddress"
                             : "dispatch station " + rz::WideToUtf8(address)) +
            " is not active and is removed when the stations are saved");
    }
    CStationSettings stations;
    stations.Load(document, files);
    const auto& listed = stations.Stations();
    summary.activeDispatchStations = static_cast<int>(listed.Count());
    for (const std::wstring& address : listed.DuplicateKeys())
        problems.push_back("dispatch station " + rz::WideToUtf8(address) + " is listed more " +
                           "than once (rows " + Rows(listed.RowsWithKey(address)) + ")");
    return summary;
}
