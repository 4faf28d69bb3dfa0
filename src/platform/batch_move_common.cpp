#include "platform/batch_move_common.h"

#include <algorithm>

#include "platform/BatchMove.h"
#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra {

bool IsCopyName(std::string_view name) {
    if (name.substr(0, kBatchMoveTempPrefix.size()) != kBatchMoveTempPrefix) {
        return false;
    }
    name.remove_prefix(kBatchMoveTempPrefix.size());
    std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size()) {
        return false;
    }
    auto digits = [](std::string_view t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return digits(name.substr(0, dash)) && digits(name.substr(dash + 1));
}

std::string ReplaceQuestion(std::string_view destination) {
    return Format(
        Tr("移動先には同じ名前のファイルが既にあります。\n%s\n\n移動するファイルで置き換えますか？"),
        std::string(destination).c_str());
}

// Splits a list of NUL-terminated paths closed by one more NUL byte, which must be the list's last
// byte. The entries point into the list. False when the list is not closed that way.
bool SplitList(std::string_view list, std::vector<const char*>& out) {
    std::size_t i = 0;
    while (i < list.size()) {
        if (list[i] == '\0') {
            return i + 1 == list.size();
        }
        std::size_t end = list.find('\0', i);
        if (end == std::string_view::npos) {
            return false;
        }
        out.push_back(list.data() + i);
        i = end + 1;
    }
    return false;
}

bool MoverBase::Report() {
    state_.filesMoved = result_.moved;
    state_.filesFailed = result_.failures.size() + skipped_;
    return progress_.Progress(state_);
}

bool MoverBase::Tick() {
    if (Report()) {
        return true;
    }
    result_.cancelled = true;
    return false;
}

void MoverBase::Fail(const char* source, const char* destination, std::string reason) {
    result_.failed = true;
    result_.failures.push_back({source, destination, std::move(reason)});
}

Consent MoverBase::AskReplace(const char* destination) {
    if (replaceAll_) {
        return Consent::Replace;
    }
    switch (prompter_.Ask(ReplaceQuestion(destination), Tr(kReplaceCaption), MessageIcon::Exclamation,
                          MessageButtons::YesAllNoCancel)) {
        case MessageAnswer::YesToAll:
            replaceAll_ = true;
            return Consent::Replace;
        case MessageAnswer::Yes:
            return Consent::Replace;
        case MessageAnswer::No:
            // Declining a replacement leaves part of the batch undone on purpose, which is what the
            // cancelled flag reports.
            result_.cancelled = true;
            ++skipped_;
            return Consent::Skip;
        default:
            result_.cancelled = true;
            return Consent::Stop;
    }
}

}  // namespace stowra
