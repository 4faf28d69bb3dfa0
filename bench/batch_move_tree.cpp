// Moves every file of a tree to the same relative path below another folder with one batch move,
// for comparing the batch move with cp and rm. Usage: batch_move_tree SOURCE DESTINATION

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/BatchMove.h"

namespace {

class NoQuestions : public stowra::Prompter {
public:
    stowra::MessageAnswer Ask(std::string_view, std::string_view, stowra::MessageIcon,
                              stowra::MessageButtons) override {
        return stowra::MessageAnswer::Cancel;
    }
};

class Quiet : public stowra::ProgressSink {
public:
    bool Progress(const stowra::MoveProgress&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: batch_move_tree SOURCE DESTINATION\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path from = argv[1];
    const std::string to = argv[2];
    std::string sources, destinations;
    for (const auto& e : fs::recursive_directory_iterator(from)) {
        if (e.is_regular_file()) {
            sources.append(e.path().string()).push_back('\0');
            destinations.append(to + "/" + e.path().lexically_relative(from).string()).push_back('\0');
        }
    }
    sources.push_back('\0');
    destinations.push_back('\0');
    NoQuestions prompter;
    Quiet sink;
    stowra::BatchMoveResult r = stowra::BatchMove(sources, destinations, prompter, sink);
    std::printf("moved %llu files%s%s\n", static_cast<unsigned long long>(r.moved),
                r.failed ? ", some failed" : "", r.cancelled ? ", cancelled" : "");
    return r.failed || r.cancelled ? 1 : 0;
}
