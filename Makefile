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
# What building the tests of $(PRESET) needs.
TEST_LISTS := test
ifeq ($(PRESET),clang)
TEST_LISTS += analysis
endif

# The Windows build runs its programs under Wine, in a prefix of its own
# under the build folder, inside one Wine session (tools/wine-session.sh).
PROGRAM := ./build/$(PRESET)/app/modsin
WINE_SESSION :=
ifeq ($(PRESET),windows)
TEST_LISTS := program windows
PROGRAM := wine ./build/windows/app/modsin.exe
WINE_SESSION := tools/wine-session.sh
export WINEPREFIX := $(CURDIR)/build/windows/wine
export WINEDEBUG := -all
endif

.PHONY: all build test run clean configure package plot bench coverage fuzz tidy format

all: build

configure:
	@$(PREREQUISITES) $(TEST_LISTS)
	cmake --preset $(PRESET) $(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	$(WINE_SESSION) ctest --preset $(PRESET) -j $(JOBS)

# The program, run in the current folder: it writes its two tables here and
# waits for Enter. It needs nothing of the tests, so it builds without them.
run:
	@$(PREREQUISITES) $(if $(WINE_SESSION),program windows,program)
	cmake --preset $(PRESET) $(WERROR)
	cmake --build --preset $(PRESET) -j $(JOBS) --target modsin
	$(PROGRAM)

# The Debian package of the program and its man page, in build/$(PRESET); for
# PRESET=windows the ZIP of modsin.exe, the README and the man page as text.
package: build
	cd build/$(PRESET) && cpack

# The picture of both tables in the README, drawn by gnuplot.
plot: build
	@$(PREREQUISITES) plot
	tools/plot.sh build/$(PRESET)/app/modsin docs/modsin-tables.png

# Benchmarks, the whole run against its floor, and modsin-table's large job;
# timings, so never in CI.
bench:
	@$(PREREQUISITES) bench
	cmake --preset bench $(WERROR)
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/modsin_bench --benchmark_enable_random_interleaving=true \
	  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	build/bench/bench/modsin_numbertext_compare
	bench/whole-run.sh build/bench/app/modsin build/bench/bench/modsin_floor
	bench/table-run.sh build/bench/table/modsin-table

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
