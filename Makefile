# Quill — two commands set everything up on a fresh Debian machine:
#   make run    installs what is missing, builds, starts Quill
#   make test   installs what is missing, builds, runs every test
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: all build deps run test test-core test-asan bench format clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	$(BUILD)/bin/Quill

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) test-asan

# The core tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILL_SANITIZE=ON \
	      -DQUILL_BUILD_UI=OFF -DQUILL_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L core

# Each benchmark prints its targets beside their yardsticks at the end; the
# big runs are scaled with QUILL_BENCH_SIZES, QUILL_BENCH_SPOOL_MESSAGES and
# QUILL_BENCH_ATTACHMENT_MB, and QUILL_BENCH_DIR keeps generated mailboxes.
bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done
	@echo "== mailbox window"; BUILD=$(BUILD) scripts/measure-window

format:
	find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
