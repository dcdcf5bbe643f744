#pragma once
// The output formats, the choice lists of the six parameter fields and the
// defaults each format writes into them. Every other piece reads its
// extensions, encoders and defaults from here. The first nine formats are the
// original ones with their fixed lists; the seven after them (H.264, H.265
// and VP9 video, AAC, FLAC, Opus and WAV sound) are single runs of coder
// with lists of their own, which keep the source's values by default.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

inline constexpr int kFormatCount = 16;
// The formats before this index take the original lists and commands.
inline constexpr int kFirstCurrentFormat = 9;

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
    kMp4H264 = 9,
    kMp4H265 = 10,
    kWebmVp9 = 11,
    kM4a = 12,
    kFlac = 13,
    kOpus = 14,
    kWav = 15,
};

enum class Encoder { None, Conv, Coder, Coder2 };

struct OutputFormat {
    std::string_view listText;   // entry of cmbOF
    std::string_view extension;  // ".rmvb", ...
    Encoder stageOne;
    Encoder stageTwo;  // None for the single-stage formats
    bool soundOnly;    // the output holds no picture
};

// Texts a format writes into the parameter fields. Null pointers (the video
// fields of the sound-only formats, the bitrate of the lossless ones) leave
// the field as it is; a channel position of -1 too.
struct FormatDefaults {
    const char* videoBitrate;
    const char* frameRate;
    const char* videoSize;
    const char* sampleRate;
    const char* audioBitrate;
    int channelPosition;
};

// Nullptr when index is outside the catalogue.
const OutputFormat* outputFormat(int index);
const FormatDefaults* formatDefaults(int index);

// True for the formats whose stage one writes the intermediate file.
bool isTwoStage(int index);

// Image name of an encoder on this platform ("conv", "coder", "coder2").
const char* encoderImageName(Encoder encoder);

// The text cmbS shows for "keep the source size".
inline constexpr std::string_view kSourceSize = "原始大小";

// The texts of the later formats' lists that keep the source's value or, for
// the video bitrate, let the encoder choose by quality; and the channel list
// position that keeps the source's channels.
inline constexpr std::string_view kAutomaticBitrate = "自动";
inline constexpr std::string_view kSourceFrameRate = "原始帧率";
inline constexpr std::string_view kSourceSampleRate = "原始频率";
inline constexpr int kSourceChannels = 2;

// True for the formats after the original nine.
bool isCurrentFormat(int index);

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

// The list a field offers while `formatIndex` is chosen: the original lists
// for the original formats, the later formats' own for theirs. Nullptr where
// the format leaves the field as it is (the video fields of a sound-only
// format, the bitrate of a lossless one) and for an index outside the
// catalogue.
const std::vector<std::string>* choiceList(int formatIndex, Field field);

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
// ("原始大小") it is the only field read. An index outside the catalogue
// reads all.
FieldUse fieldUse(int formatIndex, std::string_view sizeText, Field field);

// The parameters a format's defaults give, starting from `current` (whose
// video fields the sound-only formats keep). An index outside the catalogue
// returns `current` unchanged.
ParameterTexts withFormatDefaults(int index, ParameterTexts current);

}  // namespace tessaro
