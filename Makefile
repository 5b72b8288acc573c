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

# The sanitizer build makes only what its tests run.
build-asan: deps
	@$(CONFIGURE) -B $(ASAN_BUILD) -DSHOW_SANITIZE=ON
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
# Debian's).
web-test-driver: deps
	@[ node_modules/.package-lock.json -nt package-lock.json ] || \
		PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error

# Every test of one build.
test-normal: build web web-test-driver
	@$(WITH_X) ctest --test-dir $(BUILD) --output-on-failure -j2

test-asan: build-asan
	@$(WITH_X) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

# Every test once: each test of the sanitizer build, and the normal build's
# own, in one CTest run over both folders, the slowest first, so that the
# two cores stay busy to the end. (Three at a time was no faster: the
# browsers, llvmpipe and ffmpeg each keep both cores busy.)
SUITES := $(ASAN_BUILD)/both-builds
test-suites: build-asan build-normal-tests web-test-driver
	@mkdir -p $(SUITES)
	@printf 'subdirs("%s" "%s")\n' "$(CURDIR)/$(ASAN_BUILD)" "$(CURDIR)/$(BUILD)" > $(SUITES)/CTestTestfile.cmake
	@$(WITH_X) ctest --test-dir $(SUITES) -L 'sanitized|normalbuild' --output-on-failure -j2

# The readers of the files a stranger can hand a maker, each under libFuzzer:
# the music file's head (beatlist), a capture part's record (partrecord), beat
# text and label files (beatstext), the studio's kept edits (recovery) and a
# stage made GLSL ES (glsles). Crashes, sanitizer reports, broken promises and
# any single allocation over the limit stop a run with an error: 4 MB for the
# beat list (its largest input is 64 KB, so the file's count cannot make it
# allocate more), 64 MB for the others. New inputs each finds go to
# $(FUZZ_BUILD)/corpus/NAME; the seeds in fuzz/seeds/NAME stay as they are.
# fuzz/lsan.supp leaves out a leak of Qt's own JSON parser, which only a full
# unwinding of each allocation can see (the part record's target alone).
FUZZ_TARGETS := beatlist partrecord beatstext recovery glsles

build-fuzz: deps
	@cmake -G Ninja -S fuzz -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_BUILD)

# Each target for $(1) seconds; the last run's log of each in $(FUZZ_BUILD).
FUZZ_RUN = for t in $(FUZZ_TARGETS); do \
		limit=64; [ $$t = beatlist ] && limit=4; \
		unwind=1; [ $$t = partrecord ] && unwind=0; \
		mkdir -p $(FUZZ_BUILD)/corpus/$$t; \
		ASAN_OPTIONS=fast_unwind_on_malloc=$$unwind LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp $(FUZZ_BUILD)/fuzz_$$t $(FUZZ_BUILD)/corpus/$$t fuzz/seeds/$$t -max_len=65536 -malloc_limit_mb=$$limit \
			-rss_limit_mb=1024 -artifact_prefix=$(FUZZ_BUILD)/$$t- -print_final_stats=1 \
			-max_total_time=$(1) 2>$(FUZZ_BUILD)/last-run-$$t.log \
			|| { tail -40 $(FUZZ_BUILD)/last-run-$$t.log; exit 1; }; \
		echo "fuzz_$$t: $$(sed -n 's/^stat::number_of_executed_units: *//p' $(FUZZ_BUILD)/last-run-$$t.log) inputs in $(1) s, no finding"; \
	done

fuzz: build-fuzz
	@$(call FUZZ_RUN,60)

# A few seconds each in make test: enough for the seeds and what lies near them.
test-fuzz: build-fuzz
	@$(call FUZZ_RUN,5)

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
