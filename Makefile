# The two entry points of a fresh machine (run as root on Debian):
#   make demo   installs what the build needs, builds, writes the example scene, reads it and
#               imports it into a new document saved as $(BUILD)/examples/House.doc
#   make test   installs what the build needs, builds and runs every test
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
EXAMPLE := $(BUILD)/examples/House.TALVO
DEMO_DOC := $(BUILD)/examples/House.doc

# Debian packages the build, the tests and the benchmarks need.
PACKAGES := cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev \
            nlohmann-json3-dev libcli11-dev libpng-dev libtiff-dev zlib1g-dev libassimp-dev \
            libmeshoptimizer-dev

.PHONY: all deps configure build test demo bench clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

demo: build
	@mkdir -p $(dir $(EXAMPLE))
	$(BUILD)/tools/scenegen/scenegen example $(EXAMPLE)
	$(BUILD)/talvo --prefs $(BUILD)/demo-prefs inspect $(EXAMPLE)
	$(BUILD)/talvo --prefs $(BUILD)/demo-prefs --documents $(BUILD)/demo-documents import $(EXAMPLE) --mode new -o $(DEMO_DOC)

bench: build
	$(BUILD)/bench/loader_bench
	$(BUILD)/bench/tables_bench
	$(BUILD)/bench/modeling_bench
	$(BUILD)/bench/import_bench

clean:
	rm -rf $(BUILD)
