# The two commands of the README; each installs what it needs first.
PRESETS := native native-asan native-tsan win64 win32
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

.PHONY: run test dist bench setup release-route screenshots format format-check complexity $(addprefix build-,$(PRESETS))

run: setup build-native build-win32
	scripts/demo build/native
	scripts/run-app build/win32

test: setup release-route format-check complexity $(addprefix build-,$(PRESETS))
	ctest --preset native
	ctest --preset native-asan
	ctest --preset native-tsan
	ctest --preset win64
	scripts/i386-run ctest --preset win32

setup:
	bash scripts/setup

# The release build is 32-bit and its tests run too: directly or through qemu-user, as the kernel
# allows (scripts/i386-run). A machine where Wine's 32-bit half starts neither way fails here.
release-route:
	@echo "release build (i686): $$(scripts/i386-run --route)"
	@scripts/i386-run /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "make: Wine's\
	 32-bit half does not start here, so the release build cannot be tested (bash scripts/setup\
	 installs wine32:i386, and qemu-user where the kernel refuses 32-bit programs)" >&2; exit 1; }

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

# The release package, from the release build: dist/OscimoExporter-VERSION-win32.zip.
dist: setup build-win32
	scripts/dist dist build/win32/bin

bench: setup build-native build-win64 build-win32
	/usr/bin/python3 bench/run_benchmarks.py --native build/native --win64 build/win64 --win32 build/win32 \
	  --out bench/results.md

screenshots: setup build-win32
	scripts/screenshots build/win32

# The portable code's functions above a cognitive complexity of 25 fail it (scripts/complexity
# --all prints every score).
complexity: setup
	scripts/complexity

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)
