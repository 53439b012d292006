# Build, run and test mva. Every target first installs the Debian packages
# the build needs when they are missing (as root; otherwise it names them).

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
WERROR     ?= OFF
MAKEFLAGS  += --no-print-directory

PACKAGES := g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libboost-dev \
            nlohmann-json3-dev libcli11-dev libfmt-dev

EXAMPLE_ARGS := --data examples/survey.csv --dict examples/survey.dict.json examples/survey.mva

.PHONY: deps configure build run test sanitize bench-build bench clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	  else \
	    echo "Missing Debian packages:$$missing (install them, or run 'make deps' as root)"; exit 1; \
	  fi; \
	fi

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMVA_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target mva
	./$(BUILD)/mva $(EXAMPLE_ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMVA_SANITIZE=ON -DMVA_WERROR=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Builds the benchmarks in the ordinary build folder (reusing its objects), so
# that CI sees at once when they no longer compile; runs nothing.
bench-build: configure
	@cmake -S . -B $(BUILD) -DMVA_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target mva_bench mva_gen

# Measures: a Release build of its own.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMVA_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target mva_bench mva_gen
	./$(BENCH_BUILD)/mva_bench

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD)
