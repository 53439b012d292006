# Build, run and test mva. Every target first installs the Debian packages
# the build needs when they are missing (as root; otherwise it names them).

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 300
JOBS       ?= $(shell nproc)
WERROR     ?= OFF
MAKEFLAGS  += --no-print-directory

PACKAGES := g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libboost-dev \
            nlohmann-json3-dev libcli11-dev libfmt-dev \
            pybind11-dev python3-pybind11 python3-pandas python3-pytest python3-setuptools python3-pip python3-venv

# The Debian package is made by CPack, which finds the package's
# dependencies with dpkg-shlibdeps; its check renders the manual page.
PACKAGE_PACKAGES := dpkg-dev man-db

# The browser test renders the HTML report in headless Chromium; without it
# (on a machine where it cannot be installed) that test is skipped.
BROWSER_PACKAGES := chromium

# The fuzz targets are built with clang and libFuzzer.
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
FUZZ_TARGETS := csv dictionary options command

EXAMPLE_ARGS := --data examples/survey.csv --dict examples/survey.dict.json examples/survey.mva
# make examples: each example's HTML report and picture files, in $(BUILD)/examples.
EXAMPLES := survey airquality
survey_ARGS := $(EXAMPLE_ARGS)
airquality_ARGS := --data examples/airquality.csv examples/airquality.mva

.PHONY: deps fuzz-deps package-deps browser-deps install-packages configure build run examples test install \
        package package-check \
        sanitize bench-build bench fuzz-build fuzz format clean

deps:
	@$(MAKE) install-packages WANTED="$(PACKAGES)"

fuzz-deps: deps
	@$(MAKE) install-packages WANTED="$(FUZZ_PACKAGES)"

package-deps: deps
	@$(MAKE) install-packages WANTED="$(PACKAGE_PACKAGES)"

browser-deps:
	@$(MAKE) install-packages WANTED="$(BROWSER_PACKAGES)" || echo "Without Chromium the browser test is skipped"

install-packages:
	@missing=""; \
	for p in $(WANTED); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
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

examples: configure
	@cmake --build $(BUILD) -j $(JOBS) --target mva
	@mkdir -p $(BUILD)/examples
	@$(foreach e,$(EXAMPLES),./$(BUILD)/mva --no-progress $($(e)_ARGS) --format html \
	  --output $(BUILD)/examples/$(e).html --plots $(BUILD)/examples/$(e) >/dev/null && \
	  echo "$(BUILD)/examples/$(e).html, pictures in $(BUILD)/examples/$(e)/" &&) true

test: build browser-deps
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Installs the program, mva_gen, the manual page, the guides and the example
# data under PREFIX (default /usr/local; DESTDIR is honoured).
install: configure
	@cmake --build $(BUILD) -j $(JOBS) --target mva mva_gen
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package (installing under /usr) in $(PACKAGE_BUILD)/; its build
# folder is configured for /usr, so the help names the right folder.
package: package-deps
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
	  -DMVA_WERROR=$(WERROR) >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target mva mva_gen
	cd $(PACKAGE_BUILD) && cpack -G DEB >/dev/null && ls mva_*.deb

# Unpacks the package into a temporary root and runs the example from there.
package-check: package
	tests/package/check_package.sh $(PACKAGE_BUILD)

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

# The fuzz targets (clang, ASan and UBSan) in a build folder of their own.
fuzz-build: fuzz-deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMVA_FUZZ=ON \
	  -DMVA_WERROR=$(WERROR) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))

# Runs each target for FUZZ_SECONDS from the committed corpus (new inputs go
# to $(FUZZ_BUILD)/corpus, crashes to $(FUZZ_BUILD)/crashes); stops at the
# first fault. Keep a fault's input under tests/fuzz/regressions/TARGET/.
fuzz: fuzz-build
	@mkdir -p $(FUZZ_BUILD)/crashes
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
	  echo "== fuzz_$$t for $(FUZZ_SECONDS) s"; \
	  ./$(FUZZ_BUILD)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -dict=tests/fuzz/$$t.dict -timeout=20 \
	    -rss_limit_mb=2560 -max_len=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t- \
	    $(FUZZ_BUILD)/corpus/$$t tests/fuzz/corpus/$$t 2>$(FUZZ_BUILD)/fuzz_$$t.log \
	    || { tail -60 $(FUZZ_BUILD)/fuzz_$$t.log; exit 1; }; \
	  grep -E "^(stat::|#[0-9]+[[:space:]]+DONE)" $(FUZZ_BUILD)/fuzz_$$t.log; \
	done

# Lays out every C++ file by .clang-format.
FORMATTED = $(shell find src tests bench python -name '*.cpp' -o -name '*.h')
format:
	clang-format -i $(FORMATTED)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
