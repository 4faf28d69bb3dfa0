#include "packing/MediaProfile.h"

#include "platform/Translation.h"

namespace stowra {

std::string ProfileProblem(const MediaProfile& profile) {
    if (profile.Cluster == 0) {
        return Tr("メディア設定のセクタサイズが0のため、詰め込みできません");
    }
    if (static_cast<std::uint32_t>(profile.System) >= static_cast<std::uint32_t>(profile.Total)) {
        return Tr("メディア設定のシステムサイズが総サイズ以上のため、詰め込みできません");
    }
    return {};
}

}  // namespace stowra
