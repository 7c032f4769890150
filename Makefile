# The two commands of the README; each installs what it needs first.
PRESETS := native win64 win32
SOURCES = $(shell git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

.PHONY: run test setup format format-check $(addprefix build-,$(PRESETS))

run: setup build-native
	scripts/demo build/native

test: setup format-check $(addprefix build-,$(PRESETS))
	ctest --preset native
	ctest --preset win64
	ctest --preset win32

setup:
	bash scripts/setup

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)
