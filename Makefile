# make test: install what is missing, build everything, run every test.
# make demo: build, then run the updater on a demo installation.
# make bench: time the apply step against a one-shot inflate (needs the Wine build).

BUILD := build
CACHE := $(or $(ZELMORIA_CACHE),$(HOME)/.cache/zelmoria)
JOBS := $(shell nproc)

.PHONY: all setup configure build test demo bench clean

all: build

setup:
	@ZELMORIA_CACHE=$(CACHE) tools/setup-machine.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -Wno-dev \
		-DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
		-DZELMORIA_CACHE=$(CACHE) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@cmake --build $(BUILD) --target bench

demo: build
	@cmake --build $(BUILD) --target demo

clean:
	rm -rf $(BUILD)
