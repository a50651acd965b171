#pragma once

#include "config/GatewayConfigDoc.h"
#include "model/SettingsModel.h"

#include <string>
#include <vector>

// What a loaded configuration document holds, counted the way the pages read it, and the
// problems that a person should know of before the tool writes it back.
struct CDocumentSummary
{
    int radioServers = 0;           // entries of RadioServers
    int activeRadioServers = 0;     // the ones the Basic page lists (Used TRUE)
    int dispatchStations = 0;       // entries of Stations that are not repeater slots
    int activeDispatchStations = 0; // the ones the station page lists
    int repeaters = 0;              // repeaters (distinct radio IDs of the repeater slot entries)
    int repeaterSlots = 0;          // slot entries that belong to a repeater
    std::wstring language;          // the Language element's text
    // Faults of the document itself: unreadable parts, missing elements, duplicates.
    std::vector<std::string> problems;
    // Values that a page would refuse to save (shown with the page's message).
    std::vector<CRefusal> refusals;
    // What a save will change that a person may not expect.
    std::vector<std::string> notes;

    // Counts and checks a document after its load, the way the pages read it; loadResult is
    // what the load reported.
    static CDocumentSummary Of(const CGatewayConfigDoc& document,
                               const CGatewayConfigDoc::LoadResult& loadResult,
                               const CToolFiles& files);
};
