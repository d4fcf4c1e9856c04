# The two commands: `make run` and `make test`. Each installs what is missing
# (tools/packages.txt), builds, then runs the game or tests it: `make run` only
# what the game needs, `make test` the test tools and every test too.
# `make check` is the quick loop while editing: no end-to-end tests.
# Warnings are errors here; `make run WERROR=OFF` for a compiler that is newer
# than the one the code was tried with.

BUILD := build
SANITIZED := build-sanitize
FUZZ := build-fuzz
FUZZ_SECONDS ?= 60
JOBS := $(shell nproc 2>/dev/null || echo 2)
WERROR ?= ON
CONFIG := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DYUMBLE_WERROR=$(WERROR)

.PHONY: all deps-run deps game build run test check format-check test-sanitized deb fuzz clean

all: build

deps-run:
	@bash tools/install-deps.sh run

deps:
	@bash tools/install-deps.sh test

# The game and the files it reads, nothing else. A build folder configured
# for the tests keeps them, unbuilt.
game: deps-run
	cmake -S . -B $(BUILD) $(CONFIG) $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DBUILD_TESTING=OFF)
	cmake --build $(BUILD) -j $(JOBS) --target yumble

build: deps
	cmake -S . -B $(BUILD) $(CONFIG) -DBUILD_TESTING=ON -DYUMBLE_LONG_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

run: game
	$(BUILD)/bin/yumble

# Everything: formatting; unit, asset, soak, package and end-to-end tests;
# the unit tests again under the sanitizers; FUZZ_SECONDS (20 here, a minute
# with `make fuzz`) of fuzzing each for the bitmap decoder, the QOI decoder
# and the wave reader. The end-to-end tests mostly wait on the game's own
# timing, so the sanitized tests and the fuzzing run beside them at the lowest
# priority. A test that fails is run once more before it counts as failed: a
# real window on a busy two-core machine is now and then too slow, and the
# second run says which it was. YUMBLE_E2E_DISPLAYS=100-199 keeps the
# end-to-end tests' X servers within those display numbers.
test: format-check build
	@status=0; \
	nice -n 19 $(MAKE) test-sanitized fuzz FUZZ_SECONDS=$(or $(TEST_FUZZ_SECONDS),20) \
	  >$(BUILD)/beside.log 2>&1 & beside=$$!; \
	(cd $(BUILD) && ctest --output-on-failure --repeat until-pass:2 -j $$(($(JOBS) + 2))) || status=$$?; \
	if wait $$beside; then \
	  grep -E '^(100% tests passed|Total Test time|Done [0-9]+ runs)' $(BUILD)/beside.log || true; \
	else \
	  status=1; echo "--- the sanitized unit tests or the fuzzing failed:"; cat $(BUILD)/beside.log; \
	fi; \
	exit $$status

check: format-check build
	cd $(BUILD) && ctest -L "unit|assets" --output-on-failure -j $(JOBS)
	$(MAKE) test-sanitized

# Every tracked C++ source follows .clang-format; a difference fails.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitized: deps
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=Debug -DYUMBLE_WERROR=$(WERROR) -DYUMBLE_SANITIZE=ON \
	  -DYUMBLE_SOUNDS=OFF
	cmake --build $(SANITIZED) -j $(JOBS) --target unit_tests
	cd $(SANITIZED) && ctest -L unit --output-on-failure -j $(JOBS)

# The Debian package, built by dpkg-buildpackage, into build/deb/.
deb: deps
	bash packaging/build_deb.sh $(BUILD)/deb $(JOBS)

# The bitmap and QOI decoders and the wave reader under libFuzzer, FUZZ_SECONDS each,
# starting from the seeds in tests/fuzz/corpus/. Inputs it finds go to
# $(FUZZ)/corpus/, anything that breaks to $(FUZZ)/findings/.
fuzz: deps
	cmake -S . -B $(FUZZ) -DYUMBLE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ $(CONFIG)
	cmake --build $(FUZZ) -j $(JOBS)
	@for t in bitmap qoi wave; do \
	  mkdir -p $(FUZZ)/corpus/$$t $(FUZZ)/findings && \
	  $(FUZZ)/bin/fuzz_$$t $(FUZZ)/corpus/$$t tests/fuzz/corpus/$$t \
	    -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=512 -malloc_limit_mb=128 -timeout=5 \
	    -artifact_prefix=$(FUZZ)/findings/$$t- -print_final_stats=1 || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(SANITIZED) $(FUZZ)
