# Entry points. `make` only builds; the others also install what is missing.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
DEVICE     ?= $(BUILD)/device
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build deps run test test-sanitize bench pad format clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Starts the back office with the demonstration warehouse and korvo on a
# demonstration device pointed at it (scripts/run-demo.sh). Without a display
# korvo starts on the offscreen platform and saves a picture of the first screen.
run: deps build
	@./scripts/run-demo.sh $(BUILD) $(DEVICE)

test: deps build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors.
test-sanitize: deps
	$(MAKE) build BUILD=$(SAN_BUILD) \
	  CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_WERROR=ON -DKORVANE_BENCH=OFF"
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
