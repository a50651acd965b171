#pragma once

#include <map>
#include <string>
#include <vector>

class CGatewayConfigDoc;
namespace rz
{
class CIniFile;
}

// The files of the tool's own folder that the settings pages read and write. The window and
// the command line each make one for the folder they run from and hand it to every model.
struct CToolFiles
{
    std::string toolDir;

    // Gateway.ini (the speed unit), RaviraZazu_Gateway.ini (the RTP types) and
    // MXRServiceDog.ini (the service name), each found without regard to case.
    std::string GatewayIni() const;
    std::string RaviraZazuGatewayIni() const;
    std::string ServiceDogIni() const;
};

// A rule's refusal: the message to show (a text ID) and what it is about: the value (an
// address, a port) and the field it was meant for (its command-line name), where there is
// one. No refusal has text ID 0.
struct CRefusal
{
    CRefusal() = default;
    CRefusal(int id, std::wstring about = {}, std::string fieldKey = {})
        : textId(id), subject(std::move(about)), field(std::move(fieldKey))
    {
    }

    int textId = 0;
    std::wstring subject;
    std::string field;

    explicit operator bool() const { return textId != 0; }
    bool operator==(const CRefusal&) const = default;
};

// What an entry editor's Save achieved: the entry was kept, it was incomplete and stays open
// without a word (the radio server entry), or a rule refused it (the refusal says why).
struct CEntryResult
{
    enum Status
    {
        Done,
        Incomplete,
        Refused,
    };
    Status status = Done;
    CRefusal refusal;

    static CEntryResult From(const CRefusal& refusal)
    {
        return refusal ? CEntryResult{Refused, refusal} : CEntryResult{};
    }
    bool operator==(const CEntryResult&) const = default;
};

// A note on a value that does not block saving: a balloon tip on the field in the window, a
// line on the terminal.
struct CHint
{
    std::string field; // the field's command-line name
    int textId = 0;

    bool operator==(const CHint&) const = default;
};

// The changes a save or a repair makes to the tool's own ini files, kept in memory until the
// caller writes them all at once (with the document, when there is one to write). Nothing is
// written before Commit, so a command that is refused leaves every file as it was.
class CFileChanges
{
public:
    CFileChanges();
    ~CFileChanges();
    CFileChanges(const CFileChanges&) = delete;
    CFileChanges& operator=(const CFileChanges&) = delete;

    // Sets an ini key, unless the file already says so. A file that exists but cannot be read
    // is not changed: Commit then fails with the reason, instead of replacing the file by one
    // that holds only this key.
    void SetIniValue(const std::string& path, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value);
    // Whether any file would change.
    bool Empty() const;
    // The files that would change.
    std::vector<std::string> Paths() const;

    // What a commit did: error is 0, or the errno of the first file that could not be read or
    // written (named by path). On failure the document is not written.
    struct CCommit
    {
        int error = 0;
        std::string path;
        explicit operator bool() const { return error == 0; }
        // "cannot write PATH: reason", for the terminal and the log.
        std::string Describe() const;
    };
    // Writes every changed ini file and the document (when one is given) all or nothing:
    // each new content is written in full before any file is replaced, so a file that cannot
    // be written leaves every file as it was.
    CCommit Commit(CGatewayConfigDoc* document);
    // The files of the last commit that had to be written in place, not atomically (their
    // folder may not be written); the caller logs them.
    const std::vector<std::string>& InPlace() const { return m_inPlace; }

private:
    struct CPending;
    std::map<std::string, CPending> m_files;
    std::vector<std::string> m_inPlace;
};

// What every settings page's model offers. The page widget and its command-line command both
// call it, and hold no rule of their own:
//   - Load runs when the page is created and before any command shows or changes anything;
//   - Repair is what the page corrects in the tool's files when it opens (the window writes it
//     at once, a command only together with its own change);
//   - Hints are shown while typing and printed by the commands; they never block a save;
//   - Validate runs before every save: a refusal stops the save, nothing is written;
//   - Save writes the model into the document (creating what is missing) and stages the
//     page's own files into changes. The caller writes the files.
class ISettingsModel
{
public:
    virtual ~ISettingsModel() = default;

    // Reads the model's part of the document and of the tool's files; writes nothing.
    virtual void Load(const CGatewayConfigDoc& document, const CToolFiles& files) = 0;
    // Stages the corrections that opening the page makes; nothing by default.
    virtual void Repair(const CToolFiles& files, CFileChanges& changes) const;
    // Notes on the current values; none by default.
    virtual std::vector<CHint> Hints() const;
    // Values no field of the page would produce; none by default.
    virtual std::vector<CRefusal> Validate() const;
    // Writes the model into the document and stages its own files.
    virtual void Save(CGatewayConfigDoc& document, const CToolFiles& files,
                      CFileChanges& changes) const = 0;

    // Models compare by their values; the interface holds none.
    bool operator==(const ISettingsModel&) const = default;
};
