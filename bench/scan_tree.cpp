// Scans and packs one folder the way the program does, and reports the time, the count and the
// memory used. Usage: scan_tree ROOT [--collect-only] [--threads N]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "frontend/LogRecorder.h"
#include "packing/ScanSession.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace {

using namespace stowra;

class BenchWindow : public ScanWindow {
public:
    LogRecorder log;
    LogPane& Log() override { return log; }
    Prompter& Messages() override { std::abort(); }
    void ClearResults() override { log.Clear(); }
};

long RssKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_tree ROOT [--collect-only] [--threads N]\n");
        return 2;
    }
    RaiseOpenFileLimit();
    bool collectOnly = false;
    int threads = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--collect-only") == 0) {
            collectOnly = true;
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        }
    }
    ScanInput in;
    in.threads = threads;
    in.sourceFolder = argv[1];
    in.options = 0;
    in.profile = {2048, 2298496, 256, 3840};
    long before = RssKiB("VmRSS:");
    auto t0 = std::chrono::steady_clock::now();
    BenchWindow w;
    ScanState state;
    if (collectOnly) {
        CollectFiles(AddTrailingBackslash(in.sourceFolder), in, state.inventory);
    } else {
        RunScan(in, state, w);
    }
    auto t1 = std::chrono::steady_clock::now();
    std::uint64_t pathBytes = 0;
    for (const FileItem* f : state.inventory.Items()) {
        pathBytes += f->pathSize;
    }
    long peak = RssKiB("VmHWM:");
    double perFile = state.inventory.fileCount == 0
                         ? 0
                         : (static_cast<double>(peak - before) * 1024 - static_cast<double>(pathBytes)) /
                               static_cast<double>(state.inventory.fileCount);
    std::printf(
        "files %llu, media %zu, %.3f s, path text %.1f MiB, peak RSS %.1f MiB (+%.1f MiB), %.1f bytes/file "
        "beyond path text\n",
        static_cast<unsigned long long>(state.inventory.fileCount), state.result.media.size(),
        std::chrono::duration<double>(t1 - t0).count(), static_cast<double>(pathBytes) / 1048576.0,
        static_cast<double>(peak) / 1024.0, static_cast<double>(peak - before) / 1024.0, perFile);
    return 0;
}
