# Rowcaster: the two everyday commands, for those who have make (build.sh needs only sh).
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test through CTest
BUILD_DIR ?= build
BUILD_TYPE ?= Release
export BUILD_DIR BUILD_TYPE

.PHONY: all setup build run test install package bench check-sanitizers clean

all: build

setup:
	@bash scripts/setup.sh

build:
	@sh build.sh build

run:
	@sh build.sh run

test:
	@sh build.sh test

# Installs into PREFIX (default /usr/local): make install PREFIX=$$HOME/.local
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, build/rowcaster_VERSION_ARCH.deb
package: build
	@cd $(BUILD_DIR) && cpack

bench: build
	@bench/iso_vs_yaz.sh

# The core tests under ASan+UBSan and under TSan (build-address/, build-thread/); takes a while.
check-sanitizers: setup
	@scripts/check_sanitizers.sh

clean:
	@rm -rf $(BUILD_DIR) build-address build-thread build-fuzz
