# make run   — set up everything on a fresh Debian 12 machine, build, start the program
# make test  — set up everything, build, run the whole test suite
BUILD ?= build
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev libgl-dev xvfb xauth x11-apps imagemagick clang libclang-rt-14-dev

.PHONY: deps configure build run test bench fuzz clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNIMEX_WERROR=ON

build: configure
	cmake --build $(BUILD) -j$$(nproc)

run: build
	@./tools/run.sh $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$$(nproc)

bench: build
	BUILD=$(BUILD) ./bench/run_bench.sh

clean:
	rm -rf $(BUILD)
