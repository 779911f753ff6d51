"""One call of modsin.tabulate on the large job (bench/LargeJob.h), in a
process of its own: prints what modsin_tabulate_run prints of its call.
modsin is imported first, and with it numpy, as a program that uses the
arrays has done before it calls."""

import resource
import time

import modsin


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
cpu = cpu_seconds()
start = time.perf_counter()
x, y = modsin.tabulate(xright=100.0, dx=1e-9, dy=1e-5, max_nodes=100_000_000,
                       max_seeds=100_000)
wall = time.perf_counter() - start
print(f"{wall:.6f} {cpu_seconds() - cpu:.6f} {len(x)} {before}")
