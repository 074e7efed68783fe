# make test: install what is missing, build everything, run every test.
# make demo: build, then run the updater on a demo installation.
# make bench: time the apply step against a one-shot inflate and the mask build
#   and transparent drawing; size the updater.
# make release PAYLOAD=path/to/Korvantis.exe MAJOR=3 MINOR=4 [LOGO=path/to/logo.png] [LOGO_COLORS=24]
#   [SIGN_CERT=cert.pfx [SIGN_PASSWORD_FILE=path] [TIMESTAMP_URL=url] [PRODUCT_URL=url]] [FORCE=1]:
#   build, check, sign and write to dist/ the updater that carries that executable.
# make image-res LOGO=path/to/logo.png [LOGO_COLORS=24] [COMPRESS=1] [IMAGE_RES=dist/Image.res]:
#   write the resource file that, next to an updater, replaces its logo.
# make preview [LOGO=path/to/logo.png | IMAGE_RES=path/to/Image.res]: show the
#   updater's main window; without a display, write dist/preview.png and
#   dist/preview-256-colours.png.
# make fuzz: feed every reader COUNT mutants (make fuzz COUNT=200000) and
#   print per reader what came of them.
#
# The product is the 32-bit build in build/. Where the kernel runs no 32-bit
# code (some virtual machines), Wine cannot run 32-bit Windows programs
# either; the tests and the demo then run a 64-bit build of the same sources
# in build64/.

BUILD := build
BUILD64 := build64
RELEASE_BUILD := build-release
DIST := dist
IMAGE_RES := $(DIST)/Image.res
CACHE := $(or $(ZELMORIA_CACHE),$(HOME)/.cache/zelmoria)
JOBS := $(shell nproc)
COUNT := 100000
# A shell test, run when a recipe needs it: Wine is there only after set-up.
RUNS_32_BIT := /usr/lib/wine/wine --version >/dev/null 2>&1
RUN_BUILD = $$(if $(RUNS_32_BIT); then echo $(BUILD); else echo $(BUILD64); fi)
# The host tools run with Debian's interpreter and its packages.
PYTHON := /usr/bin/python3
# The preview shows an Image.res only when one is named.
PREVIEW_IMAGE_RES = $(if $(filter command line environment,$(origin IMAGE_RES)),$(IMAGE_RES))
# Where no 32-bit code runs, make builds only the product and the stand-in
# product builds (the release command's example payloads) in the 32-bit build
# folder: its test programs could not run.
BUILD_TARGETS = $$(if $(RUNS_32_BIT); then echo all; else echo ZelmoriaUpdate standins; fi)
# make test notes when each phase ends and prints how long each took.
PHASES := $(CURDIR)/$(BUILD)/phase-times
mark = $(if $(filter test,$(MAKECMDGOALS)),date +"$(1) %s" >>$(PHASES),true)
# build-in FOLDER TOOLCHAIN TARGETS
build-in = cmake -S . -B $(1) -G Ninja -Wno-dev --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/$(2).cmake -DZELMORIA_CACHE=$(CACHE) >/dev/null && \
	cmake --build $(1) --target $(3)

.PHONY: all setup build run-build test demo bench fuzz release image-res preview clean

all: build

setup:
	@$(if $(filter test,$(MAKECMDGOALS)),mkdir -p $(BUILD) && date +"start %s" >$(PHASES) &&) \
		ZELMORIA_CACHE=$(CACHE) tools/setup-machine.sh
	@$(call mark,set-up)

build: setup
	@targets=$(BUILD_TARGETS); \
	if [ "$$targets" != all ]; then echo "note: this kernel runs no 32-bit code; the 32-bit build makes the product and the stand-ins only"; fi; \
	$(call build-in,$(BUILD),i686-w64-mingw32,$$targets)

# The build whose programs Wine can run here. Where that is the 64-bit one,
# the 32-bit updater is built and checked by the release tests, in release
# build folders of their own, so it is not built a third time here.
run-build: setup
	@if $(RUNS_32_BIT); then \
		$(call build-in,$(BUILD),i686-w64-mingw32,all) && $(call mark,32-bit build); \
	else \
		echo "note: this kernel runs no 32-bit code; testing a 64-bit build of the same sources (the release tests build the 32-bit updater)"; \
		$(call build-in,$(BUILD64),x86_64-w64-mingw32,all) && $(call mark,64-bit build); \
	fi

test: run-build
	@cd $(RUN_BUILD) && ctest --output-on-failure -j $(JOBS); status=$$?; \
	$(call mark,tests); \
	awk '{ at = $$NF; sub(/ [0-9]+$$/, ""); if (NR > 1) printf "%-14s %4d s\n", $$0, at - last; else first = at; last = at } \
		END { printf "%-14s %4d s\n", "make test", last - first }' $(PHASES); \
	exit $$status

bench: run-build
	@cmake --build $(RUN_BUILD) --target bench

fuzz: run-build
	@$(PYTHON) tools/fuzz_campaign.py --build $(RUN_BUILD) --count $(COUNT)

demo: run-build
	@cmake --build $(RUN_BUILD) --target demo

release: setup
	@$(PYTHON) tools/release.py --payload "$(PAYLOAD)" --major "$(MAJOR)" --minor "$(MINOR)" \
		$(if $(LOGO),--logo "$(LOGO)") $(if $(LOGO_COLORS),--logo-colors "$(LOGO_COLORS)") \
		$(if $(SIGN_CERT),--sign-cert "$(SIGN_CERT)") \
		$(if $(SIGN_PASSWORD_FILE),--sign-password-file "$(SIGN_PASSWORD_FILE)") \
		$(if $(TIMESTAMP_URL),--timestamp-url "$(TIMESTAMP_URL)") $(if $(PRODUCT_URL),--product-url "$(PRODUCT_URL)") \
		$(if $(filter-out 0,$(FORCE)),--force) \
		--build-dir $(RELEASE_BUILD) --dist $(DIST) --cache $(CACHE)

image-res: setup
	@if [ -z "$(LOGO)" ]; then echo "usage: make image-res LOGO=path/to/logo.png [LOGO_COLORS=24] [COMPRESS=1] [IMAGE_RES=$(IMAGE_RES)]" >&2; exit 2; fi
	@mkdir -p "$(dir $(IMAGE_RES))"
	@$(PYTHON) tools/image_res.py $(if $(filter-out 0,$(COMPRESS)),--compress) \
		$(if $(LOGO_COLORS),--colors "$(LOGO_COLORS)") "$(LOGO)" "$(IMAGE_RES)"

preview: run-build
	@run=$(RUN_BUILD); cmake --build $$run --target ZelmoriaUpdate demo_runner && \
		tools/preview.sh $$run "$(DIST)" "$(LOGO)" "$(PREVIEW_IMAGE_RES)" "$(LOGO_COLORS)"

clean:
	rm -rf $(BUILD) $(BUILD64) $(RELEASE_BUILD)
