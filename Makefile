# Thin wrapper over CMake. `make run` starts the desktop program (or, without
# a display, salvages the bundled sample), `make test` runs every test (plain
# build, then the engine under ASan and UBSan), `make install` and
# `make uninstall` put the programs under PREFIX and take them away again,
# `make package` builds the Debian packages (kvzip, kelvane-zip) into
# $(BUILD)/package.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 600
PREFIX     ?= /usr/local

.PHONY: all deps configure build test test-asan format-check lint run bench fuzz format clean screenshots install uninstall package

all: build

deps:
	bash scripts/install-deps.sh build

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVZIP_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build test-asan format-check
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 600

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKVZIP_SANITIZE=ON -DKVZIP_ENGINE_ONLY=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout 600

run: build
	bash scripts/run-desktop.sh $(BUILD)

# The files that name their place (registry file, menu entry) are written
# for PREFIX at install time, so one build serves every prefix.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)
	bash scripts/desktop-refresh.sh $(PREFIX) --create

package: build
	bash scripts/make-package.sh $(BUILD)

uninstall:
	bash scripts/uninstall.sh $(BUILD) $(PREFIX)

bench: configure
	cmake -S . -B $(BUILD) -DKVZIP_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	bash scripts/install-deps.sh bench
	bash bench/run.sh $(BUILD)

fuzz:
	bash scripts/install-deps.sh build fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKVZIP_FUZZ=ON -DKVZIP_ENGINE_ONLY=ON -DKVZIP_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Renders every custom control and dialog template into $(BUILD)/screenshots,
# the preview also with an archive of 100,000 entries (made once).
screenshots: configure
	cmake --build $(BUILD) -j $(JOBS) --target kvzip_gallery kvzip_data
	test -s $(BUILD)/many-entries.zip || \
	    python3 bench/make_many_entries.py $(BUILD)/many-entries.zip 100000
	QT_QPA_PLATFORM=offscreen $(BUILD)/tools/kvzip_gallery $(BUILD)/data $(BUILD)/screenshots \
	    $(BUILD)/many-entries.zip

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails on any file that `make format` would change.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# clang-tidy with the checks of .clang-tidy over every source of the build.
lint: configure
	bash scripts/install-deps.sh lint
	git ls-files 'app/*.cpp' 'cli/*.cpp' 'controls/*.cpp' 'engine/*.cpp' 'identity/*.cpp' \
	    'log/*.cpp' 'platform/*.cpp' 'res/*.cpp' 'workflow/*.cpp' | \
	    xargs -P $(JOBS) -n 8 clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
