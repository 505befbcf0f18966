# Convenience targets over CMake; see README.md.
BUILD ?= build
SAN_BUILD ?= build-san
TSAN_BUILD ?= build-tsan
WIN_BUILD ?= build-win
WASM_BUILD ?= build-wasm
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize-test tsan-test windows windows-test wasm wasm-test clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# The main job: a scripted USI session with the engine on a bundled problem.
run: build
	scripts/run_example.sh $(BUILD)/kestrane

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize-test:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKESTRANE_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The engine's tests under ThreadSanitizer, the threaded search's among them
# (not the report's browser test, nor the long check of whole collections,
# which solve with one thread as in the plain build).
tsan-test:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRANE_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target kestrane_tests kestrane_browser_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j $(JOBS) -LE "browser|long-quick"

# The Windows engine, checker and bench, cross-built with mingw-w64:
# $(WIN_BUILD)/kestrane.exe, kestrane-check.exe and bench.exe, each one file.
windows:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kestrane kestrane-check bench

# The Windows build under Wine, checked with the Linux build's tests.
windows-test: build windows
	cmake --build $(WIN_BUILD) -j $(JOBS) --target kestrane_platform_tests
	scripts/wine_check.sh $(WIN_BUILD) $(BUILD)

# The engine as a WebAssembly module for web GUIs, $(WASM_BUILD)/kestrane.js,
# kestrane.wasm and engine.json, and the solving page, $(WASM_BUILD)/page/
# (Debian's emscripten; its optimiser finds Debian's acorn on NODE_PATH).
wasm:
	NODE_PATH=/usr/share/nodejs emcmake cmake -S . -B $(WASM_BUILD) -DCMAKE_BUILD_TYPE=Release
	NODE_PATH=/usr/share/nodejs cmake --build $(WASM_BUILD) -j $(JOBS)

# The module through the web GUIs' contract in Node.js, and the page in
# headless Chromium (its driver, playwright-core, from npm).
wasm-test: build wasm
	cmake --build $(BUILD) -j $(JOBS) --target reference_boards
	cd tests/web_page && npm ci --no-audit --no-fund
	KESTRANE_WASM_DIR=$(WASM_BUILD) KESTRANE_NATIVE=$(BUILD)/kestrane node --test --test-concurrency=1 tests/web_engine/
	KESTRANE_PAGE_DIR=$(WASM_BUILD)/page KESTRANE_REFERENCE_BOARDS=$(BUILD)/tests/reference_boards \
	  node --test --test-concurrency=1 tests/web_page/

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD) $(WASM_BUILD)
