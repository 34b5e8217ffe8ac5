#!/usr/bin/env python3
"""What the console costs its callers, measured under Wine in the build's own
prefix: whole-process start-to-exit times (hyperfine) of one-shot commands,
in text and in JSON mode, against a trivial executable that only starts and
exits and against a floor that also loads the libraries every one-shot
command loads (so the ratio to it is the console's own cost), the same with
the DLL load guard on, an interactive run of many commands through standard input
(commands per second, peak memory via /usr/bin/time), and the microbenchmarks
of the hot paths. Prints the ratios and writes them as JSON.

Run through bench/run.sh, which builds what is needed first."""
import argparse
import datetime
import json
import math
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

GUARD_REPORT_MODE = "BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll"

CONSOLE_FILES = ["Product.Console.exe", "TesJson.dll"]
AGENT_FILES = ["tesdk.dll", "log.dll", "cvch.dll", "product.matrix.comm.dll",
               "telowprivilegeworker.exe", "Product.Support.dll"]
TRIVIAL = "bench_trivial.exe"
# Loads the libraries of a one-shot command and exits: the console's own cost is what it adds.
FLOOR = "bench_floor.exe"
MICROBENCH = "product_microbench.exe"

VERSION = "1.2.3.4"
SCRIPT = {"answers": {"Product/GetStatus": {"error": 0, "output": {"Locations": {"Product": {"Version": VERSION}}}}}}
JSON_ANSWER = ('{"arguments":["product"],"command":"GetVersion","data":{"version":"%s"},"message":"success",'
               '"result":0,"schemaVersion":1}\r\n' % VERSION).encode()

# Targets: (name, what, limit).
STARTUP_TARGET = 1.5        # scripted GetVersion / trivial executable
GUARD_TARGET = 1.10         # guard on / guard off, scripted GetVersion
JSON_TARGET = 1.05          # /json /c GetVersion product / the same in text mode
HOOK_TARGET = 2.0           # hooked / unhooked LoadLibraryW of a loaded library
GROWTH_TARGET = 1.15        # exponent of time over size, 1,000 to 100,000 elements


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def load_average():
    with open("/proc/loadavg") as f:
        return [float(x) for x in f.read().split()[:3]]


class Folder:
    """An install folder: where it lies on Linux, and the path the programs
    are started with."""

    def __init__(self, linux, windows):
        self.linux, self.windows = Path(linux), windows

    def program(self, exe):
        return self.windows + "\\" + exe


class Rig:
    """Install folders, environment and the Wine runner for every run."""

    def __init__(self, build_dir, work, program_files, cpu=None):
        self.build = Path(build_dir).resolve()
        self.bin = self.build / "bin"
        self.wine_run = str(self.build / "wine-run")
        self.prefix = self.build / "wineprefix"
        self.work = Path(work)
        self.cpu = cpu
        # As deployed: below Program Files of the prefix, started by its C:
        # path, where the guard trusts the libraries beside the executable.
        deployed = Path(program_files)
        self.install = self._lay_out(Folder(deployed / "install", f"C:\\Program Files\\{deployed.name}\\install"),
                                     CONSOLE_FILES + AGENT_FILES + [TRIVIAL, FLOOR])
        self.bare = self._lay_out(Folder(deployed / "bare", f"C:\\Program Files\\{deployed.name}\\bare"),
                                  CONSOLE_FILES)
        # Anywhere else, where the guard checks and reports every library.
        self.outside = self._lay_out(Folder(self.work / "outside", windows_path(self.work / "outside")),
                                     CONSOLE_FILES + AGENT_FILES)
        (self.work / "programdata").mkdir()
        (self.work / "state").mkdir()
        (self.work / "telemetry").mkdir()
        self.script = self.work / "script.json"
        self.script.write_text(json.dumps(SCRIPT))
        # Everything the agent stand-ins and the guard write goes below the
        # work folder; every run, the trivial one included, gets the same.
        self.base_env = {
            "ProgramData": windows_path(self.work / "programdata"),
            "PRODUCT_AGENT_STATE_DIR": windows_path(self.work / "state"),
            "PRODUCT_TELEMETRY_DIR": windows_path(self.work / "telemetry"),
        }

    def _lay_out(self, folder, files):
        folder.linux.mkdir(parents=True)
        for file in files:
            source = self.bin / file
            if source.exists():
                shutil.copy2(source, folder.linux / file)
        return folder

    def missing(self):
        return [f for f in CONSOLE_FILES + ["tesdk.dll", TRIVIAL, FLOOR] if not (self.bin / f).exists()]

    def env(self, agent=None, guard=False):
        env = dict(self.base_env)
        if agent == "scripted":
            env["PRODUCT_TESDK_SCRIPT"] = windows_path(self.script)
        if guard:
            env[GUARD_REPORT_MODE] = "1"
        return env

    def command(self, folder, exe, args, env):
        """The argument list of one run: env VAR=... wine-run exe args."""
        return [*pinned(self.cpu), "env", *[f"{k}={v}" for k, v in env.items()], self.wine_run,
                folder.program(exe), *args]


def pinned(cpu):
    """The command prefix that keeps a program on one CPU (none when None)."""
    return [] if cpu is None else ["taskset", "-c", str(cpu)]


class WineServer:
    """The persistent wineserver of the build's prefix: started (which also
    creates the prefix) unless one is already up, and then stopped again.

    Every Windows call that needs the server is a round trip to it; when the
    server and the program sit on different CPUs each trip waits for the
    other CPU to wake up, which on a virtual machine adds tens of
    milliseconds to a process start, at random. So the server and every
    measured program share one CPU."""

    def __init__(self, prefix, cpu):
        self.prefix = Path(prefix)
        self.cpu = cpu
        self.started = False

    def running(self):
        """The pid of the prefix's wineserver, or None."""
        wanted = f"WINEPREFIX={self.prefix}".encode()
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if Path(f"/proc/{pid}/comm").read_text().strip().startswith("wineserver"):
                    if wanted in Path(f"/proc/{pid}/environ").read_bytes().split(b"\0"):
                        return pid
            except OSError:
                continue
        return None

    def __enter__(self):
        pid = self.running()
        if pid is None:
            subprocess.run([*pinned(self.cpu), str(ROOT / "tests/rig/wine-start"), str(self.prefix), wine_loader()],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           start_new_session=True, check=True)
            self.started = True
        elif self.cpu is not None:
            allowed = re.search(r"Cpus_allowed_list:\s*(\S+)", Path(f"/proc/{pid}/status").read_text())
            if allowed is None or allowed.group(1) != str(self.cpu):
                print(f"  note: the prefix's wineserver was already running, not kept on CPU {self.cpu}: "
                      "stop it (tests/rig/wine-stop) for steadier figures", flush=True)
        return self

    def __exit__(self, *exc):
        if self.started:
            subprocess.run([str(ROOT / "tests/rig/wine-stop"), str(self.prefix)], check=False)


def wine_loader():
    return "/usr/lib/wine/wine64" if Path("/usr/lib/wine/wine64").exists() else "wine"


class Scenario:
    def __init__(self, name, title, folder, exe, args, env, expect=None, expect_code=0):
        self.name, self.title = name, title
        self.folder, self.exe, self.args, self.env = folder, exe, args, env
        self.expect, self.expect_code = expect, expect_code
        self.times = []
        self.odd_exits = []  # exit codes of timed runs that differ from expect_code


def scenarios(rig):
    i, b = rig.install, rig.bare
    get_version = ["/c", "GetVersion", "product"]
    return [
        Scenario("trivial", "trivial executable", i, TRIVIAL, [], rig.env()),
        Scenario("floor", "floor: a command's libraries loaded, nothing run", i, FLOOR, [], rig.env()),
        Scenario("no_agent", "console, no agent library (start-up only)", b, "Product.Console.exe",
                 get_version, rig.env(), expect_code=126),
        Scenario("invalid_command", "console, scripted agent, unknown command", i, "Product.Console.exe",
                 ["/c", "Nope"], rig.env("scripted"), expect=b"invalid command"),
        Scenario("scripted", "/c GetVersion product, scripted agent", i, "Product.Console.exe",
                 get_version, rig.env("scripted"), expect=VERSION.encode()),
        Scenario("scripted_json", "/json /c GetVersion product, scripted agent", i, "Product.Console.exe",
                 ["/json", *get_version], rig.env("scripted"), expect=JSON_ANSWER),
        Scenario("simulated", "/c GetVersion product, simulated agent", i, "Product.Console.exe",
                 get_version, rig.env()),
        Scenario("scripted_guard", "the same, guard on (report mode)", i, "Product.Console.exe",
                 get_version, rig.env("scripted", guard=True), expect=VERSION.encode()),
        Scenario("simulated_guard", "simulated agent, guard on (report mode)", i, "Product.Console.exe",
                 get_version, rig.env(guard=True)),
        Scenario("scripted_guard_outside", "scripted, guard on, outside Program Files", rig.outside,
                 "Product.Console.exe", get_version, rig.env("scripted", guard=True), expect=VERSION.encode()),
    ]


def check_once(rig, scenario):
    """Runs a scenario once and checks that it does what it is meant to."""
    result = subprocess.run(rig.command(scenario.folder, scenario.exe, scenario.args, scenario.env),
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    if result.returncode != scenario.expect_code or (scenario.expect is not None and
                                                     result.stdout != scenario.expect):
        raise SystemExit(f"{scenario.name}: unexpected result {result.returncode} {result.stdout[:200]!r}")


def hyperfine(rig, scenario, runs, warmup, out_json):
    command = shlex.join(rig.command(scenario.folder, scenario.exe, scenario.args, scenario.env))
    # Exit codes are checked here, so that one odd run is counted and shown
    # rather than ending the whole measurement.
    args = ["hyperfine", "-N", "--style", "none", "--warmup", str(warmup), "--runs", str(runs),
            "--export-json", str(out_json), "--command-name", scenario.name, "--ignore-failure"]
    subprocess.run(args + [command], check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    result = json.loads(Path(out_json).read_text())["results"][0]
    odd = [code for code in result["exit_codes"] if code != scenario.expect_code]
    if odd:
        scenario.odd_exits += odd
        print(f"  {scenario.name}: {len(odd)} run(s) ended with {sorted(set(odd))}", flush=True)
    return result["times"]


def peak_memory_kib(rig, folder, exe, args, env, stdin_path=None, runs=3):
    """Median peak resident set (KiB) and wall seconds of the Wine process,
    from GNU time."""
    peaks, walls, outputs = [], [], []
    for _ in range(runs):
        with open(stdin_path or os.devnull, "rb") as stdin, tempfile.NamedTemporaryFile() as report:
            result = subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %M",
                                     *rig.command(folder, exe, args, env)],
                                    stdin=stdin, capture_output=True, timeout=1200)
            wall, peak = Path(report.name).read_text().split()[-2:]
        walls.append(float(wall))
        peaks.append(int(peak))
        outputs.append(result.stdout)
    return statistics.median(peaks), statistics.median(walls), outputs


def summarize(times):
    ms = [t * 1000 for t in times]
    return {"median_ms": round(statistics.median(ms), 2), "mean_ms": round(statistics.fmean(ms), 2),
            "min_ms": round(min(ms), 2), "stdev_ms": round(statistics.stdev(ms), 2) if len(ms) > 1 else 0.0,
            "runs": len(ms)}


def measure_startup(rig, args, results):
    runs = scenarios(rig)
    for scenario in runs:
        check_once(rig, scenario)
    # Rounds of every scenario in turn, so that a change of the machine's
    # load hits them all alike.
    with tempfile.TemporaryDirectory() as tmp:
        for round_ in range(args.rounds):
            for scenario in runs:
                scenario.times += hyperfine(rig, scenario, args.runs, args.warmup, Path(tmp) / "h.json")
            print(f"  round {round_ + 1}/{args.rounds} done (load {load_average()[0]:.2f})", flush=True)
    floor = statistics.median(runs[0].times)
    fastest = min(runs[0].times)
    libraries_floor = statistics.median(next(r for r in runs if r.name == "floor").times)
    table = {}
    for scenario in runs:
        entry = {"title": scenario.title, **summarize(scenario.times), "odd_exit_codes": scenario.odd_exits}
        entry["ratio_to_trivial"] = round(statistics.median(scenario.times) / floor, 3)
        entry["ratio_of_fastest_runs"] = round(min(scenario.times) / fastest, 3)
        entry["ratio_to_floor"] = round(statistics.median(scenario.times) / libraries_floor, 3)
        peak, _, _ = peak_memory_kib(rig, scenario.folder, scenario.exe, scenario.args, scenario.env)
        entry["peak_rss_kib"] = peak
        table[scenario.name] = entry
    results["startup"] = {
        "method": f"hyperfine -N, {args.rounds} rounds x {args.runs} runs (+{args.warmup} warm-up) per "
                  "scenario, interleaved; peak RSS of the Wine process from GNU time (median of 3)",
        "scenarios": table,
    }
    for guarded, unguarded in (("scripted_guard", "scripted"), ("simulated_guard", "simulated"),
                               ("scripted_guard_outside", "scripted")):
        table[guarded]["ratio_to_guard_off"] = round(table[guarded]["median_ms"] / table[unguarded]["median_ms"], 3)
    table["scripted_json"]["ratio_to_text"] = round(table["scripted_json"]["median_ms"] / table["scripted"]["median_ms"], 3)


def loaded_modules(rig, scenario):
    """The modules a run loads, in load order, from Wine's loader trace."""
    env = dict(os.environ, **scenario.env, WINEPREFIX=str(rig.prefix), WINEDEBUG="+loaddll",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    result = subprocess.run([wine_loader(), scenario.folder.program(scenario.exe), *scenario.args], env=env,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    names = re.findall(r'Loaded L"([^"]+)"', result.stderr.decode("utf-8", "replace"))
    return [name.split("\\")[-1].lower() for name in names]


def measure_modules(rig, results):
    table = {}
    for scenario in scenarios(rig):
        if scenario.name in ("trivial", "scripted", "scripted_guard", "scripted_guard_outside"):
            table[scenario.name] = loaded_modules(rig, scenario)
    results["modules"] = table


def measure_interactive(rig, args, results):
    lines = args.commands
    stdin_path = rig.work / "interactive-input.txt"
    stdin_path.write_text("GetVersion product\n" * lines + "exit\n", encoding="utf-8")
    table = {}
    for name, env, expect in [("scripted", rig.env("scripted"), VERSION),
                              ("simulated", rig.env(), None),
                              ("scripted_guard", rig.env("scripted", guard=True), VERSION)]:
        peak, wall, outputs = peak_memory_kib(rig, rig.install, "Product.Console.exe", [], env, stdin_path,
                                              runs=args.interactive_runs)
        answers = outputs[0].count(b"GetVersion product\r\n")
        if answers != lines or (expect and outputs[0].count(expect.encode()) != lines):
            raise SystemExit(f"interactive {name}: {answers} of {lines} commands answered")
        table[name] = {"commands": lines, "seconds": round(wall, 2),
                       "commands_per_second": round(lines / wall, 1),
                       "ms_per_command": round(wall * 1000 / lines, 3), "peak_rss_kib": peak}
    results["interactive"] = {
        "method": f"{lines} lines of \"GetVersion product\" then \"exit\" on standard input (UTF-8); "
                  f"wall time and peak RSS of the Wine process from GNU time, median of {args.interactive_runs}",
        "runs": table,
    }


def growth_exponent(per_size):
    """Slope of log(time) over log(size) between the two largest sizes ten
    times apart or more: 1 is linear, 2 quadratic."""
    sizes = sorted(per_size)
    large = sizes[-1]
    small = max(s for s in sizes if s * 100 <= large) if any(s * 100 <= large for s in sizes) else sizes[0]
    return math.log(per_size[large] / per_size[small]) / math.log(large / small)


def measure_micro(rig, args, results):
    out = rig.work / "micro.json"
    command = [*pinned(rig.cpu), rig.wine_run, str(rig.bin / MICROBENCH), f"--benchmark_out={windows_path(out)}",
               "--benchmark_out_format=json", f"--benchmark_repetitions={args.micro_repetitions}",
               "--benchmark_report_aggregates_only=true", f"--benchmark_min_time={args.micro_min_time}"]
    if args.micro_filter:
        command.append(f"--benchmark_filter={args.micro_filter}")
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    data = json.loads(out.read_text())
    medians = {}
    aggregated = any(b.get("aggregate_name") == "median" for b in data["benchmarks"])
    for b in data["benchmarks"]:
        if (b.get("aggregate_name") != "median") if aggregated else (b.get("run_type") != "iteration"):
            continue
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
        medians[b["run_name"]] = {"cpu_ns": round(b["cpu_time"] * scale, 1),
                                  "real_ns": round(b["real_time"] * scale, 1)}
    linear = {}
    for name, entry in medians.items():
        match = re.fullmatch(r"(.+)/(\d+)", name)
        if match and name.startswith(("BM_ParseResponse", "BM_LoadList", "BM_ParseJsonDocument")):
            linear.setdefault(match.group(1), {})[int(match.group(2))] = entry["cpu_ns"]
    growth = {}
    for name, per_size in linear.items():
        if len(per_size) < 2:
            continue
        growth[name] = {"per_element_ns": {str(n): round(t / n, 1) for n, t in sorted(per_size.items())},
                        "growth_exponent": round(growth_exponent(per_size), 3)}
    results["micro"] = {
        "method": f"Google Benchmark under Wine, median of {args.micro_repetitions} repetitions, "
                  "CPU time (the machine is shared)",
        "context": {k: data["context"].get(k) for k in ("num_cpus", "mhz_per_cpu", "library_build_type")},
        "benchmarks": medians,
        "size_growth": growth,
    }


def evaluate(results):
    targets = []

    def target(name, value, limit):
        targets.append({"target": name, "value": value, "limit": limit, "met": value <= limit})

    startup = results.get("startup", {}).get("scenarios")
    if startup:
        target("/c GetVersion product (scripted agent) / trivial executable",
               startup["scripted"]["ratio_to_trivial"], STARTUP_TARGET)
        target("guard on / guard off, scripted agent", startup["scripted_guard"]["ratio_to_guard_off"],
               GUARD_TARGET)
        target("/json /c GetVersion product / the same in text mode, scripted agent",
               startup["scripted_json"]["ratio_to_text"], JSON_TARGET)
    # Regressions the figures above would only show as a drift: a system
    # library that drags user32.dll into every start, and memory that grows
    # with the number of commands.
    modules = results.get("modules", {}).get("scripted")
    if modules is not None:
        target("user32.dll loaded by /c GetVersion product without the guard", modules.count("user32.dll"), 0)
    interactive = results.get("interactive", {}).get("runs")
    if startup and interactive:
        target("peak memory of the interactive run / of one command, scripted agent",
               round(interactive["scripted"]["peak_rss_kib"] / startup["scripted"]["peak_rss_kib"], 3), 1.5)
    micro = results.get("micro")
    if micro:
        for name, entry in micro["size_growth"].items():
            if not name.startswith("BM_ParseJsonDocument"):
                target(f"{name}: growth exponent of time over size", entry["growth_exponent"], GROWTH_TARGET)
        bench = micro["benchmarks"]
        unhooked = bench.get("BM_LoadLibraryW_Unhooked", {}).get("cpu_ns")
        for name in ("BM_LoadLibraryW_PassThroughHook", "BM_LoadLibraryW_GuardHook"):
            if unhooked and name in bench:
                target(f"{name} / unhooked LoadLibraryW of a loaded library",
                       round(bench[name]["cpu_ns"] / unhooked, 3), HOOK_TARGET)
    results["targets"] = targets


def print_report(results):
    startup = results.get("startup")
    if startup:
        print("\nStart-to-exit under Wine: median, ratio to the trivial executable (and of the fastest runs), "
              "ratio to the floor that loads a command's libraries:")
        for name, e in startup["scenarios"].items():
            extra = f"  guard cost x{e['ratio_to_guard_off']:.3f}" if "ratio_to_guard_off" in e else ""
            extra += f"  JSON / text x{e['ratio_to_text']:.3f}" if "ratio_to_text" in e else ""
            print(f"  {e['title']:<48} {e['median_ms']:7.1f} ms  x{e['ratio_to_trivial']:.2f}"
                  f" (x{e['ratio_of_fastest_runs']:.2f})  floor x{e['ratio_to_floor']:.2f}"
                  f"  peak {e['peak_rss_kib'] / 1024:5.1f} MiB{extra}")
        s = startup["scenarios"]
        steps = [("process start-up of the console", "trivial", "no_agent"),
                 ("agent library, shell, an unknown command", "no_agent", "invalid_command"),
                 ("GetVersion: request, answer, telemetry", "invalid_command", "scripted")]
        print("\nWhere the time goes (differences of medians):")
        for title, before, after in steps:
            print(f"  {title:<48} {s[after]['median_ms'] - s[before]['median_ms']:+7.1f} ms")
        for name, modules in results.get("modules", {}).items():
            print(f"  modules loaded ({name}): {len(modules)}: {' '.join(modules)}")
    interactive = results.get("interactive")
    if interactive:
        print("\nInteractive, lines through standard input:")
        for name, e in interactive["runs"].items():
            print(f"  {name:<16} {e['commands']} commands in {e['seconds']:.2f} s: "
                  f"{e['commands_per_second']:.0f}/s ({e['ms_per_command']:.2f} ms each), "
                  f"peak {e['peak_rss_kib'] / 1024:.1f} MiB")
    micro = results.get("micro")
    if micro:
        print("\nMicrobenchmarks (median CPU time):")
        for name, e in micro["benchmarks"].items():
            print(f"  {name:<52} {e['cpu_ns']:14.1f} ns")
        print("\nGrowth with the document size (1 = linear), per element:")
        for name, e in micro["size_growth"].items():
            per = ", ".join(f"{n}: {v:.0f} ns" for n, v in e["per_element_ns"].items())
            print(f"  {name:<42} exponent {e['growth_exponent']:.3f}  ({per})")
    print("\nTargets:")
    for t in results["targets"]:
        print(f"  {'met ' if t['met'] else 'MISS'} {t['target']}: {t['value']} (limit {t['limit']})")
    m = results["machine"]
    print(f"\nLoad average {m['load_before'][0]:.2f} before, {m['load_after'][0]:.2f} after "
          f"({m['cpus']} CPUs).")


def git_state():
    def git(*args):
        return subprocess.run(["git", "-C", str(ROOT), *args], capture_output=True, text=True).stdout.strip()
    return {"commit": git("rev-parse", "--short", "HEAD")}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default=str(ROOT / "build"))
    parser.add_argument("--out", default=str(ROOT / "bench/results/latest.json"))
    parser.add_argument("--rounds", type=int, default=4, help="interleaved rounds of every scenario")
    parser.add_argument("--runs", type=int, default=10, help="timed runs per scenario and round")
    parser.add_argument("--warmup", type=int, default=2)
    parser.add_argument("--commands", type=int, default=1000, help="lines of the interactive run")
    parser.add_argument("--interactive-runs", type=int, default=3)
    parser.add_argument("--micro-repetitions", type=int, default=3)
    parser.add_argument("--micro-min-time", default="0.2")
    parser.add_argument("--micro-filter", default="")
    parser.add_argument("--cpu", type=int, default=0,
                        help="CPU for the wineserver and the measured programs (-1: no pinning)")
    parser.add_argument("--skip", action="append", default=[], choices=["startup", "interactive", "micro"])
    args = parser.parse_args()

    if shutil.which("hyperfine") is None:
        raise SystemExit("hyperfine is missing (bench/run.sh installs it)")
    build = Path(args.build_dir).resolve()
    cpu = None if args.cpu < 0 else args.cpu
    with WineServer(build / "wineprefix", cpu), \
            tempfile.TemporaryDirectory(prefix="product-bench-") as work, \
            tempfile.TemporaryDirectory(prefix="ProductBench-", dir=build / "wineprefix/drive_c/Program Files") \
            as deployed:
        rig = Rig(build, work, deployed, cpu)
        if rig.missing():
            raise SystemExit(f"not built in {rig.bin}: {', '.join(rig.missing())}")
        results = {"generated": datetime.datetime.now().astimezone().isoformat(timespec="seconds"),
                   **git_state(),
                   "machine": {"cpus": os.cpu_count(), "pinned_to_cpu": cpu, "load_before": load_average(),
                               "wine": subprocess.run([wine_loader(), "--version"], capture_output=True,
                                                      text=True).stdout.strip()}}
        if "startup" not in args.skip:
            print("Start-up...", flush=True)
            measure_startup(rig, args, results)
            measure_modules(rig, results)
        if "interactive" not in args.skip:
            print("Interactive...", flush=True)
            measure_interactive(rig, args, results)
        if "micro" not in args.skip:
            print("Microbenchmarks...", flush=True)
            measure_micro(rig, args, results)
        results["machine"]["load_after"] = load_average()
    evaluate(results)
    print_report(results)
    out = Path(args.out)
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_text(json.dumps(results, indent=2) + "\n")
    print(f"Written to {out}")


if __name__ == "__main__":
    sys.exit(main())
