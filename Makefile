# The two commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
STAMP := $(BUILD_DIR)/.deps-installed

.PHONY: all deps configure build run test test-asan bench format clean install uninstall

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

# The feed corpus under AddressSanitizer, in a build folder of its own (only that program is built).
ASAN_BUILD_DIR ?= build-asan
test-asan: $(STAMP)
	cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUILL_ASAN_TESTS=ON
	cmake --build $(ASAN_BUILD_DIR) --target test_reader_asan
	cd $(ASAN_BUILD_DIR) && ctest -L asan --output-on-failure --timeout 300

bench: build
	$(BUILD_DIR)/bin/quill_bench

# Installs the programs, their data (share/quillmark), the desktop entry, the icons and the
# AppStream file under PREFIX; DESTDIR puts the whole tree below a staging folder.
PREFIX ?= /usr/local
INSTALLED_PROGRAMS := quillmark quillmark-cli quillmark-vacuum
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
