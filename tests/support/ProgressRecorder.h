#pragma once
// Stands in for a move's progress display: keeps the last report and how many came, and answers
// each as a script says (go on when there is none).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "frontend/FrontEnd.h"

namespace stowra::test {

class ProgressRecorder : public ProgressSink {
public:
    // What the reports of a single batch must keep to, checked as they come: never beyond their
    // totals, the bytes never going back. A move of several media starts a batch for each.
    enum class Checks { None, OneBatch };
    explicit ProgressRecorder(Checks checks = Checks::None) : checks_(checks) {}

    std::function<bool(int call)> onCall;  // the answer to report number `call` (from 1)
    int calls = 0;
    std::uint64_t files = 0, failed = 0, filesTotal = 0, bytes = 0, bytesTotal = 0;

    bool Progress(const MoveProgress& p) override {
        if (checks_ == Checks::OneBatch) {
            EXPECT_LE(p.filesMoved + p.filesFailed, p.filesTotal);
            EXPECT_LE(p.bytesDone, p.bytesTotal);
            EXPECT_GE(p.bytesDone, bytes);
        }
        files = p.filesMoved, failed = p.filesFailed, filesTotal = p.filesTotal, bytes = p.bytesDone,
        bytesTotal = p.bytesTotal;
        ++calls;
        return onCall ? onCall(calls) : true;
    }

private:
    Checks checks_;
};

}  // namespace stowra::test
