// Where modsin-table writes its table: standard output, or a named file that
// is replaced whole, and only once the table is complete, so that a failure
// never leaves a half-written or emptied file behind. The system calls are in
// one source per platform (OutputFileSystem.h).
#pragma once

#include <string>
#include <string_view>

#include "textio/Platform.h"

namespace modsin {

class TOutputFile {
 public:
  // An empty name is standard output, written as it comes. A named file that
  // exists and is not a regular file (a device, a FIFO, a terminal; on
  // Windows also NUL, CON, a pipe) is opened and written in place. Any other
  // name, an existing regular file or a new one, gets a new temporary file in
  // the same folder, which Commit puts in its place; a symbolic link is
  // followed, so that the file it leads to is replaced and the link stays.
  // On Linux a replaced file's permissions, and its owner where the system
  // allows, pass to the new one, and a new file gets read and write
  // permission for all, less the umask. On Windows a replaced file passes on
  // its attributes (hidden, system, not indexed); one that is read-only, or
  // open in a program that does not share it, is not replaced. Raises
  // EInOutError when the file or the temporary file cannot be opened or
  // created.
  explicit TOutputFile(const std::string& name);
  // Without a Commit, the temporary file is removed; the named file is left
  // as it was. A file written in place is closed.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  // Writes every byte or raises EInOutError.
  void Write(std::string_view bytes) const;

  // Completes the output: a temporary file is flushed to its storage device,
  // closed and renamed over the named file; a file written in place is
  // closed. Raises EInOutError, and then the destructor removes what is left
  // of the temporary file.
  void Commit();

 private:
  // Closes the file and removes the temporary file, if any.
  void Abandon() noexcept;

  THandle FHandle = kNoHandle;
  bool FOwnsHandle = false;  // not standard output
  std::string FTarget;       // the file that FTemporary replaces
  std::string FTemporary;    // empty when written in place
};

}  // namespace modsin
