#include "base/Exception.h"

#include <algorithm>

namespace modsin {

Exception::Exception(std::string_view message) noexcept {
  const std::size_t n = std::min(message.size(), kMaxMessage);
  message.copy(FMessage, n);
  FMessage[n] = '\0';
}

}  // namespace modsin
