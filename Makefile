# Front door: every target installs what is missing, configures, builds and acts.
BUILD ?= build
SANBUILD ?= build-sanitize
FUZZBUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= 2

.PHONY: all build run test test-sanitize fuzz bench bench-pg bench-peers bench-python clean

all: build

$(BUILD)/CMakeCache.txt:
	./scripts/bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/CMakeCache.txt
	./scripts/bootstrap
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./scripts/run $(BUILD)

# The tests run beside a throwaway PostgreSQL cluster (scripts/with-postgres).
test: build
	./scripts/with-postgres sh -c 'cd $(BUILD) && ctest --output-on-failure -j$(JOBS)'

test-sanitize:
	./scripts/bootstrap
	cmake -S . -B $(SANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORY_SANITIZE=ON -DPELLORY_BENCH=OFF -DPELLORY_DEMO=OFF
	cmake --build $(SANBUILD) -j$(JOBS)
	./scripts/with-postgres sh -c 'cd $(SANBUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j$(JOBS)'

# Every fuzz target for FUZZ_SECONDS, JOBS at a time, as CTest tests
# labelled "fuzz"; inputs that fail land in $(FUZZBUILD)/tests/fuzz/artifacts.
fuzz:
	./scripts/bootstrap
	CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLORY_FUZZ=ON \
	  -DPELLORY_TESTS=OFF -DPELLORY_BENCH=OFF -DPELLORY_DEMO=OFF
	cmake --build $(FUZZBUILD) -j$(JOBS)
	cd $(FUZZBUILD) && FUZZ_SECONDS=$(FUZZ_SECONDS) ctest -L fuzz --output-on-failure -j$(JOBS)

bench: build
	./scripts/bench $(BUILD)

# The database extension's aggregate and classifying on a generated
# 10-million-row table in a throwaway PostgreSQL cluster (as root).
bench-pg: build
	./bench/pg_extension.sh $(BUILD)

# Our classifiers beside scikit-learn and Weka on one generated data set, one
# thread each (the OpenBLAS tuning variables are dropped for this run only).
bench-peers: $(BUILD)/CMakeCache.txt
	./scripts/bootstrap peers
	cmake --build $(BUILD) -j$(JOBS) --target bench_peers
	env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 MKL_NUM_THREADS=1 \
	  /usr/bin/python3 bench/peers.py --build $(BUILD)

# The Python module beside the engine and scikit-learn on the same data set,
# one thread each as for bench-peers.
bench-python: $(BUILD)/CMakeCache.txt
	./scripts/bootstrap peers
	cmake --build $(BUILD) -j$(JOBS) --target bench_peers pellory_python
	env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 MKL_NUM_THREADS=1 \
	  /usr/bin/python3 bench/python_binding.py --build $(BUILD)

clean:
	rm -rf $(BUILD) $(SANBUILD) $(FUZZBUILD)
