#pragma once

#include <string>

// Where the tool finds its files on Linux. Paths are UTF-8 byte strings joined with '/'.
namespace rz
{

// The tool's own folder, with a trailing '/': the folder of the running program file, unless
// SetToolDir chose another (the command line's --tool-dir, tests).
std::string ToolDir();

// Makes folder the tool's own folder for the rest of the process; empty goes back to the
// program file's folder.
void SetToolDir(const std::string& folder);

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

// The user's private runtime folder: $XDG_RUNTIME_DIR, else /tmp/ravirazazu-UID, which is
// made (mode 0700) when missing.
std::string RuntimeDir();

// Joins two path pieces with exactly one '/'.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates a folder and its missing parents (mode 0755). True when it exists afterwards.
bool MakeDirs(const std::string& path);

} // namespace rz
