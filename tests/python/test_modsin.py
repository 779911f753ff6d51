"""The Python module modsin: its tables against the C++ library's, its
failures, its arrays' memory, its number text and its signatures."""

import ast
import ctypes
import doctest
import gc
import os
import pathlib
import subprocess
import sys
import threading
import time

import numpy
import pytest

import modsin

# fenv.h's FE_TOWARDZERO on x86: rounding toward zero, in the x87 and in SSE.
FE_TOWARDZERO = 0xC00
LARGE_JOB = dict(dx=1e-9, dy=1e-5, max_nodes=100_000_000, max_seeds=100_000)


def reference_table(*options):
    """The nodes as modsin-table computes them, read back exactly from CSV."""
    csv = subprocess.run([os.environ["MODSIN_TABLE"], "--format", "csv", *options],
                         check=True, capture_output=True, text=True).stdout
    rows = [line.split(",") for line in csv.splitlines()[1:]]
    return tuple(numpy.array([float(row[i]) for row in rows]) for i in (0, 1))


def assert_same_bits(got, want):
    for g, w in zip(got, want, strict=True):
        assert g.shape == w.shape
        assert numpy.array_equal(g.view(numpy.uint64), w.view(numpy.uint64))


def test_tables_are_the_cpp_librarys_bit_for_bit_in_any_environment():
    default = reference_table()
    assert_same_bits(modsin.tabulate(), default)
    assert_same_bits(modsin.tabulate(1, 7, 1.5),
                     reference_table("--from", "1", "--to", "7", "--power", "1.5"))
    libm = ctypes.CDLL("libm.so.6")
    before = libm.fegetround()
    libm.fesetround(FE_TOWARDZERO)
    try:
        table = modsin.tabulate()
        after = libm.fegetround()
    finally:
        libm.fesetround(before)
    assert after == FE_TOWARDZERO
    assert_same_bits(table, default)


@pytest.mark.parametrize("arguments, kind, message", [
    (dict(xleft=-1.0, power=0.5), ValueError, "Invalid floating point operation"),
    (dict(power=-1.0), ZeroDivisionError, "Floating point division by zero"),
    (dict(xright=1e300), OverflowError, "Floating point overflow"),
    (dict(dx=float("nan")), ValueError, "dx: 'nan' is not a number"),
    (dict(xright=float("-inf")), ValueError, "xright: '-inf' is not a number"),
    (dict(max_nodes=1), ValueError, "max_nodes: '1' is out of range 2 .. 2147483647"),
    (dict(max_seeds=-2**70), ValueError,
     "max_seeds: '-1180591620717411303424' is out of range 0 .. 2147483647"),
    (dict(max_nodes=2.0), TypeError, None),
])
def test_failures(arguments, kind, message):
    with pytest.raises(kind) as raised:
        modsin.tabulate(**arguments)
    assert type(raised.value) is kind
    assert message is None or str(raised.value) == message


@pytest.mark.parametrize("arguments, code, message", [
    (dict(xleft=2.0, xright=1.0), 1, "xright should be greater than xleft"),
    (dict(max_seeds=1), 3, "Too much InitNodes"),
    (dict(max_nodes=numpy.int64(10)), 5, "Too much nodes"),
])
def test_status_error(arguments, code, message):
    with pytest.raises(modsin.StatusError) as raised:
        modsin.tabulate(**arguments)
    assert isinstance(raised.value, RuntimeError)
    assert (raised.value.code, raised.value.message, str(raised.value)) == (code, message, message)


def test_exhausted_memory_is_memory_error():
    # The address space as it is and 16 MiB more: the large job needs some 50.
    script = f"""if True:
        import resource, modsin
        pages = int(open("/proc/self/statm").read().split()[0])
        limit = pages * resource.getpagesize() + (16 << 20)
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
        try:
            modsin.tabulate(xright=100.0, **{LARGE_JOB!r})
        except MemoryError as failure:
            print(failure)"""
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "Out of memory\n"), run.stderr


def test_arrays_own_their_memory():
    x, y = modsin.tabulate()
    for a in (x, y):
        assert (a.dtype, a.shape) == (numpy.float64, (127,))
        assert type(a.base).__name__ == "PyCapsule"
        assert not a.flags.owndata
    address, want, tail, want_tail = x.ctypes.data, x.copy(), y[100:], y[100:].copy()
    del y
    gc.collect()
    modsin.tabulate(xright=10.0)  # memory freed too early would be taken again
    assert x.ctypes.data == address
    assert numpy.array_equal(x, want)
    assert numpy.array_equal(tail, want_tail)


def test_the_gil_is_released_while_tabulating():
    span = []

    def work():
        span.append(time.perf_counter())
        modsin.tabulate(xright=60.0, **LARGE_JOB)
        span.append(time.perf_counter())

    worker = threading.Thread(target=work)
    stamps = []
    worker.start()
    while worker.is_alive():
        stamps.append(time.perf_counter())
        time.sleep(0.001)
    worker.join()
    # Python ran here in the middle half of the call.
    begin, end = span
    quarter = (end - begin) / 4
    assert any(begin + quarter < t < end - quarter for t in stamps)


@pytest.mark.parametrize("value, text", [
    (1.0, " 1.00000000000000E+0000"),
    (-0.5, "-5.00000000000000E-0001"),
    (10.0, " 1.00000000000000E+0001"),
    (float.fromhex("0x1.e6cf8bc27c245p+1"), " 3.80320879932723E+0000"),
    (float.fromhex("0x1.3ffffffffffffp+3"), " 1.00000000000000E+0001"),
    (4.9406564584124654e-324, " 4.94065645841247E-0324"),
    (float("nan"), "Nan".rjust(23)),
    (float("-inf"), "-Inf".rjust(23)),
])
def test_number_text(value, text):
    assert modsin.number_text(value) == text


def test_docstrings_and_stub_agree_with_the_module():
    assert doctest.testmod(modsin).failed == 0
    assert modsin.__version__ == "1.0.0"
    package = pathlib.Path(modsin.__file__).parent
    assert (package / "py.typed").exists()
    for node in ast.parse((package / "_modsin.pyi").read_text()).body:
        if isinstance(node, ast.FunctionDef):
            arguments = node.args.args
            defaults = [None] * (len(arguments) - len(node.args.defaults)) + node.args.defaults
            written = ", ".join(f"{a.arg}: {ast.unparse(a.annotation)}"
                                + ("" if d is None else f" = {ast.literal_eval(d)!r}")
                                for a, d in zip(arguments, defaults))
            assert getattr(modsin, node.name).__doc__.startswith(f"{node.name}({written})")
