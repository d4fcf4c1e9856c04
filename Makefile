# The two commands: `make run` and `make test`. Each installs what is missing,
# builds the program with its pictures and sounds, then runs it or tests it.

BUILD := build
SANITIZED := build-sanitize
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build run test test-sanitized clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/yumble

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-sanitized

# The unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitized: deps
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=Debug -DYUMBLE_SANITIZE=ON -DYUMBLE_SOUNDS=OFF
	cmake --build $(SANITIZED) -j $(JOBS) --target unit_tests
	cd $(SANITIZED) && ctest -L unit --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZED)
