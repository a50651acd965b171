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
    for (const auto& [path, file] : m_files)
    {
        if (file.changed && file.readError != 0)
            return {file.readError, path};
    }
    // Every new content is written and synced first; only then are the files replaced, one
    // after the other. A file that cannot be written stops everything before any is replaced.
    std::vector<rz::CFileReplacement> replacements;
    std::vector<std::string> paths;
    for (const auto& [path, file] : m_files)
    {
        if (!file.changed)
            continue;
        replacements.emplace_back();
        if (const int error = replacements.back().Prepare(path, file.ini.Bytes()); error != 0)
            return {error, path};
        paths.push_back(path);
    }
    if (document != nullptr)
    {
        replacements.emplace_back();
        if (const int error = document->PrepareSave(replacements.back()); error != 0)
            return {error, document->Path()};
        paths.push_back(document->Path());
    }
    for (size_t i = 0; i < replacements.size(); ++i)
    {
        if (const int error = replacements[i].Commit(); error != 0)
            return {error, paths[i]};
        if (replacements[i].InPlace())
            m_inPlace.push_back(paths[i]);
    }
    for (auto& [path, file] : m_files)
        file.changed = false;
    return {};
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
