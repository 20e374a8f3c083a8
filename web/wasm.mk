# The library as WebAssembly with Debian's emscripten: `make web` from the root runs this.
# The module (vexa.js and vexa.wasm) and the playground go to $(OUT).
EMCC ?= emcc
OUT ?= build-web
# emcc's optimizer needs acorn, which Debian keeps in its own folder of JavaScript modules.
export NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))

LIBRARY := $(filter-out assembler/vexasm.cpp assembler/vexadis.cpp assembler/vexasim.cpp \
                        assembler/vexasim_signals.cpp, \
             $(wildcard base/*.cpp base/utils/*.cpp sequencer/*.cpp sequencer/*/*.cpp \
                        assembler/*.cpp signals/*.cpp)) formats/seq_listing.cpp
SOURCES := $(LIBRARY) web/src/binding.cpp
OBJECTS := $(SOURCES:%.cpp=$(OUT)/obj/%.o)

CXXFLAGS := -std=c++20 -Oz -flto -I. -fwasm-exceptions -Wall -Wextra -Wpedantic -Wshadow -MMD -MP
LDFLAGS := -Oz -flto -fwasm-exceptions --bind -sMODULARIZE=1 -sEXPORT_NAME=createVexa \
           -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB -sENVIRONMENT=web,worker,node \
           -sFILESYSTEM=0 -sDYNAMIC_EXECUTION=0 -sINCOMING_MODULE_JS_API=[locateFile,print,printErr]

.PHONY: all
all: $(OUT)/vexa.js

$(OUT)/vexa.js: $(OBJECTS)
	$(EMCC) $(LDFLAGS) -o $@ $(OBJECTS)

$(OUT)/obj/%.o: %.cpp
	@mkdir -p $(dir $@)
	$(EMCC) $(CXXFLAGS) -c $< -o $@

-include $(OBJECTS:.o=.d)
