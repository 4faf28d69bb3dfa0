// Moving 100,000 small files within one file system: the batch move against a plain loop of
// rename(2) calls over the same files, folders created included. Both move the same tree into the
// layout the move command makes (destination/stamp/1/<relative path>); between runs the files are
// put back while the clock is stopped.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/BatchMove.h"

namespace {

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;

struct Tree {
    std::string root;
    std::vector<std::string> sources, destinations;
    std::string sourceList, destinationList;

    Tree() {
        char base[] = "/tmp/stowra-bench-move-XXXXXX";
        if (::mkdtemp(base) == nullptr) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        root = base;
        const std::string content(100, 'x');
        for (int d = 0; d < kFolders; ++d) {
            std::string rel = "album " + std::to_string(d);
            std::filesystem::create_directories(root + "/src/" + rel);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                std::string file = rel + "/IMG_" + std::to_string(100000 + f) + ".jpg";
                sources.push_back(root + "/src/" + file);
                destinations.push_back(root + "/dst/20240315-093012/1/" + file);
                int fd = ::open(sources.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || ::write(fd, content.data(), content.size()) < 0) {
                    std::perror(sources.back().c_str());
                    std::exit(1);
                }
                ::close(fd);
            }
        }
        for (std::size_t i = 0; i < sources.size(); ++i) {
            sourceList.append(sources[i]).push_back('\0');
            destinationList.append(destinations[i]).push_back('\0');
        }
        sourceList.push_back('\0');
        destinationList.push_back('\0');
        std::filesystem::create_directories(root + "/dst");
    }
    ~Tree() { std::filesystem::remove_all(root); }

    void PutBack() const {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (::rename(destinations[i].c_str(), sources[i].c_str()) != 0) {
                std::perror(destinations[i].c_str());
                std::exit(1);
            }
        }
        std::filesystem::remove_all(root + "/dst/20240315-093012");
        ::sync();
    }
};

Tree& TheTree() {
    static Tree tree;
    return tree;
}

void MakeFolders(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
        return;
    }
    MakeFolders(path.substr(0, path.rfind('/')));
    ::mkdir(path.c_str(), 0777);
}

// The baseline: what any program must do at the least to move these files.
void RenameLoop(const Tree& t) {
    std::string last;
    for (std::size_t i = 0; i < t.sources.size(); ++i) {
        const std::string& to = t.destinations[i];
        std::string_view folder(to.data(), to.rfind('/'));
        if (folder != last) {
            last = folder;
            MakeFolders(last);
        }
        if (::rename(t.sources[i].c_str(), to.c_str()) != 0) {
            std::perror(to.c_str());
            std::exit(1);
        }
    }
}

class NoQuestions : public stowra::Prompter {
public:
    stowra::MessageAnswer Ask(std::string_view, std::string_view, stowra::MessageIcon,
                              stowra::MessageButtons) override {
        return stowra::MessageAnswer::Cancel;
    }
};

class CountingSink : public stowra::ProgressSink {
public:
    bool Progress(const stowra::MoveProgress& p) override {
        last = p.filesMoved;
        return true;
    }
    std::uint64_t last = 0;
};

void Report(benchmark::State& state, const Tree& t) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * t.sources.size()));
    state.counters["per_file"] =
        benchmark::Counter(static_cast<double>(t.sources.size()),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RenameLoop(benchmark::State& state) {
    Tree& t = TheTree();
    for (auto _ : state) {
        RenameLoop(t);
        state.PauseTiming();
        t.PutBack();
        state.ResumeTiming();
    }
    Report(state, t);
}

void BM_BatchMove(benchmark::State& state) {
    Tree& t = TheTree();
    for (auto _ : state) {
        NoQuestions prompter;
        CountingSink sink;
        stowra::BatchMoveResult r = stowra::BatchMove(t.sourceList, t.destinationList, prompter, sink);
        if (r.failed || r.cancelled || r.moved != t.sources.size()) {
            state.SkipWithError("the batch move did not move every file");
        }
        state.PauseTiming();
        t.PutBack();
        state.ResumeTiming();
    }
    Report(state, t);
}

}  // namespace

BENCHMARK(BM_RenameLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BatchMove)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RenameLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BatchMove)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
