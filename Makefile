# The two commands a user needs: `make run` and `make test`.
.PHONY: all deps build run test package test-sanitize test-tsan bench fuzz clean

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

# The Debian package, built from the default build; prints its path.
package: build
	@cmake --build --preset default --target package >/dev/null
	@ls "$$PWD"/build/default/quillbrook_*.deb

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
