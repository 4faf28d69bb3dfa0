#include <gtest/gtest.h>

#include "app/BurnFromWindow.h"
#include "frontend/LogRecorder.h"
#include "support/Recorders.h"
#include "support/TempTree.h"

namespace stowra {
namespace {

using test::TempTree;

// One line per disc in the log: blue when verified, red with the reason when refused; nothing
// when the user does not insert the disc.
TEST(BurnFromWindow, OneLogLinePerDisc) {
    const struct {
        const char* what;
        bool written;  // the target already holds a disc
        bool udf;
        MessageAnswer insert;
        std::size_t lines;
        LogColor color;
    } rows[] = {
        {"verified", false, false, MessageAnswer::Ok, 1, LogColor::Blue},
        {"UDF, verified", false, true, MessageAnswer::Ok, 1, LogColor::Blue},
        {"not blank", true, false, MessageAnswer::Ok, 1, LogColor::Red},
        {"no disc inserted", false, false, MessageAnswer::Cancel, 0, LogColor::WindowText},
    };
    for (const auto& row : rows) {
        TempTree t;
        t.Write("20261209-120000/1/a.txt", "ab\n");
        t.Write("20261209-120000/1/sub/b.bin", std::string(300000, 'b'));
        if (row.written) {
            t.Write("disc.iso", "x");
        }
        BurnChoice choice;
        choice.folders = {t.Path("20261209-120000/1")};
        choice.device = "stdio:" + t.Path("disc.iso");
        choice.udf = row.udf;
        test::ScriptedPrompter prompter;
        prompter.answers = {row.insert};
        LogRecorder log;
        BurnFromWindow(nullptr, choice, prompter, log);
        std::size_t lines = 0;
        for (const LogRecorder::Run& r : log.Runs()) {
            if (r.text.find("1") != std::string::npos && r.color != LogColor::WindowText) {
                ++lines;
                EXPECT_EQ(r.color, row.color) << row.what << ": " << r.text;
            }
        }
        EXPECT_EQ(lines, row.lines) << row.what;
        EXPECT_EQ(prompter.asked.size(), 1u) << row.what;
    }
}

}  // namespace
}  // namespace stowra
