// The compiled part of the Python package modsin (python/modsin/), the module
// modsin._modsin: modsin::Tabulate with the GIL released, its two vectors
// handed to numpy without a copy, the number text, and the library's failures
// as Python's own exceptions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "calc/NumberText.h"
#include "calc/Tabulate.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"

namespace py = pybind11;

namespace modsin {

// A count as Python code passes it: an int or anything with __index__ (a
// numpy integer), kept as the Python int, of any size, so that the range
// check sees the value given. A float is refused as a TypeError.
struct TCount {
  py::int_ FValue;
};

}  // namespace modsin

namespace pybind11::detail {

template <>
struct type_caster<modsin::TCount> {
  PYBIND11_TYPE_CASTER(modsin::TCount, const_name("int"));

  // pybind11's name and signature for reading an argument.
  bool load(handle source, bool /*convert*/) {  // NOLINT(readability-identifier-naming)
    PyObject* const index = PyNumber_Index(source.ptr());
    if (index == nullptr) {
      PyErr_Clear();
      return false;
    }
    value.FValue = reinterpret_steal<int_>(index);
    return true;
  }
};

}  // namespace pybind11::detail

namespace modsin {
namespace {

// modsin.StatusError, made with the module; the module holds it as long as
// the interpreter runs.
PyObject* gStatusError = nullptr;

constexpr const char* kModuleDoc = R"(modsin's tabulator and number text, compiled.

The package modsin re-exports everything here; import modsin, not this.)";

constexpr const char* kStatusErrorDoc = R"(A tabulation ended with a status other than 0.

code is the status (1 to 7) and message its fixed text, which is also the
exception's text: for example 3 and "Too much InitNodes".)";

constexpr const char* kTabulateDoc = R"(Tabulate y = sin(x^p) over [xleft, xright].

Seeds nodes where x^p is a whole multiple of pi/2, then bisects every
interval whose midpoint leaves the chord by more than dy, keeping an interval
no wider than dx. The defaults are those of modsin-table, modsin's first job.
max_nodes is the node ceiling (2 .. 2147483647): the refinement stops with
status 5 once the table holds that many nodes; max_seeds (0 .. 2147483647)
is the largest seed index range, beyond which the job stops with status 3.

Returns (x, y): two one-dimensional numpy.float64 arrays of the nodes in
order of x, the same bits as the C++ library's and modsin-table's. Each
array owns its memory as it came from the tabulator, without a copy. The GIL
is released while the table is computed.

Raises:
  ValueError         a parameter that is NaN or infinite, or a count out of
                     range, worded as modsin-table words it
                     ("dx: 'nan' is not a number"); and an invalid floating
                     point operation in the job (x^p of a negative x)
  ZeroDivisionError  a floating point division by zero in the job
  OverflowError      a floating point overflow in the job
  StatusError        a status other than 0 (.code, .message)
  MemoryError        memory exhausted)";

constexpr const char* kNumberTextDoc =
    R"(The 23-character number text of value, as the node tables hold it.

A sign position ('-' when the sign bit is set, a space otherwise), 15
significant digits in the form d.dddddddddddddd, 'E', the exponent's sign and
four exponent digits: number_text(-0.5) is "-5.00000000000000E-0001". A NaN
is "Nan" and the infinities "+Inf" and "-Inf", right-aligned.)";

// "<name>: '<value>' <what>", as modsin-table says it of an option's value.
[[noreturn]] void RaiseParameter(std::string_view name, py::handle value, std::string_view what) {
  std::string message(name);
  message += ": '";
  message += py::str(value).cast<std::string>();
  message += "' ";
  message += what;
  throw py::value_error(message);
}

// modsin-table's command line reads no NaN and no infinity.
double CheckedNumber(std::string_view name, double value) {
  if (!std::isfinite(value)) RaiseParameter(name, py::float_(value), "is not a number");
  return value;
}

std::int32_t CheckedCount(std::string_view name, const TCount& count, std::int32_t least) {
  constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(count.FValue.ptr(), &overflow);
  if (overflow != 0 || value < least || value > kMost) {
    RaiseParameter(name, count.FValue,
                   "is out of range " + std::to_string(least) + " .. " + std::to_string(kMost));
  }
  return static_cast<std::int32_t>(value);
}

// An array over the vector's own memory: the vector moves into a heap object
// that a capsule owns, and the capsule is the array's base, which numpy keeps
// as long as the array or any view of it lives.
py::array_t<double> Adopt(std::vector<double>&& values) {
  auto owner = std::make_unique<std::vector<double>>(std::move(values));
  const py::capsule base(owner.get(),
                         [](void* held) { delete static_cast<std::vector<double>*>(held); });
  const std::vector<double>* const held = owner.release();
  return py::array_t<double>(static_cast<py::ssize_t>(held->size()), held->data(), base);
}

std::pair<py::array_t<double>, py::array_t<double>> TabulateForPython(double xleft, double xright,
                                                                      double power, double dx,
                                                                      double dy,
                                                                      const TCount& maxNodes,
                                                                      const TCount& maxSeeds) {
  TJob job;
  job.FXLeft = CheckedNumber("xleft", xleft);
  job.FXRight = CheckedNumber("xright", xright);
  job.FPower = CheckedNumber("power", power);
  job.FXResolution = CheckedNumber("dx", dx);
  job.FYTolerance = CheckedNumber("dy", dy);
  job.FMaxNodes = CheckedCount("max_nodes", maxNodes, kLeastMaxNodes);
  job.FMaxSeeds = CheckedCount("max_seeds", maxSeeds, kLeastMaxSeeds);
  TTable table;
  {
    // A failure leaves this block with the GIL taken again, and is then
    // translated (TranslateFailure).
    const py::gil_scoped_release released;
    table = Tabulate(job);
  }
  return {Adopt(std::move(table.FX)), Adopt(std::move(table.FY))};
}

py::str NumberTextForPython(double value) {
  // The digits come from Extended arithmetic, which needs modsin's own
  // environment; the interpreter's comes back afterwards.
  const TFloatEnvironmentGuard interpreters;
  EstablishFloatEnvironment();
  const TNumberText text = NumberText(value);
  return {text.data(), text.size()};
}

void RaiseStatusError(const EStatus& status) {
  const py::object error = py::reinterpret_borrow<py::object>(gStatusError)(status.what());
  error.attr("code") = status.Code();
  error.attr("message") = status.what();
  PyErr_SetObject(gStatusError, error.ptr());
}

// The library's failures as Python's: the math failures as the math module
// raises them (a domain error is a ValueError), exhausted memory as
// MemoryError, a status as StatusError, any other as RuntimeError; each with
// its own message. pybind11 hands the failure over by value.
void TranslateFailure(std::exception_ptr failure) {  // NOLINT(performance-unnecessary-value-param)
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const EStatus& status) {
    RaiseStatusError(status);
  } catch (const EInvalidOp& invalid) {
    PyErr_SetString(PyExc_ValueError, invalid.what());
  } catch (const EZeroDivide& zeroDivide) {
    PyErr_SetString(PyExc_ZeroDivisionError, zeroDivide.what());
  } catch (const EOverflow& overflow) {
    PyErr_SetString(PyExc_OverflowError, overflow.what());
  } catch (const EOutOfMemory& outOfMemory) {
    PyErr_SetString(PyExc_MemoryError, outOfMemory.what());
  } catch (const Exception& other) {
    PyErr_SetString(PyExc_RuntimeError, other.what());
  }
}

}  // namespace
}  // namespace modsin

PYBIND11_MODULE(_modsin, module) {
  using namespace modsin;
  module.doc() = kModuleDoc;
  module.attr("__version__") = MODSIN_VERSION;

  // Named as the package shows it: modsin.StatusError.
  gStatusError =
      PyErr_NewExceptionWithDoc("modsin.StatusError", kStatusErrorDoc, PyExc_RuntimeError, nullptr);
  if (gStatusError == nullptr) throw py::error_already_set();
  module.add_object("StatusError", py::handle(gStatusError));
  py::register_local_exception_translator(TranslateFailure);

  const TJob defaults;
  module.def("tabulate", TabulateForPython, kTabulateDoc, py::arg("xleft") = defaults.FXLeft,
             py::arg("xright") = defaults.FXRight, py::arg("power") = defaults.FPower,
             py::arg("dx") = defaults.FXResolution, py::arg("dy") = defaults.FYTolerance,
             py::arg("max_nodes") = defaults.FMaxNodes, py::arg("max_seeds") = defaults.FMaxSeeds);
  module.def("number_text", NumberTextForPython, kNumberTextDoc, py::arg("value"));
}
