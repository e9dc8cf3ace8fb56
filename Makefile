# Front door: `make run` builds and runs the default program, `make test` builds and runs
# the whole suite twice (warnings as errors, then under AddressSanitizer and UBSan).
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
DEB_BUILD ?= build-deb
# `make install` puts the program under PREFIX, inside DESTDIR when one is given (packaging).
PREFIX ?= /usr/local

VSCODE_BUILD ?= build-vscode
VERSION := $(shell sed -n 's/^project.tarvex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

WEB_BUILD ?= build-web
WASM_BUILD ?= build-wasm
# Debian's em++ finds its node modules only through NODE_PATH.
EMENV = NODE_PATH=/usr/share/nodejs

.PHONY: all deps build run install deb test test-plain test-asan bench format format-check pictures \
	fuzz clean web serve-web test-web test-dap vsix

all: build

deps:
	@tools/deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/tarvex

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# build-deb/tarvex_VERSION_ARCH.deb: the program alone, built for /usr with Debian's hardening
# flags and packed by CPack.
BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb: deps
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
		-DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)" >/dev/null
	cmake --build $(DEB_BUILD) -j $(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB

test: format-check test-plain test-asan fuzz test-web test-dap

test-plain: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_WERROR=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVEX_WERROR=ON -DTARVEX_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Each libFuzzer harness for FUZZ_SECONDS, built with clang and the sanitizers.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# OLDER=BINARY: an older tarvex to run the circling row beside (docs/benchmarks.md).
bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build-bench -j $(JOBS) --target tarvex_bench tarvex
	build-bench/bench/tarvex_bench
	OLDER="$(OLDER)" bench/process.sh build-bench/tarvex

# The pictures of the README and docs/, made by tarvex itself: the demo as an animated GIF,
# one frame of each example, and the studio's inspect panel.
pictures: build
	mkdir -p docs
	$(BUILD)/tarvex --batch --gif docs/demo.gif examples/code.txt > /dev/null
	$(BUILD)/tarvex --batch --ticks 8 --screenshot docs/hello.png examples/hello.txt > /dev/null || [ $$? -eq 3 ]
	$(BUILD)/tarvex --batch --ticks 30 --screenshot docs/countdown.png examples/countdown.txt > /dev/null || [ $$? -eq 3 ]
	printf '3\n4\n0\n' | $(BUILD)/tarvex --batch --ticks 12 --screenshot docs/sum.png examples/sum.txt > /dev/null || [ $$? -eq 3 ]
	$(BUILD)/tarvex --batch --ticks 30 --screenshot docs/code.png examples/code.txt > /dev/null || [ $$? -eq 3 ]
	$(MAKE) web
	@tools/deps.sh web-test
	[ -d web/node_modules/playwright-core ] || (cd web && npm ci --no-audit --no-fund)
	TARVEX_SITE=$(abspath $(WEB_BUILD)) node --no-experimental-fetch web/picture.mjs docs/playground.png
	$(BUILD)/tools/studioshot examples/code.txt docs/studio.png ticks:30 key:32 click:243,66 click:163,18 move:219,66
	$(BUILD)/tools/studioshot examples/code.txt docs/editing.png ticks:30 key:32 right:219,66 char:T char:] char:] \
		move:20,170 key:13 char:T char:y char:p char:e char:d char:: char:' ' char:+ char:.

# The browser playground: the library compiled to WebAssembly with the page, in $(WEB_BUILD)/.
web:
	@tools/deps.sh web
	$(EMENV) emcmake cmake -S web -B $(WASM_BUILD) -DCMAKE_BUILD_TYPE=Release -DTARVEX_WERROR=ON \
		-DTARVEX_SITE=$(abspath $(WEB_BUILD)) >/dev/null
	$(EMENV) cmake --build $(WASM_BUILD) -j $(JOBS)

serve-web: web
	python3 -m http.server -d $(WEB_BUILD) --bind 127.0.0.1 8000

# The module under node against the golden programs and the native frames, then the page in
# headless chromium. The native build makes the frames the browser must match.
test-web: web build
	@tools/deps.sh web-test
	[ -d web/node_modules/pngjs ] || (cd web && npm ci --no-audit --no-fund)
	TARVEX_SITE=$(abspath $(WEB_BUILD)) TARVEX_BIN=$(abspath $(BUILD))/tarvex \
		node --no-experimental-fetch --test web/test/

# The debug adapter under node, driven by the client VS Code's own adapters are tested with and
# checked against --trace, --batch and a model of edits, every message validated against the
# protocol's schema; the extension's forwarding of document changes; then the editor grammar
# against its annotated examples.
test-dap: build
	@tools/deps.sh dap
	[ -d dap/test/node_modules/ajv-draft-04 ] || (cd dap/test && npm ci --no-audit --no-fund)
	TARVEX_BIN=$(abspath $(BUILD))/tarvex node --test --test-timeout=120000 dap/test/
	node --test editors/vscode/test/
	[ -d editors/vscode/node_modules/vscode-tmgrammar-test ] || \
		(cd editors/vscode && npm ci --no-audit --no-fund)
	cd editors/vscode && npx vscode-tmgrammar-test 'test/*.test.tvx'

# The VS Code extension as $(VSCODE_BUILD)/tarvex-VERSION.vsix.
vsix:
	@tools/deps.sh dap
	@grep -q '"version": "$(VERSION)"' editors/vscode/package.json || \
		(echo "editors/vscode/package.json: the version is not $(VERSION)" >&2; exit 1)
	[ -d editors/vscode/node_modules/@vscode/vsce ] || (cd editors/vscode && npm ci --no-audit --no-fund)
	mkdir -p $(VSCODE_BUILD)
	cd editors/vscode && npx vsce package --no-dependencies --allow-missing-repository \
		-o $(abspath $(VSCODE_BUILD))/tarvex-$(VERSION).vsix

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails on any file that clang-format would change.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WEB_BUILD) $(WASM_BUILD) $(DEB_BUILD) $(VSCODE_BUILD)
