# Thin wrapper around CMake. `make` builds build/kavelin, `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CTEST_ARGS ?= --output-on-failure -j$(JOBS)

.PHONY: all deps build run test test-asan test-tsan bench fuzz clean format install

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/kavelin

# The program, the service units, the example settings and the manual page under PREFIX, all
# below DESTDIR when it is given (make install DESTDIR=pkg PREFIX=/usr).
PREFIX ?= /usr/local
install: build
	DESTDIR="$(if $(DESTDIR),$(abspath $(DESTDIR)))" cmake --install $(BUILD) --prefix $(PREFIX)

test: build
	ctest --test-dir $(BUILD) $(CTEST_ARGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVELIN_SANITIZE=ON

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) $(CTEST_ARGS)

$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVELIN_TSAN=ON

# The engine, network and application tests (threads, timer, server, worker) under
# ThreadSanitizer. Tests of the Qt widgets stay out: Qt's event queue lives in uninstrumented
# libraries, so the sanitizer cannot see that a queued call hands its data over safely.
test-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target test_engine test_net test_app
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) $(CTEST_ARGS) -L "engine|net|app" \
		-E "ControlDialogTest|LogListTest"

bench: build
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

$(FUZZ_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVELIN_FUZZ=ON

# Each fuzz target for FUZZ_SECONDS seconds. A command family's target starts from its seeds in
# fuzz/corpus/<family> and keeps what it finds in $(FUZZ_BUILD)/corpus/<family>; crashing inputs
# land in $(FUZZ_BUILD). An input that runs longer than FUZZ_TIMEOUT seconds counts as a hang.
FUZZ_SECONDS ?= 30
FUZZ_TIMEOUT ?= 25
fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
		family=$${f##*/fuzz_commands_}; corpus=; \
		if [ -d fuzz/corpus/$$family ]; then \
			mkdir -p $(FUZZ_BUILD)/corpus/$$family; \
			corpus="$(FUZZ_BUILD)/corpus/$$family fuzz/corpus/$$family"; \
		fi; \
		echo "== $$f"; \
		$$f -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) \
			-artifact_prefix=$(FUZZ_BUILD)/ $$corpus || exit 1; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
