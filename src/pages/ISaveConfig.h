#pragma once

// A settings page that writes its part of the configuration.
class ISaveConfig
{
public:
    virtual ~ISaveConfig() = default;
    // Called by the main window's save, in page order, only for pages whose window exists.
    // Writes the page's values into the in-memory document (and the page's own files);
    // false stops the save and the main window reports "Failed to save!".
    virtual bool SaveConfig() = 0;
};
