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
# libFuzzer comes with clang's runtime libraries.
FUZZ_PACKAGES    := $(PACKAGES) clang libclang-rt-dev
INTEROP_PACKAGES := samba smbclient python3

FUZZ_BUILD         ?= build-fuzz
FUZZ_SECONDS       ?= 60
FUZZ_SMOKE_SECONDS ?= 4
FUZZ_TARGETS       := text_acl nfs4_xdr nfs4_string edit_request range rename_list tokenizer options

.PHONY: all build program deps check check-sanitize check-interop fuzz fuzz-smoke demo install uninstall deb bench \
        format clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(GENERATOR) $(LAUNCHER)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The program and what is installed with it, without the tests.
program: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vossik vossik_manpages

# Installs the Debian packages of the list given that are missing; needs
# root (or sudo). Elsewhere (FreeBSD: pkg install cmake ninja readline
# googletest) it does nothing.
define install_missing
	@command -v dpkg-query >/dev/null 2>&1 || exit 0; \
	missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

check: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

check-sanitize: deps
	cmake -S . -B $(SAN_BUILD) $(GENERATOR) $(LAUNCHER) -DVOSSIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

# Against a private Samba server (smbd on 127.0.0.1 with nfs4acl_xattr):
# ACLs that Samba writes read the same in vossik, and ACLs that vossik
# writes are served unchanged.
check-interop: deps build
	$(call install_missing,$(INTEROP_PACKAGES))
	python3 tests/interop/samba_interop.py $(BUILD)/vossik

# The fuzz targets of tests/fuzz, built with clang and libFuzzer (ASan and
# UBSan) in $(FUZZ_BUILD), each run for FUZZ_SECONDS; fuzz-smoke runs each
# for a few seconds (CI).
fuzz:
	$(call install_missing,$(FUZZ_PACKAGES))
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) $(LAUNCHER) -DVOSSIK_FUZZ=ON -DVOSSIK_TESTS=OFF \
	  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@sh tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-smoke:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS)

demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vossik
	@sh scripts/demo.sh $(BUILD)/vossik

# LINKS=1 adds a link for every command name, for the multi-call mode. Like
# demo and deb it installs the missing Debian packages first, so that it
# works as the first command on a bare machine.
install: deps program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ "$(LINKS)" = 1 ]; then sh scripts/links.sh install "$(DESTDIR)$(PREFIX)/bin" $(BUILD)/vossik; fi

uninstall: program
	@sh scripts/links.sh uninstall "$(DESTDIR)$(PREFIX)/bin" $(BUILD)/vossik
	@sh scripts/uninstall.sh $(BUILD) "$(PREFIX)" "$(DESTDIR)"

deb: deps program
	cd $(BUILD) && cpack -G DEB

# The bench also runs getfacl/setfacl (acl), strace and /usr/bin/time (time);
# its slow file system (SLOW_FS) needs libfuse3-dev, fuse3 and pkg-config.
# It measures the build users get (-O2; g++ 12 at -O3 also warns falsely).
bench: PACKAGES += acl strace time linux-perf libfuse3-dev fuse3 pkg-config
bench: deps
	cmake -S . -B build-bench $(GENERATOR) $(LAUNCHER) -DVOSSIK_BENCH=ON -DVOSSIK_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-bench -j $(JOBS)
	@sh bench/run.sh build-bench

format:
	find src tests bench -name '*.cc' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) build-bench
