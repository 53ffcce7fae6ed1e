# Front door over the CMake presets.
#   make          build both Windows builds
#   make test     install what is missing (as root), build, run every test
#   make demo     the main job on built-in sample data
#   make dist     the shipped files and the operator's README in one zip, and
#                 the setup (SIGN_CERT=cert.pem SIGN_KEY=key.pem: signed)
#   make bench    the shipped plug-in against the floor of its work, under Wine
#   make bench-server  the reference server, alone and as gunicorn behind nginx, 50 players at once
#   make sample   a standing Wine test bed with the sample installed (make sample-down)
WERROR ?= ON
BENCH_CPU ?= 0
BENCH_RUNS ?= 5
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test demo dist bench bench-server sample sample-down clean

all: build

deps:
	@sh scripts/ensure-deps.sh

configure: deps
	cmake --preset i686 -DVK_WERROR=$(WERROR) >/dev/null
	cmake --preset x64 -DVK_WERROR=$(WERROR) >/dev/null

build: configure
	cmake --build --preset i686
	cmake --build --preset x64

test: build
	ctest --preset i686
	@[ ! -f build/i686/wine/skipped ] || echo "The i686 lane was skipped: $$(cat build/i686/wine/skipped)"
	ctest --preset x64

demo: build
	@sh tools/demo/demo.sh

dist: build
	@SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)" sh tools/dist/dist.sh

bench: build
	@BENCH_RUNS=$(BENCH_RUNS) sh tools/bench/bench.sh $(BENCH_CPU)

bench-server: deps
	@python3 tools/bench/server_bench.py

sample: build
	@sh tools/sample/bed.sh up

sample-down:
	@sh tools/sample/bed.sh down

clean:
	rm -rf build
