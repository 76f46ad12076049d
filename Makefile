# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
STAMP := $(BUILD_DIR)/.deps-installed

.PHONY: all deps configure build run test test-asan test-tsan fuzz bench format clean install uninstall

all: build

$(STAMP): scripts/install-deps.sh
	bash scripts/install-deps.sh
	mkdir -p $(BUILD_DIR) && touch $(STAMP)

deps: $(STAMP)

$(BUILD_DIR)/build.ninja: $(STAMP) CMakeLists.txt
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/bin/quillmark

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 300 -j 2

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer, in a build folder
# of its own; every test program is built there (the programs they start as well).
ASAN_BUILD_DIR ?= build-asan
# -O1 with line tables compiles about 40% faster than -O2 -g under the sanitizers and still
# gives whole stack traces.
SAN_FLAGS ?= -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
ASAN_OPTIONS ?= detect_leaks=1
UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1
test-asan: $(STAMP)
	cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SAN_FLAGS) -DQUILL_SANITIZE=address
	cmake --build $(ASAN_BUILD_DIR)
	cd $(ASAN_BUILD_DIR) && ASAN_OPTIONS=$(ASAN_OPTIONS) UBSAN_OPTIONS=$(UBSAN_OPTIONS) \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	    ctest --output-on-failure --timeout 600 -j 2

# The threaded parts under ThreadSanitizer, in a build folder of its own: only the test programs
# that hold them are built, and only their threaded tests run (label "tsan", tests/CMakeLists.txt).
TSAN_BUILD_DIR ?= build-tsan
test-tsan: $(STAMP)
	cmake -S . -B $(TSAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SAN_FLAGS) -DQUILL_SANITIZE=thread
	cmake --build $(TSAN_BUILD_DIR) --target tsan_tests
	cd $(TSAN_BUILD_DIR) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/sanitizers/tsan.supp" \
	    ctest -L tsan --output-on-failure --timeout 600

# Every libFuzzer target of fuzz/ for FUZZ_SECONDS each (clang, build-fuzz); fails on a finding.
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 20
fuzz: $(STAMP)
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD_DIR) --target fuzzers
	bash scripts/fuzz.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

bench: build
	$(BUILD_DIR)/bin/quill_bench

# Installs the programs, their data (share/quillmark), the desktop entry, the icons and the
# AppStream file under PREFIX; DESTDIR puts the whole tree below a staging folder.
PREFIX ?= /usr/local
INSTALLED_PROGRAMS := quillmark quillmark-cli quillmark-vacuum quillmark-editor
install: $(STAMP)
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD_DIR) --target $(INSTALLED_PROGRAMS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR)

# Removes exactly what the last `make install` wrote (the build folder's install_manifest.txt);
# give the same DESTDIR as to the install.
uninstall:
	cmake -DMANIFEST=$(BUILD_DIR)/install_manifest.txt -DDESTDIR="$(DESTDIR)" -P cmake/Uninstall.cmake

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
