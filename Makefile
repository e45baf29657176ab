# Thin wrapper over CMake and Ninja.
#   make demo   configure, build everything, run the main job
#   make test   build with AddressSanitizer and UndefinedBehaviorSanitizer, run every test
JOBS ?= $(shell nproc)

.PHONY: all build demo test clean

all: build

build:
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

demo: build
	bash tools/demo.sh build/bin

# The test build compiles in batches (unity build) with -O1 and line tables
# only: the sanitizers still name file and line, and CI stays within budget.
test:
	cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
	      -DQV_SANITIZE=ON -DCMAKE_UNITY_BUILD=ON
	cmake --build build-test -j $(JOBS)
	@# a private TMPDIR: a test that leaves anything there fails the run;
	@# the window tests get their own run-time folder (Qt's, else made in TMPDIR)
	@tmp=$$(mktemp -d) && rt=$$(mktemp -d) && cd build-test && \
	TMPDIR=$$tmp XDG_RUNTIME_DIR=$$rt ctest --output-on-failure -j $(JOBS); \
	status=$$?; left=$$(ls -A "$$tmp"); rm -rf "$$tmp" "$$rt"; \
	if [ -n "$$left" ]; then echo "tests left files in the temporary directory:"; echo "$$left"; exit 1; fi; \
	exit $$status

clean:
	rm -rf build build-test
