# The two commands of the README; each installs what it needs first.
PRESETS := native native-asan native-tsan win64 win32
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

.PHONY: run test dist bench setup can-run-32-bit screenshots format format-check $(addprefix build-,$(PRESETS))

run: setup build-native build-win32
	scripts/demo build/native
	scripts/run-app build/win32

test: setup can-run-32-bit format-check $(addprefix build-,$(PRESETS))
	ctest --preset native
	ctest --preset native-asan
	ctest --preset native-tsan
	ctest --preset win64
	ctest --preset win32

setup:
	bash scripts/setup

# The release build is 32-bit and its tests run too: a machine that cannot run them fails here.
can-run-32-bit:
	@/usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "make test: this machine cannot run\
	 32-bit programs, so the release build cannot be tested: it needs a 64-bit kernel with IA-32\
	 emulation and Wine's 32-bit half (bash scripts/setup installs wine32:i386)" >&2; exit 1; }

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

# The release package, from the release build: dist/OscimoExporter-VERSION-win32.zip.
dist: setup build-win32
	scripts/dist dist build/win32/bin

bench: setup build-native build-win64 build-win32
	python3 bench/run_benchmarks.py --native build/native --win64 build/win64 --win32 build/win32 \
	  --out bench/results.md

screenshots: setup build-win32
	scripts/screenshots build/win32

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)
