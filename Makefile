# Front door: make run, make test, make bench, make fuzz.
SHELL := /bin/bash
JOBS ?= 2
PRESET ?= release
BUILD := build/$(PRESET)
WERROR := $(if $(filter true,$(CI)),ON,OFF)
# ccache, where the machine has it, shares objects between work trees.
LAUNCHER := $(shell command -v ccache 2>/dev/null)

DEB_PACKAGES := cmake make g++ clang pkg-config qt6-base-dev qt6-svg-dev libgl-dev \
	libasio-dev libsqlite3-dev libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev \
	libbenchmark-dev libclang-rt-14-dev xvfb xauth fonts-dejavu-core bc ninja-build clang-format-14 \
	fonts-liberation2 qt6-translations-l10n \
	dpkg-dev file
# Only for make windows and make wine-e2e: the cross compiler, Wine, zip.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine64 zip
# The one clang-format every machine and CI use (Debian 12's), with .clang-format.
CLANG_FORMAT := clang-format-14
# A build folder made by another generator (before the presets named Ninja)
# is configured afresh: $(call fresh,DIR) gives --fresh for it.
fresh = $(shell test -f $(1)/CMakeCache.txt && \
	! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' $(1)/CMakeCache.txt && echo --fresh)

.PHONY: all deps windows-deps configure build test test-asan bench fuzz run gui clean format format-check \
	package windows wine-e2e install-packages

all: build

deps:
	@$(MAKE) --no-print-directory install-packages PACKAGES="$(DEB_PACKAGES)"

windows-deps: deps
	@$(MAKE) --no-print-directory install-packages PACKAGES="$(WINDOWS_PACKAGES)"

install-packages:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	    $$SUDO apt-get update && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake --preset $(PRESET) $(call fresh,$(BUILD)) -DAKTARIM_WERROR=$(WERROR) $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) --timeout 300

test-asan:
	$(MAKE) test PRESET=asan

# The Debian packages aktarim and terminal-sim, in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB
	@ls -l $(BUILD)/*.deb

# aktarim-cli.exe (core, terminal, cli; no Qt) and its zip, in build/windows.
windows: windows-deps
	cmake --preset windows -DAKTARIM_WERROR=$(WERROR) $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null
	cmake --build build/windows -j$(JOBS)
	cd build/windows && cpack -G ZIP
	@ls -l build/windows/*.zip

# aktarim-cli.exe under Wine against the Linux terminal-sim, files compared
# with the Linux build's.
wine-e2e: windows build
	scripts/wine-e2e.sh $(BUILD) build/windows

bench: build
	QT_QPA_PLATFORM=offscreen scripts/bench.sh $(BUILD)

# The fuzz build leaves the tests out (AKTARIM_TESTS=OFF in its preset) and
# builds only the fuzz targets.
fuzz: deps
	cmake --preset fuzz $(call fresh,build/fuzz) $(if $(LAUNCHER),-DCMAKE_CXX_COMPILER_LAUNCHER=$(LAUNCHER)) >/dev/null
	cmake --build build/fuzz -j$(JOBS) --target fuzzers
	scripts/fuzz.sh build/fuzz $(or $(FUZZ_SECONDS),60)

run: build
	scripts/demo.sh run $(BUILD)

gui: build
	scripts/demo.sh gui $(BUILD)

# Every C++ file git tracks, formatted in place / checked (CI) with .clang-format.
format: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 $(CLANG_FORMAT) -i

format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 $(CLANG_FORMAT) --dry-run --Werror || \
	    { echo "Not formatted as .clang-format says; 'make format' fixes it." >&2; exit 1; }

clean:
	rm -rf build
