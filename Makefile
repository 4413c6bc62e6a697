# Two commands for people: `make run` and `make test`. Everything else is for developers.
BUILD ?= build
WERROR ?= OFF
SANITIZE ?=
ARGS ?=
CTEST_ARGS ?=
# The ThreadSanitizer run: the link, the socket server, the update worker and the panel during an
# update (its status timer polls while the worker programs).
TSAN_TESTS := DeviceLinkTest|SocketServerTest|ControlTest|tarn_thread_test|panel_update_tests|ImageDownload|FileDownload|VelmorctlSimTest
JOBS ?= $(shell nproc)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo Ninja || echo "Unix Makefiles")

.PHONY: deps configure build test run asan tsan clean format

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G "$(GENERATOR)" -DVELMOR_WERROR=$(WERROR) -DVELMOR_SANITIZE="$(SANITIZE)" >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 $(CTEST_ARGS)

run: build
	@scripts/run-panel $(BUILD) $(ARGS)

asan:
	@$(MAKE) test BUILD=build-asan SANITIZE=address,undefined

tsan:
	@TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1" \
	  $(MAKE) test BUILD=build-tsan SANITIZE=thread CTEST_ARGS='-R "$(TSAN_TESTS)"'

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan
