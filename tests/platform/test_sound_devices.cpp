#include "TestSupport.h"
#include "model/StationSettings.h"
#include "platform/SoundDevices.h"

#include <algorithm>
#include <gtest/gtest.h>

using rz::SoundDeviceNames;
using rz::SoundDirection;
using rztest::CTempDir;

namespace
{

bool Has(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::count(names.begin(), names.end(), name) == 1;
}

bool Lacks(const std::vector<std::wstring>& names, const std::wstring& name)
{
    return std::find(names.begin(), names.end(), name) == names.end();
}

// An ALSA configuration of the test's own: ALSA reads ~/.asoundrc (and the XDG one) after
// its global files, so a temporary HOME brings devices that need no sound card.
class SoundDevicesTest : public ::testing::Test
{
protected:
    SoundDevicesTest()
        : m_home("HOME", m_dir.Path()), m_config("XDG_CONFIG_HOME", m_dir.File("config"))
    {
    }
    void WriteConfig(const std::string& text) { rztest::WriteBytes(m_dir.File(".asoundrc"), text); }

    CTempDir m_dir;
    rztest::CScopedEnv m_home;
    rztest::CScopedEnv m_config;
};

// Null devices (they discard what is played and record silence) with the hints a sound
// card's devices have. A hint's fields are the text "NAME...|DESC...|IOID..." that
// snd_device_name_get_hint reads; a card's device that only records carries "|IOIDInput",
// and a description ending in it gives a configured device the same mark.
const char* const kDevices = R"(
pcm.rz_headset {
    type null
    hint {
        show on
        description "Desk Headset (USB)
Analog output / input"
    }
}
pcm.rz_mic {
    type null
    hint.show on
    hint.description "Desk Microphone|IOIDInput"
}
pcm.rz_mic_twin {
    type null
    hint.description "Desk Microphone|IOIDInput"
}
pcm.rz_speaker {
    type null
    hint.description "Wall Speaker|IOIDOutput"
}
pcm.rz_hidden {
    type null
    hint {
        show off
        description "Hidden Device"
    }
}
pcm.rz_nameless {
    type null
}
)";

} // namespace

TEST_F(SoundDevicesTest, MicrophonesRecordSpeakersPlayAndBothWaysIsInBoth)
{
    WriteConfig(kDevices);
    const std::vector<std::wstring> microphones = SoundDeviceNames(SoundDirection::Input);
    const std::vector<std::wstring> speakers = SoundDeviceNames(SoundDirection::Output);
    const std::wstring headset = L"Desk Headset (USB) - Analog output / input";

    EXPECT_TRUE(Has(microphones, headset));
    EXPECT_TRUE(Has(microphones, L"Desk Microphone")); // once, though two devices have it
    EXPECT_TRUE(Lacks(microphones, L"Wall Speaker"));
    EXPECT_TRUE(Has(speakers, headset));
    EXPECT_TRUE(Has(speakers, L"Wall Speaker"));
    EXPECT_TRUE(Lacks(speakers, L"Desk Microphone"));
    for (const auto* names : {&microphones, &speakers})
    {
        EXPECT_TRUE(Lacks(*names, L"Hidden Device"));
        EXPECT_TRUE(std::none_of(names->begin(), names->end(),
                                 [](const std::wstring& name) {
                                     return name.empty() || name.find(L'\n') != std::wstring::npos;
                                 }));
    }
    // Both directions from one reading are the same lists.
    const rz::CSoundDevices both = rz::SoundDevices();
    EXPECT_EQ(both.inputs, microphones);
    EXPECT_EQ(both.outputs, speakers);
}

TEST_F(SoundDevicesTest, EachCallReadsTheDevicesAgain)
{
    WriteConfig(kDevices);
    ASSERT_TRUE(Has(SoundDeviceNames(SoundDirection::Output), L"Wall Speaker"));
    WriteConfig("pcm.rz_new {\n type null\n hint.description \"Plugged In Later\"\n}\n");
    const std::vector<std::wstring> speakers = SoundDeviceNames(SoundDirection::Output);
    EXPECT_TRUE(Has(speakers, L"Plugged In Later"));
    EXPECT_TRUE(Lacks(speakers, L"Wall Speaker"));

    // The stored speaker of a station, unplugged since: still offered and selected, so that
    // changing the station keeps it.
    const CDeviceChoices choices = CStationSettings::DeviceChoices(speakers, L"Wall Speaker");
    ASSERT_TRUE(choices.selected);
    EXPECT_EQ(choices.names[*choices.selected], L"Wall Speaker");
    EXPECT_TRUE(Has(choices.names, L"Plugged In Later"));
}

TEST(SoundDeviceName, TheLinesOfADescriptionAreJoined)
{
    EXPECT_EQ(rz::SoundDeviceName("HDA Intel PCH, ALC892 Analog\nFront output / input"),
              L"HDA Intel PCH, ALC892 Analog - Front output / input");
    EXPECT_EQ(rz::SoundDeviceName(" USB Audio \n\n  Default Audio Device\n"),
              L"USB Audio - Default Audio Device");
    EXPECT_EQ(rz::SoundDeviceName("Lautsprecher (Gr\xc3\xbcn)"), L"Lautsprecher (Gr\u00fcn)");
    EXPECT_EQ(rz::SoundDeviceName("\n \n"), L"");
}
