#include "formats/FormatCatalogue.h"

#include "base/Platform.h"

namespace tessaro {
namespace {

constexpr std::array<OutputFormat, kFormatCount> kFormats = {{
    {"RMVB(RealPlayerRMVB)", ".rmvb", Encoder::Conv, Encoder::Coder},
    {"RM(RealPlayerRM)", ".rm", Encoder::Conv, Encoder::Coder},
    {"MPG(MPEG2)", ".mpg", Encoder::Conv, Encoder::None},
    {"AVI(Windows Media Player格式)", ".avi", Encoder::Conv, Encoder::None},
    {"MP4(高清MPEG4格式)", ".mp4", Encoder::Conv, Encoder::None},
    {"MOV(QuickTime格式)", ".mov", Encoder::Conv, Encoder::Coder},
    {"MP4(手机MP4格式)", ".mp4", Encoder::Conv, Encoder::Coder2},
    {"3GP(手机3GP格式)", ".3gp", Encoder::Conv, Encoder::Coder2},
    {"MP3(纯音频格式)", ".mp3", Encoder::Coder, Encoder::None},
}};

constexpr std::array<FormatDefaults, kFormatCount> kDefaults = {{
    {"1200", "29", "原始大小", "44100", "320", 1},
    {"1200", "29", "原始大小", "44100", "320", 1},
    {"600", "24", "原始大小", "28000", "64", 1},
    {"600", "24", "原始大小", "28000", "64", 1},
    {"1200", "29", "原始大小", "48000", "320", 1},
    {"256", "29", "原始大小", "48000", "64", 1},
    {"128", "29", "320x240", "8000", "12.2", 0},
    {"128", "29", "320x240", "8000", "12.2", 0},
    {nullptr, nullptr, nullptr, "48000", "320", 1},
}};

// What the output has for a field its commands do not read.
constexpr std::string_view kKeepsFrameRate = "源文件的帧率";
constexpr std::string_view kKeepsSize = "源文件的尺寸";
constexpr std::string_view kKeepsSampleRate = "源文件的声音频率";
constexpr std::string_view kKeepsChannels = "源文件的声道";
constexpr std::string_view kEncoderDefault = "编码器默认的视频比特率";
constexpr std::string_view kNoVideo = "纯音频，没有视频";
constexpr std::string_view kRead;  // the field reaches a command

// Per format, in the order of Field: what stage one and stage two splice
// (Commands.cpp). Stage one of the two-stage formats reads nothing and keeps
// the source's frame rate; their stage two reads what is not noted here.
using FieldRow = std::array<std::string_view, kFieldCount>;
constexpr std::array<FieldRow, kFormatCount> kFieldUse = {{
    {kRead, kKeepsFrameRate, kRead, kRead, kRead, kRead},                           // RMVB
    {kRead, kKeepsFrameRate, kRead, kRead, kRead, kRead},                           // RM
    {kRead, kRead, kKeepsSize, kKeepsSampleRate, kRead, kKeepsChannels},            // MPG
    {kRead, kRead, kKeepsSize, kKeepsSampleRate, kRead, kKeepsChannels},            // AVI
    {kRead, kKeepsFrameRate, kKeepsSize, kKeepsSampleRate, kRead, kKeepsChannels},  // MP4 HD
    {kEncoderDefault, kKeepsFrameRate, kRead, "48000 Hz", "128 kbit/s", "双声道"},  // MOV
    {kEncoderDefault, kKeepsFrameRate, kRead, "8000 Hz", "12.2 kbit/s", "单声道"},  // MP4 phone
    {kEncoderDefault, kKeepsFrameRate, kRead, "8000 Hz", "12.2 kbit/s", "单声道"},  // 3GP
    {kNoVideo, kNoVideo, kNoVideo, kRead, kRead, kRead},                            // MP3
}};
// RMVB and RM at the source size: the fixed template of stage two.
constexpr FieldRow kRealAtSourceSize = {"1200 kbit/s",    kKeepsFrameRate, kRead,
                                        kKeepsSampleRate, "128 kbit/s",    "双声道"};

}  // namespace

const OutputFormat* outputFormat(int index) {
    return index >= 0 && index < kFormatCount ? &kFormats[index] : nullptr;
}

const FormatDefaults* formatDefaults(int index) {
    return index >= 0 && index < kFormatCount ? &kDefaults[index] : nullptr;
}

bool isTwoStage(int index) {
    const OutputFormat* format = outputFormat(index);
    return format && format->stageTwo != Encoder::None;
}

const char* encoderImageName(Encoder encoder) {
    switch (encoder) {
        case Encoder::Conv:
            return platform::kConvExe;
        case Encoder::Coder:
            return platform::kCoderExe;
        case Encoder::Coder2:
            return platform::kCoder2Exe;
        case Encoder::None:
            break;
    }
    return "";
}

const std::vector<std::string>& formatList() {
    static const std::vector<std::string> list = [] {
        std::vector<std::string> texts;
        for (const auto& format : kFormats) texts.emplace_back(format.listText);
        return texts;
    }();
    return list;
}

const std::vector<std::string>& videoBitrateList() {
    static const std::vector<std::string> list = {"40",  "80",  "120",  "128", "256",
                                                  "384", "512", "600",  "640", "768",
                                                  "800", "900", "1000", "1500"};
    return list;
}

const std::vector<std::string>& frameRateList() {
    static const std::vector<std::string> list = {"15", "23", "29"};
    return list;
}

const std::vector<std::string>& videoSizeList() {
    static const std::vector<std::string> list = {
        "原始大小", "128x96",  "160x120", "176x144", "320x180", "320x240", "352x288",
        "640x272",  "480x480", "640x360", "640x480", "720x306", "720x320"};
    return list;
}

const std::vector<std::string>& sampleRateList() {
    static const std::vector<std::string> list = {"48000", "44100", "32000", "24000",
                                                  "22050", "16000", "12050", "8000"};
    return list;
}

const std::vector<std::string>& audioBitrateList() {
    static const std::vector<std::string> list = {"10.2", "12.2", "32",  "48",  "56",
                                                  "64",   "80",   "96",  "112", "128",
                                                  "192",  "224",  "256", "320"};
    return list;
}

const std::vector<std::string>& channelList() {
    static const std::vector<std::string> list = {"单声道", "双声道"};
    return list;
}

ParameterTexts withFormatDefaults(int index, ParameterTexts current) {
    const FormatDefaults* d = formatDefaults(index);
    if (!d) return current;
    if (d->videoBitrate) current.videoBitrate = d->videoBitrate;
    if (d->frameRate) current.frameRate = d->frameRate;
    if (d->videoSize) current.videoSize = d->videoSize;
    current.sampleRate = d->sampleRate;
    current.audioBitrate = d->audioBitrate;
    current.channelPosition = d->channelPosition;
    return current;
}

FieldUse fieldUse(int formatIndex, std::string_view sizeText, Field field) {
    if (formatIndex < 0 || formatIndex >= kFormatCount) return {};
    const bool fixedReal = (formatIndex == kRmvb || formatIndex == kRm) && sizeText == kSourceSize;
    const std::string_view ownKept = kFieldUse[size_t(formatIndex)][size_t(field)];
    const std::string_view kept = fixedReal ? kRealAtSourceSize[size_t(field)] : ownKept;
    return {kept.empty(), kept, fixedReal && !kept.empty() && ownKept.empty()};
}

}  // namespace tessaro
