# The two commands a newcomer needs: `make run` and `make test`.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS  ?= 2

.PHONY: all deps build run test clean install deb deb-check
PREFIX ?= /usr/local

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@scripts/run-demo.sh $(BUILD)

test: build
	@scripts/run-tests.sh $(BUILD)

clean:
	rm -rf $(BUILD)

# Installs under PREFIX (default /usr/local); DESTDIR is honoured.
# The prefix is built in too: the modules are found there without /proc.
install: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)
	@cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in build-deb/ (stripped, its symbols in a -dbgsym
# package), its dependencies found by dpkg-shlibdeps, checked by lintian.
DEB_BUILD ?= build-deb
deb: deps
	@scripts/install-deps.sh deb
	@cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	@cmake --build $(DEB_BUILD) -j$(JOBS) --target korvell korvell-pack korvell-encoder korvell-beats man-pages changelog
	@cd $(DEB_BUILD) && rm -f *.deb *.ddeb && cpack -G DEB >/dev/null
	@scripts/fix-dbgsym.sh $(DEB_BUILD)/korvell-dbgsym_*_amd64.ddeb
	@ls $(DEB_BUILD)/*.deb $(DEB_BUILD)/*.ddeb
	@lintian $(DEB_BUILD)/korvell_*_amd64.deb $(DEB_BUILD)/korvell-dbgsym_*_amd64.ddeb || true

# The package installed on a bare Debian 12 (debootstrap): it names every
# library it needs if the installed korvell checks and renders the demo.
deb-check: deb
	@scripts/check-deb.sh $(DEB_BUILD)

# Robustness: the tests again under AddressSanitizer and UBSan, and the
# fuzz targets under libFuzzer (FUZZ_SECONDS each, FUZZ_JOBS at a time).
.PHONY: sanitize tsan fuzz bench
SAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 2

sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVELL_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j$(JOBS)
	@scripts/run-tests.sh $(SAN_BUILD)

# The tests that reach the decoding worker or the encoder thread, under
# ThreadSanitizer.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVELL_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j$(JOBS) --target korvell_unit_tests korvell_gl_tests
	@CTEST_ARGS="-R Preloader|PicturesGL|PlayerGL|LongShow|DemoShow|Textures|VideoEncoder|Music|Mixer|Clip|Colour" scripts/run-tests.sh $(TSAN_BUILD)

fuzz:
	@scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVELL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_JOBS)

# Benchmarks: an optimised build, figures measured side by side (feh and mpv
# are installed to compare against).
BENCH_BUILD ?= build-bench
bench: deps
	@scripts/install-deps.sh bench
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH_BUILD) -j$(JOBS) --target korvell korvell-pack korvell-bench
	@bench/run-bench.sh $(BENCH_BUILD)
