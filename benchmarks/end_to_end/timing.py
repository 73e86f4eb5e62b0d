"""The peers' side of the end-to-end benchmarks: the best of a few runs."""
import time


def best(job, runs=3):
    """The fastest of runs calls of job, in whole milliseconds."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        job()
        times.append(time.perf_counter() - start)
    return round(min(times) * 1000)
