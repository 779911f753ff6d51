# Thin wrapper over the CMake presets; CMake is the build.
PRESET ?= release
JOBS   ?= $(shell nproc)
# CI builds with warnings as errors.
ifneq ($(CI),)
WERROR := -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
endif

.PHONY: all build test run clean configure package plot bench

all: build

configure:
	cmake --preset $(PRESET) $(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

# The program, run in the current folder: it writes its two tables here and
# waits for Enter.
run: build
	./build/$(PRESET)/app/modsin

# The Debian package of the program and its man page, in build/$(PRESET).
package: build
	cd build/$(PRESET) && cpack

# The picture of both tables in the README; needs gnuplot.
plot: build
	tools/plot.sh build/$(PRESET)/app/modsin docs/modsin-tables.png

# Benchmarks and the whole run against its floor; timings, so never in CI.
bench:
	cmake --preset bench $(WERROR)
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/modsin_bench --benchmark_enable_random_interleaving=true \
	  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	bench/whole-run.sh build/bench/app/modsin build/bench/bench/modsin_floor

clean:
	rm -rf build
