#pragma once

#include <string>
#include <string_view>
#include <vector>

// The machine's sound devices, as the speaker and microphone lists of the dispatch stations
// offer them: ALSA's PCM device hints (the devices of every card and those the ALSA
// configuration defines with a hint, ~/.asoundrc included).
namespace rz
{

// Which way a device carries sound.
enum class SoundDirection
{
    Input,  // records: a microphone
    Output, // plays: a speaker
};

// The names of the devices that work in the direction (a hint without IOID works both ways),
// read anew from ALSA on every call, each name once, in ALSA's order. A device without a
// description has no name and is left out, as is everything when ALSA cannot list devices.
std::vector<std::wstring> SoundDeviceNames(SoundDirection direction);

// The microphones and the speakers from one reading of ALSA's hints: a reading costs a few
// milliseconds, so a caller that wants both asks once.
struct CSoundDevices
{
    std::vector<std::wstring> inputs;  // microphones
    std::vector<std::wstring> outputs; // speakers
};
CSoundDevices SoundDevices();

// The name shown for a hint's description. ALSA describes a card's device in two lines (the
// card, then what the device is: "HDA Intel PCH, ALC892 Analog" and "Front output / input");
// both are kept, joined by " - ", since the first line alone is the same for every device of
// a card. Blank lines and blanks around each line are dropped.
std::wstring SoundDeviceName(std::string_view description);

} // namespace rz
