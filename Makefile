# Thin wrappers over CMake + Ninja. `make run` and `make test` work on a fresh machine.
JOBS    ?= $(shell nproc)
CMAKE   := cmake -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
CTEST   := ctest --output-on-failure -j$(JOBS) --timeout 600

.PHONY: all build run package test bench fuzz sanitize tsan tsan-build stress docs install-deps format lint clean

all: build

install-deps:
	scripts/install-deps

build: install-deps
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j$(JOBS)

# The camera station, e.g. make run ARGS="--seconds 20" (output in ./zep3-station).
run: build
	build/examples/station/zep3-station $(ARGS)

# Debian packages of the library, its development files and the station, in build/packages.
package: build
	cd build && cpack -G DEB

test: build
	cd build && $(CTEST)

bench:
	scripts/install-deps --bench
	$(CMAKE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZEP3_BUILD_BENCH=ON \
	    -DZEP3_BUILD_TESTS=OFF -DZEP3_BUILD_EXAMPLES=OFF
	cmake --build build-bench -j$(JOBS)
	scripts/run-benchmarks build-bench

# Every fuzz target for FUZZ_SECONDS (default 60) each, one at a time.
FUZZ_SECONDS ?= 60
fuzz:
	scripts/install-deps --bench
	CC=clang CXX=clang++ $(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEP3_BUILD_FUZZ=ON \
	    -DZEP3_BUILD_TESTS=OFF -DZEP3_BUILD_EXAMPLES=OFF
	cmake --build build-fuzz -j$(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzz build-fuzz

sanitize: install-deps
	$(CMAKE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZEP3_SANITIZE=address,undefined \
	    -DZEP3_BUILD_EXAMPLES=OFF
	cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

tsan: tsan-build
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 $(CTEST)

tsan-build: install-deps
	$(CMAKE) -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEP3_SANITIZE=thread \
	    -DZEP3_BUILD_EXAMPLES=OFF
	cmake --build build-tsan -j$(JOBS)

# The whole suite and the ThreadSanitizer build's, STRESS_ROUNDS times each
# (default 3), with a busy loop on every core beside them.
STRESS_ROUNDS ?= 3
stress: build tsan-build
	STRESS_ROUNDS=$(STRESS_ROUNDS) JOBS=$(JOBS) scripts/stress build build-tsan

# The API reference from the headers' comments, in build/docs/html.
docs: install-deps
	$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build --target docs

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

lint: build
	git ls-files 'zep3/*.cpp' | xargs clang-tidy -p build --quiet

clean:
	rm -rf build build-bench build-asan build-tsan build-fuzz
