# Rowcaster: the two everyday commands.
#   make run    install what is missing, build, start the program
#   make test   install what is missing, build, run every test through CTest
BUILD_DIR ?= build
BUILD_TYPE ?= Release
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: all setup configure build run test bench check-sanitizers clean

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -G "$(GENERATOR)" -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) --parallel $$(nproc)

run: build
	@if [ -x $(BUILD_DIR)/rowcaster ]; then exec $(BUILD_DIR)/rowcaster; else exec $(BUILD_DIR)/rowcaster-cli --help; fi

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure --parallel $$(nproc)

# The core tests under ASan+UBSan and under TSan (build-address/, build-thread/); takes a while.
check-sanitizers: setup
	@scripts/check_sanitizers.sh

bench: build
	@bench/iso_vs_yaz.sh

clean:
	@rm -rf $(BUILD_DIR) build-address build-thread build-fuzz
