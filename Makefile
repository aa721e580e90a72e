# Kinolite: set-up, build, test, demo and benchmarks.
#   make deps              install the Debian packages (idempotent)
#   make build             configure and build into build/
#   make test              deps + build + format-check + ctest
#                          (SANITIZE=1: ASan/UBSan build in build-asan/)
#   make format            clang-format every source in place
#   make format-check      fail when a source is not formatted as .clang-format says
#   make demo              deps + build, convert samples/ into out/ and inspect the result
#   make bench             deps + build + benchmarks
#   make screenshots       deps + build, pictures of the desktop program's windows in build/screenshots/
#   make fuzz              deps + the libFuzzer targets (clang) in build-fuzz/, each run
#                          FUZZ_SECONDS (default 60) on its growing corpus; FUZZ_TARGETS
#                          picks targets
#   make fuzz-smoke        the same for FUZZ_SMOKE_SECONDS (default 30) each from the
#                          committed seeds only (what CI runs after make test)

SANITIZE ?= 0
ifeq ($(SANITIZE),1)
  BUILD_DIR ?= build-asan
  CMAKE_FLAGS += -DKINOLITE_SANITIZE=ON -DKINOLITE_BENCH=OFF
else
  BUILD_DIR ?= build
endif
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 30
FUZZ_TARGETS ?=

# The sources clang-format looks after.
FORMAT_DIRS := $(wildcard translib cli app tests bench)
FORMAT_FILES = find $(FORMAT_DIRS) \( -name '*.cpp' -o -name '*.h' \) -print0

.PHONY: all deps configure build test demo bench screenshots clean format format-check fuzz-build \
        fuzz fuzz-smoke

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build format-check
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKINOLITE_FUZZ=ON \
	  -DKINOLITE_TESTS=OFF -DKINOLITE_GUI=OFF -DKINOLITE_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz: fuzz-build
	scripts/fuzz $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-smoke: fuzz-build
	scripts/fuzz --smoke $(FUZZ_DIR) $(FUZZ_SMOKE_SECONDS) $(FUZZ_TARGETS)

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	scripts/bench $(BUILD_DIR)

screenshots: build
	$(BUILD_DIR)/tests/app/kinolite-screenshots $(BUILD_DIR)/screenshots

format: deps
	$(FORMAT_FILES) | xargs -0 clang-format -i

format-check: deps
	$(FORMAT_FILES) | xargs -0 clang-format --dry-run -Werror

clean:
	rm -rf build build-asan build-fuzz out
