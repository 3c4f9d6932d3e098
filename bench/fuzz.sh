#!/usr/bin/env bash
# Fuzzing benchmark: builds the fuzz tree of KVZ_BUILD_DIR (default build) and runs each fuzz
# target in turn for the given seconds (default 300), with the flags its ctest uses, from a
# fresh copy of its seed corpus. Prints, per target, the inputs executed and the coverage as a
# Markdown table, then where the covered edges lie (the project's code, JsonCpp, the C++ library,
# Boost), from a replay of the final corpus. Logs, corpora and any crash files stay in
# <build>/fuzz/bench/.
#   bench/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
build=${KVZ_BUILD_DIR:-build}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
cmake --preset fuzz -B "$build/fuzz" >&2
cmake --build "$build/fuzz" -j2 >&2
out="$build/fuzz/bench"
rm -rf "$out"
mkdir -p "$out"
# The targets and their flags as the tree registered them with CTest: the benchmark runs what
# the tests run, only longer.
ctest --test-dir "$build/fuzz" -L fuzz --show-only=json-v1 >"$out/tests.json"

python3 - "$out" "$seconds" "$PWD" <<'EOF'
import json, re, shutil, subprocess, sys
from pathlib import Path

out, seconds, root = Path(sys.argv[1]), sys.argv[2], sys.argv[3]

def last(pattern, text, default="?"):
    found = re.findall(pattern, text, re.M)
    return found[-1] if found else default

# Where a covered function's source lives: by its path, or by its name where the symboliser cut
# a long name before the path. libFuzzer lists no function from /usr/include, so what the
# listing lacks of the total lies there: Boost's headers.
PLACES = {"project": "^" + re.escape(root + "/"), "JsonCpp": r"/libjsoncpp/|^Json::",
          "C++ library, other": r""}

def edges_by_place(exe, flags, corpus):
    replay = subprocess.run([exe, "-runs=0", "-print_coverage=1", *flags, str(corpus)],
                            cwd=out, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True, errors="replace").stderr
    edges = dict.fromkeys(PLACES, 0)
    for covered, function in re.findall(r"^COVERED_FUNC: hits: \d+ edges: (\d+)/\d+ (.*)$",
                                        replay, re.M):
        path = re.search(r"(\S+):\d+$", function)
        where = path.group(1) if path else function
        place = next(p for p, pattern in PLACES.items() if re.search(pattern, where))
        edges[place] += int(covered)
    total = int(last(r"INITED\s+cov: (\d+)", replay, "0"))
    return [f"{n:,}" for n in (*edges.values(), total - sum(edges.values()))]

rows, places, failed = [], [], []
for test in json.loads((out / "tests.json").read_text())["tests"]:
    exe, *args = test["command"]
    name = Path(exe).name
    flags = [a for a in args if a.startswith("-") and not a.startswith("-max_total_time=")]
    # The first folder collects what earlier ctest runs found; start from the seeds alone.
    seeds = [Path(a) for a in args if not a.startswith("-")][1:]
    corpus = out / name
    corpus.mkdir()
    for i, folder in enumerate(seeds):
        for f in sorted(folder.iterdir()):
            if f.is_file():
                shutil.copy(f, corpus / f"{i}-{f.name}")
    print(f"{name}: {seconds} s ...", file=sys.stderr, flush=True)
    run = subprocess.run([exe, f"-max_total_time={seconds}", *flags, str(corpus)], cwd=out,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                         errors="replace")
    log = run.stderr
    (out / f"{name}.log").write_text(log)
    if run.returncode != 0:
        failed.append(name)
    instrumented = sum(int(n) for n in
                       re.findall(r"^INFO: Loaded 1 modules\s+\((\d+) inline", log, re.M))
    executed = int(last(r"^stat::number_of_executed_units:\s+(\d+)", log, "0"))
    per_second = int(last(r"^stat::average_exec_per_sec:\s+(\d+)", log, "0"))
    seeded = last(r"INITED\s+cov: (\d+) ft: (\d+)", log, ("?", "?"))
    ended = last(r"(?:DONE|pulse|NEW|REDUCE)\s+cov: (\d+) ft: (\d+)", log, ("?", "?"))
    rows.append([name, f"{executed:,}", f"{per_second:,}", f"{seeded[0]} → {ended[0]}",
                 f"{instrumented:,}", f"{seeded[1]} → {ended[1]}",
                 last(r"DONE\s+cov: \d+ ft: \d+ corp: (\d+)/", log),
                 last(r"^stat::peak_rss_mb:\s+(\d+)", log)])
    places.append([name] + edges_by_place(exe, flags, corpus))

print(f"| target, {seconds} s each | inputs executed | inputs/s | edges (cov:), seeds → end "
      "| edges instrumented | features (ft:), seeds → end | corpus | peak RSS MiB |")
print("| --- | --- | --- | --- | --- | --- | --- | --- |")
for row in rows:
    print("| " + " | ".join(row) + " |")
print()
print("| edges covered by the final corpus | " + " | ".join(PLACES) + " | /usr/include (Boost) |")
print("| --- " * (len(PLACES) + 2) + "|")
for row in places:
    print("| " + " | ".join(row) + " |")
if failed:
    print(f"failed: {', '.join(failed)} (logs and crash files in {out})", file=sys.stderr)
    sys.exit(1)
EOF
