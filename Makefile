# Zirvak: the two commands a new user needs are `make run` and `make test`.
# Each installs what is missing, configures, builds and runs.

FILE ?= res/demo.mp3

# Every Debian package the project needs, in one place.
DEB_PACKAGES := cmake ninja-build g++ pkg-config python3 libgtest-dev libgmock-dev \
                libbenchmark-dev libsdl2-dev qt6-base-dev qt6-base-dev-tools libgl-dev \
                clang libfuzzer-14-dev mpg123 lame sox twolame python3-pil fonts-dejavu-core \
                time pulseaudio pulseaudio-utils libtag1-dev dbus-daemon dbus-bin dbus-x11 \
                libglib2.0-bin playerctl desktop-file-utils appstream man-db groff-base dpkg-dev \
                file lintian xvfb openbox xdotool x11-utils libflac-dev flac \
                libfaad-dev faad ffmpeg libvorbis-dev libopusfile-dev vorbis-tools opus-tools libebur128-dev \
                pipewire pipewire-pulse pipewire-bin wireplumber libwavpack-dev wavpack

# What the benchmarks need besides: real music to decode (a game soundtrack in Ogg).
BENCH_PACKAGES := colobot-common-sounds bc

.PHONY: deps build run test test-release test-package test-asan test-tsan package fuzz mutants \
        mutants-ci bench format clean

deps:
	@missing=""; for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "installing:$$missing"; \
	    tools/apt_install.sh $$missing; \
	fi

build: deps
	cmake --preset release
	cmake --build --preset release

# The player on FILE; on a machine without a display, the terminal player instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	    ./build/release/src/app/zirvak "$(FILE)"; \
	else \
	    echo "no display: playing in the terminal"; \
	    ./build/release/src/cli/zirvak-cli play "$(FILE)"; \
	fi

test: deps test-release test-package test-asan test-tsan
	$(MAKE) fuzz SECONDS=30

test-release:
	cmake --preset release
	cmake --build --preset release
	ctest --preset release

# The package built, checked by lintian and unpacked: its programs run from the unpacked tree.
test-package: package
	tools/check_package.sh

# The real-time tests (sound servers, threads, timed answers) run five times over under the
# sanitizers, with a busy loop per core beside them.
test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan
	tools/with_busy_cores.sh ctest --preset asan-realtime

test-tsan:
	cmake --preset tsan
	cmake --build --preset tsan
	tools/with_busy_cores.sh ctest --preset tsan

# The Debian package of the release build, alone in build/package (cpack's work folder too).
package: deps
	cmake --preset release
	cmake --build --preset release
	rm -rf build/package
	cpack --config build/release/CPackConfig.cmake -G DEB -B build/package
	@echo "package: $$(ls build/package/*.deb)"

# Each libFuzzer target for SECONDS seconds, starting from the checked-in corpus (new inputs
# go to build/fuzz-corpus, so the repository's corpus stays as it is).
SECONDS ?= 60
FUZZ_TARGETS := decoder engine beat_markers tags sources
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p build/fuzz-corpus/$$t; \
	    echo "fuzzing $$t for $(SECONDS) s"; \
	    ./build/fuzz/fuzz/fuzz_$$t -max_total_time=$(SECONDS) -max_len=65536 -rss_limit_mb=2048 \
	        -print_final_stats=1 build/fuzz-corpus/$$t fuzz/corpus/$$t 2>build/fuzz-$$t.log \
	        || { tail -n 60 build/fuzz-$$t.log; exit 1; }; \
	    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" build/fuzz-$$t.log; \
	    grep -E "^#[0-9]+.*DONE" build/fuzz-$$t.log | tail -n 1; \
	done

# Every mutation of tools/mutants.txt in a copy of the tree (build/mutants): each must make a
# test fail. mutants-ci runs the lines marked "ci", as CI does right after `make test`: in the
# tree itself, on the release build that has just passed (each change undone once judged).
mutants: deps
	tools/mutants.sh

mutants-ci: deps
	tools/mutants.sh --ci --in-place

bench: build
	@$(MAKE) --no-print-directory deps DEB_PACKAGES="$(BENCH_PACKAGES)"
	./bench/make_bench_files.sh build/bench-files
	./build/release/bench/zirvak_bench
	./build/release/bench/zirvak_scene_bench
	python3 bench/compare_with_mpg123.py
	python3 bench/compare_with_reference_decoders.py
	./bench/peak_memory.sh
	./bench/window_cpu.sh

format:
	find src tests bench tools -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build out
