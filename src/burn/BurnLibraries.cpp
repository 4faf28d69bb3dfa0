#include "burn/BurnLibraries.h"

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>
#include <stdint.h>  // libisofs.h needs it first

#include "platform/Text.h"
#include "platform/Translation.h"

namespace stowra::burning {

using namespace ::burn;  // libburn declares itself in a namespace of that name in C++

BurnLibraries::BurnLibraries() {
    isofs_ = iso_init() >= 0;
    if (isofs_) {
        iso_set_msgs_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"),
                                const_cast<char*>("stowra: "));
    }
    burn_ = burn_initialize() != 0;
    if (burn_) {
        burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"),
                                 const_cast<char*>("stowra: "));
        // Exclusive: another program writing to the same drive would ruin both discs.
        burn_preset_device_open(1, 0, 0);
        // Signals stay the program's own: it stops the write itself and says what became of the disc.
        burn_set_signal_handling(nullptr, nullptr, 1);
    }
    ready_ = isofs_ && burn_;
    if (!ready_) {
        error_ = Tr("ディスクの書き込みに使うライブラリを初期化できません");
    }
}

BurnLibraries::~BurnLibraries() {
    if (burn_) {
        burn_finish();
    }
    if (isofs_) {
        iso_finish();
    }
}

std::string TakeImageMessages() {
    std::string out;
    char text[4096];
    char severity[80];
    int code = 0;
    int imageId = 0;
    while (iso_obtain_msgs(const_cast<char*>("SORRY"), &code, &imageId, text, severity) > 0) {
        out += (out.empty() ? "" : "\n") + Format(Tr("イメージ作成: %s"), text);
    }
    return out;
}

std::string TakeLibraryMessages() {
    std::string out = TakeImageMessages();
    char text[4096];
    char severity[80];
    int code = 0;
    int osErrno = 0;
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &osErrno, severity) > 0) {
        out += (out.empty() ? "" : "\n") + Format(Tr("書き込み: %s"), text);
    }
    return out;
}

}  // namespace stowra::burning
