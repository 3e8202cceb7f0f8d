# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test deps build render bench clean

run: deps build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "KANDRIX needs a display and none is set: start it with 'xvfb-run -a make run' or from a desktop session."; \
		exit 1; \
	fi
	$(BUILD)/bin/kandrix

test: deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

deps:
	@sh scripts/install-deps.sh

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Renders every dialog offscreen into $(BUILD)/render/*.png for layout review.
render: deps build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kandrix_render $(BUILD)/render

bench: deps build
	$(BUILD)/bench/bench_conversion
	$(BUILD)/bench/bench_dvdimage

clean:
	rm -rf $(BUILD)
