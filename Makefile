# The two commands of the README: `make run` and `make test`; and for the project's own use,
# `make release`, `make screenshots` and `make bench`.
BUILD ?= build
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

.PHONY: setup build run test release screenshots bench clean

setup:
	@tools/setup.sh $(BUILD)

build: setup
	@tools/build.sh $(BUILD) $(JOBS)

run: build
	@tools/run.sh $(BUILD)

test: build
	@tools/test.sh $(BUILD)

release: setup
	@tools/release.sh $(BUILD)

screenshots: build
	@tools/screenshots.sh $(BUILD)

bench: build
	@tools/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
