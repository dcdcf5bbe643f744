#pragma once
// The nine output formats, the fixed choice lists of the six parameter fields
// and the defaults each format writes into them. Every other piece reads its
// extensions, encoders and defaults from here.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

inline constexpr int kFormatCount = 9;

// Index of each format in the cmbOF list.
enum FormatIndex : int {
    kRmvb = 0,
    kRm = 1,
    kMpg = 2,
    kAvi = 3,
    kMp4Hd = 4,
    kMov = 5,
    kMp4Phone = 6,
    k3gp = 7,
    kMp3 = 8,
};

enum class Encoder { None, Conv, Coder, Coder2 };

struct OutputFormat {
    std::string_view listText;   // entry of cmbOF
    std::string_view extension;  // ".rmvb", ...
    Encoder stageOne;
    Encoder stageTwo;  // None for the single-stage formats
};

// Texts a format writes into the parameter fields. Null pointers (the video
// fields of MP3) leave the field as it is.
struct FormatDefaults {
    const char* videoBitrate;
    const char* frameRate;
    const char* videoSize;
    const char* sampleRate;
    const char* audioBitrate;
    int channelPosition;
};

// Nullptr when index is outside 0..8.
const OutputFormat* outputFormat(int index);
const FormatDefaults* formatDefaults(int index);

// True for the formats whose stage one writes the intermediate file.
bool isTwoStage(int index);

// Image name of an encoder on this platform ("conv", "coder", "coder2").
const char* encoderImageName(Encoder encoder);

// The text cmbS shows for "keep the source size".
inline constexpr std::string_view kSourceSize = "原始大小";

// Choice lists, in order.
const std::vector<std::string>& formatList();        // cmbOF
const std::vector<std::string>& videoBitrateList();  // cmbVB
const std::vector<std::string>& frameRateList();     // cmbF
const std::vector<std::string>& videoSizeList();     // cmbS
const std::vector<std::string>& sampleRateList();    // cmbR
const std::vector<std::string>& audioBitrateList();  // cmbBR
const std::vector<std::string>& channelList();       // cmbChannel

// The parameter texts as the command builders read them: five texts as they
// stand and the channel list position (-1 when a text was typed).
struct ParameterTexts {
    std::string videoBitrate;  // cmbVB
    std::string frameRate;     // cmbF
    std::string videoSize;     // cmbS
    std::string sampleRate;    // cmbR
    std::string audioBitrate;  // cmbBR
    int channelPosition = 1;   // cmbChannel
};

// The six parameter fields, in the order of the panel.
enum class Field { VideoBitrate, FrameRate, VideoSize, SampleRate, AudioBitrate, Channels };
inline constexpr int kFieldCount = 6;

// How the commands of a format use one parameter field: they read it, or
// they do not and the output has `kept` instead ("源文件的帧率", "48000 Hz").
struct FieldUse {
    bool read = true;
    std::string_view kept;  // empty when read
    // Unread only because RMVB or RM keep the source size: a chosen size
    // makes them read it.
    bool onlyAtSourceSize = false;
};

// The use of `field` by the stage-one and stage-two commands of
// `formatIndex` when cmbS shows `sizeText`. The size decides RMVB's and RM's
// template, so for them it is always read, and at the source size
// ("原始大小") it is the only field read. An index outside 0..8 reads all.
FieldUse fieldUse(int formatIndex, std::string_view sizeText, Field field);

// The parameters a format's defaults give, starting from `current` (whose
// video fields MP3 keeps). An index outside 0..8 returns `current` unchanged.
ParameterTexts withFormatDefaults(int index, ParameterTexts current);

}  // namespace tessaro
