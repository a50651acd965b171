#pragma once

#include "model/Choices.h"
#include "model/FieldFilters.h"
#include "model/RecordList.h"
#include "model/SettingsModel.h"

#include <string>
#include <vector>

// One radio server of the Basic Settings list.
struct RadioServerRecord
{
    std::wstring used; // the document's Used text; empty for a server added here ("TRUE" on save)
    std::wstring ipAddress;
    std::wstring ipPort;

    bool operator==(const RadioServerRecord&) const = default;
};

// The Basic Settings: the gateway's local endpoint, the radio servers it connects to, the
// voice codec, the speed unit of telemetry GPS data (kept in Gateway.ini) and two GPS/RRS
// switches. It reads its part of the document, applies the page's rules and writes it back;
// the page and the command line both work through it.
class CBasicSettings : public ISettingsModel
{
public:
    // The page's messages.
    static constexpr int kTooManyServers = 10038;
    static constexpr int kAddressExists = 10006;
    static constexpr int kIpRequired = 10013;  // hint: Local IP is empty
    static constexpr int kOddVoipPort = 10027; // hint: the VOIP port is odd
    static constexpr int kPortRange = 10008;   // refusal: a port no port field would show
    static constexpr size_t kMaxServers = 5;
    static constexpr int kMinRows = 6;

    // The page's fields; their keys are the command line's names.
    static const fields::Rule& LocalIpField();
    static const fields::Rule& LocalPortField();
    static const fields::Rule& VoipPortField();
    static const fields::Rule& ServerIpField();
    static const fields::Rule& ServerPortField();
    // The codecs (VocCodec values) and the speed units (SPEEDUNIT values, texts 10211-10213).
    static const CChoiceTable& Codecs();
    static const CChoiceTable& SpeedUnits();

    std::wstring localIp = L"127.0.0.1";
    std::wstring localPort = L"0";
    std::wstring voipPort = L"19000";
    bool gpsTracking = false; // KeepUnsubscribedGPSData
    bool rrsDisabled = false; // KeepRRSRetryTime
    size_t codec = 0;         // index into Codecs()
    size_t speedUnit = 0;     // index into SpeedUnits()

    CBasicSettings();

    // The document's values (defaults where absent) and the speed unit of Gateway.ini; an
    // unusable speed unit (not 0 to 2) reads as the first entry.
    void Load(const CGatewayConfigDoc& document, const CToolFiles& files) override;
    // An unusable speed unit is written back as 0, as the page does when it opens.
    void Repair(const CToolFiles& files, CFileChanges& changes) const override;
    // 10013 while Local IP is empty, 10027 while the VOIP port is odd.
    std::vector<CHint> Hints() const override;
    // Every address and port must be one its field could show.
    std::vector<CRefusal> Validate() const override;
    // The active servers are replaced by the list (inactive entries stay where they are),
    // the settings are set or created, and the speed unit staged for Gateway.ini.
    void Save(CGatewayConfigDoc& document, const CToolFiles& files,
              CFileChanges& changes) const override;

    // The radio servers in list order.
    const CRecordList<RadioServerRecord>& Servers() const { return m_servers; }
    // 10038 when the list holds five servers already.
    CRefusal CanAdd() const { return m_servers.CanAdd(); }
    // An entry's Save in add mode: incomplete (an address or port is empty) does nothing;
    // the list full or the address taken is refused.
    CEntryResult AddServer(const std::wstring& ipAddress, const std::wstring& ipPort);
    // An entry's Save in change mode: the row gets a new address and port in its place. The
    // address must be new: keeping it (changing only the port) is refused like a duplicate.
    CEntryResult ChangeServer(size_t row, const std::wstring& ipAddress,
                              const std::wstring& ipPort);
    void RemoveServers(const std::vector<size_t>& rows) { m_servers.Remove(rows); }

    // The codec whose name occurs in a VocCodec value, the first one when none does.
    static size_t CodecFrom(std::wstring_view value);

    bool operator==(const CBasicSettings&) const = default;

private:
    CRecordList<RadioServerRecord> m_servers;
    bool m_speedUnitUnusable = false;
};
