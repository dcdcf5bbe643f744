// The batch against fake encoders: small shell scripts named like the
// encoders, in a temporary application folder. Each logs its command line and
// behaves by the name of the file it is given (see kFakeEncoder).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "base/Platform.h"
#include "engine/Commands.h"
#include "engine/ConversionDriver.h"
#include "engine/RunnerTestSupport.h"
#include "helpers/MockLogind.h"
#include "present/StatusCaptions.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// conv writes the input's name into its -o file; coder and coder2 read the
// name back from their -i file (the intermediate) or take the -i path itself
// (MP3) and write it into their last argument. A name containing
// "<tool>fail", "<tool>nothing" or "<tool>empty" makes that tool exit 3
// after an error line, write nothing, or write an empty file; "<tool>short"
// writes its output and reports an incomplete source (exit 4); "<tool>slow"
// writes its partial output and a piece in $FAKE_SCRATCH, then sleeps, its
// process id in $FAKE_LOG.pid;
// "<tool>late" takes a second; "<tool>note" converts and says that the
// picture was left out; "<tool>gone" removes the folder of its output and
// fails as the encoders then do. Every run's process id is added to
// $FAKE_LOG.pids.
constexpr const char* kFakeEncoder = R"(#!/bin/sh
tool=$(basename "$0")
echo "$tool $*" >> "$FAKE_LOG"
echo $$ > "$FAKE_LOG.pid"
echo $$ >> "$FAKE_LOG.pids"
in=""; out=""; prev=""
for a in "$@"; do
  [ "$prev" = "-o" ] && out="$a"
  [ "$prev" = "-i" ] && in="$a"
  prev="$a"; last="$a"
done
if [ "$tool" = conv ]; then name="$1"; printf '( 50%%)\n(100%%)\n'
else out="$last"; name="$in"; [ -f "$in" ] && [ "${in%.mp4}" != "$in" ] && name=$(cat "$in")
  printf '  Duration: 00:00:10.00, start: 0\ntime=5.00 bitrate=1\ntime=10.00 bitrate=1\n'
fi
tag=${tool%2}
case "$name" in *${tag}note*) printf '\n%s: notice: 源文件的画面无法解码，只转换了声音\n' "$tool";; esac
case "$name" in
  *${tag}fail*) printf '\n%s: error: 声音频率“abc”不是数字\n' "$tool"; exit 3;;
  *${tag}nothing*) exit 0;;
  *${tag}empty*) : > "$out"; exit 0;;
  *${tag}short*) echo "$name" > "$out"
    printf '\n%s: error: 源文件可能不完整：输出 13.9 秒，源文件 60.0 秒\n' "$tool"; exit 4;;
  *${tag}late*) sleep 1;;
  *${tag}gone*) folder=$(dirname "$out"); rm -rf "$folder"
    printf '\n%s: error: no output was written: %s\n' "$tool" "$out"; exit 1;;
  *${tag}slow*) echo $$ > "$FAKE_LOG.pid"
    echo "$name" > "$(dirname "$out")/.$(basename "$out").$$.part"
    : > "$FAKE_SCRATCH/piece-$$-0.avi"; exec sleep 30;;
esac
echo "$name" > "$out"
)";

class TestHost : public BatchHost {
public:
    std::deque<std::string> queue;
    int format = 0;
    ParameterTexts params = withFormatDefaults(0, {});
    std::string folder;
    std::vector<std::string> events;  // controls, timer, end-of-batch calls
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<std::string> fileProgress;  // "row text"
    std::vector<BatchStatus> statuses;
    std::vector<std::string> misplaced;  // files whose row held another entry
    std::function<void()> onPump;

    int queueCount() const override { return static_cast<int>(queue.size()); }
    std::string queueEntry(int i) const override {
        return i < queueCount() ? queue[size_t(i)] : "";
    }
    void removeQueueEntry(int i) override {
        if (i < queueCount()) queue.erase(queue.begin() + i);
    }
    // Recorded, then left to the default: the entry goes as if removed.
    void failQueueEntry(int i, const std::string& reason) override {
        failedEntries.push_back(GetFileName(queueEntry(i)) + "：" + reason);
        BatchHost::failQueueEntry(i, reason);
    }
    std::vector<std::string> failedEntries;
    int formatIndex() const override { return format; }
    ParameterTexts parameters() const override { return params; }
    std::string outputFolderText() const override { return folder; }
    void setOutputFolderText(const std::string& text) override { folder = text; }
    void setControlsEnabled(bool on) override { events.push_back(on ? "enable" : "disable"); }
    void setTimer1Enabled(bool on) override { events.push_back(on ? "timer on" : "timer off"); }
    // The captions as the fronts build them, and with several files at once
    // the rows read since the last status.
    void showStatus(const BatchStatus& status) override {
        statuses.push_back(status);
        for (const FileStatus& f : status.files)
            if (f.row < 0 || f.row >= queueCount() || queue[size_t(f.row)] != f.name)
                misplaced.push_back(f.name);
        if (const auto caption = statusCaption(status)) captions.push_back(*caption);
        for (const FileStatus& f : status.files)
            if (status.jobs > 1 && (f.reading || f.stopped))
                fileProgress.push_back(std::to_string(f.row) + " " +
                                       (f.stopped ? "" : std::to_string(int(100 * f.share)) + "%"));
    }
    void openFolder(const std::string& f) override { events.push_back("open " + f); }
    void playSound(const std::string& f) override { events.push_back("sound " + f); }
    void showMessage(const std::string& text, MessageIcon, const std::string& title) override {
        messages.push_back(title + ": " + text);
    }
    void processEvents() override {
        if (onPump) onPump();
    }
};

class ConversionDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(::testing::TempDir()) /
               ("tessaro-driver-" + std::to_string(::getpid()) + "-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "app/data");
        for (const char* tool : {"conv", "coder", "coder2"}) installEncoder(tool);
        platform::setApplicationFolder((root / "app").string());
        platform::setTemporaryFolder((root / "tmp").string());
        log = (root / "log.txt").string();
        ::setenv("FAKE_LOG", log.c_str(), 1);
        ::setenv("FAKE_SCRATCH", (root / "tmp").c_str(), 1);
        host.folder = (root / "out/deep/er").string();  // parents missing
    }
    void TearDown() override { fs::remove_all(root); }

    void installEncoder(const char* tool) {
        const fs::path path = root / "app/data" / tool;
        std::ofstream(path) << kFakeEncoder;
        ::chmod(path.c_str(), 0755);
    }
    std::string input(const std::string& name) {
        const fs::path path = root / "in" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "video";
        return path.string();
    }
    std::vector<std::string> logLines() {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find(' ')));
        return lines;
    }
    void runBatch() {
        driver.Start();
        driver.Timer1_Timer();
    }
    // The process id of the encoder that ran last.
    pid_t lastEncoder() {
        std::ifstream in(log + ".pid");
        pid_t pid = 0;
        in >> pid;
        return pid;
    }
    std::vector<std::string> outputs() {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root / "out/deep/er", ec))
            names.push_back(entry.path().filename().string());
        return names;
    }
    int converted() {
        int n = 0;
        for (const auto& r : driver.results()) n += r.converted;
        return n;
    }

    fs::path root;
    std::string log;
    TestHost host;
    ConversionDriver driver{host};
};

TEST_F(ConversionDriverTest, StartRefusesAnEmptyQueue) {
    driver.Start();
    EXPECT_EQ(host.messages, std::vector<std::string>{"添加: 请先添加一个文件"});
    EXPECT_TRUE(host.events.empty());
}

TEST_F(ConversionDriverTest, TwoStageFormatRunsBothStagesHeadFirst) {
    host.queue = {input("one.a.flv"), input("two.flv")};
    runBatch();
    EXPECT_EQ(logLines(), (std::vector<std::string>{"conv", "coder", "conv", "coder"}));
    EXPECT_EQ(converted(), 2);
    ASSERT_EQ(driver.results().size(), 2u);
    EXPECT_EQ(GetFileName(driver.results()[0].input), "one.a.flv");
    EXPECT_EQ(GetFileName(driver.results()[0].output).substr(0, 4), "one-");
    EXPECT_TRUE(host.queue.empty());
    EXPECT_EQ(host.folder.back(), '/');  // normalised visibly
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(driver.duration(), 0);
    const std::vector<std::string> expected = {"disable",
                                               "timer on",
                                               "timer off",
                                               "open " + host.folder,
                                               "sound " + (root / "app/sound.wav").string(),
                                               "enable"};
    EXPECT_EQ(host.events, expected);
    EXPECT_EQ(host.captions.back(), "Done.");
}

TEST_F(ConversionDriverTest, EncoderOfEachFormat) {
    struct Row {
        int format;
        std::vector<std::string> runs;
    } rows[] = {{kMpg, {"conv"}},
                {kAvi, {"conv"}},
                {kMp4Hd, {"conv"}},
                {kMov, {"conv", "coder"}},
                {kMp4Phone, {"conv", "coder2"}},
                {k3gp, {"conv", "coder2"}},
                {kMp3, {"coder"}},
                {kRm, {"conv", "coder"}}};
    for (const Row& row : rows) {
        fs::remove(log);
        host.format = row.format;
        host.params = withFormatDefaults(row.format, host.params);
        host.queue = {input("clip.flv")};
        runBatch();
        EXPECT_EQ(logLines(), row.runs) << row.format;
        ASSERT_EQ(driver.results().size(), 1u);
        EXPECT_TRUE(driver.results()[0].converted) << row.format << driver.results()[0].reason;
        EXPECT_EQ(fs::path(driver.results()[0].output).extension(),
                  std::string(outputFormat(row.format)->extension));
    }
}

// MP3 is one run on objffmpeg: its output is read as stage two's (Duration
// and time=), and objDOS's handler, which reads "(NN%)", never sees it.
TEST_F(ConversionDriverTest, Mp3RunsOnceOnTheSecondRunner) {
    host.format = kMp3;
    host.params = withFormatDefaults(kMp3, host.params);
    host.queue = {input("song.flv")};
    runBatch();
    EXPECT_EQ(logLines(), std::vector<std::string>{"coder"});
    EXPECT_EQ(converted(), 1);
    ASSERT_FALSE(host.captions.empty());
    EXPECT_EQ(host.captions.front().rfind("创建中", 0), 0u) << host.captions.front();
    for (const std::string& caption : host.captions)
        EXPECT_EQ(caption.find("转换中"), std::string::npos) << caption;
    EXPECT_EQ(driver.duration(), 0);
}

TEST_F(ConversionDriverTest, FilesAddedDuringABatchAreConverted) {
    host.queue = {input("first.flv")};
    const std::string later = input("later.flv");
    bool added = false;
    host.onPump = [&] {
        if (!added && !host.queue.empty()) host.queue.push_back(later), added = true;
    };
    driver.setSoundReminder(1);
    runBatch();
    EXPECT_EQ(converted(), 2);
    EXPECT_EQ(driver.results().back().input, later);
    for (const auto& e : host.events) EXPECT_EQ(e.rfind("sound", 0), std::string::npos);
}

TEST_F(ConversionDriverTest, NoExistingFileIsOverwritten) {
    host.format = kMp3;
    host.queue = {input("same.flv"), input("x/same.flv"), input("y/same.flv")};
    runBatch();
    ASSERT_EQ(converted(), 3);
    std::set<std::string> outputs;
    for (const auto& r : driver.results()) outputs.insert(r.output);
    EXPECT_EQ(outputs.size(), 3u);
    for (const auto& out : outputs) {
        std::ifstream in(out);
        std::string content;
        std::getline(in, content);
        EXPECT_NE(content.find("same.flv"), std::string::npos);
    }
}

TEST_F(ConversionDriverTest, EachFailureIsCountedAndListedOnce) {
    host.queue = {input("convfail.flv"),  input("convnothing.flv"),  input("convempty.flv"),
                  input("coderfail.flv"), input("codernothing.flv"), input("coderempty.flv"),
                  input("good.flv")};
    runBatch();
    // A failed stage one never reaches stage two.
    EXPECT_EQ(logLines(), (std::vector<std::string>{"conv", "conv", "conv", "conv", "coder", "conv",
                                                    "coder", "conv", "coder", "conv", "coder"}));
    ASSERT_EQ(driver.results().size(), 7u);
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(driver.results()[i].converted) << i;
    EXPECT_TRUE(driver.results()[6].converted);
    // The encoder's own reason follows its exit status.
    EXPECT_EQ(driver.results()[0].reason, "conv 退出码 3：声音频率“abc”不是数字");
    EXPECT_EQ(driver.results()[3].reason, "coder 退出码 3：声音频率“abc”不是数字");
    EXPECT_EQ(driver.results()[1].reason, "没有生成中间文件");
    EXPECT_EQ(driver.results()[2].reason, "中间文件为空");
    EXPECT_EQ(driver.results()[4].reason, "没有生成输出文件");
    EXPECT_EQ(driver.results()[5].reason, "输出文件为空");
    ASSERT_EQ(host.messages.size(), 1u);
    for (const char* name :
         {"convfail", "convnothing", "convempty", "coderfail", "codernothing", "coderempty"})
        EXPECT_NE(host.messages[0].find(name), std::string::npos) << name;
    EXPECT_EQ(host.messages[0].find("good.flv"), std::string::npos);
    EXPECT_EQ(host.captions.back(), "Done.");
    EXPECT_EQ(host.events.back(), "enable");
}

// Only a failed file leaves the queue as failed, with its reason; a
// converted one and a partial one (its output kept) are removed.
TEST_F(ConversionDriverTest, FailedFilesLeaveTheQueueAsFailed) {
    host.queue = {input("convfail.flv"), input("good.flv"), input("convshort.flv"),
                  input("codernothing.flv")};
    runBatch();
    EXPECT_EQ(host.failedEntries,
              (std::vector<std::string>{"convfail.flv：conv 退出码 3：声音频率“abc”不是数字",
                                        "codernothing.flv：没有生成输出文件"}));
    EXPECT_TRUE(host.queue.empty());
    EXPECT_TRUE(host.misplaced.empty());
}

TEST_F(ConversionDriverTest, StaleIntermediateIsNeverConverted) {
    fs::create_directories(root / "tmp");
    std::ofstream(platform::intermediateFile()) << "previous file";
    host.queue = {input("convnothing.flv")};
    runBatch();
    EXPECT_EQ(logLines(), std::vector<std::string>{"conv"});
    EXPECT_FALSE(driver.results()[0].converted);
}

TEST_F(ConversionDriverTest, RefusedTemporaryFolderFailsOnlyTwoStageFormats) {
    fs::create_directories(root / "elsewhere");
    fs::create_directory_symlink(root / "elsewhere", root / "tmp");
    host.queue = {input("a.flv")};
    runBatch();
    ASSERT_EQ(driver.results().size(), 1u);
    EXPECT_FALSE(driver.results()[0].converted);
    EXPECT_NE(driver.results()[0].reason.find("临时文件夹不可用"), std::string::npos);
    EXPECT_TRUE(logLines().empty());

    host.format = kAvi;
    host.queue = {input("b.flv")};
    runBatch();
    EXPECT_TRUE(driver.results()[0].converted);
}

TEST_F(ConversionDriverTest, StageThatCannotStartDoesNotLoop) {
    fs::remove(root / "app/data/coder");
    host.queue = {input("a.flv"), input("b.flv")};  // RMVB: stage two missing
    runBatch();
    EXPECT_EQ(converted(), 0);
    EXPECT_TRUE(host.queue.empty());
    ASSERT_EQ(driver.results().size(), 2u);
    EXPECT_NE(driver.results()[1].reason.find("无法启动"), std::string::npos);
    // The runner's message for each, then the one list.
    EXPECT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.events.back(), "enable");

    fs::remove(root / "app/data/conv");
    host.messages.clear();
    host.format = kMpg;
    host.queue = {input("c.flv")};
    runBatch();
    EXPECT_TRUE(host.queue.empty());
    EXPECT_FALSE(driver.results()[0].converted);
}

TEST_F(ConversionDriverTest, StopEndsTheEncoderAndKeepsTheQueue) {
    host.format = kMpg;
    const std::vector<std::string> queued = {input("convslow.flv"), input("next.flv")};
    host.queue = {queued.begin(), queued.end()};
    const fs::path out = root / "out/deep/er";
    host.onPump = [&] {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(out, ec))
            if (entry.path().extension() == ".part") driver.Stop();
    };
    runBatch();
    EXPECT_FALSE(driver.running());
    EXPECT_TRUE(driver.stopped());
    EXPECT_EQ(std::vector<std::string>(host.queue.begin(), host.queue.end()), queued);
    EXPECT_TRUE(driver.results().empty());
    EXPECT_EQ(host.captions.back(), "已停止。");
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"disable", "timer on", "timer off", "enable"}));
    EXPECT_TRUE(fs::is_empty(out));
    std::ifstream pidFile(log + ".pid");
    pid_t pid = 0;
    ASSERT_TRUE(pidFile >> pid);
    EXPECT_NE(::kill(pid, 0), 0);  // ended and reaped

    // Ready for the next batch.
    host.onPump = nullptr;
    host.queue = {input("again.flv")};
    runBatch();
    EXPECT_EQ(converted(), 1);
    EXPECT_FALSE(driver.stopped());
}

// Stop arriving after the encoder has ended but before the runner has seen
// it (a question answered late): a committed output counts and its file
// leaves the queue; a finished stage one starts no stage two.
TEST_F(ConversionDriverTest, StopAfterTheEncoderEndedKeepsWhatItCommitted) {
    struct Row {
        int format;
        bool converted;
        std::vector<std::string> runs;
    } rows[] = {{kMp3, true, {"coder"}}, {kMpg, true, {"conv"}}, {kRmvb, false, {"conv"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        fs::remove(log);
        fs::remove_all(root / "out");
        host.format = row.format;
        host.queue = {input("a.flv"), input("b.flv")};
        bool stopped = false;
        host.onPump = [&] {
            const bool written = isTwoStage(row.format) ? fs::exists(platform::intermediateFile())
                                                        : !outputs().empty();
            if (stopped || !written) return;
            const pid_t encoder = lastEncoder();
            testing::waitUntil([&] { return testing::stateOf(encoder) == 'Z'; });
            ASSERT_EQ(testing::stateOf(encoder), 'Z');  // ended, not yet seen by the runner
            driver.Stop();
            stopped = true;
        };
        runBatch();
        EXPECT_TRUE(driver.stopped());
        EXPECT_EQ(logLines(), row.runs);
        EXPECT_EQ(host.queue.size(), row.converted ? 1u : 2u);
        EXPECT_EQ(converted(), row.converted ? 1 : 0);
        EXPECT_EQ(outputs().size(), row.converted ? 1u : 0u);
        // The next Start converts what is left, and nothing twice.
        host.onPump = nullptr;
        runBatch();
        EXPECT_EQ(outputs().size(), 2u);
    }
}

TEST_F(ConversionDriverTest, AnExceptionEndsTheBatchCleanly) {
    host.queue = {input("a.flv"), input("b.flv")};
    host.onPump = [&] { throw std::runtime_error("pump failed"); };
    runBatch();
    EXPECT_FALSE(driver.running());
    EXPECT_EQ(host.events.back(), "enable");
    EXPECT_FALSE(fs::exists(platform::intermediateFile()));
    host.onPump = nullptr;
    runBatch();
    EXPECT_TRUE(host.queue.empty());
}

TEST_F(ConversionDriverTest, InputsThatAreNoRegularFileFailAtOnce) {
    const fs::path fifo = root / "in/pipe.flv";
    fs::create_directories(root / "in/folder.flv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    host.queue = {fifo.string(), (root / "in/folder.flv").string()};
    runBatch();
    EXPECT_TRUE(logLines().empty());
    ASSERT_EQ(driver.results().size(), 2u);
    EXPECT_EQ(driver.results()[0].reason, "不是普通文件（命名管道）");
    EXPECT_EQ(driver.results()[1].reason, "不是普通文件（文件夹）");
}

// A file converted in part, or with a part of its source left out, says so
// in its result and in the message at the end; only a part kept is no
// conversion.
TEST_F(ConversionDriverTest, PartialResultsAndNoticesAreNamed) {
    const std::string note = "源文件的画面无法解码，只转换了声音";
    struct Row {
        int format;
        const char* name;
        bool converted;
        bool partial;
        std::vector<std::string> notices;
        std::string listed;  // in the message's list after the input
    } rows[] = {
        {kRmvb, "convshort.flv", false, true, {}, "：只转换了一部分，已保留 "},
        {kMpg, "convshort-convnote.flv", false, true, {note}, "：只转换了一部分，已保留 "},
        {kMov, "convnote.flv", true, false, {note}, "：" + note},
        {kMp4Phone, "convnote-codernote.flv", true, false, {note}, "：" + note},  // said once
        {kMp3, "codernote.flv", true, false, {note}, "：" + note},
        {kMpg, "plain.flv", true, false, {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        host.format = row.format;
        host.messages.clear();
        host.queue = {input(row.name)};
        runBatch();
        ASSERT_EQ(driver.results().size(), 1u);
        const FileResult& r = driver.results()[0];
        EXPECT_EQ(r.converted, row.converted);
        EXPECT_EQ(r.partial, row.partial);
        EXPECT_EQ(r.notices, row.notices);
        EXPECT_TRUE(fs::exists(r.output));
        EXPECT_EQ(r.reason, row.partial ? "源文件可能不完整：输出 13.9 秒，源文件 60.0 秒" : "");
        if (row.listed.empty()) {
            EXPECT_TRUE(host.messages.empty());
            continue;
        }
        ASSERT_EQ(host.messages.size(), 1u);
        const std::string& message = host.messages[0];
        EXPECT_NE(message.find(r.input + row.listed), std::string::npos) << message;
        if (row.partial) {
            EXPECT_NE(message.find("1 个文件只转换了一部分"), std::string::npos) << message;
            EXPECT_NE(message.find(r.output + "（" + r.reason + "）"), std::string::npos)
                << message;
        }
        EXPECT_EQ(message.find("转换失败"), std::string::npos) << message;
    }
}

// The output folder removed while an encoder writes into it: that is the
// reason, and the next file makes the folder again.
TEST_F(ConversionDriverTest, OutputFolderRemovedDuringTheBatchIsTheReason) {
    for (const auto& [format, name] :
         {std::pair{kRmvb, "codergone.flv"}, {kMpg, "convgone.flv"}, {kMp3, "codergone.flv"}}) {
        SCOPED_TRACE(format);
        host.format = format;
        host.queue = {input(name), input("next.flv")};
        runBatch();
        ASSERT_EQ(driver.results().size(), 2u);
        const FileResult& gone = driver.results()[0];
        EXPECT_FALSE(gone.converted);
        EXPECT_EQ(gone.reason, "输出文件夹不存在（" +
                                   std::string(format == kMpg ? "conv" : "coder") +
                                   ": no output was written: " + gone.output + "）");
        EXPECT_TRUE(driver.results()[1].converted) << driver.results()[1].reason;
    }
}

// A path typed into txtPath during a batch is left as typed, neither made
// nor written into; the batch keeps the folder it started with.
TEST_F(ConversionDriverTest, OutputFolderEditedDuringTheBatchIsNotUsed) {
    for (int format : {kRmvb, kMpg}) {
        SCOPED_TRACE(format);
        fs::remove_all(root / "out");
        host.format = format;
        host.folder = (root / "out/deep/er").string();
        host.events.clear();
        host.queue = {input("a.flv"), input("b.flv")};
        const std::string halfTyped = (root / "ou").string();
        fs::remove(log);
        host.onPump = [&] {
            if (fs::exists(log)) host.folder = halfTyped;  // once the first file runs
        };
        runBatch();
        host.onPump = nullptr;
        EXPECT_EQ(host.folder, halfTyped);
        EXPECT_FALSE(fs::exists(halfTyped));
        EXPECT_EQ(outputs().size(), 2u);
        EXPECT_EQ(converted(), 2);
        EXPECT_EQ(driver.batchFolder(), (root / "out/deep/er/").string());
        EXPECT_NE(std::find(host.events.begin(), host.events.end(), "open " + driver.batchFolder()),
                  host.events.end());
    }
}

TEST_F(ConversionDriverTest, ProgressReachesTheHost) {
    host.queue = {input("p.flv")};
    runBatch();
    auto has = [&](const std::string& prefix) {
        return std::any_of(host.captions.begin(), host.captions.end(),
                           [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(has("转换中"));
    EXPECT_TRUE(has("创建中"));
}

}  // namespace

namespace {

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

// The status the host is handed: the files numbered in the order started,
// each at its own row, no more running than places, the batch counted whole.
TEST_F(ConversionDriverTest, StatusTellsHowTheBatchStands) {
    const struct {
        const char* what;
        int format;
        int jobs;
    } rows[] = {{"one at a time", kRmvb, 1}, {"several", kMpg, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        host = TestHost{};
        host.folder = (root / "out").string();
        host.format = row.format;
        host.queue = {input("a.flv"), input("convlate.flv"), input("a.flv")};
        const std::deque<std::string> queued = host.queue;
        driver.setJobs(row.jobs);
        runBatch();
        int mostRunning = 0, started = 0, readings = 0;
        for (const BatchStatus& s : host.statuses) {
            if (s.phase != BatchPhase::Running) continue;
            mostRunning = std::max(mostRunning, s.running);
            EXPECT_EQ(s.jobs, row.jobs);
            EXPECT_EQ(s.total, 3);
            EXPECT_GE(s.parts, s.done);
            EXPECT_LE(s.parts, s.done + s.running);
            EXPECT_GE(s.started, started);
            started = s.started;
            EXPECT_EQ(s.current, queued[size_t(s.started - 1)]);
            for (const FileStatus& f : s.files) readings += f.reading ? 1 : 0;
        }
        EXPECT_EQ(mostRunning, row.jobs);
        EXPECT_GT(readings, 0);
        EXPECT_TRUE(host.misplaced.empty());
        ASSERT_FALSE(host.statuses.empty());
        EXPECT_EQ(host.statuses.back().phase, BatchPhase::Done);
        EXPECT_EQ(host.statuses.back().done, 3);
        EXPECT_TRUE(host.statuses.back().files.empty());
    }
}

// Several files at once: files start in queue order, finish in their own,
// and each writes its own output; a failure stays with its file.
TEST_F(ConversionDriverTest, SeveralFilesAtOnce) {
    struct Row {
        const char* what;
        int format;
        int jobs;
        std::vector<std::string> names;  // the queue; "+" marks a file added during the batch
        std::string last;                // the file finished last
        std::string failed;              // the file that fails, if any
    } rows[] = {
        {"out of order", kMpg, 3, {"convlate.flv", "b.flv", "c.flv"}, "convlate.flv", ""},
        {"one fails",
         kRmvb,
         3,
         {"coderlate.flv", "convfail.flv", "c.flv"},
         "coderlate.flv",
         "convfail.flv"},
        {"added", kMov, 2, {"a.flv", "convlate.flv", "+added.flv"}, "convlate.flv", ""},
        {"same name and second", kMpg, 2, {"x/same.flv", "y/same.flv"}, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(root / "out");
        host = TestHost{};
        host.folder = (root / "out").string();
        host.format = row.format;
        std::vector<std::string> later;
        for (const std::string& name : row.names) {
            if (name[0] == '+')
                later.push_back(input(name.substr(1)));
            else
                host.queue.push_back(input(name));
        }
        host.onPump = [&] {
            if (!later.empty() && host.queue.size() > 1)
                host.queue.push_back(later.back()), later.clear();
        };
        driver.setJobs(row.jobs);
        runBatch();

        ASSERT_EQ(driver.results().size(), row.names.size());
        EXPECT_TRUE(host.queue.empty());
        std::set<std::string> outputs;
        for (const FileResult& r : driver.results()) {
            const bool fails = GetFileName(r.input) == row.failed;
            EXPECT_EQ(r.converted, !fails) << r.input << r.reason;
            if (fails) continue;
            EXPECT_EQ(firstLine(r.output), r.input);  // its own content under its own name
            outputs.insert(r.output);
        }
        EXPECT_EQ(outputs.size(), row.names.size() - !row.failed.empty());
        if (!row.last.empty()) {
            EXPECT_EQ(GetFileName(driver.results().back().input), row.last);
        }
        // The rows being converted showed their own share; the bar the batch's.
        EXPECT_FALSE(host.fileProgress.empty());
        for (const std::string& p : host.fileProgress) EXPECT_LT(p[0] - '0', row.jobs) << p;
        EXPECT_NE(std::find_if(host.captions.begin(), host.captions.end(),
                               [&](const std::string& c) {
                                   return c.rfind("转换中 ", 0) == 0 &&
                                          c.find(" 个文件  ") != std::string::npos;
                               }),
                  host.captions.end());
        EXPECT_EQ(host.captions.back(), "Done.");
        EXPECT_TRUE(fs::is_empty(root / "tmp"));  // every file's intermediate removed
    }
}

// No more files at once than the batch has: one file shows the one-file
// display whatever jobs() allows; a file added meanwhile starts beside it.
TEST_F(ConversionDriverTest, PlacesNeverOutnumberTheFiles) {
    struct Row {
        const char* what;
        const char* queued;
        const char* added;  // during the batch, "" for none
        bool severalShown;
        std::string first;  // the file finished first
    } rows[] = {{"one file", "a.flv", "", false, "a.flv"},
                {"one added", "convlate.flv", "added.flv", true, "added.flv"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host = TestHost{};
        host.folder = (root / "out").string();
        host.format = kMpg;
        host.queue = {input(row.queued)};
        std::string later = *row.added ? input(row.added) : "";
        host.onPump = [&] {
            if (!later.empty() && fs::exists(log)) host.queue.push_back(later), later.clear();
        };
        driver.setJobs(4);
        runBatch();
        ASSERT_FALSE(driver.results().empty());
        EXPECT_EQ(GetFileName(driver.results()[0].input), row.first);
        const bool several = std::any_of(
            host.captions.begin(), host.captions.end(),
            [](const std::string& c) { return c.find(" 个文件") != std::string::npos; });
        EXPECT_EQ(several, row.severalShown);
        EXPECT_EQ(!host.fileProgress.empty(), row.severalShown);
        EXPECT_EQ(host.captions.back(), "Done.");
    }
}

// Stop with one file in stage two and one in stage one: both are ended and
// stay queued with the file not started, nothing partial is left.
TEST_F(ConversionDriverTest, StopEndsEveryFileAtOnce) {
    host.format = kRmvb;
    const std::vector<std::string> queued = {input("coderslow.flv"), input("convslow.flv"),
                                             input("third.flv")};
    host.queue = {queued.begin(), queued.end()};
    const auto parts = [](const fs::path& folder) {
        int n = 0;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            n += entry.path().extension() == ".part";
        return n;
    };
    host.onPump = [&] {
        if (parts(root / "out/deep/er") > 0 && parts(root / "tmp") > 0) driver.Stop();
    };
    driver.setJobs(2);
    runBatch();
    EXPECT_TRUE(driver.stopped());
    EXPECT_EQ(std::vector<std::string>(host.queue.begin(), host.queue.end()), queued);
    EXPECT_EQ(std::set<std::string>(driver.stoppedFiles().begin(), driver.stoppedFiles().end()),
              std::set<std::string>(queued.begin(), queued.begin() + 2));
    EXPECT_TRUE(driver.results().empty());
    EXPECT_EQ(host.captions.back(), "已停止。");
    EXPECT_EQ(host.statuses.back().phase, BatchPhase::Stopped);
    EXPECT_TRUE(host.misplaced.empty());
    EXPECT_TRUE(std::any_of(host.statuses.begin(), host.statuses.end(), [](const BatchStatus& s) {
        return s.files.size() == 2 && s.files[0].stopped != s.files[1].stopped;
    }));  // one ended while the other still ran
    EXPECT_TRUE(fs::is_empty(root / "out/deep/er"));
    EXPECT_TRUE(fs::is_empty(root / "tmp"));
    std::ifstream pids(log + ".pids");
    int runs = 0;
    for (pid_t pid = 0; pids >> pid; ++runs)
        EXPECT_NE(::kill(pid, 0), 0) << pid;  // ended and reaped
    EXPECT_EQ(runs, 3);                       // the third file never started
}

}  // namespace tessaro

namespace tessaro {
namespace {

// The system's sleep lock: held while files convert, gone once the batch has
// ended, however it ended; without a bus the batch runs as before.
TEST_F(ConversionDriverTest, SleepLockHeldOnlyWhileConverting) {
    struct Row {
        const char* name;
        bool bus;
        bool stop;
        int converted;
    };
    const Row rows[] = {
        {"ends", true, false, 2},
        {"stopped", true, true, 0},
        {"no bus", false, false, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<test::MockLogind> logind;
        if (row.bus) {
            logind = std::make_unique<test::MockLogind>();
            TESSARO_REQUIRE_MOCK_LOGIND(*logind);
        } else {
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tessaro-no-bus", 1);
        }
        host.format = kMpg;
        host.queue = {input(row.stop ? "convslow.flv" : "a.flv"), input("convlate.flv")};
        host.messages.clear();
        host.statuses.clear();
        std::size_t heldWhileConverting = 0;
        host.onPump = [&] {
            // From the first file started on.
            if (!logind || heldWhileConverting || host.statuses.empty()) return;
            heldWhileConverting = logind->inhibitors().size();
            if (row.stop) driver.Stop();
        };
        runBatch();
        host.onPump = nullptr;
        EXPECT_EQ(converted(), row.converted);
        EXPECT_TRUE(host.messages.empty());
        if (logind) {
            EXPECT_EQ(heldWhileConverting, 1u);
            EXPECT_TRUE(logind->waitForInhibitors(0));
        } else {
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        }
        fs::remove_all(root / "out");
    }
}

TEST(ThreadsPerFileTest, ProcessorsSharedAmongTheFilesAtOnce) {
    const int rows[][4] = {// processors, jobs, files left, threads
                           {2, 1, 5, 2},  {2, 2, 5, 1}, {2, 2, 1, 2}, {8, 3, 2, 4},  {8, 3, 9, 2},
                           {16, 3, 2, 8}, {7, 2, 5, 3}, {0, 1, 1, 1}, {-3, 2, 2, 1}, {8, 0, 0, 8}};
    for (const auto& r : rows)
        EXPECT_EQ(threadsPerFile(r[0], r[1], r[2]), r[3]) << r[0] << " " << r[1] << " " << r[2];
}

// Every run of a file is told the threads chosen as the file started: the
// processors shared among the files that run at once, never among more
// files than are left; a forced count holds for every file.
TEST_F(ConversionDriverTest, EachFileRunsOnItsShareOfTheProcessors) {
    const struct {
        const char* what;
        int format, jobs, processors, forced;
        std::vector<std::string> names;  // "dir.flv" is a folder: it fails as it starts
        std::multiset<int> threads;      // of every run
    } rows[] = {
        // c starts as a finishes, beside coderlate in its stage two.
        {"two at once", kMov, 2, 8, 0, {"a.flv", "coderlate.flv", "c.flv"}, {4, 4, 4, 4, 4, 4}},
        {"as many at once as processors", kMpg, 2, 2, 0, {"a.flv", "b.flv", "c.flv"}, {1, 1, 1}},
        {"one at a time", kRmvb, 1, 2, 0, {"a.flv", "b.flv"}, {2, 2, 2, 2}},
        {"the only one left", kMp3, 2, 8, 0, {"dir.flv", "a.flv"}, {8}},
        {"forced", k3gp, 2, 8, 3, {"a.flv", "b.flv"}, {3, 3, 3, 3}},
        {"forced above the processors", 9, 1, 2, 64, {"a.flv"}, {64}},
    };
    fs::create_directories(root / "in/dir.flv");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(log);
        host = TestHost{};
        host.folder = (root / "out").string();
        host.format = row.format;
        host.params = withFormatDefaults(row.format, host.params);
        for (const std::string& name : row.names)
            host.queue.push_back(name == "dir.flv" ? (root / "in" / name).string() : input(name));
        driver.setJobs(row.jobs);
        driver.setProcessors(row.processors);
        driver.setThreads(row.forced);
        runBatch();
        std::multiset<int> threads;  // after ":threads=" (conv) or " -threads " (coder)
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            const auto at = line.find("threads");
            threads.insert(at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 8));
        }
        EXPECT_EQ(threads, row.threads);
    }
}

}  // namespace
}  // namespace tessaro
