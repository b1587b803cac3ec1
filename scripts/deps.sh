# Sourced by scripts/run and scripts/test: installs the Debian packages the
# build needs when any is missing.
TRESSEL_PACKAGES="cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libassimp-dev libcairo2-dev libncurses-dev libmeshoptimizer-dev libopenmesh-dev"
# What the tests use beyond the build: clang for the record layout checks of
# the other ABIs and the fuzz targets (libFuzzer comes with clang's runtime
# libraries), tmux for the terminal dialog, the importer's test models,
# /usr/bin/time for bench/run.
TRESSEL_TEST_PACKAGES="clang libclang-rt-dev tmux assimp-testmodels time"

# tressel_install_deps [extra packages...]
tressel_install_deps() {
  local missing=""
  for p in $TRESSEL_PACKAGES "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
  done
  if [ -n "$missing" ]; then
    echo "installing:$missing" >&2
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
  fi
}

# The Windows builds only: the mingw-w64 cross compilers (the posix threading
# variant, whose libwinpthread is linked statically) and wine for 32-bit and
# 64-bit programs. wine32 needs the i386 architecture before it can install.
TRESSEL_WINDOWS_PACKAGES="mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386"

tressel_install_windows_deps() {
  local missing=""
  for p in $TRESSEL_WINDOWS_PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
  done
  [ -n "$missing" ] || return 0
  echo "installing:$missing" >&2
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}
