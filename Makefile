# The two set-up commands: `make run` and `make test`. Both install what is
# missing first: `make run` only what the show and the tools that make its
# files need, and builds only those; `make test` (and `make bench`, `make fuzz`,
# `make package`) everything.

BUILD      := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
CMAKE      := cmake -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
WITH_X     := scripts/with-x

.PHONY: run test deps deps-run deps-web build build-run build-asan build-normal-tests build-fuzz web web-test-driver test-normal test-asan test-suites test-fuzz fuzz bench package clean

# One step at a time, even under make -j: each build runs its own jobs in
# parallel already, and two test suites (or the fuzzer beside a suite) at once
# would share the machine's cores and its time-bound tests' slack.
.NOTPARALLEL:

deps:
	@scripts/install-deps test

deps-run:
	@scripts/install-deps run

deps-web:
	@scripts/install-deps web

# CMake says what it leaves out (a tool whose libraries are missing) at the
# level NOTICE; its progress lines are kept quiet.
CONFIGURE = $(CMAKE) --log-level=NOTICE -S .

build: deps
	@$(CONFIGURE) -B $(BUILD)
	@cmake --build $(BUILD)

# The sanitizer build makes only what its tests run, with Clang (the
# fuzzers' compiler), which compiles the test programs in half the time GCC
# takes (a folder GCC configured is made afresh); the normal build is GCC's,
# as the package is.
build-asan: deps
	@grep -qs '^CMAKE_CXX_COMPILER:.*clang' $(ASAN_BUILD)/CMakeCache.txt || rm -rf $(ASAN_BUILD)
	@$(CONFIGURE) -B $(ASAN_BUILD) -DSHOW_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++
	@cmake --build $(ASAN_BUILD) --target testprograms

# Of the normal build, only what its own tests (label normalbuild: the
# package, the docs, the page in the browsers, the cluster) run.
build-normal-tests: deps
	@$(CONFIGURE) -B $(BUILD)
	@cmake --build $(BUILD) --target normalbuildtests

# The show and its files, which it reads from the folder it starts in: the
# build folder. showfiles makes the default soundtrack (bmm synth) and the font
# image (fontatlas), each again only when its tool has changed.
build-run: deps-run
	@$(CONFIGURE) -B $(BUILD)
	@cmake --build $(BUILD) --target show showfiles

run: build-run
	@scripts/run-show $(BUILD)

# The show in a web page: $(BUILD)/web/ holds everything a static server
# serves, written by the same export the installed programs run
# (wallrise-export), from the source tree's stages and the build's music and
# font. The build compiles the web program with emscripten into
# $(BUILD)/web-program.
web: deps-web
	@$(CONFIGURE) -B $(BUILD)
	@cmake --build $(BUILD) --target webpage

# The web page's test and benchmark drive Chromium from Node through
# puppeteer-core, installed from package-lock.json (no browser of its own:
# Debian's), from npm's cache without asking the registry where it has them.
web-test-driver: deps
	@[ node_modules/.package-lock.json -nt package-lock.json ] || \
		PUPPETEER_SKIP_DOWNLOAD=1 npm ci --prefer-offline --no-audit --no-fund --loglevel=error

# Every test of one build.
test-normal: build web web-test-driver
	@$(WITH_X) ctest --test-dir $(BUILD) --output-on-failure -j3

test-asan: build-asan
	@$(WITH_X) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j3

# Every test once: each test of the sanitizer build, and the normal build's
# own, in one CTest run over both folders, the slowest first, so that the
# cores stay busy to the end. Three slots for two cores: many tests wait
# part of their time (on the show's real time, on Slurm, on processes
# starting); the browsers, which keep more than a core busy, take two slots
# each (their tests' PROCESSORS), so that beside one runs only one other.
SUITES := $(ASAN_BUILD)/both-builds
test-suites: build-asan build-normal-tests web-test-driver
	@mkdir -p $(SUITES)
	@printf 'subdirs("%s" "%s")\n' "$(CURDIR)/$(ASAN_BUILD)" "$(CURDIR)/$(BUILD)" > $(SUITES)/CTestTestfile.cmake
	@$(WITH_X) ctest --test-dir $(SUITES) -L 'sanitized|normalbuild' --output-on-failure -j3

# The readers of the files a stranger can hand a maker, each under libFuzzer
# (fuzz/run-fuzzers says which, and what stops a run).
build-fuzz: deps
	@cmake -G Ninja -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD)

fuzz: build-fuzz
	@fuzz/run-fuzzers $(FUZZ_BUILD) 60

# A few seconds each in make test: enough for the seeds and what lies near them.
test-fuzz: build-fuzz
	@fuzz/run-fuzzers $(FUZZ_BUILD) 5

# The fuzzer first, so that the test runner's summary closes the output.
test: test-fuzz test-suites

# Every benchmark, printed as one table; figures only, nothing passes or fails.
bench: build web web-test-driver
	@bench/run-bench $(BUILD)

# The Debian package, written into $(BUILD) (see docs/install.md).
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
