# The two commands a newcomer needs: `make run` and `make test`.
# `make test SANITIZE=1` (address + undefined) and `make test SANITIZE=thread` run the same
# tests under a sanitizer in a build folder of their own. `make package` builds the .deb.

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

.PHONY: run test demo package bench build deps configure format clean

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

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
	find src tests tools bench -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

clean:
	rm -rf build build-asan build-tsan build-bench
