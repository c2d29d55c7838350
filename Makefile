# vossik: `make` builds build/vossik, `make check` installs what is missing,
# builds and runs every test, `make demo` shows the program at work,
# `make install` / `make uninstall` (PREFIX, DESTDIR, LINKS=1) and `make deb`
# install it or package it.

BUILD      ?= build
SAN_BUILD  ?= build-sanitize
GENERATOR  := -G Ninja
# ccache, where installed, makes rebuilds in several checkouts cheap.
LAUNCHER   != command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache || true
JOBS       != nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2
# groff-base, mandoc: the manual page checks; dpkg-dev, file: make deb.
PACKAGES   := cmake ninja-build g++ libreadline-dev libgtest-dev libgmock-dev libnss-wrapper attr \
              e2fsprogs groff-base mandoc dpkg-dev file
PREFIX     ?= /usr/local
DESTDIR    ?=
LINKS      ?=
LAUNCHER   != command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache || true

.PHONY: all build program deps check check-sanitize demo install uninstall deb bench format clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(GENERATOR) $(LAUNCHER)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The program and what is installed with it, without the tests.
program: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vossik vossik_manpages

# Installs only the Debian packages that are missing; needs root (or sudo).
# Elsewhere (FreeBSD: pkg install cmake ninja readline googletest) it does nothing.
deps:
	@command -v dpkg-query >/dev/null 2>&1 || exit 0; \
	missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

check: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

check-sanitize: deps
	cmake -S . -B $(SAN_BUILD) $(GENERATOR) $(LAUNCHER) -DVOSSIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vossik
	@sh scripts/demo.sh $(BUILD)/vossik

# LINKS=1 adds a link for every command name, for the multi-call mode.
install: program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ "$(LINKS)" = 1 ]; then sh scripts/links.sh install "$(DESTDIR)$(PREFIX)/bin" $(BUILD)/vossik; fi

uninstall: program
	@sh scripts/links.sh uninstall "$(DESTDIR)$(PREFIX)/bin" $(BUILD)/vossik
	@sh scripts/uninstall.sh $(BUILD) "$(PREFIX)" "$(DESTDIR)"

deb: deps program
	cd $(BUILD) && cpack -G DEB

bench: deps
	cmake -S . -B build-bench $(GENERATOR) -DVOSSIK_BENCH=ON -DVOSSIK_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS)
	@sh bench/run.sh build-bench

format:
	find src tests bench -name '*.cc' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-bench
