#pragma once
// A log pane kept in memory: the command line prints it, tests read it back with its colours.

#include <string>
#include <vector>

#include "frontend/FrontEnd.h"

namespace stowra {

class LogRecorder : public LogPane {
public:
    struct Run {
        std::string text;
        LogColor color;
    };

    void Clear() override {
        runs_.clear();
        color_ = LogColor::WindowText;
    }
    void SetColor(LogColor color) override { color_ = color; }
    void Insert(std::string_view text) override {
        if (text.empty()) {
            return;
        }
        if (!runs_.empty() && runs_.back().color == color_) {
            runs_.back().text.append(text);
        } else {
            runs_.push_back({std::string(text), color_});
        }
    }
    void Repaint() override { ++repaints_; }

    const std::vector<Run>& Runs() const { return runs_; }
    int Repaints() const { return repaints_; }

    std::string Text() const {
        std::string all;
        for (const Run& r : runs_) {
            all += r.text;
        }
        return all;
    }

    // The pane's lines; a final line without a line feed counts too.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::string all = Text();
        std::size_t start = 0;
        while (start < all.size()) {
            std::size_t end = all.find('\n', start);
            if (end == std::string::npos) {
                lines.push_back(all.substr(start));
                break;
            }
            lines.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

private:
    std::vector<Run> runs_;
    LogColor color_ = LogColor::WindowText;
    int repaints_ = 0;
};

}  // namespace stowra
