# Short commands over the CMake build. `make demo` stamps a copy of the
# bundled sample; `make test` builds and runs the whole test suite.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# Warnings are errors in `make test` (and so in sanitize and valgrind) and
# where WERROR=ON asks (CI); elsewhere they are shown.
WERROR ?= OFF

.PHONY: all configure build demo test sanitize valgrind fuzz bench windows test-windows dist deb clean

all: build

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

# The developers' builds treat warnings as errors; `make demo` does not.
build:
	cmake -S . -B $(BUILD) -DSTAMPO_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# Only the program: cmake, make, g++ and its libraries are all the demo
# needs. Warnings are shown, not fatal.
demo:
	cmake -S . -B $(BUILD) -DSTAMPO_WERROR=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target demo

test: build
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DSTAMPO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# The whole suite under valgrind's memcheck: the unit tests, and the
# end-to-end tests with the program run under valgrind.
VALGRIND = valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite
valgrind: build
	$(VALGRIND) $(BUILD)/tests/unit_tests
	STAMPO_UNDER_TEST="$(VALGRIND) $(abspath $(BUILD))/stampo" $(BUILD)/tests/e2e_tests

# libFuzzer targets (clang): replay the seed corpus, then fuzz each target
# for FUZZ_SECONDS. New inputs go to build-fuzz/corpus, findings to
# build-fuzz/; the seeds in fuzz/corpus are made by fuzz/make_corpus.py.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = report picture
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSTAMPO_FUZZ=ON -DSTAMPO_TESTS=OFF \
	  -DSTAMPO_WERROR=$(WERROR)
	cmake --build build-fuzz -j $(JOBS)
	set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  build-fuzz/fuzz/$${t}_fuzz -runs=0 fuzz/corpus/$$t; \
	  build-fuzz/fuzz/$${t}_fuzz -max_len=65536 -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$t fuzz/corpus/$$t; \
	done

# Benchmarks (Google Benchmark from libbenchmark-dev), then the batch
# measure against the I/O floor (needs /usr/bin/time, Debian's "time"),
# then the work apart from the disk: system calls, processor time and
# memory of a long batch (needs strace and eatmydata too).
BATCH_N ?= 500
bench:
	cmake -S . -B build-bench -DSTAMPO_BENCH=ON -DSTAMPO_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/stamp_bench
	BUILD=build-bench bench/batch.sh $(BATCH_N)
	BUILD=build-bench bench/work.sh 300

# Stampo.exe for 32-bit Windows, cross-built with MinGW-w64:
# build-windows/Stampo.exe.
# The toolchain file is given once, when the build folder is made.
windows:
	test -f build-windows/CMakeCache.txt || \
	  cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake -S . -B build-windows -DSTAMPO_WERROR=$(WERROR) >/dev/null
	cmake --build build-windows -j $(JOBS)

# The unit tests and the end-to-end suite against Stampo.exe under Wine.
# Wine runs with a Japanese locale (code page 932, as on a Japanese
# Windows) and an English user interface (the tests that want Japanese
# ask for it), then the tests of names and the console again with a UTF-8
# one (a Western code page).
WINE_ENV = WINEPREFIX=$(abspath build-windows)/wineprefix WINEDEBUG=-all \
	STAMPO_HOLDFILE="wine $(abspath build-windows)/tests/holdfile.exe" \
	WINEDLLOVERRIDES="mscoree,mshtml=d" LC_ALL= LANG=ja_JP.UTF-8 LC_MESSAGES=en_US.UTF-8
# One Wine server for the whole run (any earlier one ended first), started
# before the prefix is made ready: a server that shuts down between two
# tests can drop the next program's connection ("recvmsg: Connection
# reset").
test-windows: windows build
	mkdir -p build-windows/wineprefix
	-$(WINE_ENV) wineserver -k 2>/dev/null
	$(WINE_ENV) wineserver -w
	$(WINE_ENV) wineserver -p
	$(WINE_ENV) wineboot -i
	$(WINE_ENV) ctest --test-dir build-windows --output-on-failure --no-tests=error -j $(JOBS)
	$(WINE_ENV) STAMPO_UNDER_TEST="wine $(abspath build-windows)/Stampo.exe" STAMPO_WINDOWS=1 \
		$(BUILD)/tests/e2e_tests
	$(WINE_ENV) LC_ALL=C.UTF-8 STAMPO_UNDER_TEST="wine $(abspath build-windows)/Stampo.exe" \
		STAMPO_WINDOWS=1 $(BUILD)/tests/e2e_tests --gtest_filter='*Names*:*LongPaths*:*Console*'
	-$(WINE_ENV) wineserver -k 2>/dev/null

# The release zip for Windows users: build-windows/Stampo-<version>-win32.zip.
dist: windows
	cd build-windows && cpack -G ZIP
	tests/release_check.sh build-windows/Stampo-*-win32.zip build-windows/Stampo.exe

# The Debian package: build-deb/stampo_<version>_<arch>.deb, the program
# and its manual page, built by Debian's own tools (debhelper, from
# debian/) in a copy of the sources, then checked by lintian and by
# tests/package_check.sh (installed into a root of its own, run, removed).
# Needs dpkg-dev, debhelper and lintian.
deb:
	rm -rf build-deb
	mkdir -p build-deb/stampo
	tar --exclude='./build*' --exclude=./.git -cf - . | tar -C build-deb/stampo -xf -
	cd build-deb/stampo && DEB_BUILD_OPTIONS="nocheck noautodbgsym" dpkg-buildpackage -b -us -uc
	lintian --allow-root --fail-on error,warning --display-info build-deb/stampo_*.deb
	tests/package_check.sh build-deb/stampo_*.deb

clean:
	rm -rf build build-*
