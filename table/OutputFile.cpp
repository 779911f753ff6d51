// TOutputFile's steps, the same on every platform; the system calls are
// those of OutputFileSystem.h.
#include "table/OutputFile.h"

#include <string>

#include "table/OutputFileSystem.h"
#include "textio/FailureNumber.h"
#include "textio/InOutError.h"

namespace modsin {
namespace {

// A temporary file is ".modsin-table-<process id>-<attempt>": unique among
// running processes, and another attempt where a name is taken, by a file
// that an earlier process of the same id was killed before it could remove.
constexpr std::string_view kTemporaryPrefix = ".modsin-table-";
constexpr int kNameAttempts = 100;

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t end = path.find_last_of(PathSeparators());
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

TOutputFile::TOutputFile(const std::string& name) {
  static bool prepared = false;
  if (!prepared) {
    PrepareOutputs();
    prepared = true;
  }
  if (name.empty()) {
    FHandle = StandardHandle(TStandardHandle::Output);
    // Closed on Linux; absent or not a handle at all on Windows.
    if (FHandle == kNoHandle || FileType(FHandle) == TFileType::Unknown)
      Raise<EInOutError>(kNotOpenForOutput);
    return;
  }
  TOutputTarget target = FindOutputTarget(name);
  FOwnsHandle = true;
  if (target.FInPlace != kNoHandle) {
    FHandle = target.FInPlace;
    return;
  }
  FTarget = std::move(target.FPath);
  const std::string prefix =
      FolderOf(FTarget) + std::string(kTemporaryPrefix) + std::to_string(ProcessId()) + "-";
  for (int attempt = 0; FHandle == kNoHandle; ++attempt) {
    FTemporary = prefix + std::to_string(attempt);
    const TCreateResult created = CreateTemporary(FTemporary, target.FPassedOn);
    if (created.FFailure != 0) {
      FTemporary.clear();  // another's, or none
      if (created.FFailure != kNameTaken || attempt + 1 == kNameAttempts)
        Raise<EInOutError>(created.FFailure);
    }
    FHandle = created.FHandle;
  }
}

TOutputFile::~TOutputFile() {
  Abandon();
}

void TOutputFile::Abandon() noexcept {
  if (FOwnsHandle && FHandle != kNoHandle) CloseHandle(FHandle);
  FHandle = kNoHandle;
  if (!FTemporary.empty()) {
    RemoveTemporary(FTemporary);
    FTemporary.clear();
  }
}

void TOutputFile::Write(std::string_view bytes) const {
  const std::int32_t failure = WriteAll(FHandle, bytes.data(), bytes.size());
  if (failure != 0) Raise<EInOutError>(failure);
}

void TOutputFile::Commit() {
  if (!FOwnsHandle) return;
  // A table put in place must not turn out empty after a crash.
  if (!FTemporary.empty()) {
    const std::int32_t flushed = FlushToStorage(FHandle);
    if (flushed != 0) Raise<EInOutError>(flushed);
  }
  const std::int32_t closed = CloseHandle(FHandle);
  FHandle = kNoHandle;
  if (closed != 0) Raise<EInOutError>(closed);
  if (FTemporary.empty()) return;
  const std::int32_t moved = MoveOverTarget(FTemporary, FTarget);
  if (moved != 0) Raise<EInOutError>(moved);
  FTemporary.clear();
}

}  // namespace modsin
