#!/usr/bin/env bash
# The README's two commands as a new user runs them, on a fresh Debian 12
# root made with debootstrap: scripts/run_demo.sh (its screenshot copied
# out), then scripts/test.sh, each step timed.
#
# The fresh root is made under .ci-work/ of this checkout (its debootstrap
# result cached there as a tarball, nowhere else) and made to look like an
# installed machine: a hosts file, its root a mount point, /proc, /sys,
# /dev/pts, /dev/shm, /run, a machine id and a UTF-8 locale. Everything
# mounted is unmounted and every process started inside is ended on any
# exit. If the root cannot be made, that is said in one line and the
# script fails. Needs root (debootstrap, mount, chroot).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
export CI=true

work=$repo/.ci-work
root=$work/root
cache=$work/bookworm-minbase.tar
suite=bookworm
t_start=$(date +%s)

say() { echo "ci: $*"; }
elapsed() { local s=$(($(date +%s) - $1)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }
fail_root() { say "cannot make the fresh Debian 12 root: $*"; exit 1; }

# Every process whose root is the fresh root: started by this run only.
root_pids() {
  find /proc -mindepth 2 -maxdepth 2 -name root \( -lname "$root" -o -lname "$root/*" \) 2>/dev/null |
    cut -d/ -f3
}

mounted=()
cleanup() {
  # A signal during the clean-up must not cut it short and leave mounts.
  trap '' INT TERM
  local pids
  pids=$(root_pids)
  if [[ -n $pids ]]; then
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null || true
    sleep 1
    pids=$(root_pids)
    # shellcheck disable=SC2086
    [[ -n $pids ]] && kill -9 $pids 2>/dev/null || true
  fi
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  mounted=()
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_in() {  # target, mount arguments...
  local target=$1; shift
  mkdir -p "$target"
  mount "$@" "$target" || fail_root "mount $* $target failed"
  mounted+=("$target")
}

# The first Debian mirror this machine's apt uses (deb822 or one-line form).
mirror() {
  local m=""
  if compgen -G "/etc/apt/sources.list.d/*.sources" >/dev/null; then
    m=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  fi
  [[ -z $m && -f /etc/apt/sources.list ]] &&
    m=$(awk '$1 == "deb" && $3 ~ /^bookworm$/ {print $2; exit}' /etc/apt/sources.list)
  echo "${m:-http://deb.debian.org/debian}"
}

# --- The fresh root -----------------------------------------------------------------
step=$(date +%s)
if ! command -v debootstrap >/dev/null; then
  say "installing debootstrap"
  { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq debootstrap; } >/dev/null ||
    fail_root "debootstrap is missing and apt-get could not install it"
fi
# A root left mounted by a killed run is unmounted before it is removed.
while read -r target; do
  umount -l "$target" 2>/dev/null || true
done < <(awk -v r="$root" '$2 == r || index($2, r "/") == 1 {print $2}' /proc/mounts | sort -r)
rm -rf --one-file-system "$root"
mkdir -p "$root"
if [[ -f $cache ]]; then
  say "fresh root from the cached debootstrap result ($cache)"
  tar -xpf "$cache" -C "$root" || fail_root "the cached root $cache does not unpack"
else
  url=$(mirror)
  say "debootstrap $suite (minimal set and git) from $url"
  debootstrap --variant=minbase --include=git,ca-certificates "$suite" "$root" "$url" \
    >"$work/debootstrap.log" 2>&1 ||
    fail_root "debootstrap from $url failed (last lines: $(tail -3 "$work/debootstrap.log" | tr '\n' ' '))"
  tar -cpf "$cache.part" -C "$root" . && mv "$cache.part" "$cache"
fi
say "fresh root made in $(elapsed "$step")"

# What an installed machine has and debootstrap leaves out.
cat >"$root/etc/hosts" <<'EOF'
127.0.0.1	localhost
127.0.1.1	talvane-ci
::1		localhost ip6-localhost ip6-loopback
EOF
echo talvane-ci >"$root/etc/hostname"
[[ -s $root/etc/machine-id ]] || tr -d '-' </proc/sys/kernel/random/uuid >"$root/etc/machine-id"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# The same package sources as this machine (main, updates and security).
if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
chmod 1777 "$root/tmp"

# The root is a mount point of its own, private, so that nothing mounted
# under it shows anywhere else. /dev keeps the device nodes debootstrap
# made; terminals come from a devpts instance of the root's own.
mount_in "$root" --bind "$root"
mount --make-rprivate "$root"
mount_in "$root/proc" -t proc proc
mount_in "$root/sys" -t sysfs sysfs
mount_in "$root/dev/pts" -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts
ln -sf pts/ptmx "$root/dev/ptmx"
mount_in "$root/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev shm
mount_in "$root/run" -t tmpfs -o mode=755,nosuid,nodev run

# The checkout, cloned as a new user clones it.
git clone -q --no-hardlinks "$repo" "$root/root/talvane"

# Runs a command in the fresh root as root, with a login's environment.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true \
    /bin/bash -c "cd /root/talvane && $1" </dev/null
}

step=$(date +%s)
say "fresh root: scripts/run_demo.sh"
in_root "scripts/run_demo.sh" 2>&1 | tee "$work/run_demo.log"
say "fresh root: scripts/run_demo.sh took $(elapsed "$step")"
shot_line=$(grep '^run_demo: screenshot: ' "$work/run_demo.log" | tail -1 || true)
[[ -n $shot_line ]] || { say "the demo made no screenshot"; exit 1; }
shot=${shot_line#run_demo: screenshot: }
cp "$root$shot" "$work/orvex-demo.png"
say "demo screenshot: $shot in the fresh root, copied to $work/orvex-demo.png"

step=$(date +%s)
say "fresh root: scripts/test.sh"
in_root "scripts/test.sh"
say "fresh root: scripts/test.sh took $(elapsed "$step")"
ls "$root/root/talvane/build/bin"/bench_* >/dev/null 2>&1 ||
  { say "the test command built no benchmarks"; exit 1; }
left=$(root_pids)
[[ -z $left ]] || { say "processes left running in the fresh root: $(echo $left)"; exit 1; }
cleanup
rm -rf --one-file-system "$root"

say "fresh root: both commands passed in $(elapsed "$t_start")"
