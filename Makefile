# Build, run and test mva. Every target first installs the Debian packages
# the build needs when they are missing (as root; otherwise it names them).

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
MUTATE_BUILD ?= build-mutate
PACKAGE_BUILD ?= build-package
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 300
JOBS       ?= $(shell nproc)
WERROR     ?= OFF
MAKEFLAGS  += --no-print-directory

PACKAGES := g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev libboost-dev \
            nlohmann-json3-dev libcli11-dev libfmt-dev libtbb-dev \
            pybind11-dev python3-pybind11 python3-pandas python3-pytest python3-setuptools python3-pip python3-venv \
            r-base-dev r-cran-rcpp r-cran-testthat

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
EXAMPLES := survey airquality mammalsleep
survey_ARGS := $(EXAMPLE_ARGS)
airquality_ARGS := --data examples/airquality.csv examples/airquality.mva
mammalsleep_ARGS := --data examples/mammalsleep.csv examples/mammalsleep.mva

.PHONY: deps fuzz-deps package-deps browser-deps install-packages configure build run examples test install \
        package package-check r-package r-check sanitize bench-build bench fuzz-build fuzz mutate format clean

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

# The R package as a source tarball that builds on its own (the engine's
# sources copied into its src/engine by its configure):
# $(BUILD)/r-package/mva_VERSION.tar.gz.
R_PACKAGE_DIR = $(BUILD)/r-package
r-package: deps
	@rm -rf $(R_PACKAGE_DIR) && mkdir -p $(R_PACKAGE_DIR)/mva/src
	@cp -R r/DESCRIPTION r/NAMESPACE r/LICENSE r/configure r/cleanup r/.Rbuildignore r/R r/man r/tests \
	  $(R_PACKAGE_DIR)/mva/
	@cp r/src/mva_r.cpp r/src/Makevars.in $(R_PACKAGE_DIR)/mva/src/
	@cd $(R_PACKAGE_DIR)/mva && MVA_SOURCE_DIR=$(CURDIR) ./configure >/dev/null
	@cd $(R_PACKAGE_DIR) && R CMD build mva >build.log 2>&1 || { cat build.log; exit 1; }
	@ls $(R_PACKAGE_DIR)/mva_*.tar.gz

# R CMD check of that tarball; its tests compare with the program built here.
# Fails on an error or a warning (the notes are explained in the README).
# The engine compiles through ccache when there is one, told to take no
# account of the temporary folder the check builds in. The repository is
# an empty one of its own, so that the check reads no package index from
# the network.
r-check: configure r-package
	@cmake --build $(BUILD) -j $(JOBS) --target mva
	@printf 'CXX20 = $(shell command -v ccache) g++\n' > $(R_PACKAGE_DIR)/Makevars.user
	@mkdir -p $(R_PACKAGE_DIR)/repository/src/contrib && : > $(R_PACKAGE_DIR)/repository/src/contrib/PACKAGES
	@printf 'options(repos = c(CRAN = "file://%s/repository"))\n' $(abspath $(R_PACKAGE_DIR)) > $(R_PACKAGE_DIR)/Rprofile
	cd $(R_PACKAGE_DIR) && MVA_PROGRAM=$(abspath $(BUILD))/mva MAKEFLAGS=-j$(JOBS) CCACHE_NOHASHDIR=true \
	  R_PROFILE=$(abspath $(R_PACKAGE_DIR))/Rprofile R_MAKEVARS_USER=$(abspath $(R_PACKAGE_DIR))/Makevars.user R CMD check --no-manual mva_*.tar.gz
	@! grep -E "^Status: .*(ERROR|WARNING)" $(R_PACKAGE_DIR)/mva.Rcheck/00check.log

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

# Plants a fixed list of faults (tools/mutate.py), one at a time, in a copy of
# the tree under $(MUTATE_BUILD)/ and runs the tests against each; fails when
# a fault survives every test. MUTATE_ONLY=3,sweep runs some of them.
mutate: deps
	/usr/bin/python3 tools/mutate.py --jobs $(JOBS) --build-dir $(MUTATE_BUILD) $(if $(MUTATE_ONLY),--only $(MUTATE_ONLY))

# The checked build: every workspace view checks its indices and every
# kernel what it assumes (MVA_ASSERT, mva/frame/host/invariant.h), and the
# standard library checks its own; all the tests run in it.
CHECKED_BUILD ?= build-checked
.PHONY: checked
checked: deps
	@cmake -S . -B $(CHECKED_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMVA_CHECKED=ON -DMVA_WERROR=$(WERROR) >/dev/null
	@cmake --build $(CHECKED_BUILD) -j $(JOBS)
	cd $(CHECKED_BUILD) && ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer over the tests of two procedures run at once on two threads
# and of the load and passes over the cases on several threads (the Python
# tests would need an interpreter built for it).
TSAN_BUILD ?= build-tsan
.PHONY: tsan
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMVA_TSAN=ON -DMVA_WERROR=$(WERROR) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_threads mva
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ./$(TSAN_BUILD)/test_threads \
	  --gtest_filter='Entry.TwoThreadsGiveWhatSingleRunsGive:ChunkedPasses.*:ChunkedLoad.*-ChunkedLoad.FixturesReadAsInOnePiece'

# The layout check, clang-tidy over src/ and the kernel include rule
# (.ci/lint), on the compile commands of the ordinary build folder.
LINT_PACKAGES := clang-format clang-tidy-14
.PHONY: lint
lint: deps
	@$(MAKE) install-packages WANTED="$(LINT_PACKAGES)"
	@cmake -S . -B $(BUILD) >/dev/null  # keeps the folder's settings; writes compile_commands.json
	.ci/lint $(BUILD) $(JOBS)

# Lays out every C++ file by .clang-format.
FORMATTED = $(shell find src tests bench python -name '*.cpp' -o -name '*.h') r/src/mva_r.cpp
format:
	clang-format -i $(FORMATTED)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD) $(MUTATE_BUILD) $(CHECKED_BUILD) $(TSAN_BUILD)
