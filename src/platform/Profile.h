#pragma once

#include <string>

// The user's own profile: what Windows keeps in win.ini, kept here in
// $XDG_CONFIG_HOME/RaviraZazu/profile.ini.
namespace rz
{

// The profile file's path.
std::string ProfilePath();

// A value of the profile, or def when absent, cut to maxChars characters.
std::wstring GetProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& def, size_t maxChars = 65535);

// Stores a value, creating the folder and file when needed. False when it cannot be written.
bool WriteProfileString(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value);

} // namespace rz
