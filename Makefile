# Short commands for people; CMake (with the presets in CMakePresets.json) does the work.
# Each first installs the Debian packages it needs when they are missing (scripts/deps.sh).
#   make              build the tool, mktinyfs, tests and benchmarks (optimised, build/release)
#   make demo         build the programs, make a sample image and run the tool's main jobs on it
#   make test         build with sanitizers (build/debug) and run every test through ctest
#   make coverage     build with gcov (build/coverage), run every test, report and check the floors
#   make bench        page-program and timing benchmark of the optimised build
#   make fuzz         build the libFuzzer target (clang) and run it for FUZZ_SECONDS
#   make format       clang-format every source file
#   make lint         the checks to pass before committing (commit subjects since LINT_BASE)
#   make arm          static optimised builds for the boards: armel, armhf, arm64 (build/<target>)
#   make test-arm     those builds and their tests under qemu-user (one target: make test-armel)
#   make package      this machine's Debian package, in build/packages
#   make package-arm  the three boards' Debian packages, in build/packages
#   make uninstall    remove what cmake --install build/release installed, never a package's file
#   make figures      write the figures a build measures into doc/figures.md and CONTRIBUTING.md
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
ARM_TARGETS := armel armhf arm64

.PHONY: all deps deps-arm release debug demo test coverage bench fuzz format lint clean arm test-arm package \
	package-arm uninstall figures $(ARM_TARGETS) $(ARM_TARGETS:%=test-%) $(ARM_TARGETS:%=package-%)

all: release

# Installs what building and testing need, when it is missing (as root; else it says how).
deps:
	@sh scripts/deps.sh build

# The cross compilers, qemu-user and GoogleTest's sources besides.
deps-arm:
	@sh scripts/deps.sh build arm

release: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

debug: deps
	cmake --preset debug >/dev/null
	cmake --build --preset debug -j $(JOBS)

# Builds what cmake --install copies, and no tests.
demo: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target brellix_installable
	sh examples/demo.sh build/release

test: debug
	ctest --preset debug -j $(JOBS)

# Line and branch coverage of each product file and in total, the HTML report in
# build/coverage/report/; fails below the floors of gcovr.cfg.
coverage: deps
	@sh scripts/deps.sh coverage
	@echo "== coverage: building build/coverage (gcc --coverage, no sanitizers)"
	cmake --preset coverage >/dev/null
	cmake --build --preset coverage -j $(JOBS)
	@sh scripts/coverage.sh

bench: release
	@sh scripts/deps.sh bench
	python3 bench/run.py build/release

# The target runs once over its seeds, then fuzzes a scratch copy of them; findings are
# kept in build/fuzz/findings/.
fuzz: deps
	@sh scripts/deps.sh fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	build/fuzz/fuzz/fuzz_image fuzz/corpus/fuzz_image/*
	rm -rf build/fuzz/corpus && cp -r fuzz/corpus/fuzz_image build/fuzz/corpus && mkdir -p build/fuzz/findings
	build/fuzz/fuzz/fuzz_image -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -artifact_prefix=build/fuzz/findings/ \
		build/fuzz/corpus

arm: $(ARM_TARGETS)

$(ARM_TARGETS): deps-arm
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test-arm: $(ARM_TARGETS:%=test-%)

$(ARM_TARGETS:%=test-%): test-%: %
	ctest --preset $* -j $(JOBS)

package: release
	@sh scripts/deps.sh package
	@sh scripts/package.sh build/release

package-arm: $(ARM_TARGETS:%=package-%)

$(ARM_TARGETS:%=package-%): package-%: %
	@sh scripts/deps.sh package
	@sh scripts/package.sh build/$*

# As root, like the install; removes only files that install_manifest.txt lists.
uninstall:
	@sh scripts/uninstall.sh build/release

# The release build and the boards' builds measure them (scripts/figures.py; CI checks them).
figures: release $(ARM_TARGETS)
	@sh scripts/deps.sh bench
	python3 scripts/figures.py build/release

format:
	@sh scripts/deps.sh format
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

lint:
	@sh scripts/deps.sh lint
	@bash scripts/lint.sh

clean:
	rm -rf build
