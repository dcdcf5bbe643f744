#pragma once
// Compares the parameter texts a panel shows with those expected, field by
// field, so that a failure names the field.

#include <gtest/gtest.h>

#include "formats/FormatCatalogue.h"

namespace tessaro::test {

inline void expectSameParameters(const ParameterTexts& got, const ParameterTexts& want) {
    EXPECT_EQ(got.videoBitrate, want.videoBitrate);
    EXPECT_EQ(got.frameRate, want.frameRate);
    EXPECT_EQ(got.videoSize, want.videoSize);
    EXPECT_EQ(got.sampleRate, want.sampleRate);
    EXPECT_EQ(got.audioBitrate, want.audioBitrate);
    EXPECT_EQ(got.channelPosition, want.channelPosition);
}

}  // namespace tessaro::test
