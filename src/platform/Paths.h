#pragma once

#include <string>

// Where the tool finds its files on Linux. Paths are UTF-8 byte strings joined with '/'.
namespace rz
{

// The folder of the running program file, with a trailing '/'.
std::string ToolDir();

// The machine-wide application-data folder: $RAVIRAZAZU_COMMON_APPDATA when set, else /var/lib.
std::string CommonAppDataDir();

// The folder of the configuration document below the application-data folder, without a
// trailing '/'.
std::string DocumentFolder();

// The full path of GatewayConfig.XML.
std::string DocumentPath();

// Creates the document's folders where they are missing. False, with errno's text in
// error, when one cannot be made.
bool EnsureDocumentFolders(std::string* error = nullptr);

// $XDG_CONFIG_HOME, else ~/.config.
std::string UserConfigDir();

// $XDG_STATE_HOME/RaviraZazu/log, else ~/.local/state/RaviraZazu/log.
std::string LogFolder();

// $XDG_RUNTIME_DIR, else /tmp.
std::string RuntimeDir();

// Joins two path pieces with exactly one '/'.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates a folder and its missing parents (mode 0755). True when it exists afterwards.
bool MakeDirs(const std::string& path);

} // namespace rz
