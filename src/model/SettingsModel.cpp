#include "model/SettingsModel.h"

#include "config/GatewayConfigDoc.h"
#include "platform/FileIO.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <cstring>

namespace
{

std::string ToolFile(const std::string& toolDir, const std::string& name)
{
    return rz::FindFileNoCase(toolDir, name).value_or(rz::JoinPath(toolDir, name));
}

} // namespace

std::string CToolFiles::GatewayIni() const
{
    return ToolFile(toolDir, "Gateway.ini");
}

std::string CToolFiles::RaviraZazuGatewayIni() const
{
    return ToolFile(toolDir, "RaviraZazu_Gateway.ini");
}

std::string CToolFiles::ServiceDogIni() const
{
    return ToolFile(toolDir, "MXRServiceDog.ini");
}

struct CFileChanges::CPending
{
    rz::CIniFile ini;
    int readError = 0;
    bool changed = false;
};

CFileChanges::CFileChanges() = default;
CFileChanges::~CFileChanges() = default;

void CFileChanges::SetIniValue(const std::string& path, const std::wstring& section,
                               const std::wstring& key, const std::wstring& value)
{
    auto [it, added] = m_files.try_emplace(path);
    CPending& file = it->second;
    if (added)
        file.readError = file.ini.Load(path);
    if (file.readError != 0)
    {
        file.changed = true; // reported by Commit; the file itself stays as it is
        return;
    }
    if (file.ini.Get(section, key) == value)
        return; // the file already says so: it is left untouched
    file.ini.Set(section, key, value);
    file.changed = true;
}

bool CFileChanges::Empty() const
{
    for (const auto& [path, file] : m_files)
        if (file.changed)
            return false;
    return true;
}

std::vector<std::string> CFileChanges::Paths() const
{
    std::vector<std::string> paths;
    for (const auto& [path, file] : m_files)
        if (file.changed)
            paths.push_back(path);
    return paths;
}

std::string CFileChanges::CCommit::Describe() const
{
    return "cannot write " + path + ": " + std::strerror(error);
}

CFileChanges::CCommit CFileChanges::Commit(CGatewayConfigDoc* document)
{
    CCommit result;
    for (const auto& [path, file] : m_files)
    {
        if (file.changed && file.readError != 0)
            return {file.readError, path};
    }
    for (auto& [path, file] : m_files)
    {
        if (!file.changed)
            continue;
        if (const int error = rz::ReplaceFile(path, file.ini.Bytes()); error != 0)
            return {error, path};
        file.changed = false;
    }
    if (document != nullptr && document->Save() < 1)
        return {document->LastSaveError() != 0 ? document->LastSaveError() : EIO, document->Path()};
    return result;
}

void ISettingsModel::Repair(const CToolFiles&, CFileChanges&) const {}

std::vector<CHint> ISettingsModel::Hints() const
{
    return {};
}

std::vector<CRefusal> ISettingsModel::Validate() const
{
    return {};
}
