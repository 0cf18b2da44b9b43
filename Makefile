# The two commands a newcomer needs: `make run` and `make test`.
MAKEFLAGS += --no-print-directory
BUILD ?= build
JOBS  ?= 2

.PHONY: all deps build run test clean

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
