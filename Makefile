# Thin wrapper over CMake presets; every target installs what it needs first.
.PHONY: deps build run test release bench clean format format-check

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

run: build
	build/bin/glimmerpick

test: build
	ctest --preset default

release: deps
	cmake --preset release
	cmake --build --preset release

bench: release
	bench/run-all.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-release build-headless build-asan build-tsan build-fuzz
