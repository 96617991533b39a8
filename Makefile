# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands a newcomer needs: `make run` and `make test`.
# `make test SANITIZE=1` (address + undefined) and `make test SANITIZE=thread` run the same
# tests under a sanitizer in a build folder of their own; `make test-threads` runs only the
# Qt-free threaded tests under ThreadSanitizer, building only what they need. `make package`
# builds the .deb.
# `make fuzz` builds the libFuzzer targets with clang (build-fuzz) and runs each over its corpus
# and FUZZ_RUNS fresh inputs; `make fuzz-long` for FUZZ_MINUTES each; `make fuzz-qpdf` sends every
# PDF the text target writes through `qpdf --check` as well. (`make test` replays the corpora
# with the ordinary compiler and needs no clang.)

SANITIZE ?=
ifeq ($(SANITIZE),1)
  BUILD ?= build-asan
  CMAKE_FLAGS += -DHALVIK_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
else ifeq ($(SANITIZE),thread)
  BUILD ?= build-tsan
  CMAKE_FLAGS += -DHALVIK_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
else
  BUILD ?= build
endif

JOBS ?= $(shell nproc)

# The ThreadSanitizer pass: the Qt-free tests that run threads (Debian's Qt is not built with
# ThreadSanitizer, so the window tests stay out). Test binaries to build, and the ctest names.
TSAN_TARGETS ?= test_devicelink test_devicelink_linux test_download
TSAN_TESTS ?= ^(devicelink|download)
FUZZ_RUNS ?= 20000
FUZZ_MINUTES ?= 10

.PHONY: run test test-threads demo package bench build deps configure format format-check clean \
	fuzz fuzz-long fuzz-qpdf tidy

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-threads: deps
	cmake -S . -B build-tsan -G Ninja -DHALVIK_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_TARGETS)
	ctest --test-dir build-tsan --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

fuzz: deps
	fuzz/run build
	@for t in $$(fuzz/run list); do fuzz/run check $$t $(FUZZ_RUNS) || exit 1; done

fuzz-long: deps
	fuzz/run build
	@for t in $$(fuzz/run list); do nice -n 10 fuzz/run long $$t $(FUZZ_MINUTES) || exit 1; done

fuzz-qpdf: deps
	fuzz/run build
	HALVIK_FUZZ_QPDF=1 fuzz/run check pdf_text $(FUZZ_RUNS)

run: build
	@if [ -x $(BUILD)/bin/halvik ]; then $(BUILD)/bin/halvik; \
	else echo "halvik is not built yet; built so far:"; ls $(BUILD)/bin; fi

demo: build
	$(BUILD)/bin/halvik-demo $(CARD)

# The Debian package from the build folder's programs: $(BUILD)/halvik_VERSION-1_ARCH.deb
package: build
ifneq ($(SANITIZE),)
	$(error a package holds release programs: run make package without SANITIZE)
endif
	cmake --build $(BUILD) --target package

bench:
	@scripts/install-deps --bench
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVIK_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bin/bench_*; do echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

format-check:
	scripts/check-format

# clang-tidy with the checks of .clang-tidy over every source of ours in $(BUILD).
tidy: build
	JOBS=$(JOBS) scripts/tidy $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
