#pragma once
// Reading the panel's values out of the encoders' options. The texts reach
// the encoders as the user typed them; a value that is no number, or none an
// encoder could use, fails the run with a reason naming the field and the
// text, in the window's language.

#include <string>

namespace tessaro {

// The captions of the parameter fields, as the reasons name them.
inline constexpr const char* kVideoBitrateField = "视频比特率";
inline constexpr const char* kFrameRateField = "帧率";
inline constexpr const char* kVideoSizeField = "视频尺寸";
inline constexpr const char* kSampleRateField = "声音频率";
inline constexpr const char* kAudioBitrateField = "声音比特率";
inline constexpr const char* kChannelField = "声道";
// Not a field of the panel: the batch chooses it.
inline constexpr const char* kThreadsField = "线程数";
inline constexpr int kMostThreads = 64;

struct NumberValue {
    double value = 0;
    std::string error;  // non-empty: the reason the text is refused
};

// A plain decimal number ("64", "12.2", "-5") within [min, max]; suffix, when
// given, is one trailing character the text may end with ("k" of "128k") and
// is dropped first.
NumberValue readNumber(const char* field, const std::string& text, double min, double max,
                       char suffix = 0);

struct SizeValue {
    int width = 0, height = 0;
    std::string error;
};

// "WIDTHxHEIGHT", each side a whole number from 16 to 4096.
SizeValue readSize(const std::string& text);

// The reason for an option whose value is missing.
std::string emptyField(const char* field);

// The text with A to Z in lower case (option and tag names, extensions).
std::string asciiLower(std::string text);

// The extension of a path's file name, lower case with its dot (".mp4");
// "" when it has none.
std::string extensionOf(const std::string& path);

// A number as the messages show it: 32, 12.2, 23.976.
std::string numberText(double value);

// One line saying that the encoder uses another value than the one given.
std::string adjustedNote(const char* field, const std::string& given, const std::string& used,
                         const std::string& codec);

}  // namespace tessaro
