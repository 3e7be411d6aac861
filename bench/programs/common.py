"""common.py -- what the Python versions of the benchmark workloads share: the
deterministic input generator (the same one every language writes out)."""

seed = 1


def rnd():
    """x <- (75 x + 74) mod 65537, from 1: the numbers 0..65536, period 65536."""
    global seed
    seed = (seed * 75 + 74) % 65537
    return seed
