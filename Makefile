# Two commands for people: `make run` and `make test`. Everything else is for developers.
BUILD ?= build
WERROR ?= OFF
SANITIZE ?=
ARGS ?=
# `make run RESET=1` starts the simulator from the factory state.
RESET ?=
CTEST_ARGS ?=
# The ThreadSanitizer run: the link, the socket server, the update worker and the panel during an
# update (its status timer polls while the worker programs).
TSAN_TESTS := DeviceLinkTest|panel_alive_tests|SocketServerTest|ControlTest|tarn_thread_test|panel_update_tests|ImageDownload|FileDownload|VelmorctlSimTest
# The binaries that hold them: the ThreadSanitizer build makes only these.
TSAN_TARGETS := device_tests panel_alive_tests sim_socket_tests tarn_thread_test panel_update_tests firmware_tests velmorctl_sim_tests
# Empty: build everything.
BUILD_TARGETS ?=
# `make fuzz`: every fuzz target for FUZZ_SECONDS each, on its corpus in build-fuzz/corpus.
FUZZ_TARGETS := srecord_fuzzer sim_frame_fuzzer sim_control_fuzzer
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

PROGRAMS := velmor-panel velmor-sim velmorctl
CMAKE_FLAGS = -G "$(GENERATOR)" -DVELMOR_WERROR=$(WERROR) -DVELMOR_SANITIZE="$(SANITIZE)"
# `make win`: the Windows build (mingw-w64) in build-win over the dependency prefix of
# scripts/build-win-deps: the core, velmorctl and their tests, and the panel with its Qt tests
# when the Qt of scripts/build-win-qt is there (`make win-qt` builds it once, about 20 minutes
# and more). `make win-test` runs the tests under Wine; `make win-zip` builds Qt when missing and
# makes the zip for Windows users, then starts its panel under Wine to check it; `make win-msi`
# makes the installer of the same files and checks it under Wine, install to uninstall.
WIN_BUILD ?= build-win

.PHONY: deps configure configure-programs build test run package asan tsan fuzz clean format lint win win-qt win-test win-zip win-msi screenshots

deps:
	@scripts/install-deps test

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DVELMOR_TESTS=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS) $(if $(BUILD_TARGETS),--target $(BUILD_TARGETS))

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 $(CTEST_ARGS)

# A new build folder for `make run` or `make package` leaves the tests out, and the debug
# information too (the package strips it, and it was a third of the compile time); one that
# `make test` made keeps both.
configure-programs:
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DVELMOR_TESTS=OFF \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null

run:
	@scripts/install-deps run
	@$(MAKE) --no-print-directory configure-programs
	@cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)
	@RESET=$(RESET) scripts/run-panel $(BUILD) $(ARGS)

# velmor-control_<version>_amd64.deb in the build folder.
package:
	@scripts/install-deps package
	@$(MAKE) --no-print-directory configure-programs
	@cmake --build $(BUILD) -j $(JOBS) --target package

asan:
	@LSAN_OPTIONS="suppressions=$(CURDIR)/tests/lsan.supp print_suppressions=0" \
	  $(MAKE) test BUILD=build-asan SANITIZE=address,undefined

tsan:
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1" \
	  $(MAKE) test BUILD=build-tsan SANITIZE=thread BUILD_TARGETS="$(TSAN_TARGETS)" \
	    CTEST_ARGS='-R "$(TSAN_TESTS)"'

fuzz:
	@scripts/install-deps fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G "$(GENERATOR)" -DVELMOR_FUZZ=ON \
	  -DVELMOR_SANITIZE="fuzzer-no-link,address,undefined" >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t && cp -n fuzz/seeds/$$t/* build-fuzz/corpus/$$t/ 2>/dev/null; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  build-fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ build-fuzz/corpus/$$t 2>build-fuzz/$$t.log \
	    || { tail -40 build-fuzz/$$t.log; exit 1; }; \
	  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" build-fuzz/$$t.log; \
	done

win:
	@scripts/install-deps win
	@prefix=$$(scripts/build-win-deps) && qt=$$(scripts/build-win-qt --cached) && \
	  if [ -n "$$qt" ]; then with_qt="-DVELMOR_WITH_QT=ON -DVELMOR_WIN_QT=$$qt"; \
	  else with_qt="-DVELMOR_WITH_QT=OFF -UVELMOR_WIN_QT"; \
	    echo "win: no Windows Qt yet, so no panel (make win-qt builds it)"; fi && \
	  cmake -S . -B $(WIN_BUILD) -G "$(GENERATOR)" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DVELMOR_WIN_PREFIX=$$prefix $$with_qt -DVELMOR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

win-qt:
	@scripts/install-deps run win
	@scripts/build-win-qt >/dev/null

win-test: win
	@scripts/win-test $(WIN_BUILD) --output-on-failure -j $(JOBS) --timeout 300 $(CTEST_ARGS)

win-zip: win-qt
	@$(MAKE) --no-print-directory win
	@cmake --build $(WIN_BUILD) --target package >/dev/null
	@scripts/win-zip-check $(WIN_BUILD)/velmor-control-$$(scripts/win-version $(WIN_BUILD))-windows-x64.zip $(SHOTS)

# velmor-control-<version>-x64.msi in the Windows build folder.
win-msi: win-qt
	@$(MAKE) --no-print-directory win
	@cmake --build $(WIN_BUILD) --target package >/dev/null
	@v=$$(scripts/win-version $(WIN_BUILD)) && \
	  scripts/win-msi $(WIN_BUILD)/velmor-control-$$v-windows-x64.zip \
	    $(WIN_BUILD)/icons/velmor-control.ico && \
	  scripts/win-msi-check $(WIN_BUILD)/velmor-control-$$v-x64.msi \
	    $(WIN_BUILD)/velmor-control-$$v-windows-x64.zip $(SHOTS)

# The README's panel screenshots, taken under Xvfb at scale factors 1 and 2.
screenshots: build
	@scripts/panel-screenshots $(BUILD) docs

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The format check and clang-tidy (.clang-tidy) over the tracked sources, on the test build's
# compile database.
lint: configure
	@scripts/install-deps lint
	@JOBS=$(JOBS) scripts/lint $(BUILD)

clean:
	@rm -rf build build-asan build-tsan build-fuzz build-lint $(WIN_BUILD)
