#!/usr/bin/python3
"""Times one analysis three ways on the same data, to compare the Python
package's in-memory path with the program:

  (a) the program's load alone: `mva --data FILE` with a command that names
      no column of the file, so the run stops after the load (start-up,
      reading the file, one error message);
  (b) the program's whole run of the command, output to /dev/null;
  (c) mva.run(df, command) on the data frame already in memory
      (pd.read_csv of the same file, read once before the timings).

Each is run RUNS times (default 5), the three interleaved so that a change
in the machine's load touches all of them; the medians of the elapsed and
the CPU seconds (user + system, all threads) are printed, and whether (c)
took at most (b) - (a), compared both by the medians and round by round
(each round runs the three one after the other). Also printed: (d) mva.run with the same
column-less command, the in-memory path's fixed cost (taking in the
columns, no pass over the cases).

  PYTHONPATH=build/python /usr/bin/python3 bench/python_in_memory.py --data big.csv
  PYTHONPATH=build/python /usr/bin/python3 bench/python_in_memory.py --cases 1000000

Without --data, a file of --cases cases and 20 variables is written by
mva_gen (next to the program) into a temporary folder and removed at the
end. On a machine that other work shares, compare the CPU seconds.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import pandas as pd

import mva

# A variable list no data file of this benchmark has: the command stops at
# it, after the load.
NO_COLUMN = "no_such_column_"


def program_run(program, data, command, threads):
    """Elapsed and CPU seconds of one run of the program, and its exit status."""
    args = [program, "--data", data, "--no-progress", "-e", command]
    if threads:
        args += ["--threads", str(threads)]
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(args, stdout=sink, stderr=sink)
        _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    return elapsed, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status)


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def in_memory_run(df, command, threads, expect_error):
    """Elapsed and CPU seconds of one mva.run on the frame."""
    options = {"threads": threads} if threads else {}
    start, cpu = time.perf_counter(), cpu_seconds()
    try:
        mva.run(df, command, **options)
        failed = False
    except mva.MvaError:
        failed = True
    elapsed, used = time.perf_counter() - start, cpu_seconds() - cpu
    if failed != expect_error:
        sys.exit(f"mva.run({command!r}) {'failed' if failed else 'ran'}, which was not expected")
    return elapsed, used


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--data", help="CSV file of the data (default: one made by mva_gen)")
    parser.add_argument("--cases", type=int, default=1000000, help="cases of the file made without --data")
    parser.add_argument("--program", default=None, help="the mva program (default: the build's, beside the package)")
    parser.add_argument("--command", default="MVA x1 TO x20 /EM.", help="the command timed")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--threads", type=int, default=0, help="threads of both (default: the machine's cores)")
    args = parser.parse_args()

    build = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(mva.__file__))))
    program = args.program or os.path.join(build, "mva")
    with tempfile.TemporaryDirectory(prefix="mva-bench-") as folder:
        data = args.data
        if data is None:
            data = os.path.join(folder, "data.csv")
            subprocess.run([os.path.join(os.path.dirname(program), "mva_gen"), "--cases", str(args.cases),
                            "--vars", "20", "--patterns", "40", "--output", data], check=True,
                           stdout=subprocess.DEVNULL)
        df = pd.read_csv(data)
        if NO_COLUMN in map(str, df.columns):
            sys.exit(f"{data} has a column {NO_COLUMN}, which this benchmark takes to be absent")
        load_only = f"MVA {NO_COLUMN}."
        times = {key: [] for key in "abcd"}
        for _ in range(args.runs):
            elapsed, used, status = program_run(program, data, load_only, args.threads)
            if status != 1:
                sys.exit(f"{program} on {load_only!r} gave status {status}, not 1")
            times["a"].append((elapsed, used))
            elapsed, used, status = program_run(program, data, args.command, args.threads)
            if status != 0:
                sys.exit(f"{program} on {args.command!r} gave status {status}")
            times["b"].append((elapsed, used))
            times["c"].append(in_memory_run(df, args.command, args.threads, expect_error=False))
            times["d"].append(in_memory_run(df, load_only, args.threads, expect_error=True))

    def medians(key):
        return (statistics.median(t[0] for t in times[key]), statistics.median(t[1] for t in times[key]))

    labels = {"a": "(a) program, load alone", "b": "(b) program, whole run",
              "c": "(c) mva.run on the frame in memory", "d": "(d) mva.run, columns taken in alone"}
    print(f"{df.shape[0]} cases x {df.shape[1]} columns ({data}); {args.command!r}; medians of {args.runs} runs; "
          f"load average {os.getloadavg()[0]:.2f}")
    for key, label in labels.items():
        elapsed, used = medians(key)
        runs = " ".join(f"{t[0]:.3f}" for t in times[key])
        print(f"{label:38s} {elapsed:7.3f} s elapsed  {used:7.3f} s CPU   (elapsed: {runs})")
    (a, a_cpu), (b, b_cpu), (c, c_cpu) = medians("a"), medians("b"), medians("c")
    print(f"(b) - (a): {b - a:.3f} s elapsed, {b_cpu - a_cpu:.3f} s CPU; (c) takes at most that: "
          f"{'yes' if c <= b - a else 'no'} (elapsed), {'yes' if c_cpu <= b_cpu - a_cpu else 'no'} (CPU)")
    # The three of one round ran within a second of each other: the margin
    # of each round, (b) - (a) - (c), moves less with the machine's speed.
    margins = sorted(b_[0] - a_[0] - c_[0] for a_, b_, c_ in zip(times["a"], times["b"], times["c"]))
    print(f"(b) - (a) - (c) round by round: median {statistics.median(margins):+.3f} s elapsed "
          f"(from {margins[0]:+.3f} to {margins[-1]:+.3f}); rounds with (c) at most (b) - (a): "
          f"{sum(m >= 0 for m in margins)} of {len(margins)}")


if __name__ == "__main__":
    main()
