#include "packing/MediaProfile.h"

namespace stowra {

std::string ProfileProblem(const MediaProfile& profile) {
    if (profile.Cluster == 0) {
        return "メディア設定のセクタサイズが0のため、詰め込みできません";
    }
    if (static_cast<std::uint32_t>(profile.System) >= static_cast<std::uint32_t>(profile.Total)) {
        return "メディア設定のシステムサイズが総サイズ以上のため、詰め込みできません";
    }
    return {};
}

}  // namespace stowra
