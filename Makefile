# Vorqen: the two set-up commands are `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test run bench fuzz screenshots clean format

deps:
	@bash scripts/deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/test.sh $(BUILD)

run: build
	bash scripts/run.sh $(BUILD)

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	bash scripts/bench.sh $(BUILD)

fuzz: deps
	bash scripts/fuzz.sh

screenshots: build
	cmake --build $(BUILD) --target screenshots -j $(JOBS)
	QT_QPA_PLATFORM=offscreen VRQ_UNATTENDED=1 $(BUILD)/bin/vrq_screenshots $(BUILD)/screenshots

format:
	find src tests tools bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
