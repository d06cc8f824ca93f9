# The real mix both throughput benchmarks scan (sourced by real_mix.sh and
# distributed_bench.sh): FILES readable regular files up to 64 MiB from
# /usr/share, /usr/lib and /etc, whose names survive a one-per-line list,
# drawn with SEED, then every test fixture. The files are sorted before the
# shuffle, so the order of the walk does not matter: with the same packages
# and seed any Debian machine makes the same list.
#
#   real_mix_list FILES SEED >LIST       (from the repository root)

# A deterministic byte stream for shuf, made from the seed.
real_mix_seeded() { openssl enc -aes-256-ctr -pass "pass:$1" -nosalt -pbkdf2 </dev/zero 2>/dev/null; }

real_mix_list() {
  find /usr/share /usr/lib /etc -xdev -type f -readable -size -65536k 2>/dev/null |
    grep -v $'[\t\\\\]' | LC_ALL=C sort | shuf -n "$1" --random-source=<(real_mix_seeded "$2")
  find "$PWD/tests/fixtures" -type f | LC_ALL=C sort
}
