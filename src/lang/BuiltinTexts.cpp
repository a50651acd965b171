#include "lang/BuiltinTexts.h"

namespace lang
{
namespace
{

// The label rows, then the message rows (there is no 10007). The texts are kept exactly as
// the gateway's own tools show them, double spaces and spelling included.
constexpr BuiltinText kTable[kBuiltinSlots] = {
    {L"1", L"Save"},
    {L"2", L"Close"},
    {L"3", L"Start"},
    {L"4", L"Stop"},
    {L"102", L"Configuration Tool"},
    {L"103", L"Gateway Config Tool"},
    {L"104", L"Server Config Tool"},
    {L"129", L"Basic Settings"},
    {L"130", L"Database Settings"},
    {L"131", L"Geofencing Alarm Settings"},
    {L"132", L"Sip Settings"},
    {L"133", L"Others"},
    {L"150", L"Language Settings"},
    {L"153", L"Dispatch Station Settings"},
    {L"187", L"Basic Settings"},
    {L"1006", L"Server IP"},
    {L"1007", L"Server Port"},
    {L"1008", L"Local IP"},
    {L"1009", L"Local Port"},
    {L"1010", L"Local VOIP Port"},
    {L"1011", L"Language"},
    {L"1014", L"Buffer Time"},
    {L"1015", L"Message for Alarm"},
    {L"1016", L"Message for Alarm Canceling"},
    {L"1026", L"Connection Test"},
    {L"1027", L"Database Import"},
    {L"1029", L"Database Alias"},
    {L"1030", L"Database Account"},
    {L"1031", L"Password"},
    {L"1032", L"Equipped with Connect"},
    {L"1033", L"Active SIP"},
    {L"1034", L"Server Connection Check"},
    {L"1035", L"Call Test"},
    {L"1036", L"SIP Equipped IP"},
    {L"1037", L"SIP Local Port"},
    {L"1038", L"Message Prefix"},
    {L"1039", L"SIP ID"},
    {L"1040", L"SIP Password"},
    {L"1041", L"SIP Domain"},
    {L"1046", L"Edit"},
    {L"1047", L"Add"},
    {L"1049", L"Del"},
    {L"1050", L"Connection Test"},
    {L"1053", L"Virtual IP"},
    {L"1054", L"Alias"},
    {L"1055", L"ID"},
    {L"1059", L"Activate Microphone"},
    {L"1060", L"GPS Dispatch Station"},
    {L"1061", L"Speaker"},
    {L"1062", L"Microphone"},
    {L"1063", L"Database Server"},
    {L"1064", L"Buffer Distance"},
    {L"1065", L"Buffer Time"},
    {L"1068", L"File Size"},
    {L"1069", L"Log Type"},
    {L"1071", L"VOIP Port"},
    {L"1072", L"Command Port"},
    {L"1076", L"Subnet ID"},
    {L"1084", L"Server List:"},
    {L"1086", L"Add"},
    {L"1087", L"Del"},
    {L"1088", L"Edit"},
    {L"1091", L"Record File Path"},
    {L"1110", L"PseudoID"},
    {L"1111", L"Save"},
    {L"1112", L"Cancel"},
    {L"1113", L"M"},
    {L"1114", L"M"},
    {L"1115", L"S"},
    {L"1116", L"Use SIP"},
    {L"1117", L"Audio Codecs"},
    {L"1119", L"Audio Codecs"},
    {L"10001", L"Less than  128 charactors!"},
    {L"10002", L"Less than  1000"},
    {L"10003", L"Range: 1-1800"},
    {L"10004", L"The IP already exists"},
    {L"10005", L"Less than 128 characters"},
    {L"10006", L"Please change the IP"},
    {L"10008", L"Range: 1-65535"},
    {L"10009", L"The profile cannot be found"},
    {L"10010", L"Failed to read the profile"},
    {L"10011", L"Connected  Successful"},
    {L"10012", L"Failed to connect"},
    {L"10013", L"The IP is required"},
    {L"10014", L"The database is required"},
    {L"10015", L"The account is required"},
    {L"10016", L"The password is required"},
    {L"10017", L"Failed to save the buffer file"},
    {L"10018", L"Overwrite?"},
    {L"10019", L"Failed to create the buffer file"},
    {L"10020", L"Database imported successfully"},
    {L"10021", L"Failed to import the database"},
    {L"10022", L"The value is required"},
    {L"10023", L"Failed to open the port"},
    {L"10024", L"Connected successfully"},
    {L"10025", L"Range: 1-100"},
    {L"10026", L"Failed to read the profile"},
    {L"10027", L"Should be even numbers!"},
    {L"10028", L"Address already in use!"},
    {L"10029", L"Save Successful!"},
    {L"10030", L"Failed to save!"},
    {L"10031", L"Default Value:"},
    {L"10032", L"Failed to find the station!"},
    {L"10033", L"Error"},
    {L"10034", L"Info"},
    {L"10035", L"System"},
    {L"10036", L"Warning"},
    {L"10037", L"Please select a directory!"},
    {L"10038", L"You can only add no more than 5 radio servers."},
};

} // namespace

const BuiltinText* BuiltinTable()
{
    return kTable;
}

std::map<std::wstring, std::wstring> LoadBuiltinTable()
{
    std::map<std::wstring, std::wstring> map;
    for (size_t slot = 0; slot < kBuiltinSlots; ++slot)
    {
        const BuiltinText& row = kTable[slot];
        if (row.id == nullptr || *row.id == L'\0')
            break;
        map.emplace(row.id, row.text != nullptr ? row.text : L"");
    }
    return map;
}

} // namespace lang
