# Two entry points for a fresh checkout:
#   make demo  - build in Release and run qndsumstat on the bundled example
#   make test  - build and run the whole test suite, plain and under ASan+UBSan
JOBS ?= 2
BUILD ?= build

.PHONY: all demo test test-plain test-sanitize clean

all:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DQND_TESTS=OFF
	cmake --build $(BUILD)/release -j $(JOBS)

demo: all
	cd examples && rm -f demo_out.txt && \
	  ../$(BUILD)/release/qndsumstat demo.qnp demo_out.txt 0 1 run_silent && \
	  cat demo_out.txt

test: test-plain test-sanitize

test-plain:
	cmake -S . -B $(BUILD)/debug -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD)/debug -j $(JOBS)
	cd $(BUILD)/debug && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DQND_SANITIZE=ON
	cmake --build $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
