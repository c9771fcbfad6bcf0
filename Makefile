# Two entry points: `make run` and `make test`. Both install what is missing
# (Debian 12, as root), configure and build with both cores.
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=
PACKAGES := $(shell grep -v -e '^\#' -e '^$$' packages.txt)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test deb clean

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

# The Debian package, kalvoratrindle_VERSION_ARCH.deb, in the build folder.
deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
