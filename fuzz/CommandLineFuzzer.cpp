// Any argument vector, as modsin-table would be given it: the input split into
// arguments at NUL bytes. ParseCommandLine either returns a command line whose
// numbers are all finite and whose counts are within their options' ranges, or
// raises one EUsageError whose message is a single line that fits the
// failure's buffer uncut; nothing else escapes it.
#include <getopt.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "table/CommandLine.h"

namespace modsin::fuzz {
namespace {

// Each argument ends at a NUL byte, the last one at the input's end too:
// "a\0b" is two arguments, "\0" one empty argument, and no input none.
std::vector<std::string> SplitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"modsin-table"};
  const char* const text = reinterpret_cast<const char*>(data);
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] != '\0') continue;
    arguments.emplace_back(text + start, i - start);
    start = i + 1;
  }
  if (start < size) arguments.emplace_back(text + start, size - start);
  return arguments;
}

void CheckJob(const TCommandLine& line) {
  Require(line.FCommand == TCommand::Tabulate || line.FCommand == TCommand::Help ||
              line.FCommand == TCommand::Version,
          "the command is one of the three");
  const TTableJob& job = line.FJob;
  for (const double v : {job.FXLeft, job.FXRight, job.FPower, job.FXResolution, job.FYTolerance})
    Require(std::isfinite(v), "every number of the job is finite");
  Require(job.FMaxNodes >= 2, "the node ceiling is at least 2");
  Require(job.FMaxSeeds >= 0, "the seed limit is at least 0");
  Require(job.FFormat == TTableFormat::Table || job.FFormat == TTableFormat::Csv,
          "the format is table or csv");
  Require(job.FOutput != "-", "- stands for standard output, an empty file name");
}

void CheckMessage(const EUsageError& failure) {
  const char* const message = failure.what();
  const std::size_t length = std::strlen(message);
  Require(length > 0, "a usage error says what is wrong");
  Require(length < Exception::kMaxMessage, "a usage error's message is never cut");
  Require(std::strpbrk(message, "\n\r") == nullptr, "a usage error's message is one line");
}

}  // namespace
}  // namespace modsin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace modsin;
  std::vector<std::string> arguments = fuzz::SplitArguments(data, size);
  // argv as main() gets it: writable strings, then a null pointer.
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());
  // getopt's state as a new process finds it (optind 0 also clears glibc's
  // hidden state). ParseCommandLine starts over itself, but an input found
  // here must fail the same way when it is run alone.
  optind = 0;
  optarg = nullptr;
  optopt = '?';
  opterr = 1;
  try {
    fuzz::CheckJob(ParseCommandLine(argc, argv.data()));
  } catch (const EUsageError& failure) {
    fuzz::CheckMessage(failure);
  }
  return 0;
}
