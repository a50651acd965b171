#pragma once

#include <string>
#include <vector>

class CGatewayConfigDoc;

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
class CBasicSettings
{
public:
    static constexpr size_t kMaxServers = 5;
    static constexpr unsigned kSpeedUnits = 3; // km/h, mph, knots (texts 10211 to 10213)

    enum class Codec
    {
        G711u,
        G711a,
        G729a,
    };

    // What a rule said. Refusals are text IDs of the message to show.
    enum Result
    {
        Done = 0,
        Incomplete = 1, // an empty address or port: nothing happens
        NotFound = 2,   // no server has that address
        TooManyServers = 10038,
        AddressExists = 10006,
    };

    std::wstring localIp = L"127.0.0.1";
    std::wstring localPort = L"0";
    std::wstring voipPort = L"19000";
    bool gpsTracking = false; // KeepUnsubscribedGPSData
    bool rrsDisabled = false; // KeepRRSRetryTime
    Codec codec = Codec::G711u;
    unsigned speedUnit = 0;

    // Reads the settings: the document's values (defaults where absent) and the speed unit of
    // Gateway.ini. An unusable speed unit (not 0 to 2) is taken as 0 and, with repair on,
    // written back to the file at once (as the page does when it opens); speedUnitRewritten
    // tells when that happened.
    void Load(const CGatewayConfigDoc& document, const std::string& gatewayIniPath,
              bool* speedUnitRewritten = nullptr, bool repair = true);

    // Writes the settings into the document (creating what is missing) and the speed unit
    // into Gateway.ini (only when it differs from the file's). False when Gateway.ini cannot
    // be written; the document has been updated all the same.
    bool Save(CGatewayConfigDoc& document, const std::string& gatewayIniPath) const;

    // The radio servers in list order.
    const std::vector<RadioServerRecord>& Servers() const { return m_servers; }
    bool HasServer(const std::wstring& ipAddress) const;
    // Whether one more server may be added (TooManyServers when the list is full).
    Result CanAdd() const;
    // Adds a server at the end of the list.
    Result AddServer(const std::wstring& ipAddress, const std::wstring& ipPort);
    // Gives the server at oldAddress a new address and port, in its place. The address must
    // be new: changing only the port is refused like a duplicate.
    Result ChangeServer(const std::wstring& oldAddress, const std::wstring& ipAddress,
                        const std::wstring& ipPort);
    Result RemoveServer(const std::wstring& ipAddress);

    // VocCodec text: "0:G.711u", "8:G.711a" or "18:G.729a".
    static std::wstring CodecValue(Codec codec);
    // The codec whose name occurs in a VocCodec value, G.711u when none does.
    static Codec CodecFrom(std::wstring_view value);
    static const wchar_t* CodecName(Codec codec);

    bool operator==(const CBasicSettings&) const = default;

private:
    std::vector<RadioServerRecord> m_servers;
};

// Gateway.ini in the tool's folder, found without regard to case.
std::string GatewayIniPath(const std::string& toolDir);
