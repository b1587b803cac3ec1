# Sourced by scripts/run and scripts/test: installs the Debian packages the
# build needs when any is missing.
TRESSEL_PACKAGES="cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libassimp-dev libcairo2-dev libncurses-dev"

tressel_install_deps() {
  local missing=""
  for p in $TRESSEL_PACKAGES; do
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
