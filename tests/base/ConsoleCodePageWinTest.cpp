// The console's output code page is the shell's again when tessaro-cli, the
// encoders or a program of the code page switch alone end, whichever way they
// end: the console stays shared with the shell that started them.
#include <gtest/gtest.h>

#include <vector>

#include "helpers/WinTestSupport.h"
#include "base/WideText.h"

using namespace tessaro;
using namespace tessaro::testing;

namespace {

constexpr UINT kGbk = 936;

std::string consoleHelper() { return std::string(TESSARO_TEST_HELPERS_DIR) + "/tst_console.exe"; }

// A child on this process's console, its output and errors on one pipe.
class ConsoleChild {
public:
    explicit ConsoleChild(const std::vector<std::string>& argv) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        if (!::CreatePipe(&m_read, &write, &inherit, 0)) return;
        ::SetHandleInformation(m_read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW info{};
        info.cb = sizeof info;
        info.dwFlags = STARTF_USESTDHANDLES;
        info.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        info.hStdOutput = write;
        info.hStdError = write;
        std::wstring line;
        for (const std::string& arg : argv)
            line += (line.empty() ? L"\"" : L" \"") + wide::fromUtf8(arg) + L"\"";
        PROCESS_INFORMATION process{};
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &info, &process)) {
            m_process = process.hProcess;
            ::CloseHandle(process.hThread);
        }
        ::CloseHandle(write);
    }
    ~ConsoleChild() {
        if (m_process && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process, 1);
        if (m_process) ::CloseHandle(m_process);
        if (m_read) ::CloseHandle(m_read);
    }
    bool started() const { return m_process != nullptr; }
    const std::string& output() const { return m_output; }

    // Reads until the output holds `marker`; false when the output ends or
    // 20 s pass first.
    bool readUntil(const std::string& marker) {
        const ULONGLONG deadline = ::GetTickCount64() + 20000;
        while (m_output.find(marker) == std::string::npos) {
            DWORD waiting = 0;
            if (!::PeekNamedPipe(m_read, nullptr, 0, nullptr, &waiting, nullptr)) return false;
            if (waiting == 0) {
                if (::GetTickCount64() > deadline) return false;
                ::Sleep(10);
                continue;
            }
            char buffer[4096];
            DWORD n = 0;
            if (!::ReadFile(m_read, buffer, sizeof buffer, &n, nullptr)) return false;
            m_output.append(buffer, n);
        }
        return true;
    }
    // The exit code once the child has ended, within 20 s; else -1.
    long exitCode() {
        readUntil("\n\x01");  // to the end of its output
        DWORD code = 0;
        if (::WaitForSingleObject(m_process, 20000) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(m_process, &code))
            return -1;
        return static_cast<long>(code);
    }

private:
    HANDLE m_read = nullptr;
    HANDLE m_process = nullptr;
    std::string m_output;
};

class ConsoleCodePageWin : public ::testing::Test {
protected:
    // Wine gives a test run from a pipe no console, and makes one for
    // AllocConsole only with a display: share the windowless console of a
    // child started without a window instead.
    static void SetUpTestSuite() {
        if (::GetConsoleOutputCP() != 0) return;
        std::wstring line = L"\"" + wide::fromUtf8(helperPath()) + L"\" linger 600000";
        STARTUPINFOW info{};
        info.cb = sizeof info;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                              nullptr, nullptr, &info, &process))
            return;
        ::CloseHandle(process.hThread);
        s_holder = process.hProcess;
        ::FreeConsole();
        for (int i = 0; i < 100 && !::AttachConsole(process.dwProcessId); ++i) ::Sleep(50);
    }
    static void TearDownTestSuite() {
        if (!s_holder) return;
        ::FreeConsole();
        ::TerminateProcess(s_holder, 0);
        ::CloseHandle(s_holder);
        s_holder = nullptr;
    }
    void SetUp() override {
        m_before = ::GetConsoleOutputCP();
        ASSERT_NE(m_before, 0u) << "no console";
        ASSERT_TRUE(::SetConsoleOutputCP(kGbk));
    }
    void TearDown() override { ::SetConsoleOutputCP(m_before); }

    static inline HANDLE s_holder = nullptr;
    UINT m_before = 0;
};

// Console events are left out: Wine delivers none to a windowless console.
TEST_F(ConsoleCodePageWin, EveryWayOutOfTheSwitchPutsTheCodePageBack) {
    const std::pair<const char*, long> rows[] = {{"return", 0}, {"exit", 3}, {"abort", 3}};
    for (const auto& [mode, exitCode] : rows) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(::SetConsoleOutputCP(kGbk));
        ConsoleChild child({consoleHelper(), mode});
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(child.readUntil("ready")) << child.output();
        EXPECT_EQ(child.output().rfind("65001 ", 0), 0u) << child.output();
        EXPECT_EQ(child.exitCode(), exitCode) << child.output();
        EXPECT_EQ(::GetConsoleOutputCP(), kGbk);
    }
}

// tessaro-cli and the encoders, each waiting on an ffmpeg.exe that takes 3 s
// and fails: UTF-8 while they run, the shell's code page once they end.
TEST_F(ConsoleCodePageWin, CommandLineProgramsPutTheCodePageBack) {
    WinFolder folder;
    const std::string app = TESSARO_APP_DIR;
    const auto copy = [&](const std::string& from, const std::string& to) {
        std::filesystem::create_directories(platform::nativePath(folder.path(to)).parent_path());
        std::filesystem::copy_file(platform::nativePath(from),
                                   platform::nativePath(folder.path(to)));
    };
    copy(app + "/tessaro-cli.exe", "tessaro-cli.exe");
    for (const char* encoder : {"conv.exe", "coder.exe", "coder2.exe"})
        copy(app + "/data/" + encoder, std::string("data\\") + encoder);
    copy(consoleHelper(), "data\\ffmpeg.exe");
    const std::string clip = folder.file("片段.flv", "FLV");
    const std::string out = folder.folder("出力");

    const std::vector<std::string> rows[] = {
        {folder.path("tessaro-cli.exe"), "-f", "3", "-o", out, clip},
        {folder.path("data\\conv.exe"), clip, "-o", out + "\\a.avi", "-oac", "mp3lame", "-ovc",
         "lavc"},
        {folder.path("data\\coder.exe"), "-i", clip, "-y", out + "\\a.mp4"},
        {folder.path("data\\coder2.exe"), "-i", clip, "-y", out + "\\a.3gp"},
    };
    for (const auto& argv : rows) {
        SCOPED_TRACE(argv[0]);
        ASSERT_TRUE(::SetConsoleOutputCP(kGbk));
        ConsoleChild child(argv);
        ASSERT_TRUE(child.started());
        bool switched = false;
        for (int i = 0; i < 200 && !switched; ++i, ::Sleep(25))
            switched = ::GetConsoleOutputCP() == CP_UTF8;
        EXPECT_TRUE(switched);
        EXPECT_NE(child.exitCode(), -1) << child.output();
        EXPECT_EQ(::GetConsoleOutputCP(), kGbk) << child.output();
    }
}

}  // namespace
