#include "table/CommandLine.h"

#include <getopt.h>

#include <charconv>
#include <limits>
#include <system_error>

#include "table/Message.h"

namespace modsin {
namespace {

// getopt_long's codes for the options without a short name: past every char.
enum TLongOnly : int {
  kFrom = 256,
  kTo,
  kPower,
  kDX,
  kDY,
  kMaxNodes,
  kMaxSeeds,
  kFormat,
  kVersion,
};

const option kOptions[] = {
    {"from", required_argument, nullptr, kFrom},
    {"to", required_argument, nullptr, kTo},
    {"power", required_argument, nullptr, kPower},
    {"dx", required_argument, nullptr, kDX},
    {"dy", required_argument, nullptr, kDY},
    {"max-nodes", required_argument, nullptr, kMaxNodes},
    {"max-seeds", required_argument, nullptr, kMaxSeeds},
    {"output", required_argument, nullptr, 'o'},
    {"format", required_argument, nullptr, kFormat},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// '-': every argument is met in order, so the first fault on the line is the
// one reported; ':': a missing value is told apart from an unknown option, and
// getopt prints nothing of its own.
constexpr const char* kShortOptions = "-:ho:";
// getopt_long's code for an argument that belongs to no option.
constexpr int kStrayArgument = 1;

// A quoted argument is cut beyond this, so that every message fits the
// failure's own message buffer.
constexpr std::size_t kQuoteLimit = 64;

constexpr std::string_view kUsage =
    R"(Usage: modsin-table [OPTION]...
Tabulate y = sin(x^p) over [xleft, xright]: seed nodes where x^p is a whole
multiple of pi/2, bisect every interval whose midpoint leaves the chord by more
than the y tolerance, and write the nodes as a table.

  --from X            xleft, the left end of the interval (default 0)
  --to X              xright, the right end (default 5)
  --power P           the exponent p (default 2)
  --dx D              x resolution: an interval no wider is kept (default 0.003)
  --dy D              y tolerance between curve and chord (default 0.005)
  --max-nodes N       node ceiling, 2 .. 2147483647 (default 2000)
  --max-seeds N       seed limit k1 - k0, 0 .. 2147483647 (default 100)
  -o, --output FILE   the file to write; - for standard output (the default)
  --format FORMAT     table: 23-character number texts, CR LF (the default);
                      csv: x,y in the shortest text that reads back, LF
  -h, --help          show this help and exit
      --version       show the version and exit

X, P and D are decimal or hexadecimal floating numbers (0x1.4p+2); N is a
whole decimal number. A file is replaced only once its table is complete.
Exit status: 0 the table was written; 1 a failure (input/output, memory,
floating point); 2 a usage error; 3 the tabulation ended with a status other
than 0.
)";

// "<before>'<quoted>'<after>", the argument at fault quoted.
[[noreturn]] void RaiseUsage(std::string_view before, std::string_view quoted,
                             std::string_view after) {
  TMessage message;
  message.Append(before);
  AppendQuoted(message, quoted, kQuoteLimit);
  message.Append(after);
  Raise<EUsageError>(message.View());
}

// "<option>: '<text>' <what>"
[[noreturn]] void RaiseValue(std::string_view option, std::string_view text,
                             std::string_view what) {
  TMessage before;
  before.Append(option);
  before.Append(": ");
  TMessage after;
  after.Append(" ");
  after.Append(what);
  RaiseUsage(before.View(), text, after.View());
}

bool IsDigit(char c, std::chars_format format) {
  const bool decimal = c >= '0' && c <= '9';
  if (format != std::chars_format::hex) return decimal;
  return decimal || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A sign, then a decimal number or "0x" and a hexadecimal one. from_chars
// takes neither a plus nor the prefix, and would take a second sign or a
// word (inf, nan), so those are checked here.
double ReadNumber(std::string_view option, std::string_view text) {
  std::string_view digits = text;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  std::chars_format format = std::chars_format::general;
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    format = std::chars_format::hex;
    digits.remove_prefix(2);
  }
  if (!digits.empty() && (digits.front() == '.' || IsDigit(digits.front(), format))) {
    double value = 0;
    const char* const end = digits.data() + digits.size();
    const std::from_chars_result read = std::from_chars(digits.data(), end, value, format);
    if (read.ptr == end && read.ec == std::errc{}) return negative ? -value : value;
    // Too large for a double, or so small that it would read as zero.
    if (read.ptr == end && read.ec == std::errc::result_out_of_range)
      RaiseValue(option, text, "is out of range");
  }
  RaiseValue(option, text, "is not a number");
}

std::int32_t ReadCount(std::string_view option, std::string_view text, std::int32_t least) {
  std::int64_t value = 0;
  const char* const end = text.data() + text.size();
  const std::from_chars_result read = std::from_chars(text.data(), end, value);
  const bool whole =
      read.ptr == end && (read.ec == std::errc{} || read.ec == std::errc::result_out_of_range);
  if (text.empty() || !whole) RaiseValue(option, text, "is not a whole decimal number");
  constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
  if (read.ec != std::errc{} || value < least || value > kMost) {
    TMessage what;
    what.Append("is out of range ");
    AppendDecimal(what, least);
    what.Append(" .. ");
    AppendDecimal(what, kMost);
    RaiseValue(option, text, what.View());
  }
  return static_cast<std::int32_t>(value);
}

TTableFormat ReadFormat(std::string_view text) {
  if (text == "table") return TTableFormat::Table;
  if (text == "csv") return TTableFormat::Csv;
  RaiseValue("--format", text, "is neither table nor csv");
}

// The option as the user wrote it, without a value joined by '='.
std::string_view WrittenOption(std::string_view argument) {
  return argument.substr(0, argument.find('='));
}

// How many long options begin with what was written after "--".
int LongOptionsStartingWith(std::string_view written) {
  int count = 0;
  for (const option* o = kOptions; o->name != nullptr; ++o)
    count += std::string_view(o->name).starts_with(written) ? 1 : 0;
  return count;
}

// getopt's ':' or '?': an option that lacks its value, or is unknown,
// ambiguous or given a value it does not take. written is the argument getopt
// has just passed; for a short option, that can be an earlier one (within
// "-xh", the x is reported before the argument is passed), so a short option
// is named from optopt alone. optopt is 0 for an unknown or ambiguous long
// option, and a long option's code when it was given a value it does not take
// (--help and --version: -h itself is never at fault).
[[noreturn]] void RaiseOptionFault(int code, std::string_view written) {
  const char shortName[] = {'-', static_cast<char>(optopt)};
  const bool isLong = written.starts_with("--") &&
                      (code == ':' || optopt == 0 || optopt == 'h' || optopt == kVersion);
  const std::string_view name = isLong ? WrittenOption(written) : std::string_view(shortName, 2);
  // Some getopt_long report a value given to --help as a missing one.
  if (isLong && optopt != 0 && name.size() < written.size())
    RaiseUsage("option ", name, " takes no value");
  if (code == ':') RaiseUsage("option ", name, " needs a value");
  if (isLong && LongOptionsStartingWith(name.substr(2)) > 1)
    RaiseUsage("ambiguous option ", name, "");
  RaiseUsage("unknown option ", name, "");
}

}  // namespace

TCommandLine ParseCommandLine(int argc, char** argv) {
  TCommandLine line;
  TTableJob& job = line.FJob;
  opterr = 0;
  optind = 0;  // from the start, even when called before
  for (;;) {
    const int code = getopt_long(argc, argv, kShortOptions, kOptions, nullptr);
    if (code == -1) break;
    const std::string_view value = optarg != nullptr ? optarg : "";
    switch (code) {
      case kFrom:
        job.FXLeft = ReadNumber("--from", value);
        break;
      case kTo:
        job.FXRight = ReadNumber("--to", value);
        break;
      case kPower:
        job.FPower = ReadNumber("--power", value);
        break;
      case kDX:
        job.FXResolution = ReadNumber("--dx", value);
        break;
      case kDY:
        job.FYTolerance = ReadNumber("--dy", value);
        break;
      case kMaxNodes:
        job.FMaxNodes = ReadCount("--max-nodes", value, kLeastMaxNodes);
        break;
      case kMaxSeeds:
        job.FMaxSeeds = ReadCount("--max-seeds", value, kLeastMaxSeeds);
        break;
      case 'o':
        if (value.empty()) RaiseValue("--output", value, "is not a file name");
        job.FOutput = value == "-" ? "" : value;
        break;
      case kFormat:
        job.FFormat = ReadFormat(value);
        break;
      case 'h':
        line.FCommand = TCommand::Help;
        break;
      case kVersion:
        line.FCommand = TCommand::Version;
        break;
      case kStrayArgument:
        RaiseUsage("unexpected argument ", value, "");
      default:
        RaiseOptionFault(code, argv[optind - 1]);
    }
  }
  // Only what follows "--" is left.
  if (optind < argc) RaiseUsage("unexpected argument ", argv[optind], "");
  return line;
}

std::string_view UsageText() noexcept {
  return kUsage;
}

}  // namespace modsin
