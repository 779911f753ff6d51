#include "base/CaughtFailure.h"

#include <exception>
#include <new>

#include "base/Exception.h"

namespace modsin {
namespace {

// A foreign what() may be any length, or missing.
std::string_view BoundedText(const char* text, std::size_t limit) noexcept {
  if (text == nullptr) return {};
  std::size_t length = 0;
  while (length < limit && text[length] != '\0')
    ++length;
  return {text, length};
}

}  // namespace

// The failure rethrown here is the one the caller's catch block holds, so it
// lives on after this function's own handlers end.
TCaughtFailure DescribeCaughtFailure() noexcept {
  static const EOutOfMemory kOutOfMemory;
  try {
    throw;
  } catch (const Exception& failure) {
    return {failure.ClassName(), failure.what(), failure.Address()};
  } catch (const std::bad_alloc&) {
    return {kOutOfMemory.ClassName(), kOutOfMemory.what(), nullptr};
  } catch (const std::exception& failure) {
    return {"Exception", BoundedText(failure.what(), Exception::kMaxMessage), nullptr};
  } catch (...) {
    return {"Exception", "Unknown exception", nullptr};
  }
}

}  // namespace modsin
