# Convenience targets over CMake; see README.md.
BUILD ?= build
SAN_BUILD ?= build-san
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize-test clean

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

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
