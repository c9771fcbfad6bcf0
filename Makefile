# Two entry points: `make run` and `make test`. Both install what is missing
# (Debian 12, as root), configure and build with both cores.
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=
PACKAGES := $(shell grep -v -e '^\#' -e '^$$' packages.txt)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test deb fuzz clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); start it from a desktop session or under xvfb-run."; \
	  exit 1; \
	fi
	$(BUILD)/bin/KalvoraTrindle $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The Debian package, kalvoratrindle_VERSION_ARCH.deb, in its own build
# folder that compiles only what the package holds (no tests, no benchmarks),
# checked with dpkg-deb (file list, links, Depends, maintainer scripts).
DEB_BUILD ?= build-deb
deb: deps
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DKT_TESTS_AND_BENCH=OFF
	cmake --build $(DEB_BUILD) -j$(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	packaging/check_deb.sh $(DEB_BUILD)/kalvoratrindle_$$(sed -n 's/^project(KalvoraTrindle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)_$$(dpkg --print-architecture).deb

# libFuzzer targets of every reader and every library's command-line parser,
# built with clang in a separate folder and run FUZZ_TIME seconds each from
# the seed corpora in tests/ (which `make test` replays without clang).
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (apt-get install clang)"; exit 1; }
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target lzh_archive_fuzz lzh_decoder_fuzz lzh_roundtrip_fuzz \
	  arj_archive_fuzz arj_decoder_fuzz zip_reader_fuzz zip_inflate_fuzz zip_bzip2_blocks_fuzz bzip2_decoder_fuzz \
	  tar_reading_fuzz cab_reading_fuzz rar_reading_fuzz bga_reading_fuzz \
	  lha_command_fuzz unzip_command_fuzz zip_command_fuzz tar_command_fuzz cab_command_fuzz unrar_command_fuzz
	archivers/fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_TIME)

clean:
	rm -rf $(BUILD) $(DEB_BUILD)
