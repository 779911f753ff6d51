# Thin wrapper over the CMake presets; CMake is the build.
PRESET ?= release
JOBS   ?= $(shell nproc)
# CI builds with warnings as errors.
ifneq ($(CI),)
WERROR := -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
endif

.PHONY: all build test run clean configure

all: build

configure:
	cmake --preset $(PRESET) $(WERROR)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

# Runs the program in the current folder; it waits for Enter at the end.
run: build
	./build/$(PRESET)/app/modsin

clean:
	rm -rf build
