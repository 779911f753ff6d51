# Thin wrapper over the CMake presets; CMake is the build.
PRESET ?= release
JOBS   ?= $(shell nproc)
# CI builds with warnings as errors.
ifneq ($(CI),)
WERROR := -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
endif

.PHONY: all build test run clean configure bench

all: build

configure:
	cmake --preset $(PRESET) $(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

# Benchmarks and the whole run against its floor; timings, so never in CI.
bench:
	cmake --preset bench $(WERROR)
	cmake --build --preset bench -j $(JOBS)
	build/bench/bench/modsin_bench --benchmark_enable_random_interleaving=true \
	  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	bench/whole-run.sh build/bench/app/modsin build/bench/bench/modsin_floor

clean:
	rm -rf build
