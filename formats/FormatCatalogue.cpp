#include "formats/FormatCatalogue.h"

#include "base/Platform.h"

namespace tessaro {
namespace {

constexpr std::array<OutputFormat, kFormatCount> kFormats = {{
    {"RMVB(RealPlayerRMVB)", ".rmvb", Encoder::Conv, Encoder::Coder, false},
    {"RM(RealPlayerRM)", ".rm", Encoder::Conv, Encoder::Coder, false},
    {"MPG(MPEG2)", ".mpg", Encoder::Conv, Encoder::None, false},
    {"AVI(Windows Media Player格式)", ".avi", Encoder::Conv, Encoder::None, false},
    {"MP4(高清MPEG4格式)", ".mp4", Encoder::Conv, Encoder::None, false},
    {"MOV(QuickTime格式)", ".mov", Encoder::Conv, Encoder::Coder, false},
    {"MP4(手机MP4格式)", ".mp4", Encoder::Conv, Encoder::Coder2, false},
    {"3GP(手机3GP格式)", ".3gp", Encoder::Conv, Encoder::Coder2, false},
    {"MP3(纯音频格式)", ".mp3", Encoder::Coder, Encoder::None, true},
    {"MP4(H.264+AAC 通用格式)", ".mp4", Encoder::Coder, Encoder::None, false},
    {"MP4(H.265+AAC 高压缩格式)", ".mp4", Encoder::Coder, Encoder::None, false},
    {"WebM(VP9+Opus 网页格式)", ".webm", Encoder::Coder, Encoder::None, false},
    {"M4A(AAC 纯音频格式)", ".m4a", Encoder::Coder, Encoder::None, true},
    {"FLAC(无损纯音频格式)", ".flac", Encoder::Coder, Encoder::None, true},
    {"Opus(纯音频格式)", ".opus", Encoder::Coder, Encoder::None, true},
    {"WAV(无压缩纯音频格式)", ".wav", Encoder::Coder, Encoder::None, true},
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
    {"自动", "原始帧率", "原始大小", "原始频率", "160", kSourceChannels},
    {"自动", "原始帧率", "原始大小", "原始频率", "160", kSourceChannels},
    {"自动", "原始帧率", "原始大小", "48000", "128", kSourceChannels},
    {nullptr, nullptr, nullptr, "原始频率", "256", kSourceChannels},
    {nullptr, nullptr, nullptr, "原始频率", nullptr, kSourceChannels},
    {nullptr, nullptr, nullptr, "48000", "160", kSourceChannels},
    {nullptr, nullptr, nullptr, "原始频率", nullptr, kSourceChannels},
}};

// What the output has for a field its commands do not read.
constexpr std::string_view kKeepsFrameRate = "源文件的帧率";
constexpr std::string_view kKeepsSize = "源文件的尺寸";
constexpr std::string_view kKeepsSampleRate = "源文件的声音频率";
constexpr std::string_view kKeepsChannels = "源文件的声道";
constexpr std::string_view kEncoderDefault = "编码器默认的视频比特率";
constexpr std::string_view kNoVideo = "纯音频，没有视频";
constexpr std::string_view kOpusRate = "48000 Hz（Opus 的频率）";
constexpr std::string_view kLossless = "无损压缩，比特率随声音而定";
constexpr std::string_view kPcm = "16 位 PCM，比特率由声音频率和声道决定";
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
    {kRead, kRead, kRead, kRead, kRead, kRead},                                     // H.264
    {kRead, kRead, kRead, kRead, kRead, kRead},                                     // H.265
    {kRead, kRead, kRead, kOpusRate, kRead, kRead},                                 // VP9
    {kNoVideo, kNoVideo, kNoVideo, kRead, kRead, kRead},                            // M4A
    {kNoVideo, kNoVideo, kNoVideo, kRead, kLossless, kRead},                        // FLAC
    {kNoVideo, kNoVideo, kNoVideo, kOpusRate, kRead, kRead},                        // Opus
    {kNoVideo, kNoVideo, kNoVideo, kRead, kPcm, kRead},                             // WAV
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

bool isCurrentFormat(int index) { return index >= kFirstCurrentFormat && index < kFormatCount; }

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

namespace {

// The later formats' lists: the source's value (or the encoder's choice by
// quality) first, then the usual steps of today's players.
const std::vector<std::string> kCurrentVideoBitrates = {"自动", "500",  "1000", "1500", "2000",
                                                        "2500", "3000", "4000", "5000", "8000"};
const std::vector<std::string> kCurrentFrameRates = {"原始帧率", "15", "24", "25",
                                                     "30",       "50", "60"};
const std::vector<std::string> kCurrentSizes = {"原始大小", "1920x1080", "1280x720", "854x480",
                                                "640x360"};
const std::vector<std::string> kCurrentSampleRates = {"原始频率", "48000", "44100", "32000",
                                                      "22050",    "16000", "8000"};
const std::vector<std::string> kAacBitrates = {"64", "96", "128", "160", "192", "256", "320"};
const std::vector<std::string> kOpusBitrates = {"32", "48", "64", "96", "128", "160", "192", "256"};
const std::vector<std::string> kCurrentChannels = {"单声道", "双声道", "原始声道"};

const std::vector<std::string>* currentList(int index, Field field) {
    const bool opus = index == kWebmVp9 || index == kOpus;
    switch (field) {
        case Field::VideoBitrate:
            return outputFormat(index)->soundOnly ? nullptr : &kCurrentVideoBitrates;
        case Field::FrameRate:
            return outputFormat(index)->soundOnly ? nullptr : &kCurrentFrameRates;
        case Field::VideoSize:
            return outputFormat(index)->soundOnly ? nullptr : &kCurrentSizes;
        case Field::SampleRate:
            return &kCurrentSampleRates;
        case Field::AudioBitrate:
            if (index == kFlac || index == kWav) return nullptr;
            return opus ? &kOpusBitrates : &kAacBitrates;
        case Field::Channels:
            return &kCurrentChannels;
    }
    return nullptr;
}

const std::vector<std::string>* originalList(int index, Field field) {
    const bool video =
        field == Field::VideoBitrate || field == Field::FrameRate || field == Field::VideoSize;
    if (video && index == kMp3) return nullptr;
    switch (field) {
        case Field::VideoBitrate:
            return &videoBitrateList();
        case Field::FrameRate:
            return &frameRateList();
        case Field::VideoSize:
            return &videoSizeList();
        case Field::SampleRate:
            return &sampleRateList();
        case Field::AudioBitrate:
            return &audioBitrateList();
        case Field::Channels:
            return &channelList();
    }
    return nullptr;
}

}  // namespace

const std::vector<std::string>* choiceList(int formatIndex, Field field) {
    if (!outputFormat(formatIndex)) return nullptr;
    return isCurrentFormat(formatIndex) ? currentList(formatIndex, field)
                                        : originalList(formatIndex, field);
}

ParameterTexts withFormatDefaults(int index, ParameterTexts current) {
    const FormatDefaults* d = formatDefaults(index);
    if (!d) return current;
    if (d->videoBitrate) current.videoBitrate = d->videoBitrate;
    if (d->frameRate) current.frameRate = d->frameRate;
    if (d->videoSize) current.videoSize = d->videoSize;
    if (d->sampleRate) current.sampleRate = d->sampleRate;
    if (d->audioBitrate) current.audioBitrate = d->audioBitrate;
    if (d->channelPosition >= 0) current.channelPosition = d->channelPosition;
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
