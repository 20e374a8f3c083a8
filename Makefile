# Convenience wrapper around CMake: `make test` installs what the Python package, the numpy
# archives, the language server and the editor tests lack (as root, from Debian), configures again so that
# the build sees what was just installed, builds everything and runs the tests, the Python
# package's and the editors' included; `make demo` builds vexasm and assembles a bundled
# example, without touching the Python dependencies.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build configure test demo clean python-deps formats-deps lsp-deps editor-deps

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

# A build configured before the Python dependencies were installed (by `make demo`, say)
# recorded the module as not buildable; configuring again finds them. It costs a second.
configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

python-deps:
	python/install_deps.sh

formats-deps:
	formats/install_deps.sh

lsp-deps:
	lsp/install_deps.sh

editor-deps:
	editors/install_deps.sh

test: python-deps formats-deps lsp-deps editor-deps
	$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vexasm
	$(BUILD)/vexasm -o $(BUILD)/pulse_sequence examples/pulse_sequence.s
	@echo "wrote $(BUILD)/pulse_sequence.hex"

clean:
	rm -rf $(BUILD)
