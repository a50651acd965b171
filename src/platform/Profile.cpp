#include "platform/Profile.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace rz
{

std::string ProfilePath()
{
    return JoinPath(JoinPath(UserConfigDir(), "RaviraZazu"), "profile.ini");
}

std::wstring GetProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& def, size_t maxChars)
{
    return GetPrivateProfileString(section, key, def, ProfilePath(), maxChars);
}

bool WriteProfileString(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value)
{
    if (!MakeDirs(JoinPath(UserConfigDir(), "RaviraZazu")))
        return false;
    return WritePrivateProfileString(section, key, value, ProfilePath());
}

} // namespace rz
