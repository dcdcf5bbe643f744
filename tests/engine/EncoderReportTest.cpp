#include "engine/EncoderReport.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

TEST(EncoderReportTest, FailureReasonNamesTheCause) {
    struct Row {
        const char* program;
        const char* outputs;  // what the encoder printed; it exited 1
        bool audioOnly;
        const char* reason;
    } rows[] = {
        {"coder", "( 5%)\r\ncoder: error: Output file #0 does not contain any stream\n", true,
         "源文件没有声音（coder: Output file #0 does not contain any stream）"},
        {"coder", "coder: error: Output file #0 does not contain any stream", false,
         "源文件没有声音也没有画面（coder: Output file #0 does not contain any stream）"},
        {"coder2", "coder2: source has no audio stream\n", false,
         "源文件没有声音（coder2: source has no audio stream）"},
        {"conv", "\nconv: error: source has no video stream\n", false,
         "源文件没有画面（conv: source has no video stream）"},
        {"coder2", "coder2: error: Stream map '1:a:0' matches no streams.", false,
         "源文件没有声音（coder2: Stream map '1:a:0' matches no streams.）"},
        {"coder", "coder: error: file:/in/t.flv: Invalid data found when processing input", true,
         "源文件已损坏或格式无法识别（coder: file:/in/t.flv: Invalid data found when processing input）"},
        {"coder", "coder: error: Error closing file /out/a-1.mp3: No space left on device", true,
         "磁盘已满（coder: Error closing file /out/a-1.mp3: No space left on device）"},
        {"conv", "conv: error: /out/.a-1.mp4.9.part: Disk quota exceeded", false,
         "磁盘配额已用完（conv: /out/.a-1.mp4.9.part: Disk quota exceeded）"},
        {"conv", "conv: error: /out/a-1.mp4: Read-only file system", false,
         "输出文件夹所在的磁盘只读（conv: /out/a-1.mp4: Read-only file system）"},
        {"coder", "coder: error: file:/in/t.flv: Permission denied", true,
         "没有读取源文件的权限（coder: file:/in/t.flv: Permission denied）"},
        {"coder", "coder: error: /out/a-1.mp3: Permission denied", true,
         "没有写入输出文件夹的权限（coder: /out/a-1.mp3: Permission denied）"},
        {"conv", "conv: error: /in/t.flv: No such file or directory", false,
         "源文件不存在（conv: /in/t.flv: No such file or directory）"},
        {"conv.exe", "/out/a-1.mp4: No such file or directory", false,
         "输出文件夹不存在（conv: /out/a-1.mp4: No such file or directory）"},
        // The last line that names a cause counts.
        {"coder", "x: Permission denied\ncoder: error: No space left on device\n", true,
         "磁盘已满（coder: No space left on device）"},
        {"conv", "\nconv: error: 声音频率“abc”不是数字\n", false, "conv 退出码 1：声音频率“abc”不是数字"},
        {"conv", "", false, "conv 退出码 1"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(failureReason({r.program, 1, r.outputs, "/in/t.flv", "/out/a-1.mp4", r.audioOnly}),
                  r.reason)
            << r.outputs;
}

}  // namespace
}  // namespace tessaro
