# Every target installs what is missing first, so a fresh Debian 12 machine needs nothing else.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build run test test-asan bench package format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/dorlo-zidoduder-04

test: build
	scripts/run-tests $(BUILD)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DDORLO_SANITIZE=ON -DDORLO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	scripts/run-tests $(ASAN_BUILD)

bench: build
	scripts/run-bench $(BUILD)

# The Debian package, written into $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
