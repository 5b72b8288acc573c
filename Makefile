# The two set-up commands: `make run` and `make test`. Both install what is
# missing first. `make bench` and `make fuzz` need the same.

BUILD      := build
ASAN_BUILD := build-asan
CMAKE      := cmake -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
WITH_X     := scripts/with-x

.PHONY: run test deps build build-asan assets test-normal test-asan clean

deps:
	@scripts/install-deps

build: deps
	@$(CMAKE) -S . -B $(BUILD) >/dev/null
	@cmake --build $(BUILD)

build-asan: deps
	@$(CMAKE) -S . -B $(ASAN_BUILD) -DSHOW_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD)

# The show reads its files from the folder it starts in: the build folder.
# The default soundtrack is made again only when the tool has changed.
assets: build
	@$(BUILD)/tools/fontatlas/fontatlas $(BUILD)/text.png
	@[ $(BUILD)/music.bmm -nt $(BUILD)/tools/bmm/bmm ] || $(BUILD)/tools/bmm/bmm synth $(BUILD)/music.bmm

run: assets
	@scripts/run-show $(BUILD)

test-normal: build
	@$(WITH_X) ctest --test-dir $(BUILD) --output-on-failure -j2

test-asan: build-asan
	@$(WITH_X) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

test: test-normal test-asan

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
