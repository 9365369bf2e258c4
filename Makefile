# Thin wrapper over CMake + Ninja. `make` builds into build/.
BUILD_DIR ?= build
CMAKE_FLAGS ?=

.PHONY: all build configure deps test unit-test sanitize fuzz demo bench fleet package release release-test compat-check clean

all: build

deps:
	@scripts/install-deps

configure:
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR)

FUZZ_SECONDS ?= 60

# Installs what is missing, builds, and runs every test: the test suite, the
# same suite under AddressSanitizer + UndefinedBehaviorSanitizer, and each
# fuzz target for FUZZ_SECONDS.
test: deps
	@$(MAKE) --no-print-directory unit-test
	@$(MAKE) --no-print-directory sanitize
	@$(MAKE) --no-print-directory fuzz

unit-test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 600

# The fleets, the server faults and the silent server run the same agent
# many times or for minutes: the sanitized run leaves them to unit-test.
SANITIZE_SKIP = Fleet|ServerFaults|FullTemporaryFolder|KilledAgent|NeverAnswers|spool_servers

# Apple's AddressSanitizer has no leak detection (detect_leaks=1 stops it).
ifeq ($(shell uname -s),Darwin)
ASAN_LEAKS = 0
else
ASAN_LEAKS = 1
endif

sanitize:
	@cmake -S . -B build-asan -G Ninja -DQZ_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build-asan
	@[ $(ASAN_LEAKS) = 1 ] || echo "sanitize: no leak detection here: Apple's AddressSanitizer has none"
	@ASAN_OPTIONS=detect_leaks=$(ASAN_LEAKS) UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure --timeout 900 -E '$(SANITIZE_SKIP)'

fuzz:
	@scripts/fuzz $(FUZZ_SECONDS)

# Runs the agent end to end on this machine.
demo: deps
	@$(MAKE) --no-print-directory build
	@scripts/demo $(BUILD_DIR)

# Times the agent on generated inputs of the largest machines, with baselines.
bench: deps
	@$(MAKE) --no-print-directory build
	@bench/generate.py $(BUILD_DIR)/bench-input
	@bench/generate.py $(BUILD_DIR)/bench-input-half --apps 2500 --packages 2500 --log-lines 100000
	@mv $(BUILD_DIR)/bench-input-half/linux $(BUILD_DIR)/bench-input/linux-half && rm -rf $(BUILD_DIR)/bench-input-half
	@bench/run.py $(BUILD_DIR) $(BUILD_DIR)/bench-input

# A fleet of FLEET_AGENTS agents reporting at once to one local spool:
# FLEET_REPEAT bursts against Apache, then one against Apache without
# collections, nginx, lighttpd and rclone. The test suite runs 50 on Apache
# and 20 on the others.
FLEET_AGENTS ?= 200
FLEET_REPEAT ?= 3
fleet: deps
	@$(MAKE) --no-print-directory build
	@QZ_FLEET_AGENTS=$(FLEET_AGENTS) $(BUILD_DIR)/tests/agent/agent_tests \
	  --gtest_filter='Fleet.AgentsStartedAtOnce*' --gtest_repeat=$(FLEET_REPEAT)
	@QZ_FLEET_AGENTS=$(FLEET_AGENTS) $(BUILD_DIR)/tests/agent/agent_tests \
	  --gtest_filter='Fleet.AgentsAgainstAServerWithoutCollections*:*FleetOn*'

# The Debian package (build-pkg/packages/*.deb) and the deploy-folder tarball.
package: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD_DIR) && cpack -G TGZ >/dev/null && ls packages/*.tar.gz
	@cmake -S . -B build-pkg -G Ninja -DQZ_PACKAGE_LAYOUT=ON -DQZ_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-pkg
	@cd build-pkg && cpack -G DEB >/dev/null && ls packages/*.deb

# The Linux release into build-release/: one portable x86_64 agent, built in a
# cached Debian 11 build root (scripts/chroot, scripts/release), and the .deb,
# the .rpm and the deploy-folder tarball that hold it. Needs root.
release: deps
	@scripts/release

# Builds the release, checks the agent's dependencies and the packages, and
# runs the agent and the installed .deb in minimal Debian 11, 12 and 13
# chroots against a local spool. Skips, saying why, where roots cannot be made.
release-test: deps
	@tests/release/release_test.sh

# Builds everything and runs the unit tests in a cached Debian unstable root
# (its newest GCC and Boost), and compiles every file there with clang and
# libc++ as well (scripts/compat-check). Skips, saying why, where roots
# cannot be made.
compat-check: deps
	@scripts/compat-check

clean:
	@rm -rf $(BUILD_DIR) build-pkg build-asan build-fuzz build-release build-compat
