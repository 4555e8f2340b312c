# Palm Loomway: the commands of the README.
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run the whole suite
#   make bench  the relay benchmark against socat (not part of make test)
#   make bench-ppp  the PPP gateway benchmark (not part of make test)
#   make package  the Debian package, build/package/loomway_VERSION_ARCH.deb
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build run test bench bench-ppp demo package format clean

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/app/loomway

test: deps
	./scripts/run-tests

bench: build
	./bench/run-bench

bench-ppp: build
	./bench/ppp-bench

demo: build
	./scripts/demo

# Reuses build/ as it is configured (a new one is configured as a Release build).
package: deps
	./packaging/build-deb $(BUILD_DIR)

format:
	find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
