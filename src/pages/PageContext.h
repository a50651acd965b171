#pragma once

#include "model/SettingsModel.h"

class CGatewayConfigDoc;

// What the window that hosts the pages gives each of them: the document they read and change,
// the tool's files, and, while a save runs, where they stage the changes of their own files.
// The host owns it; pages keep a pointer for their whole life.
struct CPageContext
{
    CGatewayConfigDoc* document = nullptr;
    CToolFiles files;
    // Set by the host for the length of a save: the changes it writes with the document.
    CFileChanges* changes = nullptr;
};
