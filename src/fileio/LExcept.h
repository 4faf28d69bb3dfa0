#pragma once
// The system's own exception type: file failures, and the blank media probe's errors.

#include <cstdint>
#include <string>
#include <utility>

namespace stowra {

// Thrown by value and caught as `LExcept&`. Every throw in the system sets the code to 0;
// handlers read only the message.
class LExcept {
public:
    LExcept(std::int32_t errorCode, std::string text) : code(errorCode), message(std::move(text)) {}

    std::int32_t code;
    std::string message;
};

}  // namespace stowra
