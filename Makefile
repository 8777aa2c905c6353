# Two entry points for a fresh checkout:
#   make demo  - build in Release and run qndsumstat on the bundled example
#   make test  - build and run the whole test suite: Debug, Release (the
#                statically linked programs users run), under ASan+UBSan and
#                the Python module's tests, then each fuzz target for a minute
#   make python - build the Python module qndsumstat into build/python/
#   make fuzz  - run each fuzz target for FUZZ_SECONDS (default 10 minutes)
JOBS ?= 2
BUILD ?= build
FUZZ_SECONDS ?= 600
# A fixed seed keeps the short runs of "make test" reproducible.
FUZZ_SEED ?= 1
FUZZ_TARGETS = fuzz_project fuzz_definitions fuzz_run
# Each input may use at most 1 GiB in one allocation, 2 GiB in all and 10 s.
FUZZ_LIMITS = -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 -seed=$(FUZZ_SEED)

PREFIX ?= /usr/local
# The interpreter the Python module is built for and tested with: Debian's,
# which has numpy and pytest, whatever "python3" on the PATH is.
PYTHON ?= /usr/bin/python3

.PHONY: install all demo test test-plain test-release test-sanitize test-python python fuzz-build \
  fuzz fuzz-short clean

all:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DQND_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

demo: all
	cd examples && rm -f demo_out.txt && \
	  ../$(BUILD)/release/qndsumstat demo.qnp demo_out.txt 0 1 run_silent && \
	  cat demo_out.txt

test: test-plain test-release test-sanitize test-python fuzz-short

test-plain:
	cmake -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD)/debug -j $(JOBS)
	cd $(BUILD)/debug && ctest --output-on-failure -j $(JOBS)

test-release:
	cmake -S . -B $(BUILD)/release-test -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/release-test -j $(JOBS)
	cd $(BUILD)/release-test && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DQND_SANITIZE=ON
	cmake --build $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ctest --output-on-failure -j $(JOBS)

# The module and, from the same sources, the programs its tests compare it with.
python:
	cmake -S . -B $(BUILD)/python -DCMAKE_BUILD_TYPE=Release -DQND_TESTS=OFF -DQND_PYTHON=ON \
	  -DPython_EXECUTABLE=$(PYTHON)
	cmake --build $(BUILD)/python -j $(JOBS)

test-python: python
	QND_PYTHON_BUILD=$(abspath $(BUILD)/python) PYTHONDONTWRITEBYTECODE=1 \
	  $(PYTHON) -m pytest -q -p no:cacheprovider tests/python

# The fuzz targets need clang: a build of their own, the library compiled with
# the fuzzer's instrumentation. Findings go to $(BUILD)/fuzz/artifacts/; the
# corpus grows in $(BUILD)/fuzz/corpus/, seeded from examples/ and the
# project-file corpus of the tests.
fuzz-build:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DQND_FUZZ=ON -DQND_TESTS=OFF
	cmake --build $(BUILD)/fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

fuzz: fuzz-build
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p $(BUILD)/fuzz/corpus/$$t $(BUILD)/fuzz/artifacts && \
	  echo "== $$t for $(FUZZ_SECONDS) s" && \
	  $(BUILD)/fuzz/fuzz/$$t $(FUZZ_LIMITS) -max_total_time=$(FUZZ_SECONDS) \
	    -print_final_stats=1 -artifact_prefix=$(BUILD)/fuzz/artifacts/$$t- \
	    $(BUILD)/fuzz/corpus/$$t examples tests/project/corpus || exit 1; \
	done

fuzz-short:
	$(MAKE) fuzz FUZZ_SECONDS=60

install: all
	install -d $(DESTDIR)$(PREFIX)/bin
	install -m 755 $(BUILD)/release/qndsumstat $(BUILD)/release/qndms2qnp \
	  $(BUILD)/release/qndconvert $(DESTDIR)$(PREFIX)/bin/

clean:
	rm -rf $(BUILD)
