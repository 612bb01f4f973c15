# Thin wrapper over CMake presets; every target installs what it needs first.
.PHONY: deps build run test headless release bench screenshot clean format format-check sanitize

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

run: build
	build/bin/glimmerpick

test: build
	ctest --preset default
	cmake --preset headless
	cmake --build --preset headless

# The whole suite under ASan + UBSan, the engine tests under TSan (about 3 minutes on 2 cores).
sanitize: deps
	cmake --preset asan
	cmake --build --preset asan
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --test-dir build-asan -j2 --output-on-failure
	cmake --preset tsan
	cmake --build --preset tsan --target tests_engine
	build-tsan/bin/tests_engine

# Core and command line alone, no widgets.
headless: deps
	cmake --preset headless
	cmake --build --preset headless

release: deps
	cmake --preset release
	cmake --build --preset release

bench: release
	build-release/bin/bench_load_urls
	build-release/bin/bench_collector
	build-release/bin/bench_fetch
	build-release/bin/bench_engine_handoff 100000
	build-release/bin/bench_window_run
	build-release/bin/bench_window_load
	bench/e2e/run.sh

# The README's picture of the main window after a run (Xvfb, a local web server).
screenshot: build
	scripts/screenshot.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-release build-headless build-asan build-tsan build-fuzz
