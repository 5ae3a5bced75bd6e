# Entry points. `make` only builds; the others also install what is missing.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
DEVICE     ?= $(BUILD)/device
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
# Seconds each fuzz entry runs in `make fuzz`.
FUZZ_SECONDS ?= 60

# The compiler cache, when there is one, for every build folder.
CCACHE := $(shell command -v ccache 2>/dev/null)
LAUNCHER_ARGS := $(if $(CCACHE),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the checkout count relative to it and the build folder's own path
# not at all, so every clone and worktree of the project shares one cache.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all build configure deps run test test-sanitize fuzz bench pad package check-packages format clean

# One target at a time even under `make -j`: the dependencies must be in place
# before anything builds (the build itself runs in parallel inside Ninja).
.NOTPARALLEL:

all: build

deps:
	./scripts/install-deps.sh

# Configures $(BUILD) with exactly the options given. When they differ from the
# last configure the cache is started afresh, so no earlier option (warnings as
# errors, a sanitizer) lingers or gets lost.
configure:
	@args='-G Ninja $(LAUNCHER_ARGS) $(CMAKE_ARGS)'; stamp='$(BUILD)/.korvane-cmake-args'; \
	if [ ! -f '$(BUILD)/build.ninja' ] || [ "$$(cat "$$stamp" 2>/dev/null)" != "$$args" ]; then \
	  echo "Configuring $(BUILD): $$args"; \
	  cmake --fresh -S . -B '$(BUILD)' $$args && echo "$$args" > "$$stamp"; \
	fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts the back office with the demonstration warehouse and korvo on a
# demonstration device pointed at it (scripts/run-demo.sh). Without a display
# korvo starts on the offscreen platform and saves a picture of the first screen.
run: deps build
	@./scripts/run-demo.sh $(BUILD) $(DEVICE)

test: deps build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors. Only what Qt and the system libraries keep for the whole
# process is suppressed (tests/lsan.supp); a leak of our own fails the run.
# The leak checker's own tracer now and then dies of a segmentation fault after
# a test program has passed; scripts/sanitized-run.sh tells that from a fault of
# ours and runs the program once more without the leak check. A failed test
# (also one outside a test program's own process) runs once more; a fault of
# ours repeats and still fails the run.
test-sanitize: deps
	$(MAKE) build BUILD=$(SAN_BUILD) \
	  CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_WERROR=ON -DKORVANE_BENCH=OFF"
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS) --repeat until-pass:2

# Every fuzz entry (libFuzzer, ASan, UBSan; clang only) for FUZZ_SECONDS each,
# from the seeds and with the dictionaries under fuzz/. New inputs collect in
# $(FUZZ_BUILD)/corpus/<entry>; a finding stops the run and is kept there.
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (scripts/install-deps.sh installs it)"; exit 1; }
	$(MAKE) configure BUILD=$(FUZZ_BUILD) \
	  CMAKE_ARGS="-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_FUZZ=ON -DKORVANE_BENCH=OFF"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for entry in $$(cat fuzz/entries); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$entry $(FUZZ_BUILD)/findings/$$entry; \
	  echo "== fuzz_$$entry for $(FUZZ_SECONDS) s"; \
	  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    $(FUZZ_BUILD)/fuzz/fuzz_$$entry -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/$$entry/ \
	    -dict=fuzz/dict/$$entry.dict $(FUZZ_BUILD)/corpus/$$entry fuzz/corpus/$$entry \
	    > $(FUZZ_BUILD)/fuzz_$$entry.log 2>&1 \
	    || { tail -n 60 $(FUZZ_BUILD)/fuzz_$$entry.log; echo "fuzz_$$entry found a fault"; exit 1; }; \
	  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|#[0-9]+ *DONE)' \
	    $(FUZZ_BUILD)/fuzz_$$entry.log || true; \
	done

bench: deps build
	@for b in $(BUILD)/bench/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; \
	done

# Registers the ink control and starts its demonstration host.
pad: deps build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/inkpad/scribane-pad --register $(BUILD)/inkcontrol/libscribane.so; \
	else \
	  echo "No display found: starting on the offscreen platform, picture in $(BUILD)/scribane-pad.png"; \
	  QT_QPA_PLATFORM=offscreen $(BUILD)/inkpad/scribane-pad --register $(BUILD)/inkcontrol/libscribane.so \
	    --screenshot $(BUILD)/scribane-pad.png; \
	fi

# Debian packages of korvo, libscribane1, libscribane-dev, scribane-pad and
# korvane-backoffice in $(BUILD)/packages (CPack, packaging/CMakeLists.txt).
package: deps build
	rm -f $(BUILD)/packages/*.deb
	cd $(BUILD) && cpack -G DEB

# Builds the packages, checks them with lintian, installs them, tries every
# piece as installed and removes them again (as root: packaging/check-packages.sh).
check-packages: deps
	./packaging/check-packages.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
