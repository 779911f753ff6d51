# Thin wrapper over the CMake presets; CMake is the build.
PRESET ?= release
JOBS   ?= $(shell nproc)
# CI builds with warnings as errors.
ifneq ($(CI),)
WERROR := -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
endif

# Each target first installs the Debian packages it needs, where they are
# missing (tools/prerequisites.sh holds the lists); on a ready machine that
# costs one dpkg-query.
PREREQUISITES := tools/prerequisites.sh
# Debian's Python 3, which the Python module is built for (python/).
PYTHON := /usr/bin/python3
# What building the tests of $(PRESET) needs: the release presets build and
# test the Python module too.
TEST_LISTS := test python
ifeq ($(PRESET),clang)
TEST_LISTS += analysis
endif

# The Windows builds run their programs under Wine, in a prefix of their own
# under the build folder, inside one Wine session (tools/wine-session.sh),
# with the loader of their width (MODSIN_WINE): the 64-bit one named in full,
# since Debian's wine starts the 32-bit loader whenever wine32 is installed.
ifeq ($(PRESET),windows)
WINE_LOADER := wine
else ifeq ($(PRESET),windows64)
WINE_LOADER := /usr/lib/wine/wine64
else
WINE_LOADER :=
endif
PROGRAM := ./build/$(PRESET)/app/modsin
WINE_SESSION :=
WINE_RUNS := yes
ifneq ($(WINE_LOADER),)
TEST_LISTS := program windows
PROGRAM := $(WINE_LOADER) ./build/$(PRESET)/app/modsin.exe
WINE_SESSION := tools/wine-session.sh
export MODSIN_WINE := $(WINE_LOADER)
export WINEPREFIX := $(CURDIR)/build/$(PRESET)/wine
export WINEDEBUG := -all
endif
# Where the kernel runs no 32-bit code, the 32-bit loader fails at once
# ("Exec format error"). The 32-bit build then has only the tests that run no
# Windows program (tests/CMakeLists.txt asks the same question), which need no
# Wine session. Asked when the test recipe runs: after its packages are
# installed.
ifeq ($(PRESET),windows)
WINE_RUNS = $(shell $(WINE_LOADER) --version >/dev/null 2>&1 && echo yes)
endif
NOT_RUN := the 32-bit Windows programs were built but not run: this machine does not execute 32-bit code

.PHONY: all build test run clean configure package plot bench coverage fuzz tidy format

all: build

configure:
	@$(PREREQUISITES) $(TEST_LISTS)
	cmake --preset $(PRESET) $(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	$(if $(WINE_RUNS),$(WINE_SESSION)) ctest --preset $(PRESET) -j $(JOBS)
	$(if $(WINE_RUNS),,@echo "$(NOT_RUN)")

# The program, run in the current folder: it writes its two tables here and
# waits for Enter. It needs nothing of the tests, so it builds without them.
run:
	@$(PREREQUISITES) $(if $(WINE_LOADER),program windows,program)
	cmake --preset $(PRESET) $(WERROR)
	cmake --build --preset $(PRESET) -j $(JOBS) --target modsin
	$(PROGRAM)

# The Debian package of the program and its man page, and python3-modsin
# where the preset builds the Python module, in build/$(PRESET); for
# PRESET=windows and windows64 the ZIP of modsin.exe, the README and the man
# page as text.
package: build
	cd build/$(PRESET) && cpack

# The picture of both tables in the README, drawn by gnuplot.
plot: build
	@$(PREREQUISITES) plot
	tools/plot.sh build/$(PRESET)/app/modsin docs/modsin-tables.png

# Benchmarks, the whole run against its floor, modsin-table's large job, and
# the same job as one call in C++ and in Python; timings, so never in CI.
bench:
	@$(PREREQUISITES) bench python
	cmake --preset bench $(WERROR)
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/modsin_bench --benchmark_enable_random_interleaving=true \
	  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	build/bench/bench/modsin_numbertext_compare
	bench/whole-run.sh build/bench/app/modsin build/bench/bench/modsin_floor
	bench/table-run.sh build/bench/table/modsin-table
	bench/tabulate-run.sh build/bench/bench/modsin_tabulate_run $(PYTHON) build/bench/python

# Every test with line and branch coverage, reported per folder by gcovr.
# gcovr replaces its output file, so each report goes to a file of its own,
# never to a device.
COVERED := base numeric textio calc app table
coverage:
	@$(PREREQUISITES) test coverage
	cmake --preset coverage $(WERROR)
	find build/coverage -name '*.gcda' -delete
	cmake --build --preset coverage -j $(JOBS)
	ctest --preset coverage -j $(JOBS)
	@for d in $(COVERED); do echo "== $$d/"; \
	  gcovr -r . --object-directory build/coverage --filter "$$d/" --gcov-exclude ".*CompilerId.*" --exclude-unreachable-branches \
	    --exclude-throw-branches -s -o build/coverage/$$d.txt \
	    build/coverage | grep -E '^(lines|branches):'; done
	gcovr -r . --object-directory build/coverage --gcov-exclude ".*CompilerId.*" $(foreach d,$(COVERED),--filter $(d)/) \
	  --exclude-unreachable-branches --exclude-throw-branches -s -o build/coverage/coverage.txt \
	  build/coverage
	@echo "uncovered lines: build/coverage/coverage.txt"

# The fuzz targets (clang++ 14 with libFuzzer), each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 60
fuzz:
	@$(PREREQUISITES) fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# clang-tidy (checks in .clang-tidy) over the product sources, on the clang
# preset's compile commands; the Windows sources have none there.
tidy:
	@$(PREREQUISITES) analysis
	cmake --preset clang $(WERROR) >/dev/null
	git ls-files 'base/*.cpp' 'numeric/*.cpp' 'textio/*.cpp' 'calc/*.cpp' 'app/*.cpp' 'table/*.cpp' \
	  ':!*Win32.cpp' ':!app/ExceptionFault.cpp' | \
	  xargs -n 1 -P $(JOBS) clang-tidy-14 -p build/clang --quiet

# clang-format 14 over every tracked C and C++ source, in place.
format:
	@$(PREREQUISITES) analysis
	git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format-14 -i

clean:
	rm -rf build
