# The two commands a user needs: `make run` and `make test`.
.PHONY: all deps build run test package test-sanitize test-tsan bench fuzz clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default

# Builds only what it runs, the program and its help document; the tests wait for make test.
run: deps
	@cmake --preset default >/dev/null
	@[ -e build/default/quillbrook ] || echo "First build of the program and its help document: about 1½ minutes on two free cores, nearer 3 while others build; make test builds the tests."
	@cmake --build --preset run
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
