#include <gtest/gtest.h>

#include <tuple>

#include "report/EncoderReport.h"

namespace tessaro {
namespace {

TEST(EncoderReportTest, FailureReasonNamesTheCause) {
    EXPECT_EQ(failureReason({"coder.exe", 1,
                             "( 5%)\r\ncoder: error: Output file #0 does not contain any stream\n",
                             "/in/t.flv", "/out/a.mp3", true}),
              "源文件没有声音（coder: Output file #0 does not contain any stream）");
    // What conv printed before it exited 1, and the start of the reason.
    for (const auto& [outputs, audioOnly, start] :
         {std::tuple{"Output file #0 does not contain any stream", false,
                     "源文件没有声音也没有画面（"},
          {"conv: source has no audio stream", false, "源文件没有声音（conv: source"},
          {"conv: error: source has no video stream", false, "源文件没有画面（conv: source"},
          {"Stream map '1:a:0' matches no streams.", false, "源文件没有声音（conv: Stream"},
          {"file:/in/t.flv: Invalid data found when processing input", true, "源文件已损坏"},
          {"coder: error: source sound cannot be decoded: Error while decoding stream #0:1: "
           "Invalid data found when processing input",
           true, "源文件的声音无法解码（coder: source sound"},
          {"/out/a.mp3: No space left on device", true, "磁盘已满（"},
          {"/out/a.mp4: Read-only file system", false, "输出文件夹所在的磁盘只读（"},
          {"file:/in/t.flv: Permission denied", false, "没有读取源文件的权限（"},
          {"/out/.a.mp4.9.part: Permission denied", false, "没有写入输出文件夹的权限（"},
          {"/in/t.flv: No such file or directory", false, "源文件不存在（"},
          {"/out/a.mp4: No such file or directory", false, "输出文件夹不存在（"},
          {"x: Permission denied\nDisk quota exceeded\n", false, "磁盘配额已用完（"},
          {"\nconv: error: 声音频率“abc”不是数字\n", false,
           "conv 退出码 1：声音频率“abc”不是数字"}})
        EXPECT_TRUE(failureReason({"conv", 1, outputs, "/in/t.flv", "/out/a.mp4", audioOnly})
                        .starts_with(start))
            << outputs;
    // A folder removed under the encoder is the cause, whatever it said last.
    for (const char* outputs : {"\ncoder: error: no output was written: /out/a.mp4\n",
                                "/out/.a.mp4.9.part: No space left on device\n"
                                "coder: error: no output was written: /out/a.mp4\n"})
        EXPECT_EQ(failureReason({"coder.exe", 1, outputs, "/in/t.flv", "/out/a.mp4", false, true}),
                  "输出文件夹不存在（coder: no output was written: /out/a.mp4）");
}

TEST(EncoderReportTest, NoticesAreReadBackInOrderOnce) {
    const std::string outputs = "( 5%)\r" + noticeLine("conv", "画面无法解码") + "(50%)\r" +
                                noticeLine("coder", "第二条\n说明") +
                                noticeLine("coder", "画面无法解码") + "coder: error: x\n";
    EXPECT_EQ(notices(outputs), (std::vector<std::string>{"画面无法解码", "第二条 说明"}));
    EXPECT_TRUE(notices("conv: error: notice\n").empty());
}

}  // namespace
}  // namespace tessaro
