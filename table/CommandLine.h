// The command line of modsin-table: the job it describes, and the usage
// errors that stop the program before anything is computed or created.
#pragma once

#include <string>
#include <string_view>

#include "base/Exception.h"
#include "calc/Tabulate.h"

namespace modsin {

enum class TTableFormat {
  Table,  // the node table file: 23-character number texts, CR LF
  Csv,    // "x,y", then x,y per node in the shortest text that reads back, LF
};

// A tabulation and where it goes.
struct TTableJob : TJob {
  std::string FOutput;  // empty: standard output
  TTableFormat FFormat = TTableFormat::Table;
};

enum class TCommand { Tabulate, Help, Version };

struct TCommandLine {
  TCommand FCommand = TCommand::Tabulate;
  TTableJob FJob;
};

// A command line that names no valid job. The message says what was wrong,
// quoting the argument at fault; it is one line.
class EUsageError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EUsageError"; }
};

// Reads the options (the usage text lists them); the last of a repeated
// option counts. A number is a decimal or a hexadecimal floating literal
// ("0x1.4p+2") with an optional sign, read in full and finite, and neither so
// large that it is infinite nor so small that it is zero as a double; a count
// is a whole decimal number within its option's range. Raises EUsageError.
// Reads argv with getopt_long in the order written: the short options begin
// with '-', so an argument that belongs to no option is returned in its place,
// as code 1, and refused there, rather than moved past the options; argv is
// left as it is.
TCommandLine ParseCommandLine(int argc, char** argv);

// The usage text for --help, ending in a line end.
std::string_view UsageText() noexcept;

}  // namespace modsin
