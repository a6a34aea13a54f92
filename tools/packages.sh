# Sourced by the scripts that need Debian packages: one way to install what is missing.
#
#   ensure_packages PKG ...   installs those not installed yet (PKG:i386 adds the i386
#                             architecture first); apt is not asked when nothing is missing;
#                             fails when one could not be installed
#   package_installed PKG     true when the package is installed

package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

ensure_packages() {
  local missing=() p sudo=""
  for p in "$@"; do package_installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: ${missing[*]}"
  local added_i386=0
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || return 1
    added_i386=1
    ORVEX_APT_UPDATED=0
  fi
  if [ "${ORVEX_APT_UPDATED:-0}" != 1 ]; then
    # A mirror in the middle of a sync answers with index files of the wrong size for a while;
    # what the other indexes offer may still be enough, so the install is tried all the same.
    local log
    log=$(mktemp)
    if ! $sudo apt-get update -qq -o Acquire::Retries=3 >"$log" 2>&1; then
      echo "apt-get update failed; trying once more in 5 s"
      sleep 5
      if ! $sudo apt-get update -qq -o Acquire::Retries=3 >"$log" 2>&1; then
        echo "apt-get update failed again; going on with the indexes there are:"
        grep -E '^(E|W):' "$log" | sort -u | head -n 5 | sed 's/^/  /'
      fi
    fi
    rm -f "$log"
    ORVEX_APT_UPDATED=1
  fi
  # Another apt run (a desktop's updater, a second script) may hold the lock for a while.
  local out
  out=$(mktemp)
  if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "${missing[@]}" >"$out" 2>&1; then
    rm -f "$out"
    return 0
  fi
  echo "could not install ${missing[*]}:"
  grep -E '^(E|W):|Depends:' "$out" | head -n 8 | sed 's/^/  /'
  rm -f "$out"
  # The machine is left as it was: an architecture added for nothing would make every later
  # apt-get update of this machine ask for its indexes.
  if [ "$added_i386" = 1 ]; then
    $sudo dpkg --remove-architecture i386 2>/dev/null && ORVEX_APT_UPDATED=0
  fi
  return 1
}
