#pragma once
// What both systems' batch moves share: the lists, and the bookkeeping of a batch (progress, the
// questions before replacing, the result), around each system's own way of moving one file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/FrontEnd.h"
#include "platform/BatchMove.h"

namespace stowra {

// Splits a list of NUL-terminated paths closed by one more NUL byte, which must be the list's last
// byte. The entries point into the list. False when the list is not closed that way.
bool SplitList(std::string_view list, std::vector<const char*>& out);

enum class Flow { Go, Stop };
enum class Consent { Replace, Skip, Stop };

class MoverBase {
protected:
    MoverBase(Prompter& prompter, ProgressSink& progress, CopyTap* tap)
        : prompter_(prompter), progress_(progress), tap_(tap) {}

    // Calls moveOne(i) for each of the `count` transfers in order, reporting progress before the
    // first and after each; sizeOf(i) is the bytes transfer i counts for, read again after it has
    // moved. A Cancel pressed after the last file stops nothing: the batch is complete.
    template <typename SizeOf, typename MoveOne>
    BatchMoveResult RunAll(std::size_t count, SizeOf sizeOf, MoveOne moveOne) {
        state_.filesTotal = count;
        for (std::size_t i = 0; i < count; ++i) {
            state_.bytesTotal += sizeOf(i);
        }
        if (!Tick()) {
            return result_;
        }
        for (std::size_t i = 0; i < count; ++i) {
            fileStart_ = state_.bytesDone;
            current_ = i;
            Flow flow = moveOne(i);
            state_.bytesDone = fileStart_ + sizeOf(i);
            if (flow == Flow::Stop) {
                break;
            }
            if (i + 1 == count) {
                Report();
            } else if (!Tick()) {
                break;
            }
        }
        return result_;
    }

    // Tells the progress display; false when it asks to stop.
    bool Report();
    // The same, and a stop asked for marks the batch cancelled.
    bool Tick();
    void Fail(const char* source, const char* destination, std::string reason);
    // Asks before an existing destination file is replaced (unless the user said "Yes to all").
    Consent AskReplace(const char* destination);
    // What the tap hears of the current transfer's copy.
    void TapBegin() {
        if (tap_ != nullptr) {
            tap_->Begin(current_);
        }
    }
    void TapData(std::uint64_t offset, std::vector<char>& buffer, std::size_t size) {
        if (tap_ != nullptr) {
            tap_->Data(offset, buffer, size);
        }
    }
    void TapPlaced(std::uint64_t size) {
        if (tap_ != nullptr) {
            tap_->Placed(current_, size);
        }
    }

    Prompter& prompter_;
    ProgressSink& progress_;
    CopyTap* tap_;
    std::size_t current_ = 0;  // the transfer being moved
    BatchMoveResult result_;
    MoveProgress state_;
    std::uint64_t skipped_ = 0;    // left in the source because a replacement was declined
    std::uint64_t fileStart_ = 0;  // state_.bytesDone when the current file began
    bool replaceAll_ = false;
};

}  // namespace stowra
