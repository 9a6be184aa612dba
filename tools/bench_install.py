#!/usr/bin/env python3
"""Installer benchmark, run by tools/bench-install.sh (which builds and sets up Wine first); not a test.

    bench_install.py --build BUILD --client VeltaraClient.exe [--sizes 200m,1g] [--cap 125m] [--big 4.5g]
                     [--compare OTHER_INSTALLER.exe] [--repeat N]

Figures, each against a baseline measured in the same run:
1. Install time: from the click on Install to the finish page (the completion is seen, through Wine's trace,
   as the creation of the desktop shortcut, which comes with the finish page), against curl plus unzip of the
   same package from the same nginx, for each size (best and median).
2. Peak memory of the installer process (VmHWM of its Wine process, which includes Wine's own share), for
   each size, against the bare sample client's peak (started the same way) + 64 MiB, whatever the size.
3. The first size again with nginx capped (--cap, a gigabit line by default), against curl downloading the
   same package alone at the same cap.
4. With --big: one package beyond 4 GiB (zip64), against curl plus bsdtar.
With --compare, another build of the installer (e.g. the one before a change) is timed on each size too.
5. Start-up: from starting the process to its first painted frame (the first full-window blit for the
   installer, the first DrawText for the sample client), against the sample client, a bare Win32 window
   program, started the same way. Goal: 2x or better.
4. Start-up at 200 %: the installer's first painted frame (1200 x 800) under a prefix whose display scale is
   192 DPI (<build>/dpi, as tests/app/dpi/at_dpi.sh makes it), against its first frame at 100 % measured in
   the same run. Goal: 1.5x or better.
--startup-only measures 3 and 4 alone (no package, no server).
The build must check no package hash (VELTARA_PACKAGE_SHA256 empty): the package here is not the demo one.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "nginx"))

from installer_driver import InstallerWindow  # noqa: E402
from make_package import make_package, parse_size  # noqa: E402
from nginx_server import NginxServer  # noqa: E402

SKIN = os.path.join(ROOT, "skin", "skin.xml")
URL = "http://127.0.0.1/veltaragame/client/VeltaraClient.zip"
MB = 1024 * 1024


class TraceWatch:
    """Reads a process's stderr (Wine's trace) and remembers when the first line matching each pattern came."""

    def __init__(self, proc, patterns):
        self.proc = proc
        self.patterns = {k: re.compile(v) for k, v in patterns.items()}
        self.first = {}
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for raw in iter(self.proc.stderr.readline, b""):
            now = time.monotonic()
            line = raw.decode("utf-8", "replace")
            for key, pat in self.patterns.items():
                if key not in self.first and pat.search(line):
                    self.first[key] = now

    def wait(self, key, timeout):
        deadline = time.monotonic() + timeout
        while key not in self.first and time.monotonic() < deadline and self.proc.poll() is None:
            time.sleep(0.005)
        return self.first.get(key)


def wine_env(build):
    script = '. "%s/tools/wine-env.sh" "%s" && wine_env_up >&2 && env -0' % (ROOT, build)
    out = subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE, check=True).stdout
    return dict(item.decode().split("=", 1) for item in out.split(b"\0") if b"=" in item)


def start(env, exe, channels):
    e = dict(env)
    e["WINEDEBUG"] = "-all," + ",".join("trace+" + c for c in channels)
    e["VELTARA_CLIENT_RECORD"] = "NUL"
    return subprocess.Popen(["wine", exe], env=e, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)


def stop(proc):
    if proc.poll() is None:
        proc.kill()
    proc.wait()


def first_paint(env, exe, pattern, channels, repeat):
    times = []
    for _ in range(repeat):
        t0 = time.monotonic()
        proc = start(env, exe, channels)
        watch = TraceWatch(proc, {"paint": pattern})
        t = watch.wait("paint", 30)
        stop(proc)
        if t is None:
            return None
        times.append(t - t0)
        time.sleep(0.3)
    return statistics.median(times)


def peak_rss_mb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            m = re.search(r"VmHWM:\s+(\d+) kB", f.read())
        return int(m.group(1)) / 1024.0 if m else None
    except OSError:
        return None


def curl_fetch(work, unpacker, rate_note=""):
    """curl alone (unpacker None), or curl and then the unpacker ("unzip" or "bsdtar"), into a fresh folder."""
    out = os.path.join(work, "curl")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    zip_path = os.path.join(out, "VeltaraClient.zip")
    t0 = time.monotonic()
    subprocess.run(["curl", "-s", "-f", "-o", zip_path, URL], check=True)
    if unpacker == "unzip":
        subprocess.run(["unzip", "-q", "-o", zip_path, "-d", out], check=True)
    elif unpacker == "bsdtar":
        subprocess.run(["bsdtar", "-x", "-f", zip_path, "-C", out], check=True)
    took = time.monotonic() - t0
    shutil.rmtree(out, ignore_errors=True)
    return took


def installer_run(env, exe, prefix, timeout=300):
    target = os.path.join(prefix, "drive_c", "Program Files (x86)", "VeltaraClient")
    shutil.rmtree(target, ignore_errors=True)
    # Completion makes the desktop shortcut at once (and the finish page): the creation of the shell link
    # object is the moment the installation is done.
    proc = start(env, exe, ["ole"])
    watch = TraceWatch(proc, {"done": r"trace:ole:CoCreateInstance \{00021401-0000-0000-c000-000000000046\}"})
    try:
        win = InstallerWindow.find(SKIN, 30, classname=os.path.basename(exe).lower(), alive=lambda: proc.poll() is None)
        if win is None or not win.wait_page("welcome", "/tmp/bench-install-welcome.png", 15):
            raise RuntimeError("the installer window did not show its welcome page")
        time.sleep(0.3)
        t0 = time.monotonic()
        win.click("Btn_Install")
        t1 = watch.wait("done", timeout)
        if t1 is None:
            raise RuntimeError("the installation did not finish")
        elapsed = t1 - t0
        if not win.wait_page("finish", "/tmp/bench-install-finish.png", 10):
            raise RuntimeError("the installer did not show its finish page")
        peak = peak_rss_mb(proc.pid)
        return elapsed, peak
    finally:
        stop(proc)
        shutil.rmtree(target, ignore_errors=True)


def bare_peak_mb(env, client):
    """Peak memory of the sample client (a bare Win32 window program) started the same way, once it painted."""
    proc = start(env, client, ["text"])
    watch = TraceWatch(proc, {"paint": r"DrawTextExW"})
    try:
        if watch.wait("paint", 30) is None:
            return None
        time.sleep(0.5)
        return peak_rss_mb(proc.pid)
    finally:
        stop(proc)


def ensure_package(work, client, size):
    """The benchmark's package of about size bytes (made once, kept for later runs)."""
    www = os.path.join(work, "www-%d" % size)
    package = os.path.join(www, "veltaragame", "client", "VeltaraClient.zip")
    if not os.path.exists(package):
        stage = os.path.join(work, "stage")
        shutil.rmtree(stage, ignore_errors=True)
        os.makedirs(stage)
        shutil.copy(client, stage)
        print("bench: making a %.0f MB package" % (size / 1e6), flush=True)
        make_package([stage], package, size=size, seed=11)
    return www, package


def ratio(a, b):
    return a / b if a and b else float("nan")


def bench_size(env, opts, installer, prefix, work, size, bare_peak):
    www, package = ensure_package(work, opts.client, size)
    size_mb = os.path.getsize(package) / MB
    with NginxServer(www, os.path.join(work, "nginx"), port=80):
        base = [curl_fetch(work, "unzip") for _ in range(opts.repeat)]
        runs = [installer_run(env, installer, prefix) for _ in range(opts.repeat)]
    best_base, best_inst = min(base), min(r[0] for r in runs)
    peak = max(r[1] or 0 for r in runs)
    print("== install of a %.1f MB package from nginx on 127.0.0.1, uncapped (best of %d)" % (size_mb, opts.repeat))
    print("  curl + unzip          %7.2f s (runs %s)" % (best_base, ", ".join("%.2f" % t for t in base)))
    print("  installer             %7.2f s (runs %s)" % (best_inst, ", ".join("%.2f" % r[0] for r in runs)))
    print("  ratio installer/curl+unzip: best %.2f, median %.2f" %
          (best_inst / best_base, statistics.median(r[0] for r in runs) / statistics.median(base)))
    if opts.compare:
        # Another build of the installer (e.g. the one before a change), same package, same server, same run.
        with NginxServer(www, os.path.join(work, "nginx"), port=80):
            other = [installer_run(env, opts.compare, prefix) for _ in range(opts.repeat)]
        best_other = min(r[0] for r in other)
        print("  compared installer    %7.2f s (runs %s), peak %.1f MB: this one takes %.2f of its time" %
              (best_other, ", ".join("%.2f" % r[0] for r in other), max(r[1] or 0 for r in other),
               best_inst / best_other))
    if bare_peak:
        limit = bare_peak + 64
        print("== peak memory of the installer's process, %.1f MB package" % size_mb)
        print("  %.1f MB against the bare sample client's %.1f MB + 64 = %.1f MB: ratio %.2f (goal 1.0 or less)" %
              (peak, bare_peak, limit, peak / limit))
    return www


def bench_capped(env, opts, installer, prefix, work, www, rate):
    with NginxServer(www, os.path.join(work, "nginx"), port=80, limit_rate=rate):
        base = [curl_fetch(work, None) for _ in range(opts.repeat)]
        runs = [installer_run(env, installer, prefix) for _ in range(opts.repeat)]
    best_base, best_inst = min(base), min(r[0] for r in runs)
    print("== install with nginx capped at %s/s, against curl downloading alone at the same cap (best of %d)" %
          (rate, opts.repeat))
    print("  curl                  %7.2f s (runs %s)" % (best_base, ", ".join("%.2f" % t for t in base)))
    print("  installer             %7.2f s (runs %s)" % (best_inst, ", ".join("%.2f" % r[0] for r in runs)))
    print("  ratio installer/curl: %.2f (the download and the unpacking follow each other)" % (best_inst / best_base))


def bench_big(env, opts, installer, prefix, work):
    www, package = ensure_package(work, opts.client, opts.big)
    size_mb = os.path.getsize(package) / MB
    with NginxServer(www, os.path.join(work, "nginx"), port=80):
        base = curl_fetch(work, "bsdtar")
        inst = installer_run(env, installer, prefix, timeout=1800)[0]
    print("== install of a %.1f MB package (beyond 4 GiB, zip64), once" % size_mb)
    print("  curl + bsdtar         %7.2f s" % base)
    print("  installer             %7.2f s" % inst)
    print("  ratio installer/curl+bsdtar: %.2f" % (inst / base))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--client", required=True, help="the sample client (VeltaraClient.exe) of the build")
    ap.add_argument("--sizes", default="200m,1g", help="package sizes, comma-separated (the first is also capped)")
    ap.add_argument("--cap", default="125m", help="nginx limit_rate for the capped run; 0 skips it")
    ap.add_argument("--big", type=parse_size, default=0, help="also install one package of this size (e.g. 4.5g)")
    ap.add_argument("--compare", help="another installer build (no package hash check) to time the same way")
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--startup-only", action="store_true")
    opts = ap.parse_args()
    build = os.path.abspath(opts.build)
    installer = os.path.join(build, "app", "VeltaraSetup.exe")
    work = os.path.join(build, "bench-install")
    os.makedirs(work, exist_ok=True)
    if opts.startup_only:
        return startup(wine_env(build), build, installer, opts)
    env = wine_env(build)
    os.environ["DISPLAY"] = env["DISPLAY"]  # xdotool and import work on the Wine display
    prefix = env["WINEPREFIX"]
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    bare_peak = bare_peak_mb(env, opts.client)
    first_www = None
    for size in [parse_size(t) for t in opts.sizes.split(",") if t]:
        www = bench_size(env, opts, installer, prefix, work, size, bare_peak)
        first_www = first_www or www
    if bare_peak is None:
        print("  peak memory not compared: the bare sample client showed no paint")
    if first_www and opts.cap not in ("", "0"):
        bench_capped(env, opts, installer, prefix, work, first_www, opts.cap)
    if opts.big:
        bench_big(env, opts, installer, prefix, work)
    return startup(env, build, installer, opts)


def scaled_env(build, dpi):
    """The Wine environment of the build's prefix at another display scale, made and set on first use."""
    os.makedirs(os.path.join(build, "dpi"), exist_ok=True)
    env = wine_env(os.path.join(build, "dpi"))
    for key in (r"HKCU\Control Panel\Desktop",
                r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts"):
        subprocess.run(["wine", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return env


def compare(title, what, base, measured, goal):
    """Prints a measured time against its baseline: what names (baseline, measured, ratio)."""
    print("== %s" % title)
    if base is None or measured is None:
        print("  not measured: no paint seen (%s %r, %s %r)" % (what[0], base, what[1], measured))
        return
    print("  %-21s %7.3f s" % (what[0], base))
    print("  %-21s %7.3f s" % (what[1], measured))
    print("  ratio %s: %.2f (goal %.1f or less)" % (what[2], measured / base, goal))


def startup(env, build, installer, opts):
    bare = first_paint(env, opts.client, r"DrawTextExW", ["text"], opts.repeat)
    inst = first_paint(env, installer, r"NtGdiStretchBlt .*dst \S+ log=-?\d+,-?\d+ 600x400", ["bitblt"], opts.repeat)
    compare("start to first painted frame (median of %d)" % opts.repeat,
            ("bare Win32 window", "installer", "installer/bare"), bare, inst, 2.0)
    env200 = scaled_env(build, 192)
    inst200 = first_paint(env200, installer, r"NtGdiStretchBlt .*dst \S+ log=-?\d+,-?\d+ 1200x800", ["bitblt"],
                          opts.repeat)
    compare("start to first painted frame at 200 %% against 100 %% (median of %d)" % opts.repeat,
            ("installer at 100 %", "installer at 200 %", "200 %/100 %"), inst, inst200, 1.5)
    return 0


if __name__ == "__main__":
    sys.exit(main())
