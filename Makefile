# The two commands of the README; each installs what it needs first.
PRESETS := native native-asan win64 win32
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

.PHONY: run test bench setup screenshots format format-check $(addprefix build-,$(PRESETS))

run: setup build-native build-win64
	scripts/demo build/native
	scripts/run-app build/win64

test: setup format-check $(addprefix build-,$(PRESETS))
	ctest --preset native
	ctest --preset native-asan
	ctest --preset win64
	ctest --preset win32

setup:
	bash scripts/setup

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

bench: setup build-native build-win64
	python3 bench/run_benchmarks.py --native build/native --win64 build/win64 --out bench/results.md

screenshots: setup build-win64
	scripts/screenshots build/win64

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)
