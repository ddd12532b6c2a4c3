# Sourced by the benchmark scripts: the kind of machine, the load average, and the summary rows
# that bench/run-all.sh gathers from every benchmark of one run into one table.

# Time ratios mean something only where the 32-bit code runs natively.
bench_machine() {
  if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo "emulated (32-bit code under QEMU): time ratios are not evidence; see the counts"
  else
    echo "native ($(uname -m) runs the 32-bit code directly, $(nproc) cores)"
  fi
}

bench_load() { cut -d' ' -f1-3 /proc/loadavg; }

# bench_row <moment> <figure> <reference and its figure> <ratio> <goal>: one summary row, with
# the load average at the time it was measured.
bench_row() {
  [ -n "${FOLVANE_BENCH_ROWS:-}" ] || return 0
  printf '%s|%s|%s|%s|%s|%s\n' "$1" "$2" "$3" "$4" "$5" "$(bench_load)" >>"$FOLVANE_BENCH_ROWS"
}
