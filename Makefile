# Convenience wrapper around CMake: `make test` installs what the Python package lacks (as
# root, from Debian), builds everything and runs the tests, the Python package's included;
# `make demo` builds vexasm and assembles a bundled example.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build test demo clean python-deps

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

python-deps:
	python/install_deps.sh

test: python-deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vexasm
	$(BUILD)/vexasm -o $(BUILD)/pulse_sequence examples/pulse_sequence.s
	@echo "wrote $(BUILD)/pulse_sequence.hex"

clean:
	rm -rf $(BUILD)
