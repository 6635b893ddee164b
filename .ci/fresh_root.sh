#!/usr/bin/env bash
# The README's two commands as a new user runs them, on a fresh Debian 12
# root made with debootstrap: scripts/run_demo.sh (its screenshot copied
# out), then scripts/test.sh, each step timed.
#
# The root is made anew under .ci-work/ of this checkout on every run and
# made to look like an installed machine: a hosts file, its root a mount
# point, /proc, /sys, /dev/pts, /dev/shm, /run, a machine id. Its caches
# live in the same folder ($TALVANE_CI_CACHE, default .ci-work/cache), so a
# fresh clone starts cold, as a new user's machine does:
#   - the debootstrap result (minimal set and git), as a tarball keyed by
#     the suite and the debootstrap recipe;
#   - apt's downloaded .debs (bind-mounted on the root's apt archive);
#   - the compiler cache of the root's own ccache, which scripts/install_deps.sh
#     installs there and the build picks up.
# A developer may point $TALVANE_CI_CACHE at a lasting folder to rerun
# faster; none of these caches can stand in for a missing install step.
# Everything mounted is unmounted and every process started inside is
# ended on any exit, failure or time-out. If the root cannot be made, that
# is said in one line and the script fails. Needs root (debootstrap,
# mount, chroot).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
export CI=true

suite=bookworm
recipe="debootstrap --variant=minbase --include=git,ca-certificates $suite"
work=$repo/.ci-work
root=$work/root
cache_dir=${TALVANE_CI_CACHE:-$work/cache}
cache=$cache_dir/$suite-minbase-$(echo "$recipe" | md5sum | cut -c1-8).tar
# Generous bounds that only a hang reaches; CI's own limit is 90 minutes.
demo_limit=${TALVANE_CI_DEMO_LIMIT:-2400}
test_limit=${TALVANE_CI_TEST_LIMIT:-3000}
t_start=$(date +%s)
mkdir -p "$work" "$cache_dir/apt-archives/partial" "$cache_dir/ccache"

say() { echo "ci: $(date -u +%H:%M:%S) $*"; }
elapsed() { local s=$(($(date +%s) - $1)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }
fail_root() { say "cannot make the fresh Debian 12 root: $*"; exit 1; }

# Every process whose root is the fresh root: started by this run only.
root_pids() {
  find /proc -mindepth 2 -maxdepth 2 -name root \( -lname "$root" -o -lname "$root/*" \) 2>/dev/null |
    cut -d/ -f3 || true  # find complains of processes that end while it looks
}

mounted=()
cleanup() {
  # Neither a signal nor a failing command may cut the clean-up short and
  # leave mounts behind.
  trap '' INT TERM
  set +e
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
trap 'say "FAILED: line $LINENO: \"$BASH_COMMAND\" exited with $?"' ERR
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
# A week-old root is made anew, so its base packages stay close to the mirror's.
find "$cache_dir" -maxdepth 1 -name "$suite-minbase-*.tar" -mtime +7 -delete 2>/dev/null || true
if [[ -f $cache ]]; then
  say "fresh root from the cached debootstrap result ($cache)"
  tar -xpf "$cache" -C "$root" || fail_root "the cached root $cache does not unpack"
else
  url=$(mirror)
  say "no cached root: $recipe from $url"
  # shellcheck disable=SC2086
  $recipe "$root" "$url" >"$work/debootstrap.log" 2>&1 ||
    fail_root "debootstrap from $url failed (last lines: $(tail -3 "$work/debootstrap.log" | tr '\n' ' '))"
  tar -cpf "$cache.part" -C "$root" . && mv "$cache.part" "$cache"
  say "debootstrap result cached as $cache"
fi
say "fresh root made in $(elapsed "$step")"

# What an installed machine has and debootstrap leaves out.
cat >"$root/etc/hosts" <<EOF
127.0.0.1	localhost
127.0.1.1	$(hostname)
::1		localhost ip6-localhost ip6-loopback
EOF
# The root shares this machine's host name (chroot keeps the UTS namespace).
hostname >"$root/etc/hostname"
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
mount_in "$root/var/cache/apt/archives" --bind "$cache_dir/apt-archives"
mount_in "$root/var/cache/ccache" --bind "$cache_dir/ccache"

# The checkout, cloned as a new user clones it.
git clone -q --no-hardlinks "$repo" "$root/root/talvane"

# Runs a command in the fresh root as root, with a login's environment,
# within a time limit; its output goes to the log and to $work/NAME.log.
in_root() {  # name, limit in seconds, command
  local name=$1 limit=$2 cmd=$3 rc=0 step
  step=$(date +%s)
  say "fresh root: $cmd (load:$(uptime | sed 's/.*load average://'))"
  timeout --kill-after=30 "$limit" \
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true \
    CCACHE_DIR=/var/cache/ccache CCACHE_MAXSIZE=8G \
    /bin/bash -c "cd /root/talvane && $cmd" </dev/null 2>&1 | tee "$work/$name.log" || rc=$?
  if ((rc == 124 || rc == 137)); then
    say "FAILED in the fresh root: $cmd did not end within ${limit}s"
    exit 1
  elif ((rc != 0)); then
    say "FAILED in the fresh root: $cmd exited with $rc (its output: $work/$name.log)"
    exit 1
  fi
  say "fresh root: $cmd passed in $(elapsed "$step")"
}

in_root run_demo "$demo_limit" scripts/run_demo.sh
shot_line=$(grep '^run_demo: screenshot: ' "$work/run_demo.log" | tail -1 || true)
[[ -n $shot_line ]] || { say "FAILED in the fresh root: the demo made no screenshot"; exit 1; }
shot=${shot_line#run_demo: screenshot: }
cp "$root$shot" "$work/orvex-demo.png"
say "demo screenshot: $shot in the fresh root, copied to $work/orvex-demo.png"

in_root test "$test_limit" scripts/test.sh
ls "$root/root/talvane/build/bin"/bench_* >/dev/null 2>&1 ||
  { say "FAILED in the fresh root: the test command built no benchmarks"; exit 1; }
say "benchmarks built: $(cd "$root/root/talvane/build/bin" && echo bench_*)"
left=$(root_pids)
[[ -z $left ]] || {
  say "FAILED in the fresh root: processes left running after the two commands:"
  # shellcheck disable=SC2086
  ps -o pid=,args= -p "$(echo $left | tr ' ' ,)" || true
  exit 1
}
say "no process left running in the fresh root"
cleanup
rm -rf --one-file-system "$root"

say "fresh root: both commands passed in $(elapsed "$t_start")"
