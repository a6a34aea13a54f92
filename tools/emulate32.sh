# Sourced by the scripts that run 32-bit programs where the kernel does not run them itself: qemu's
# user emulation, registered with binfmt_misc for as long as the caller runs. Needs
# tools/packages.sh.
#
#   emulate32_up     registers our emulator ahead of any other registered for 32-bit programs (the
#                    newest entry is tried first) and exports what 32-bit Wine needs under it;
#                    says which emulator in $emulate32_what, or returns 1 with the reason in
#                    $emulate32_why
#   emulate32_down   removes the entry again, if emulate32_up made it
#   emulate32_where_needed
#                    emulate32_up where 32-bit programs run neither natively nor through ours;
#                    true when they now do, and $emulate32_how says how (tools/runs32.sh)
#
# The emulator is qemu 10.0 from the distribution's backports: bookworm's own qemu (7.2) died in the
# middle of every fresh-sandbox smoke run ("uncaught target signal 11") and runs the test programs
# tens of times slower (CountDown 209 s under it, 8.5 s under 10.0). apt fetches it into
# build/qemu-user with lists of its own, checked against Debian's keyring; the machine's package
# sources stay as they are. Bookworm's qemu-user-static is the fallback where backports has none.
# tools/runs32.sh takes that path from here, and tells the emulator from any other.

emulate32_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
emulate32_dir=$emulate32_root/build/qemu-user
emulate32_qemu=$emulate32_dir/root/usr/bin/qemu-i386
emulate32_entry=orvex-i386
emulate32_registered=0
emulate32_why=""
emulate32_what=""
emulate32_how=""
emulate32_binfmt=/proc/sys/fs/binfmt_misc
emulate32_sudo=""
[ "$(id -u)" -eq 0 ] || emulate32_sudo="sudo"

# Prints the path of the emulator to register, fetching it first when it is missing.
emulate32_fetch() {
  local codename apt
  if [ ! -x "$emulate32_qemu" ]; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    apt=(-qq -o Dir::Etc::SourceList="$emulate32_dir/sources.list"
      -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$emulate32_dir/lists"
      -o Dir::Cache="$emulate32_dir/cache" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
    mkdir -p "$emulate32_dir/lists/partial" "$emulate32_dir/cache/archives/partial"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
      "http://deb.debian.org/debian $codename-backports main" >"$emulate32_dir/sources.list"
    rm -f "$emulate32_dir"/qemu-user_*.deb
    if [ -n "$codename" ] && apt-get "${apt[@]}" update >/dev/null 2>&1 &&
      (cd "$emulate32_dir" && apt-get "${apt[@]}" download qemu-user >/dev/null 2>&1); then
      dpkg-deb -x "$emulate32_dir"/qemu-user_*.deb "$emulate32_dir/root"
    fi
  fi
  if [ -x "$emulate32_qemu" ]; then
    echo "$emulate32_qemu"
  elif ensure_packages qemu-user-static >/dev/null; then
    echo /usr/bin/qemu-i386-static
  else
    return 1
  fi
}

# Without a reserved address space 32-bit Wine under qemu fails with "failed to map the shared
# user data"; natively the variable is read by nothing.
emulate32_reserve() { export QEMU_RESERVED_VA=0xf7000000; }

emulate32_up() {
  local qemu entry=$emulate32_binfmt/$emulate32_entry
  # Magic and mask of 32-bit x86 ELF programs (executables and shared objects); F: qemu is opened
  # now, so that it is found from inside any mount namespace or chroot later.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  qemu=$(emulate32_fetch) ||
    { emulate32_why="neither qemu-user nor qemu-user-static can be had"; return 1; }
  if [ ! -e "$emulate32_binfmt/register" ]; then
    $emulate32_sudo mount -t binfmt_misc binfmt_misc "$emulate32_binfmt" 2>/dev/null ||
      { emulate32_why="binfmt_misc cannot be mounted at $emulate32_binfmt"; return 1; }
  fi
  # An entry of ours left by a run that was killed goes first.
  [ ! -e "$entry" ] || echo -1 | $emulate32_sudo tee "$entry" >/dev/null 2>&1
  printf '%s' ":$emulate32_entry:M::$magic:$mask:$qemu:F" |
    $emulate32_sudo tee "$emulate32_binfmt/register" >/dev/null 2>&1 ||
    { emulate32_why="binfmt_misc refused to register $qemu"; return 1; }
  emulate32_registered=1
  emulate32_reserve
  emulate32_what="$("$qemu" --version | head -n1), registered for this run"
}

# The emulation was registered for the caller's run only: other runs on this machine must not pay
# for it afterwards.
emulate32_down() {
  [ "$emulate32_registered" = 1 ] || return 0
  echo -1 | $emulate32_sudo tee "$emulate32_binfmt/$emulate32_entry" >/dev/null 2>&1 || true
  emulate32_registered=0
}

emulate32_where_needed() {
  local rc=0
  "$emulate32_root/tools/runs32.sh" >/dev/null || rc=$?
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 3 ]; then emulate32_up || true; fi
  rc=0
  emulate32_how=$("$emulate32_root/tools/runs32.sh") || rc=$?
  [ "$rc" -ne 3 ] || emulate32_reserve
  [ "$rc" -eq 0 ] || [ "$rc" -eq 3 ] && return 0
  # Only the fallback emulator could be registered: it would slow every 32-bit program of the run
  # (Wine's set-up of the prefix among them) for nothing.
  emulate32_down
  return 1
}
