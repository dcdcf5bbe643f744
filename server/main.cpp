// tessaro-feedbackd: receives the feedback form's messages into an SQLite
// database, and exports them for the maker.

#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iostream>
#include <thread>

#include "server/FeedbackConfig.h"
#include "server/FeedbackExport.h"
#include "server/FeedbackServer.h"
#include "server/FeedbackStore.h"

using namespace tessaro::feedbackd;

namespace {

constexpr const char* kUsage =
    "usage: tessaro-feedbackd [--config FILE] [--listen ADDRESS] [--port N] [--database PATH]\n"
    "       tessaro-feedbackd export [--config FILE] [--database PATH] [--json]\n";

int exportMessages(const FeedbackConfig& config) {
    FeedbackStore store;
    std::vector<StoredMessage> rows;
    std::string error;
    if (!store.open(config.database, true, error) || !store.all(rows, error)) {
        std::cerr << "tessaro-feedbackd: " << config.database << ": " << error << '\n';
        return 1;
    }
    if (config.json)
        writeJson(std::cout, rows);
    else
        writeCsv(std::cout, rows);
    return std::cout.flush() ? 0 : 1;
}

int serve(const FeedbackConfig& config) {
    // SIGINT and SIGTERM end the server cleanly: they are blocked in every
    // thread and taken by one that stops it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Whatever the server writes is its own (e-mail addresses among it).
    umask(077);
    // A socket for each of max_connections: the soft limit on files is often
    // 1,024, the hard one far more. Raised only when short (the unit sets it,
    // and its system call filter forbids setrlimit).
    const rlim_t files = static_cast<rlim_t>(config.limits.connections) + 64;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < files) {
        limit.rlim_cur = std::min(files, limit.rlim_max);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    FeedbackStore store;
    std::string error;
    if (!store.open(config.database, false, error)) {
        std::cerr << "tessaro-feedbackd: " << config.database << ": " << error << '\n';
        return 1;
    }
    FeedbackServer server(config, store);
    if (!server.bind(error)) {
        std::cerr << "tessaro-feedbackd: " << error << '\n';
        return 1;
    }
    std::thread([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    }).detach();
    std::cout << "tessaro-feedbackd: listening on " << config.listen << " port " << server.port()
              << (config.certificate.empty() ? " (http)" : " (https)") << std::endl;
    return server.run() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    FeedbackConfig config;
    std::string error;
    if (!parseCommandLine(args, config, error)) {
        std::cerr << "tessaro-feedbackd: " << error << '\n' << kUsage;
        return 2;
    }
    return config.exportMessages ? exportMessages(config) : serve(config);
}
