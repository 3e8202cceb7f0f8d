# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test deps build package render bench clean sanitize sanitize-address sanitize-thread

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

# A Debian package of the installed program: $(BUILD)/kandrix_<version>_<arch>.deb.
package: deps build
	cd $(BUILD) && cpack

# Renders every dialog offscreen into $(BUILD)/render/*.png for layout review,
# and again with the shipped skin into $(BUILD)/render-skin/*.png.
render: deps build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kandrix_render $(BUILD)/render
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/kandrix_render --skin $(BUILD)/render-skin

bench: deps build
	$(BUILD)/bench/bench_conversion
	$(BUILD)/bench/bench_dvdimage

clean:
	rm -rf $(BUILD)

# The suite under AddressSanitizer with UndefinedBehaviorSanitizer (build-asan),
# then the window-free suites under ThreadSanitizer (build-tsan; Qt is not
# built with TSan). Any sanitizer report fails the stage.
sanitize: sanitize-address sanitize-thread

sanitize-address: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANDRIX_SANITIZE=address
	cmake --build build-asan -j $(JOBS)
	JOBS=$(JOBS) sh scripts/run-sanitized-tests.sh build-asan address

sanitize-thread: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANDRIX_SANITIZE=thread
	cmake --build build-tsan -j $(JOBS) --target kandrix_window_free_tests
	JOBS=$(JOBS) sh scripts/run-sanitized-tests.sh build-tsan thread
