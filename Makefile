# SPDX-License-Identifier: GPL-3.0-or-later
# Orvath: builds the engine programs into bin/ and runs the tests (see README.md).
#
#   make        every program this machine can build: bin/orvath64 (with the tools orvath-perft,
#               orvath-bench and orvath-generate-magics), bin/orvath32 (its tools in bin/i386/),
#               the ARM programs in bin/arm64/ and bin/armhf/, bin/orvath64.exe, bin/orvath32.exe
#   make arm64, make armhf  the ARM programs only
#   make run    builds bin/orvath64 only and starts it on this terminal
#   make EXE=PATH  the engine alone, built as for bin/orvath64, copied to PATH (a name alone: this
#               folder), as testing frameworks build engines; CXX=clang++ builds it with clang++
#               in build/clang-release, with the same flags but no profile (see below)
#   make native bin/native/orvath64 and its tools, optimised for this machine's processor only
#   make test   builds every configuration and runs all tests
#   make test-arm64, make test-armhf  checks the ARM programs under qemu-user
#               (tests/processors/check_programs.py)
#   make test-wine  runs the Windows programs under Wine (tests/wine/run_wine_tests.sh)
#   make test-fuzz  runs each fuzz target for FUZZ_SECONDS (fuzz/run.sh; needs clang-14)
#   make test-stress  the short stress run of bin/orvath64 (tools/stress.py --short)
#   make test-tsan  the threaded tests under ThreadSanitizer (tools/tsan.sh)
#   make test-polyglot  the engine driven through Debian's polyglot as xboard drives it
#                   (tests/polyglot/run_polyglot_test.py)
#   make test-exe   make EXE= into a temporary folder with g++ and with clang++, and the bench of
#                   each program as testing frameworks read it (tests/bench/run_bench_test.py)
#   make install    installs bin/orvath64, the two tools and the manual page orvath(6) under
#                   $(DESTDIR)$(PREFIX) (PREFIX=/usr/local); make uninstall removes them
#   make deb    the Debian packages dist/orvath_<version>_<arch>.deb for amd64, i386, arm64 and
#               armhf (tools/make_deb.py); make test-deb checks them with lintian and installs
#               each one into a throw-away root (tests/package/run_package_test.py)
#   make dist   the release archive dist/orvath-<version>.zip: the four programs, README.md,
#               LICENSE and SHA256SUMS (tools/make_dist.py)
#   make clean  removes the builds, programs and archive made here
#
# A program whose toolchain is missing is skipped with a message saying which package to
# install. Each configuration is a CMake build of its own in build/<configuration>.
#
# Release builds use -O3 and link-time optimisation. The Linux x86-64 programs are also
# optimised from a profile: a counting build of them (build/pgo-release) is run on the bench
# and perft (tools/train_profile.sh), and build/release is compiled from those counts. The
# training runs again whenever the counting programs changed.

SHELL := /bin/bash
.DEFAULT_GOAL := $(if $(EXE),exe,all)
# Each sub-build already uses both cores; running two side by side would only thrash.
.NOTPARALLEL:

CMAKE ?= cmake
CTEST ?= ctest
JOBS ?= 2
BIN := $(CURDIR)/bin
BUILD := $(CURDIR)/build
PROBE := $(CURDIR)/cmake/probe

# Spelt out for every configuration, so that a reused cache cannot keep a stale choice.
DEFAULTS := -DORVATH_M32=OFF -DORVATH_SANITIZE=OFF -DORVATH_TOOLS=OFF -DORVATH_TESTS=ON -DORVATH_NATIVE=OFF \
	-DORVATH_PGO= -DORVATH_PGO_DIR= -DORVATH_SHIPPED=OFF -DORVATH_TOOLS_BIN_DIR=

# The counting build of a profile-guided configuration: its programs, with the same flags.
COUNTING := -DORVATH_PGO=generate -DORVATH_TESTS=OFF -DORVATH_BIN_DIR=
TRAIN := $(CURDIR)/tools/train_profile.sh

# The Linux programs a user installs: their own C++ runtime, hardened (see ORVATH_SHIPPED).
release_FLAGS := $(DEFAULTS) -DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=x64 -DORVATH_TOOLS=ON -DORVATH_SHIPPED=ON \
	-DORVATH_PGO=use -DORVATH_PGO_DIR=$(BUILD)/pgo-release/profile -DORVATH_BIN_DIR=$(BIN)
pgo-release_FLAGS := $(release_FLAGS) $(COUNTING)
# The engine that clang++ builds for make EXE=...: the release flags without the profile, which
# clang++ cannot read from g++'s counts. Its own build directory, so that the two compilers'
# caches never mix; the engine alone, in the build directory.
clang-release_FLAGS = $(DEFAULTS) -DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=x64 -DORVATH_SHIPPED=ON \
	-DORVATH_TESTS=OFF -DCMAKE_CXX_COMPILER=$(CLANGXX) -DORVATH_BIN_DIR=$(BUILD)/clang-release
# Not a deliverable: it runs only on processors with this one's instruction set.
native_FLAGS := $(DEFAULTS) -DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=x64 -DORVATH_TOOLS=ON -DORVATH_TESTS=OFF \
	-DORVATH_NATIVE=ON -DORVATH_PGO=use -DORVATH_PGO_DIR=$(BUILD)/pgo-native/profile -DORVATH_BIN_DIR=$(BIN)/native
pgo-native_FLAGS := $(native_FLAGS) $(COUNTING)
# The i386 tools share their names with the x86-64 ones, so they get a folder of their own.
w32_FLAGS := $(DEFAULTS) -DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=w32 -DORVATH_M32=ON -DORVATH_TOOLS=ON \
	-DORVATH_SHIPPED=ON -DORVATH_BIN_DIR=$(BIN) -DORVATH_TOOLS_BIN_DIR=$(BIN)/i386
# The ARM programs, cross-compiled, each processor's in a folder of its own; ARM boards and
# servers run the flavour of their word size.
arm64_FLAGS := $(DEFAULTS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/linux-aarch64.cmake -DCMAKE_BUILD_TYPE=Release \
	-DORVATH_FLAVOUR=x64 -DORVATH_TOOLS=ON -DORVATH_TESTS=OFF -DORVATH_SHIPPED=ON -DORVATH_BIN_DIR=$(BIN)/arm64
armhf_FLAGS := $(DEFAULTS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/linux-armhf.cmake -DCMAKE_BUILD_TYPE=Release \
	-DORVATH_FLAVOUR=w32 -DORVATH_TOOLS=ON -DORVATH_TESTS=OFF -DORVATH_SHIPPED=ON -DORVATH_BIN_DIR=$(BIN)/armhf
# Debug keeps the assertions; -O1 keeps the sanitized tests quick.
asan_FLAGS := $(DEFAULTS) -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" -DORVATH_FLAVOUR=x64 \
	-DORVATH_SANITIZE=ON -DORVATH_BIN_DIR=
mingw64_FLAGS := $(DEFAULTS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
	-DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=x64 -DORVATH_TESTS=OFF -DORVATH_BIN_DIR=$(BIN)
mingw32_FLAGS := $(DEFAULTS) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	-DCMAKE_BUILD_TYPE=Release -DORVATH_FLAVOUR=w32 -DORVATH_TESTS=OFF -DORVATH_BIN_DIR=$(BIN)

# How this machine runs each ARM flavour, and its engine's name.
RUN_arm64 := qemu-aarch64 -L /usr/aarch64-linux-gnu
RUN_armhf := qemu-arm -L /usr/arm-linux-gnueabihf
ENGINE_arm64 := orvath64
ENGINE_armhf := orvath32
PROCESSOR_CHECKS := $(CURDIR)/tests/processors/check_programs.py

# Any sanitizer report ends its test with a failure; leaks count too.
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

CTEST_FLAGS := --output-on-failure --no-tests=error -j$(JOBS)

MISSING_m32 := 32-bit Linux needs g++-12-multilib
MISSING_m32-run := this kernel cannot run 32-bit x86 programs (no IA32 emulation; .ci/run registers qemu-user for them)
MISSING_arm64 := 64-bit ARM Linux needs g++-aarch64-linux-gnu
MISSING_armhf := 32-bit ARM Linux needs g++-arm-linux-gnueabihf
MISSING_arm64-run := running 64-bit ARM programs here needs qemu-user (qemu-aarch64)
MISSING_armhf-run := running 32-bit ARM programs here needs qemu-user (qemu-arm)
MISSING_mingw64 := 64-bit Windows needs g++-mingw-w64-x86-64
MISSING_mingw32 := 32-bit Windows needs g++-mingw-w64-i686
MISSING_wine := running the Windows programs needs Wine (wine64) and g++-mingw-w64-x86-64

MISSING_deb := the packages need dpkg-deb (dpkg), lintian, man-db and python3
MISSING_clang := the fuzz targets need clang-14 and libclang-rt-14-dev
MISSING_python := the stress test needs python3
MISSING_polyglot := the xboard client test needs polyglot and python3
MISSING_clangxx := building the engine with clang++ needs clang

WINE_TESTS := $(CURDIR)/tests/wine/run_wine_tests.sh
FUZZ_SECONDS ?= 60

# $(call require,toolchain): stops with the reason when the toolchain does not work here.
require = @$(PROBE) $(1) || { echo "*** $(MISSING_$(1)), which is not installed" >&2; exit 1; }

.PHONY: all run exe engine-gcc engine-clang test-exe test clean orvath64 orvath32 arm64 armhf orvath64.exe orvath32.exe native pgo-release pgo-native \
	test-release test-w32 test-arm64 test-armhf test-asan deb test-deb test-wine test-fuzz test-stress test-tsan test-polyglot install uninstall dist

all: orvath64
	@$(call optional,m32,orvath32)
	@$(call optional,arm64,arm64)
	@$(call optional,armhf,armhf)
	@$(call optional,mingw64,orvath64.exe)
	@$(call optional,mingw32,orvath32.exe)

# $(call optional,toolchain,target): makes the target when the toolchain works, else says why not.
optional = if $(PROBE) $(1); then $(MAKE) --no-print-directory $(2); \
	else echo "*** skipped $(2): $(MISSING_$(1)), which is not installed"; fi

$(BUILD)/%/CMakeCache.txt: Makefile
	$(CMAKE) -S $(CURDIR) -B $(BUILD)/$* $($*_FLAGS)
	@touch $@

# The counts a profile-guided configuration is compiled from: its counting programs, trained.
pgo-release pgo-native: pgo-%: $(BUILD)/pgo-%/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/pgo-$* --target orvath-bench orvath-perft -j$(JOBS)
	$(TRAIN) $(BUILD)/pgo-$*

orvath64: pgo-release $(BUILD)/release/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/release --target programs -j$(JOBS)

native: pgo-native $(BUILD)/native/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/native --target programs -j$(JOBS)

orvath32:
	$(call require,m32)
	@$(MAKE) --no-print-directory $(BUILD)/w32/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/w32 --target programs -j$(JOBS)

# The ARM programs (bin/arm64/, bin/armhf/): the engine of that word size and its two tools.
arm64 armhf:
	$(call require,$@)
	@$(MAKE) --no-print-directory $(BUILD)/$@/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/$@ --target programs -j$(JOBS)

orvath64.exe:
	$(call require,mingw64)
	@$(MAKE) --no-print-directory $(BUILD)/mingw64/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/mingw64 --target programs -j$(JOBS)

orvath32.exe:
	$(call require,mingw32)
	@$(MAKE) --no-print-directory $(BUILD)/mingw32/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/mingw32 --target programs -j$(JOBS)

# make EXE=PATH: the engine as `make` builds bin/orvath64 (g++, profile-guided), or with a CXX
# that is a clang++ the same flags without the profile; then copied to PATH, which is taken
# from this folder.
CXX_FAMILY = $(if $(findstring clang,$(shell $(CXX) --version 2>/dev/null)),clang,gcc)
CLANGXX = $(if $(filter clang,$(CXX_FAMILY)),$(CXX),clang++)
ENGINE_gcc := $(BIN)/orvath64
ENGINE_clang := $(BUILD)/clang-release/orvath64

exe:
	@[ -n "$(EXE)" ] || { echo "*** make exe needs EXE=<where the engine goes>" >&2; exit 1; }
	@$(MAKE) --no-print-directory engine-$(CXX_FAMILY)
	@mkdir -p "$(dir $(abspath $(EXE)))"
	cp -f $(ENGINE_$(CXX_FAMILY)) "$(abspath $(EXE))"

engine-gcc: pgo-release $(BUILD)/release/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/release --target orvath -j$(JOBS)

engine-clang: $(BUILD)/clang-release/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/clang-release --target orvath -j$(JOBS)

run: pgo-release $(BUILD)/release/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/release --target orvath -j$(JOBS)
	@exec $(BIN)/orvath64

test-release: pgo-release $(BUILD)/release/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/release -j$(JOBS)
	$(CTEST) --test-dir $(BUILD)/release $(CTEST_FLAGS)

# Built whenever g++-12-multilib is there; run only where the kernel can run 32-bit programs.
test-w32:
	$(call require,m32)
	@$(MAKE) --no-print-directory $(BUILD)/w32/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/w32 -j$(JOBS)
	@if $(PROBE) m32-run; then set -x; $(CTEST) --test-dir $(BUILD)/w32 $(CTEST_FLAGS); \
	else echo "*** w32 tests built, not run: $(MISSING_m32-run)"; fi

# The ARM programs under qemu-user: bench signature, perft and a protocol session.
test-arm64 test-armhf: test-%:
	@$(MAKE) --no-print-directory $*
	@if $(PROBE) $*-run; then set -x; python3 $(PROCESSOR_CHECKS) --run "$(RUN_$*)" --engine $(BIN)/$*/$(ENGINE_$*) \
		--perft $(BIN)/$*/orvath-perft --bench $(BIN)/$*/orvath-bench; \
	else echo "*** $* programs built, not run: $(MISSING_$*-run)"; fi

# The tests labelled slow (deep perft) are left out: they would take many minutes here.
test-asan: $(BUILD)/asan/CMakeCache.txt
	$(CMAKE) --build $(BUILD)/asan -j$(JOBS)
	$(SANITIZER_ENV) $(CTEST) --test-dir $(BUILD)/asan $(CTEST_FLAGS) --label-exclude slow

# The Windows programs, driven under Wine through a Windows-side relay. The 32-bit one is run
# only where a 32-bit Wine works; the script says why when it is not.
test-wine:
	@bash $(WINE_TESTS) --available || { echo "*** $(MISSING_wine), which is not installed" >&2; exit 1; }
	@$(MAKE) --no-print-directory orvath64.exe
	@if $(PROBE) mingw32; then $(MAKE) --no-print-directory orvath32.exe; fi
	@programs="$(BIN)/orvath64.exe"; [ -f "$(BIN)/orvath32.exe" ] && programs+=" $(BIN)/orvath32.exe"; \
	set -x; bash $(WINE_TESTS) --work $(BUILD)/wine $$programs

# Each target replays its kept inputs, then fuzzes for a fixed time from the seed corpus.
test-fuzz:
	$(call require,clang)
	JOBS=$(JOBS) $(CURDIR)/fuzz/run.sh $(FUZZ_SECONDS)

# A fresh random seed each run, printed in the summary so that a failure can be replayed.
test-stress: orvath64
	$(call require,python)
	python3 $(CURDIR)/tools/stress.py --short --engine $(BIN)/orvath64

test-tsan:
	JOBS=$(JOBS) $(CURDIR)/tools/tsan.sh

# A real client in front of the engine: polyglot, through which xboard runs UCI engines.
test-polyglot: orvath64
	$(call require,polyglot)
	python3 $(CURDIR)/tests/polyglot/run_polyglot_test.py --engine $(BIN)/orvath64

# The build that testing frameworks ask for, make EXE= into a folder of its own, with g++ (reusing
# the profile and build of bin/orvath64) and with clang++; each program's bench, read as those
# frameworks read it, must give the node count README.md states.
BENCH_TEST := $(CURDIR)/tests/bench/run_bench_test.py

test-exe:
	$(call require,python)
	$(call require,clangxx)
	@dir=$$(mktemp -d) && trap 'rm -rf "$$dir"' EXIT && set -x && \
	$(MAKE) --no-print-directory EXE=$$dir/orvath-gcc CXX=g++ && \
	$(MAKE) --no-print-directory EXE=$$dir/orvath-clang CXX=clang++ && \
	python3 $(BENCH_TEST) $$dir/orvath-gcc $$dir/orvath-clang

# The GNU directory variables; DESTDIR stages the installation elsewhere (for a package).
PREFIX ?= /usr/local
bindir = $(DESTDIR)$(PREFIX)/bin
man6dir = $(DESTDIR)$(PREFIX)/share/man/man6
INSTALLED_PROGRAMS := orvath64 orvath-perft orvath-bench

install: orvath64
	install -d "$(bindir)" "$(man6dir)"
	install -m 755 $(addprefix $(BIN)/,$(INSTALLED_PROGRAMS)) "$(bindir)"
	install -m 644 $(CURDIR)/doc/orvath.6 "$(man6dir)"

uninstall:
	rm -f $(addprefix "$(bindir)"/,$(INSTALLED_PROGRAMS)) "$(man6dir)/orvath.6"

# The version is the one the programs name themselves with.
VERSION := $(shell sed -n 's/.*"Orvath \([^ ]*\) x64".*/\1/p' $(CURDIR)/src/board/flavour.h)
DIST_PROGRAMS := orvath64 orvath32 orvath64.exe orvath32.exe

# Every program is required here: a toolchain that is missing stops the archive.
dist: $(DIST_PROGRAMS)
	$(call require,python)
	python3 $(CURDIR)/tools/make_dist.py $(CURDIR)/dist/orvath-$(VERSION).zip orvath-$(VERSION) \
		$(addprefix $(BIN)/,$(DIST_PROGRAMS)) $(CURDIR)/README.md $(CURDIR)/LICENSE

# The Debian packages dist/orvath_<version>-<revision>_<arch>.deb, one for each Linux processor:
# the engine, its two tools and the manual page (tools/make_deb.py). Every processor's programs
# are required.
DEB_VERSION = $(shell sed -n '1s/^[^ ]* (\(.*\)) .*/\1/p' $(CURDIR)/packaging/deb/changelog)
DEB_ARCHES := amd64 i386 arm64 armhf
# $(call make-deb,arch,engine,folder of its tools)
make-deb = python3 $(CURDIR)/tools/make_deb.py --arch $(1) --engine $(2) --perft $(3)/orvath-perft \
	--bench $(3)/orvath-bench --out $(CURDIR)/dist

deb: orvath64 orvath32 arm64 armhf
	$(call require,deb)
	$(call make-deb,amd64,$(BIN)/orvath64,$(BIN))
	$(call make-deb,i386,$(BIN)/orvath32,$(BIN)/i386)
	$(call make-deb,arm64,$(BIN)/arm64/orvath64,$(BIN)/arm64)
	$(call make-deb,armhf,$(BIN)/armhf/orvath32,$(BIN)/armhf)

# lintian on every package, then each one installed into a throw-away root, its engine run
# (the ARM ones under qemu-user), its manual pages read and the package purged
# (tests/package/run_package_test.py).
test-deb: deb
	@set -e; $(foreach arch,$(DEB_ARCHES),deb=$(CURDIR)/dist/orvath_$(DEB_VERSION)_$(arch).deb; \
		echo "lintian $$deb"; lintian --fail-on error,warning $$deb; \
		python3 $(CURDIR)/tests/package/run_package_test.py $$deb $(if $(RUN_$(arch)),--run "$(RUN_$(arch))");)

# Every configuration this machine can build; the Windows programs are built, and run where
# Wine is installed. A failing step does not stop the others; the summary names what failed
# or was skipped.
test:
	@failed=""; skipped=""; times=""; \
	step() { \
		local started=$$SECONDS; echo "=== $$1"; \
		$(MAKE) --no-print-directory $$1 || failed="$$failed $$1"; \
		times="$$times  $$1: $$((SECONDS - started)) s\n"; \
	}; \
	skip() { skipped="$$skipped  $$1: $$2, which is not installed\n"; }; \
	step test-release; \
	if $(PROBE) python && $(PROBE) clangxx; then step test-exe; \
	else skip test-exe "$(MISSING_clangxx) and python3"; fi; \
	if ! $(PROBE) m32; then skip test-w32 "$(MISSING_m32)"; \
	else step test-w32; $(PROBE) m32-run || skipped="$$skipped  running the w32 tests: $(MISSING_m32-run)\n"; fi; \
	$(foreach processor,arm64 armhf,if ! $(PROBE) $(processor); then skip test-$(processor) "$(MISSING_$(processor))"; \
	else step test-$(processor); $(PROBE) $(processor)-run || \
		skipped="$$skipped  running the $(processor) programs: $(MISSING_$(processor)-run)\n"; fi;) \
	step test-asan; \
	step test-tsan; \
	if $(PROBE) python; then step test-stress; else skip test-stress "$(MISSING_python)"; fi; \
	if $(PROBE) polyglot; then step test-polyglot; else skip test-polyglot "$(MISSING_polyglot)"; fi; \
	if ! $(PROBE) deb; then skip test-deb "$(MISSING_deb)"; \
	elif $(PROBE) m32 && $(PROBE) arm64 && $(PROBE) armhf; then step test-deb; \
	else skipped="$$skipped  test-deb: it needs the programs of every Linux processor\n"; fi; \
	if $(PROBE) clang; then step test-fuzz; else skip test-fuzz "$(MISSING_clang)"; fi; \
	if $(PROBE) mingw64; then step orvath64.exe; else skip orvath64.exe "$(MISSING_mingw64)"; fi; \
	if $(PROBE) mingw32; then step orvath32.exe; else skip orvath32.exe "$(MISSING_mingw32)"; fi; \
	if bash $(WINE_TESTS) --available; then step test-wine; \
		why=$$(bash $(WINE_TESTS) --why-not-32); [ -z "$$why" ] || skipped="$$skipped  orvath32.exe under Wine: $$why\n"; \
	else skip test-wine "$(MISSING_wine)"; fi; \
	echo "=== summary"; printf "$$times"; \
	if [ -n "$$skipped" ]; then printf "skipped:\n$$skipped"; fi; \
	if [ -n "$$failed" ]; then echo "FAILED:$$failed"; exit 1; fi; \
	echo "all tests passed"

clean:
	rm -rf $(addprefix $(BUILD)/,release pgo-release clang-release native pgo-native w32 arm64 armhf asan mingw64 mingw32 wine tsan fuzz)
	rm -rf $(addprefix $(BIN)/,native i386 arm64 armhf)
	rm -f $(addprefix $(BIN)/,orvath64 orvath32 orvath64.exe orvath32.exe orvath-perft orvath-bench \
		orvath-generate-magics)
	rm -rf $(CURDIR)/dist
