# The two commands a user needs: `make run` and `make test`.
.PHONY: all deps build run test test-sanitize test-tsan bench fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

run: build
	@./scripts/run-demo.sh build/default/quillbrook

test: build
	@ctest --preset default

test-sanitize: deps
	@cmake --workflow --preset sanitize

test-tsan: deps
	@cmake --workflow --preset tsan

bench:
	@./scripts/install-deps.sh bench
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@./scripts/run-bench.sh build/bench

fuzz: deps
	@./scripts/run-fuzz.sh

clean:
	@rm -rf build
