/* The floor of a modsin run: a static C program that does only what a normal
 * run must do at the system level, and nothing else. It writes the two node
 * tables and the console transcript with the program's write pattern (one
 * write per full 128-byte buffer, one for the rest at the close) and reads
 * standard input once. whole-run.sh times the program against it.
 *
 * The bytes are the end-to-end tests' checked-in copies, compiled in by
 * bench/CMakeLists.txt as the arrays below. */
#include <fcntl.h>
#include <stddef.h>
#include <unistd.h>

#include "FloorData.h"

/* The text streams' buffer size. */
enum { kBufferSize = 128 };

/* The permissions the program creates its tables with, less the umask. */
enum { kFileMode = 0666 };

static int WriteChunk(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) return -1;
    data += written;
    size -= (size_t)written;
  }
  return 0;
}

/* The whole 128-byte buffers of size bytes, one write each. */
static int WriteFullBuffers(int fd, const unsigned char* data, size_t size) {
  for (size_t done = 0; done + kBufferSize <= size; done += kBufferSize)
    if (WriteChunk(fd, data + done, kBufferSize) != 0) return -1;
  return 0;
}

static size_t FullBufferBytes(size_t size) {
  return size / kBufferSize * kBufferSize;
}

static int WriteTable(const char* name, const unsigned char* data, size_t size) {
  const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
  if (fd < 0) return -1;
  const size_t full = FullBufferBytes(size);
  const int failed = WriteFullBuffers(fd, data, full) != 0 ||
                     (full < size && WriteChunk(fd, data + full, size - full) != 0);
  return (close(fd) != 0 || failed) ? -1 : 0;
}

int main(void) {
  if (WriteTable("ModSinOutput.dat", kTable1, sizeof kTable1) != 0) return 1;
  if (WriteTable("ModSinOutput2.dat", kTable2, sizeof kTable2) != 0) return 1;
  /* The transcript's full buffers go out while the jobs run, its rest at the
   * exit, after the one read of standard input. */
  const size_t full = FullBufferBytes(sizeof kTranscript);
  if (WriteFullBuffers(STDOUT_FILENO, kTranscript, full) != 0) return 1;
  unsigned char line[kBufferSize];
  if (read(STDIN_FILENO, line, sizeof line) < 0) return 1;
  if (WriteChunk(STDOUT_FILENO, kTranscript + full, sizeof kTranscript - full) != 0) return 1;
  return 0;
}
