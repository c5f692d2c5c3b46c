# Short commands for people; CMake (with the presets in CMakePresets.json) does the work.
#   make          build the tool, mktinyfs, tests and benchmarks (optimised)
#   make demo     build, make a sample image and run the tool's main jobs on it
#   make test     build with sanitizers and run every test through ctest
#   make bench    page-program and timing benchmark of the optimised build
#   make fuzz     build the libFuzzer targets (clang) and run each for FUZZ_SECONDS
#   make format   clang-format every source file
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all release debug demo test bench fuzz format clean

all: release

release:
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

debug:
	cmake --preset debug >/dev/null
	cmake --build --preset debug -j $(JOBS)

demo:
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target brellix mktinyfs
	sh examples/demo.sh build/release

test: debug
	ctest --preset debug -j $(JOBS)

bench: release
	sh bench/run.sh build/release

fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	sh fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf build
