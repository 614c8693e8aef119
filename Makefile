# SPDX-License-Identifier: GPL-3.0-or-later
# make run   — set up everything on a fresh Debian 12 machine, build, start the program
# make test  — set up everything, build, run the whole test suite, check the
#              Debian package (make test-deb), run the suite again under
#              AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer
#              briefly, then the Windows suite under Wine (make test-windows)
# make check — the quick loop on a machine that has what make test installs:
#              configure, build and run the test suite in TEST_BUILD, without
#              installing packages, sanitizers, fuzzers or Wine
# make bench — the optimised programs and benchmarks in BUILD, then the
#              benchmark of one log against cat
# make fuzz  — run each fuzzer for FUZZ_SECONDS (default 300)
# make test-windows — cross-build the converter, settings, command line and window
#              for Windows (MinGW-w64) and run their tests under Wine
# make windows — the same build, packed as tarnimex-<version>-windows-x86_64.zip
# make windows-qt — rebuild the static Qt for MinGW into the cache folder (long)
# make screenshots — the window's pictures in docs/, on Linux and under Wine
# make deb   — the Debian package tarnimex_<version>_<arch>.deb (make test-deb checks it)
BUILD ?= build
# The tests are built without whole-program optimisation, which would redo the
# libraries' code generation for every test program and double the build's time.
TEST_BUILD ?= build-test
DEB_BUILD ?= build-deb
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
# The Windows compression libraries, built once from Debian's sources.
WINDOWS_LIBS ?= build-windows-libs
# The static Qt for MinGW that the window is built with: WINDOWS_QT names its
# prefix; by default the prebuilt one beside the project, unpacked once into
# QT_CACHE. Without one only the command line is built. WINDOWS_UI=OFF leaves
# the window out.
WINDOWS_QT ?=
WINDOWS_UI ?= ON
QT_CACHE ?= $(HOME)/.cache/tarnimex
FUZZ_SECONDS ?= 300
FUZZ_SMOKE_SECONDS ?= 10
BENCH_RUNS ?= 15
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# What building and running need; the test tools come only with make test.
RUN_PACKAGES := g++ cmake ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6svg6-dev libgl-dev \
                qt6-serialport-dev \
                fonts-dejavu-core fonts-dejavu-extra \
                zlib1g-dev liblzma-dev libzstd-dev libbz2-dev
# The Debian package: its man pages come from help2man, its dependencies from
# dpkg-shlibdeps.
DEB_PACKAGES := $(RUN_PACKAGES) help2man dpkg-dev
# ImageMagick draws SVG only with its coders package, which apt brings in as a
# recommendation: named, so that a machine without recommendations builds too.
TEST_PACKAGES := $(DEB_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev \
                 xvfb xauth x11-apps imagemagick libmagickcore-6.q16-6-extra \
                 clang libclang-rt-14-dev llvm \
                 lintian appstream desktop-file-utils man-db bash-completion \
                 poppler-utils socat
WINDOWS_PACKAGES := cmake ninja-build pkg-config g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
                    wine wine64 googletest libz-mingw-w64-dev dpkg-dev \
                    qt6-base-dev qt6-base-dev-tools imagemagick libmagickcore-6.q16-6-extra \
                    fonts-dejavu-core xz-utils zip socat
# What the screenshot scripts drive the window with: a virtual X server, its
# windows found (xwininfo) and clicked, the picture taken (import), and a
# receiver replayed through a pseudo-terminal pair (socat).
SCREENSHOT_PACKAGES := xvfb x11-utils xdotool imagemagick libmagickcore-6.q16-6-extra socat

.PHONY: deps test-deps deb-deps deb test-deb windows-deps screenshot-deps screenshots windows-build test-windows windows windows-qt configure build test-build run test test-normal check asan-build test-asan fuzz-build fuzz fuzz-smoke bench clean

deps: PACKAGES = $(RUN_PACKAGES)
test-deps: PACKAGES = $(TEST_PACKAGES)
deb-deps: PACKAGES = $(DEB_PACKAGES)
windows-deps: PACKAGES = $(WINDOWS_PACKAGES)
screenshot-deps: PACKAGES = $(SCREENSHOT_PACKAGES)
deps test-deps deb-deps windows-deps screenshot-deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

# make run builds the programs only, make bench the same folder with the
# benchmarks; make test builds the tests (and benchmarks) in a folder of their own.
BUILD_BENCH ?= OFF
configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNIMEX_WERROR=ON \
	  -DTARNIMEX_BUILD_TESTS=OFF -DTARNIMEX_BUILD_BENCH=$(BUILD_BENCH)

build: configure
	cmake --build $(BUILD) -j$$(nproc)

run: build
	@./tools/run.sh $(BUILD)

TEST_CONFIG := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNIMEX_WERROR=ON -DTARNIMEX_BUILD_TESTS=ON \
               -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF
test-build: test-deps
	cmake -S . -B $(TEST_BUILD) -G Ninja $(TEST_CONFIG) -DTARNIMEX_BUILD_BENCH=ON
	cmake --build $(TEST_BUILD) -j$$(nproc)

test: test-normal test-deb test-asan fuzz-smoke test-windows

test-normal: test-build
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)

# The same suite without installing anything. A tree that make test built keeps
# its benchmarks (and the test over the generator's logs); a new one has none.
check:
	cmake -S . -B $(TEST_BUILD) -G Ninja $(TEST_CONFIG) \
	  $$([ -f $(TEST_BUILD)/CMakeCache.txt ] || echo -DTARNIMEX_BUILD_BENCH=OFF)
	cmake --build $(TEST_BUILD) -j$$(nproc)
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)

# The whole suite again, the window's tests included, with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report, a leak included, fails the test that
# caused it. (Qt and fontconfig leave no leaks to suppress on the offscreen platform.)
# (Optimised as the sanitizers advise, -O1, and with line tables only, which
# name every frame of a report: a shorter build.)
asan-build: test-deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNIMEX_WERROR=ON \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
	  -DTARNIMEX_SANITIZE=ON -DTARNIMEX_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$$(nproc)

# The window's tests with a plain font check how captions fit, which the
# sanitizers cannot tell: they run once here.
test-asan: asan-build
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$$(nproc) --exclude-regex _plain_font

# The Debian package, beside the Makefile: the optimised programs (stripped,
# with all of Debian's hardening flags) without tests, in a folder of their own.
DEB_FLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb: deb-deps
	cmake -S . -B $(DEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNIMEX_WERROR=ON \
	  -DCMAKE_INSTALL_PREFIX=/usr -DTARNIMEX_DEB=ON -DTARNIMEX_BUILD_TESTS=OFF -DTARNIMEX_BUILD_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(DEB_BUILD) -j$$(nproc)
	rm -f $(DEB_BUILD)/tarnimex_*.deb tarnimex_*.deb
	cd $(DEB_BUILD) && cpack
	cp $(DEB_BUILD)/tarnimex_*.deb .

# Its contents, lint, man pages and bash completion.
test-deb: test-deps deb
	./tools/check-deb.sh $(DEB_BUILD)/tarnimex_*.deb

# libFuzzer harnesses (clang): fuzz/run_fuzz.sh reports executions and findings.
fuzz-build: test-deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARNIMEX_FUZZ=ON -DTARNIMEX_WERROR=ON -DTARNIMEX_BUILD_UI=OFF -DTARNIMEX_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) --target fuzzers -j$$(nproc)

fuzz: fuzz-build
	./fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	./fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# The benchmarks measure the programs as make run builds them.
bench: test-deps
	$(MAKE) build BUILD_BENCH=ON
	BUILD=$(BUILD) RUNS=$(BENCH_RUNS) ./bench/run_bench.sh

# Windows: the converter, settings, command line and window with their tests,
# cross-built with MinGW-w64 and run under Wine in a fresh prefix. Qt's host
# tools (moc, rcc) come from Debian's Qt, which must be the same version.
# (Without whole-program optimisation or debugging information: the tests
# need no speed, the zip's programs are stripped, and both cost build time.)
windows-build: windows-deps
	./tools/windows-libs.sh $(WINDOWS_LIBS)
	@qt=$$([ "$(WINDOWS_UI)" = OFF ] || ./tools/windows-qt.sh "$(WINDOWS_QT)" "$(QT_CACHE)") || exit 1; \
	prefixes="$(abspath $(WINDOWS_LIBS))"; \
	if [ -n "$$qt" ]; then \
	  echo "Windows build with the window, Qt from $$qt"; ui=ON; prefixes="$$prefixes;$$qt"; \
	else \
	  echo "Windows build of the command line only: no static Qt for MinGW (WINDOWS_QT=prefix, or make windows-qt)"; ui=OFF; \
	fi; \
	set -x; cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_PREFIX_PATH="$$prefixes" -DQT_HOST_PATH=/usr -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
	  -DTARNIMEX_WERROR=ON -DTARNIMEX_BUILD_UI=$$ui -DTARNIMEX_BUILD_TESTS=ON -DTARNIMEX_BUILD_BENCH=OFF \
	  -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF
	cmake --build $(WINDOWS_BUILD) -j$$(nproc)

# A test is run up to three times: under load Wine now and then fails to start
# a program at all (no output, 0.01 s); a real fault fails all three.
test-windows: windows-build
	rm -rf $(WINDOWS_BUILD)/wineprefix
	export WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="; \
	wineboot -i && \
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j$$(nproc) --repeat until-pass:3; \
	status=$$?; wineserver -k; exit $$status

# The Windows package: both programs, README, licences and the sources.
windows: windows-build
	@qt=$$(./tools/windows-qt.sh "$(WINDOWS_QT)" "$(QT_CACHE)"); \
	[ -n "$$qt" ] || { echo "make windows needs the static Qt for MinGW: WINDOWS_QT=prefix, or make windows-qt"; exit 1; }; \
	./tools/windows-package.sh $(WINDOWS_BUILD) "$$qt" $(WINDOWS_LIBS)

# docs/screenshot.png, docs/chart-verdict.png, docs/monitor.png and
# docs/windows.png from the real windows, on Linux and under Wine.
screenshots: screenshot-deps build windows-build
	./tools/screenshot.sh $(BUILD) docs/screenshot.png
	./tools/chart-screenshot.sh $(BUILD) docs/chart-verdict.png
	./tools/monitor-screenshot.sh $(BUILD) docs/monitor.png
	./tools/windows-screenshot.sh $(WINDOWS_BUILD) docs/windows.png

# Rebuilds the static Qt for MinGW (Base with Network, Svg, Charts, SerialPort)
# from Debian's source packages into QT_CACHE, once: about 55 minutes on 2
# cores. Where the mirror lacks the Svg, Charts and SerialPort sources, give
# their upstream tarballs as QTSVG_SRC, QTCHARTS_SRC and QTSERIALPORT_SRC (the
# prebuilt Qt's folder has them under src/).
QT_SOURCES := $(abspath ../shared/toolchains/src)
windows-qt:
	WORK_DIR=$(QT_CACHE)/qt6-mingw-work OUT_DIR=$(QT_CACHE) \
	  QTSVG_SRC=$${QTSVG_SRC:-$$(ls $(QT_SOURCES)/qtsvg-*.tar.xz 2>/dev/null)} \
	  QTCHARTS_SRC=$${QTCHARTS_SRC:-$$(ls $(QT_SOURCES)/qtcharts-*.tar.xz 2>/dev/null)} \
	  QTSERIALPORT_SRC=$${QTSERIALPORT_SRC:-$$(ls $(QT_SOURCES)/qtserialport-*.tar.xz 2>/dev/null)} \
	  ./packaging/qt/build-qt6-mingw.sh
	./tools/windows-qt.sh "" $(QT_CACHE) $(QT_CACHE)/qt6-mingw-6.4.2-x86_64.tar.xz

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(DEB_BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
