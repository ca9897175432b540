# Every target installs what is missing first, so a fresh Debian 12 machine needs nothing else:
# `make run` only what the game needs, `make ranking` that and the site's own, the others all.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := fuzz_records fuzz_saved_answers fuzz_cp1252 fuzz_check
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# A new build tree is configured for the game alone; each target then turns on what it needs
# and a tree keeps it, so `make run` after `make test` builds the game alone in a tree that
# still holds the tests.
GAME_ONLY  := -DDORLO_TESTS=OFF -DDORLO_BENCH=OFF -DDORLO_RANKING=OFF
EVERYTHING := -DDORLO_TESTS=ON -DDORLO_BENCH=ON -DDORLO_RANKING=ON
configure = cmake -S . -B $(1) $$([ -f $(1)/CMakeCache.txt ] || echo $(GAME_ONLY)) $(2) $(CMAKE_ARGS)

.PHONY: all deps configure build run ranking test test-asan fuzz bench package format clean excerpts-page

all: build

deps:
	@scripts/install-deps

configure: deps
	$(call configure,$(BUILD),$(EVERYTHING))

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The game, its excerpt store and its sound module, and nothing else.
run:
	@scripts/install-deps game
	$(call configure,$(BUILD))
	cmake --build $(BUILD) -j $(JOBS) --target dorlo-zidoduder-04
	./$(BUILD)/dorlo-zidoduder-04

# The publisher's ranking site on http://127.0.0.1:8080, kept in $(BUILD)/ranking.sqlite.
ranking:
	@scripts/install-deps game ranking
	$(call configure,$(BUILD),-DDORLO_RANKING=ON)
	cmake --build $(BUILD) -j $(JOBS) --target dorlo-ranking
	./$(BUILD)/ranking/dorlo-ranking --listen 127.0.0.1:8080 --database sqlite:$(BUILD)/ranking.sqlite

test: build
	scripts/run-tests $(BUILD)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DDORLO_SANITIZE=ON -DDORLO_TESTS=ON -DDORLO_BENCH=OFF \
		-DDORLO_RANKING=ON -DCMAKE_BUILD_TYPE=Debug $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	# The screen-reader run checks what Orca says, which the sanitizers do not change; the
	# code it drives is covered there by the window and accessibility tests.
	scripts/run-tests $(ASAN_BUILD) -LE screen-reader

# Each libFuzzer target for FUZZ_SECONDS, from its committed seeds (copied: the seeds stay small).
fuzz: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DDORLO_FUZZ=ON -DDORLO_TESTS=ON \
		-DDORLO_BENCH=OFF -DDORLO_RANKING=ON $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$t && cp fuzz/corpus/$$t/* $(FUZZ_BUILD)/corpus/$$t/ || exit 1; \
		echo "== $$t, $(FUZZ_SECONDS) s"; \
		ASAN_OPTIONS=malloc_context_size=0 $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) \
			-print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/$$t- $(FUZZ_BUILD)/corpus/$$t \
			>$(FUZZ_BUILD)/$$t.log 2>&1; rc=$$?; \
		grep -E '^(Done|stat::average_exec_per_sec)' $(FUZZ_BUILD)/$$t.log; \
		if [ $$rc -ne 0 ]; then tail -n 40 $(FUZZ_BUILD)/$$t.log; exit 1; fi; \
	done

bench: build
	scripts/run-bench $(BUILD)

excerpts-page: build
	cmake --build $(BUILD) --target excerpts_page

# The Debian packages (the game, and the ranking server), written into $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
