#!/usr/bin/env python3
"""End-to-end tests of the installer: the real program under Wine, real clicks through xdotool, real servers.

Usage: run_e2e.py --build BUILD --installer VeltaraSetup.exe --unchecked-installer VeltaraSetupUnchecked.exe
                  --unregistered-installer VeltaraSetupUnregistered.exe --probe e2e_probe.exe
                  --package VeltaraClient.zip --hash-mode MODE [--register-uninstall ON|OFF] [--version V]
                  [--publisher P] [--only GROUP[,GROUP...]]
MODE is the build's VELTARA_PACKAGE_SHA256 ("demo", empty or a hash): the wrong-hash row needs a checking build.
The unchecked installer is the same program without the package hash check; it is used where a damaged package
must reach the unpacking (a checking build refuses it before). The unregistered installer is the same program as
a build with VELTARA_REGISTER_UNINSTALL off; --register-uninstall, --version and --publisher are the build's
settings, which the Apps & Features entry must show.
Groups: happy, target, space, server, unwritable, close, damaged, reinstall, locked, retry, resume, https,
second, preflight, locale, register, uninstall, log. The https group needs --trust-tool (trust_test_ca.exe, which
adds the tests' throw-away certificate authority to the build tree's Wine prefix only).
Each group is one behaviour with a table of cases; the exit code is 0 when no case failed (skipped cases say
why).
The locale group runs the installer under other ANSI code pages (English 1252, Japanese 932, Traditional
Chinese 950) and compares it with the zh_CN run.

How the window is read:
- The texts it shows are taken from what it paints: the installer runs with Wine's text trace
  (WINEDEBUG=trace+text), which logs every DrawText call with its text and rectangle. A text counts as shown
  in a control when its rectangle lies inside that control's rectangle (computed from skin.xml).
- Colours and pages come from screenshots: red text is counted in the control's rectangle, and the page is the
  skin background closest to the screenshot (tools/installer_driver.py). Screenshots of every page and
  failure state are kept as BUILD/screenshots/e2e-<case>-<state>.png (e2e-<case>-<state>@<dpi>.png with --dpi).
Port 80 is claimed first (tools/nginx/port_owner.py): a stranger there fails every group at once, naming the port.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

from e2e_support import *  # noqa: F401,F403  (the texts, Run, Context and the checks; it sets the tools' path)
from fault_server import FaultServer  # noqa: E402
from make_package import make_package  # noqa: E402
from port_owner import PortTakenError, claim_port  # noqa: E402
from test_ca import ensure_test_ca, trust_in_prefix  # noqa: E402


# --- the behaviours -------------------------------------------------------------------------------------------
def group_happy(ctx):
    """Typed folder, Install, progress with percent and speed, finish, Start: the client runs from the folder."""
    rows = [("happy", "install")]  # (case, folder name below the work folder)
    if not ctx.installable:
        yield "happy", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    for case, folder_name in rows:
        ctx.clean_outputs()
        folder = ctx.fresh_folder(folder_name)
        # About three seconds of download, so that the speed line (once a second) shows.
        size = os.path.getsize(ctx.package)
        with nginx(ctx, package_root(ctx), limit_rate=str(max(size // 3, 1024))):
            run = Run(ctx, case)
            try:
                run.shot("welcome")
                run.open_panel()
                mark = run.type_folder(win_path(folder))
                free = run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark)
                check(free is not None, "no space line for the typed folder")
                shot = run.shot("folder")
                check(run.red_pixels("Txt_ShowMsg", shot, panel_open=True) == 0, "the space line is red")
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                check(run.win.wait_page("progress", run.shot_path("progress"), 10, run.alive), "no progress page")
                speed = run.wait_text("Txt_Error", lambda t: t.startswith(SPEED_PREFIX) and t.endswith("/s"), 10,
                                      mark)
                check(speed is not None, "no speed line during the download")
                run.shot("progress")
                check(run.win.wait_page("finish", run.shot_path("finish"), 30, run.alive), "no finish page")
                time.sleep(0.3)
                run.shot("finish")
                shown = [percent(t) for t in run.trace.texts_in(run.geo.rects["Txt_Status"], mark)]
                shown = [p for p in shown if p is not None]
                check(any(0 < p < 90 for p in shown), "no download percentage between 0 and 90: %s" % shown[:20])
                # The finish page replaces the progress page in the same step that sets 100%, so the last
                # percentage painted is one of unpacking's.
                check(shown and shown[-1] >= 90, "the percentage did not reach unpacking: %s" % shown[-5:])
                check(shown == sorted(shown), "the percentage went backwards: %s" % shown)
                run.win.click("Btn_Start")
                rc = run.wait_exit(15)
                check(run.ended_cleanly(rc), "the installer ended with %r after Start" % rc)
            finally:
                run.stop()
        client = os.path.join(folder, "VeltaraClient")
        check_installed(folder, ctx.package)
        check(os.listdir(folder) == ["VeltaraClient"], "beside the client folder: %s" % os.listdir(folder))
        deadline = time.monotonic() + 10
        while not os.path.exists(run.record) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(run.record), "the client did not start")
        with open(run.record, encoding="utf-8") as f:
            record = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
        check(record.get("cwd", "").lower() == win_path(client).lower(),
              "the client's working folder is %r" % record.get("cwd"))
        check(record.get("exe", "").lower() == win_path(os.path.join(client, "VeltaraClient.exe")).lower(),
              "the started program is %r" % record.get("exe"))
        check(os.path.exists(ctx.link), "no Veltara.lnk on the desktop (%s)" % ctx.desktop)
        rc, link = ctx.probe_run("link", ctx.link_win)
        check(rc == 0, "the shortcut cannot be read")
        check(link.get("target", "").lower() == (win_path(client) + "\\VeltaraClient.exe").lower(),
              "the shortcut points at %r" % link.get("target"))
        check(link.get("workdir", "").lower() == win_path(client).lower(),
              "the shortcut's working folder is %r" % link.get("workdir"))
        yield case, None


def group_target(ctx):
    """A typed folder is checked when the field loses focus; a bad one shows red text and Install only opens."""
    existing = ctx.fresh_folder("target-ok")
    rows = [
        # case, typed text, expected text (None: the space line), red
        ("target-existing", win_path(existing), None, False),
        ("target-missing", win_path(os.path.join(ctx.work, "no-such-folder")), BAD_PATH, True),
        ("target-short", "C:", BAD_PATH, True),
        ("target-file", win_path(ctx.package), BAD_PATH, True),
    ]
    with nginx(ctx, package_root(ctx)):
        for case, typed, want, red in rows:
            ctx.clean_outputs()
            run = Run(ctx, case)
            try:
                run.open_panel()
                mark = run.type_folder(typed)
                got = run.checked_text("Txt_ShowMsg", lambda t: t == BAD_PATH or t.startswith("所需空间"), mark)
                shot = run.shot("checked")
                if want is None:
                    check(got is not None and got.startswith("所需空间"), "%s: shown %r" % (case, got))
                else:
                    check(got == want, "%s: shown %r, expected %r" % (case, got, want))
                reds = run.red_pixels("Txt_ShowMsg", shot, panel_open=True)
                check((reds > 20) == red, "%s: %d red pixels in the message" % (case, reds))
                if red:
                    before = requests_seen(ctx)
                    run.win.click("Btn_Install")
                    time.sleep(1.5)
                    run.shot("install-refused")
                    check(run.win.page(run.shot_path("install-refused")) == "welcome", "%s: page changed" % case)
                    check(requests_seen(ctx) == before, "%s: Install downloaded anyway" % case)
                check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
            finally:
                run.stop()
            yield case, None


def group_space(ctx):
    """A small fixed drive of its own: the space line in red with its GB figure; Install only opens the panel."""
    mount = os.path.join(ctx.work, "small-drive")
    os.makedirs(mount, exist_ok=True)
    drive = os.path.join(ctx.prefix, "dosdevices", "s:")
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=100m", "tmpfs", mount], stderr=subprocess.PIPE,
                       text=True)
    if r.returncode != 0:
        yield "space-small-drive", "cannot mount a small tmpfs here (%s)" % r.stderr.strip()
        return
    try:
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(mount, drive)
        rc, info = ctx.probe_run("drive", "S:\\")
        if rc != 0 or info.get("type") != "3":
            yield "space-small-drive", "S: is not reported as a fixed disk (%r)" % info
            return
        free_mb = int(info["free_mb"])
        with nginx(ctx, package_root(ctx)):
            for case, typed in [("space-small-drive", "S:\\")]:
                run = Run(ctx, case)
                try:
                    before = requests_seen(ctx)
                    run.open_panel()
                    mark = run.type_folder(typed)
                    got = run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark)
                    shot = run.shot("checked")
                    check(got == SPACE_LINE % (free_mb / 1024.0), "shown %r with %d MB free" % (got, free_mb))
                    check(run.red_pixels("Txt_ShowMsg", shot, panel_open=True) > 20, "the space line is not red")
                    run.win.click("Btn_Install")
                    time.sleep(1.5)
                    run.shot("install-refused")
                    check(run.win.page(run.shot_path("install-refused")) == "welcome", "the page changed")
                    check(requests_seen(ctx) == before, "Install downloaded anyway")
                    check(run.ended_cleanly(run.close_window()), "closing did not end the installer cleanly")
                finally:
                    run.stop()
                yield case, None
    finally:
        if os.path.lexists(drive):
            os.remove(drive)
        subprocess.run(["umount", mount])


def _failure_run(ctx, case, serve, want_text):
    """Install against a failing server: the failure text and the retry button show and nothing is installed."""
    ctx.clean_outputs()
    with serve():
        run = Run(ctx, case)
        try:
            mark = run.trace.mark()
            run.win.click("Btn_Install")
            got = run.failure(mark, 30)
            run.shot("failed")
            check(got == want_text, "%s: status line %r, expected %r" % (case, got, want_text))
            time.sleep(0.5)
            check(not os.path.exists(ctx.default_target), "%s: something was installed" % case)
            check(not os.path.lexists(ctx.link), "%s: a shortcut was made" % case)
            check(run.win.page(run.shot("failed")) == "progress", "%s: left the progress page" % case)
            check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
        finally:
            run.stop()


class _NoServer:
    def __enter__(self):
        claim_port(80)

    def __exit__(self, *exc):
        pass


def group_server(ctx):
    """Server failures: the connection-failure text; a package with the wrong hash: its own text; nothing
    installed, the retry button offered."""
    def fault(mode):
        def serve():
            claim_port(80)
            return FaultServer(ports=[80], rewrites={PACKAGE_PATH: mode})
        return serve

    rows = [
        ("server-none", _NoServer, CONNECT_FAILED),
        ("server-drop", fault("/drop"), CONNECT_FAILED),
        ("server-404", fault("/404/2000"), CONNECT_FAILED),
        ("server-cut", fault("/cut/400000/150000"), CONNECT_FAILED),
        # Bytes that are not the package: refused by the hash, or found to be no archive without one.
        ("server-gzip", fault("/gzip/300000"), PACKAGE_REFUSED),
    ]
    if ctx.hash_mode:
        other = os.path.join(ctx.work, "other-www", "veltaragame", "client", "VeltaraClient.zip")
        stage = ctx.fresh_folder("other-client")
        with open(os.path.join(stage, "VeltaraClient.exe"), "wb") as f:
            f.write(b"MZ not the client this installer was built for")
        make_package([stage], other, size=300000, seed=7)
        rows.append(("server-wrong-hash", lambda: nginx(ctx, os.path.join(ctx.work, "other-www")), PACKAGE_REFUSED))
    else:
        yield "server-wrong-hash", "this build checks no hash (VELTARA_PACKAGE_SHA256 is empty)"
    for case, serve, want in rows:
        _failure_run(ctx, case, serve, want)
        yield case, None


def group_unwritable(ctx):
    """An install folder that cannot be written: the install-failure text, no shortcut, no finish page."""
    if not ctx.installable:
        yield "unwritable", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    mount = os.path.join(ctx.work, "read-only")
    os.makedirs(mount, exist_ok=True)
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=400m,ro", "tmpfs", mount], stderr=subprocess.PIPE,
                       text=True)
    if r.returncode != 0:
        yield "unwritable", "cannot mount a read-only tmpfs here (%s)" % r.stderr.strip()
        return
    try:
        ctx.clean_outputs()
        with nginx(ctx, package_root(ctx)):
            run = Run(ctx, "unwritable")
            try:
                run.open_panel()
                mark = run.type_folder(win_path(mount))
                check(run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark),
                      "the read-only folder did not pass the space check")
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                got = run.failure(mark, 30)
                run.shot("failed")
                check(got == INSTALL_FAILED, "status line %r" % got)
                time.sleep(0.5)
                check(run.win.page(run.shot("failed")) == "progress", "left the progress page")
                check(not os.path.lexists(ctx.link), "a shortcut was made")
                check(run.ended_cleanly(run.close_window()), "closing did not end the installer cleanly")
            finally:
                run.stop()
        yield "unwritable", None
    finally:
        subprocess.run(["umount", mount])


def group_close(ctx):
    """Closing while downloading or unpacking asks first; confirmed, the installer ends cleanly (exit code 0)
    and leaves nothing behind; declined, the installation goes on to the finish page. A log-off while
    unpacking has rolled back by the time WM_ENDSESSION returns."""
    size = os.path.getsize(ctx.package)
    rows = [
        # case, nginx rate, when to close: a predicate on the percentage shown, the answer ("logoff": the
        # log-off messages instead of a close)
        ("close-downloading", str(max(size // 8, 1024)), lambda p: 0 < p < 90, "y"),
        ("close-unpacking", "0", lambda p: 90 <= p < 100, "y"),
        ("close-declined", str(max(size // 4, 1024)), lambda p: 0 < p < 90, "n"),
        ("logoff-unpacking", "0", lambda p: 90 <= p < 100, "logoff"),
    ]
    if not ctx.installable:
        yield "close", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    target_parent = os.path.dirname(ctx.default_target)
    for case, rate, when, answer in rows:
        ctx.clean_outputs()
        with nginx(ctx, package_root(ctx), limit_rate=rate):
            run = Run(ctx, case)
            try:
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                hit = run.wait_text("Txt_Status", lambda t: percent(t) is not None and when(percent(t)), 30, mark)
                if hit is None:
                    shown = [t for t in run.trace.texts_in(run.geo.rects["Txt_Status"], mark)]
                    run.stop()
                    yield case, "the moment to close did not show (percentages %s)" % shown[-5:]
                    continue
                run.shot("closing")
                if answer == "logoff":
                    mark = run.trace.mark()
                    rc, ended = ctx.probe_run("endsession", "MainWnd")
                    check(rc == 0 and ended.get("query") == "1", "%s: the log-off was refused (%r)" % (case, ended))
                    # Windows may end the process as soon as WM_ENDSESSION returns: nothing may be left now.
                    check(not os.path.exists(ctx.default_target), "%s: a client folder was left" % case)
                    check(not leftovers(target_parent), "%s: left %s" % (case, leftovers(target_parent)))
                    check(run.wait_text("Txt_Error", lambda t: t == INTERRUPTED, 5, mark) is not None,
                          "%s: the window does not say the installation was interrupted" % case)
                    run.shot("logged-off")
                    run.win.click("closebtn")
                else:
                    run.confirm_close(answer)
                if answer == "n":
                    check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive),
                          "%s: the installation did not go on to the finish page" % case)
                    check_installed(os.path.dirname(ctx.default_target), ctx.package)
                    run.win.click("Btn_Finish")
                rc = run.wait_exit(30)
                check(run.ended_cleanly(rc), "%s: the installer ended with %r (closed at %s)" % (case, rc, hit))
            finally:
                run.stop()
        if answer != "n":
            check(not os.path.exists(ctx.default_target), "%s: a client folder was left" % case)
            check(not leftovers(target_parent), "%s: left %s" % (case, leftovers(target_parent)))
            check(not os.path.lexists(ctx.link), "%s: a shortcut was made" % case)
        yield case, None


def group_damaged(ctx):
    """A package whose last item is damaged (the unchecked build unpacks it): its text and the retry button;
    no client folder and no shortcut appear, and a failed reinstall leaves the old installation as it was."""
    root = os.path.join(ctx.work, "damaged-www")
    damaged_copy(ctx.package, os.path.join(root, "veltaragame", "client", "VeltaraClient.zip"))
    for case, reinstall in [("damaged-fresh", False), ("damaged-reinstall", True)]:
        ctx.clean_outputs()
        folder = ctx.fresh_folder(case)
        if reinstall:
            install_by_hand(ctx, folder)
        before, link_before = snapshot(folder), link_state(ctx)
        with nginx(ctx, root):
            run = Run(ctx, case, ctx.unchecked)
            try:
                got, mark = run.install_until_failure(folder)
                run.shot("failed")
                check(got == PACKAGE_REFUSED, "%s: status line %r" % (case, got))
                check(snapshot(folder) == before, "%s: the install folder changed" % case)
                check(not leftovers(folder), "%s: left %s" % (case, leftovers(folder)))
                check(link_state(ctx) == link_before, "%s: the shortcut changed" % case)
                check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
            finally:
                run.stop()
        yield case, None


def group_reinstall(ctx):
    """A reinstall keeps the player's changed config/client.ini and a saves/ file, replaces a package file of the
    previous version and removes one the new package no longer has."""
    folder = ctx.fresh_folder("reinstall")
    ctx.clean_outputs()
    install_by_hand(ctx, folder)
    client = os.path.join(folder, "VeltaraClient")
    record_path = os.path.join(client, "VeltaraSetup.record")
    with open(record_path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    # The previous version: another readme.txt, and data/obsolete.txt that the new package no longer has.
    older = {"readme.txt": b"readme of the previous version\r\n", "data/obsolete.txt": b"obsolete\r\n"}
    for name, data in older.items():
        with open(os.path.join(client, name), "wb") as f:
            f.write(data)
        lines = [ln for ln in lines if not ln.endswith(" " + name)]
        lines.append("%s %d %s" % (hashlib.sha256(data).hexdigest(), len(data), name))
    with open(record_path, "w", encoding="utf-8", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    # The player's own changes.
    ini_data = make_player_changes(client)
    with nginx(ctx, package_root(ctx)):
        run = Run(ctx, "reinstall", ctx.installer_for_demo_package())
        try:
            run.install_into(folder)
            run.win.click("Btn_Finish")
            check(run.ended_cleanly(run.wait_exit(15)), "the reinstall did not end cleanly")
        finally:
            run.stop()
    check_installed(folder, ctx.package, {"VeltaraClient/config/client.ini": ini_data,
                                          "VeltaraClient/saves/slot1.sav": b"saved game",
                                          "VeltaraClient/data/obsolete.txt": None})
    check(not leftovers(folder), "left %s" % leftovers(folder))
    yield "reinstall", None


def group_locked(ctx):
    """A file held open by the running client: the message names it, nothing changes; after the client is
    closed, the retry installs without downloading the package again."""
    if not ctx.installable:
        yield "locked", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    folder = ctx.fresh_folder("locked")
    ctx.clean_outputs()
    install_by_hand(ctx, folder)
    client_exe = os.path.join(folder, "VeltaraClient", "VeltaraClient.exe")
    record = os.path.join(ctx.work, "locked.client.txt")
    if os.path.exists(record):
        os.remove(record)
    env = dict(ctx.env, VELTARA_CLIENT_HOLD="readme.txt", VELTARA_CLIENT_RECORD=win_path(record))
    client = subprocess.Popen(["wine", client_exe], env=env, cwd=os.path.dirname(client_exe),
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(record), "the client did not start")
        before = snapshot(folder)
        with nginx(ctx, package_root(ctx)):
            run = Run(ctx, "locked")
            try:
                got, mark = run.install_until_failure(folder)
                run.shot("in-use")
                check(got is not None and got.startswith(FILE_IN_USE), "status line %r" % got)
                after = {k: v for k, v in snapshot(folder).items() if not is_package_file(k)}
                check(after == before, "the installation changed while the client ran")
                requests = requests_seen(ctx)
                rc, closed = ctx.probe_run("close", CLIENT_CLASS)
                check(rc == 0, "the client could not be closed (%r)" % closed)
                client.wait(15)
                run.win.click("Btn_Retry")
                check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive), "the retry did not finish")
                check(requests_seen(ctx) == requests, "the retry downloaded the package again")
                run.win.click("Btn_Finish")
                check(run.ended_cleanly(run.wait_exit(15)), "the installer did not end cleanly")
            finally:
                run.stop()
    finally:
        if client.poll() is None:
            client.kill()
    check_installed(folder, ctx.package)
    check(not [n for n in os.listdir(folder) if is_package_file(n)], "the package file outlived the installer")
    yield "locked", None


def group_retry(ctx):
    """After a server failure the retry button downloads again and installs, without restarting the program."""
    if not ctx.installable:
        yield "retry", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    # case, the server's answer before the retry, requests before the failure shows, requests after the retry.
    # A server that never answers fails at once; a cut body is resumed three times first. The retry then
    # asks for the rest, which a file of another length cannot give: it starts again from the first byte.
    rows = [("retry-drop", "/drop", 1, 1), ("retry-cut", "/cut/400000/150000", 4, 2)]
    for case, mode, before, after in rows:
        ctx.clean_outputs()
        claim_port(80)
        with FaultServer(ports=[80], rewrites={PACKAGE_PATH: mode}, files={"package": ctx.package}) as srv:
            run = Run(ctx, case)
            try:
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                got = run.failure(mark, 30)
                run.shot("failed")
                check(got == CONNECT_FAILED, "%s: status line %r" % (case, got))
                asked = [r for r in srv.requests if PACKAGE_PATH in r.split("\r\n", 1)[0]]
                check(len(asked) == before, "%s: %d requests for the package before the failure" % (case, len(asked)))
                srv.rewrites[PACKAGE_PATH] = "/file/package"
                run.win.click("Btn_Retry")
                check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive),
                      "%s: the retry did not finish" % case)
                asked = [r for r in srv.requests if PACKAGE_PATH in r.split("\r\n", 1)[0]]
                check(len(asked) == before + after, "%s: %d requests for the package" % (case, len(asked)))
                run.win.click("Btn_Finish")
                check(run.ended_cleanly(run.wait_exit(15)), "%s: the installer did not end cleanly" % case)
            finally:
                run.stop()
        check_installed(os.path.dirname(ctx.default_target), ctx.package)
        yield case, None


def group_resume(ctx):
    """A download that drops goes on from its last byte (Range with If-Range) and installs; an answer that
    cannot be joined to the bytes so far (the range ignored, a range from elsewhere or of another length, a 206
    that was not asked for) starts again from the first byte and still installs; a package that changed
    between attempts, or a body longer than its Content-Length, is refused with nothing installed and nothing
    left behind."""
    if not ctx.installable:
        yield "resume", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    size = os.path.getsize(ctx.package)
    rows = [
        # case, answers of the fault server (see /plan), the status line expected (None: the finish page),
        # the most package bytes the server may send (times the package), requests for the package, whether
        # the second one asks for a range
        ("resume-cut", "cut40", None, 1.15, 2, True),
        ("resume-ignored", "cut40/norange", None, 1.45, 2, True),
        ("resume-shifted", "cut40/shift", None, None, 3, True),
        ("resume-other-total", "cut40/total", None, None, 3, True),
        ("resume-unasked-206", "partial", None, None, 2, False),
        ("resume-changed", "cut40/newtag", PACKAGE_REFUSED, None, 3, True),
        ("resume-too-long", "long", PACKAGE_REFUSED, None, 1, False),
    ]
    target_parent = os.path.dirname(ctx.default_target)
    for case, plan, want_text, most, want_requests, ranged in rows:
        ctx.clean_outputs()
        claim_port(80)
        with FaultServer(ports=[80], rewrites={PACKAGE_PATH: "/plan/package/" + plan},
                         files={"package": ctx.package}) as srv:
            run = Run(ctx, case)
            try:
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                if want_text is None:
                    check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive),
                          "%s: the installation did not finish" % case)
                    run.shot("finish")
                else:
                    got = run.failure(mark, 60)
                    run.shot("failed")
                    check(got == want_text, "%s: status line %r, expected %r" % (case, got, want_text))
                    check(not os.path.exists(ctx.default_target), "%s: something was installed" % case)
                    check(not leftovers(target_parent), "%s: left %s" % (case, leftovers(target_parent)))
                asked = [r for r in srv.requests if PACKAGE_PATH in r.split("\r\n", 1)[0]]
                check(len(asked) == want_requests, "%s: %d requests for the package, expected %d" %
                      (case, len(asked), want_requests))
                if len(asked) > 1:
                    second = asked[1].lower()
                    check(("\r\nrange: bytes=" in second) == ranged, "%s: second request %r" % (case, asked[1]))
                    if ranged:
                        check("\r\nif-range: " in second, "%s: a range without If-Range: %r" % (case, asked[1]))
                served = sum(srv.bytes_sent.values())
                if most is not None:
                    check(served <= most * size, "%s: %d bytes served for a package of %d" % (case, served, size))
                if want_text is None:
                    run.win.click("Btn_Finish")
                    check(run.ended_cleanly(run.wait_exit(15)), "%s: the installer did not end cleanly" % case)
                else:
                    check(run.ended_cleanly(run.close_window()), "%s: closing did not end cleanly" % case)
            finally:
                run.stop()
        if want_text is None:
            check_installed(target_parent, ctx.package)
        check(not leftovers(target_parent), "%s: left %s" % (case, leftovers(target_parent)))
        yield case, None


def group_https(ctx):
    """A package host that sends the installer on to https (and so an https host): the download follows the
    redirect, trusts the certificate of an authority that the test prefix trusts, and installs."""
    if not ctx.installable:
        yield "https", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    if not ctx.trust_tool:
        yield "https", "no trust tool given (--trust-tool)"
        return
    ca = ensure_test_ca(ctx.build)
    trust_in_prefix(ca, ctx.trust_tool, ctx.env)
    ctx.clean_outputs()
    access_log = os.path.join(ctx.work, "nginx", "access.log")
    if os.path.exists(access_log):
        os.remove(access_log)
    with NginxServer(package_root(ctx), os.path.join(ctx.work, "nginx"), port=80, access_log=True,
                     tls=(ca.cert, ca.key), redirect="all"):
        run = Run(ctx, "https")
        try:
            run.win.click("Btn_Install")
            check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive),
                  "the installation over https did not finish")
            run.shot("finish")
            run.win.click("Btn_Finish")
            check(run.ended_cleanly(run.wait_exit(15)), "the installer did not end cleanly")
        finally:
            run.stop()
        with open(access_log) as f:
            log = f.read()
    # The plain port answers with the redirect, the TLS port with the package.
    check(re.search(r'" 301 .*\n.*" 200 %d ' % os.path.getsize(ctx.package), log), "no redirect was followed: %r" %
          log[-300:])
    check_installed(os.path.dirname(ctx.default_target), ctx.package)
    yield "https", None


def group_second(ctx):
    """A second installer brings the first one's window back and to the front, and exits with code 2."""
    run = Run(ctx, "second")
    try:
        run.win.click("minbtn")
        deadline = time.monotonic() + 5
        state = {}
        while time.monotonic() < deadline and state.get("iconic") != "1":
            state = ctx.probe_run("window", "MainWnd")[1]
            time.sleep(0.1)
        check(state.get("iconic") == "1", "the window did not minimise (%r)" % state)
        second = subprocess.run(["wine", ctx.installer], env=ctx.env, cwd=ctx.work, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        check(second.returncode == 2, "the second installer ended with %d" % second.returncode)
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            state = ctx.probe_run("window", "MainWnd")[1]
            if state.get("iconic") == "0" and state.get("foreground") == "1":
                break
            time.sleep(0.1)
        check(state.get("visible") == "1" and state.get("iconic") == "0", "the first window is not back (%r)" % state)
        check(state.get("foreground") == "1", "the first window is not in front (%r)" % state)
        check(run.win.wait_page("welcome", run.shot_path("brought-forward"), 10, run.alive), "no welcome page")
        check(run.ended_cleanly(run.close_window()), "closing did not end the first installer cleanly")
    finally:
        run.stop()
    yield "second", None


def _deep_folder(base, length):
    """A folder below base whose Windows path is exactly length characters long."""
    path = base
    while len(win_path(path)) < length:
        room = length - len(win_path(path)) - 1
        path = os.path.join(path, "d" * min(room, 100) if room > 0 else "d")
    os.makedirs(path, exist_ok=True)
    return path


def group_preflight(ctx):
    """A folder too deep for the package's longest path (refused after the download), and a drive smaller
    than the package (refused when the download's answer names its length): a clear message and the retry
    button, before anything is installed; retry goes back to the folder choice."""
    if not ctx.installable:
        yield "preflight", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    names = list(expected_files(ctx.package))
    longest = max(len(n) for n in names)
    # The client's own path fits (the folder check passes it), the longest item's does not.
    base = ctx.fresh_folder("preflight-long-path")
    folder = _deep_folder(base, 260 - longest)
    check(len(win_path(folder)) + len("\\VeltaraClient\\VeltaraClient.exe") < 260, "the test folder is too deep")
    with nginx(ctx, package_root(ctx)):
        run = Run(ctx, "preflight-long-path")
        try:
            run.open_panel()
            mark = run.type_folder(win_path(folder))
            check(run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark), "the folder was refused")
            mark = run.trace.mark()
            run.win.click("Btn_Install")
            got = run.failure(mark)
            run.shot("refused")
            check(got == PATH_TOO_LONG, "status line %r" % got)
            # Only the package file, kept for a retry into another folder, while the installer runs.
            written = [n for n in os.listdir(folder) if not is_package_file(n)]
            check(written == [], "something was written: %s" % written)
            mark = run.trace.mark()
            run.win.click("Btn_Retry")
            check(run.win.wait_page("welcome", run.shot_path("choose-folder"), 10, run.alive),
                  "the retry did not lead back to the folder choice")
            check(run.wait_text("Txt_ShowMsg", lambda t: t == PATH_TOO_LONG, 5, mark, panel_open=True),
                  "the folder line does not say why")
            time.sleep(0.5)
            run.shot("choose-folder")
            check(not [t for t, _r in run.trace.refresh()[mark:] if t in ("我同意", "《Veltara用户协议》")],
                  "the hidden agreement link shows again")
            check(run.ended_cleanly(run.close_window()), "closing did not end the installer cleanly")
        finally:
            run.stop()
    check(os.listdir(folder) == [], "left behind: %s" % os.listdir(folder))
    yield "preflight-long-path", None

    # A small drive of its own: a tmpfs at S:, filled after the folder check until the package cannot fit.
    mount = os.path.join(ctx.work, "preflight-drive")
    os.makedirs(mount, exist_ok=True)
    drive = os.path.join(ctx.prefix, "dosdevices", "s:")
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=200m", "tmpfs", mount], stderr=subprocess.PIPE, text=True)
    if r.returncode != 0:
        yield "preflight-small-drive", "cannot mount a small tmpfs here (%s)" % r.stderr.strip()
        return

    def choose_then_fill(run, leave):
        """Chooses the small drive while it has room (the space line shows), then fills it but for leave
        bytes."""
        run.open_panel()
        mark = run.type_folder("S:\\")
        check(run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark), "no space line")
        st = os.statvfs(mount)
        with open(os.path.join(mount, "filler.bin"), "wb") as f:
            os.posix_fallocate(f.fileno(), 0, st.f_bavail * st.f_frsize - leave)

    try:
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(mount, drive)
        with nginx(ctx, package_root(ctx)):
            run = Run(ctx, "preflight-small-drive")
            try:
                choose_then_fill(run, 1 << 20)
                rc, info = ctx.probe_run("drive", "S:\\")
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                got = run.failure(mark)
                run.shot("refused")
                m = NO_SPACE.fullmatch(got or "")
                check(m is not None, "status line %r" % got)
                # The package itself does not fit: refused as its answer comes, before a byte is stored.
                package_mb = int(os.path.getsize(ctx.package) / 1048576.0 * 10) / 10.0
                check(float(m.group(1)) >= package_mb, "needs %s MB for a package of %.1f MB" %
                      (m.group(1), package_mb))
                check(abs(float(m.group(2)) - int(info["free_mb"])) <= 1, "free %s MB, the drive has %s MB" %
                      (m.group(2), info["free_mb"]))
                check(os.listdir(mount) == ["filler.bin"], "something was written: %s" % os.listdir(mount))
                check(run.ended_cleanly(run.close_window()), "closing did not end the installer cleanly")
            finally:
                run.stop()
        yield "preflight-small-drive", None

        # A body without a length cannot be measured first: the drive fills up while it streams in. The
        # failure names the folder and the space, and the package file is gone at once.
        os.remove(os.path.join(mount, "filler.bin"))
        claim_port(80)
        with FaultServer(ports=[80], rewrites={PACKAGE_PATH: "/noclen/8000000"}):
            run = Run(ctx, "full-drive-mid-stream")
            try:
                choose_then_fill(run, 4 << 20)
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                got = run.failure(mark)
                run.shot("drive-full")
                check(got == INSTALL_FAILED, "status line %r" % got)
                check(os.listdir(mount) == ["filler.bin"], "something was left: %s" % os.listdir(mount))
                check(run.ended_cleanly(run.close_window()), "closing did not end the installer cleanly")
            finally:
                run.stop()
        yield "full-drive-mid-stream", None
    finally:
        if os.path.lexists(drive):
            os.remove(drive)
        subprocess.run(["umount", mount])


def differing_pixels(a, b):
    if len(a) != len(b):
        return max(len(a), len(b)) // 3
    return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


def group_locale(ctx):
    """Under the English, Japanese and Traditional Chinese code pages the installer reads and draws as under
    zh_CN: the panel's and the failure's texts pixel for pixel, the window title and the folder dialog's title;
    a typed folder with a character that GBK lacks is refused with the red path text and never becomes another
    folder; the package installs under its exact names."""
    # The character beyond GBK is typed as xdotool types any character the X keyboard lacks: it maps a spare key
    # for that key press only. A key mapped before the installer starts does not work under Wine here: Wine gives
    # it no scan code and no virtual key of its own when it reads the keyboard, and the character never arrives.
    reference = None
    for locale, _codepage in LOCALES:
        case = "locale-%s" % locale.split(".")[0]
        seen = {}  # what this run showed: texts, and pixels of control rectangles
        ctx.clean_outputs()
        with _NoServer():
            run = Run(ctx, case, locale=locale)
            try:
                seen["title"] = run.window_name()
                run.open_panel()
                default_folder = run.last_text("Edt_Path", panel_open=True)
                panel = run.win.panel.rects
                left, top, right, _bottom = panel["Hor_Custom"]
                above_line = (left, top, right, panel["Txt_ShowMsg"][1])  # label, path field, Change button
                time.sleep(0.5)
                shot = run.shot("panel")
                label = [t for t in run.trace.texts_in(panel["Hor_Custom"]) if t == PATH_LABEL]
                check(label, "%s: the path label is not drawn as %r" % (case, PATH_LABEL))
                check(CHANGE_BUTTON in run.trace.texts_in(panel["Btn_Change"]),
                      "%s: the Change button is not drawn as %r" % (case, CHANGE_BUTTON))
                line = run.last_text("Txt_ShowMsg", panel_open=True)
                check(line is not None and re.fullmatch(r"所需空间：150MB，可用空间：\d+\.\dGB", line),
                      "%s: the space line reads %r" % (case, line))
                seen["space line"] = line
                seen["panel"] = run.pixels(above_line, shot)
                seen["space line pixels"] = run.pixels(panel["Txt_ShowMsg"], shot)

                # The folder dialog shows its title as given.
                mark = run.trace.mark()
                run.win.click("Btn_Change", panel_open=True)
                deadline = time.monotonic() + 15
                while time.monotonic() < deadline and FOLDER_DIALOG_TITLE not in [t for t, _r in
                                                                                   run.trace.refresh()[mark:]]:
                    time.sleep(0.1)
                subprocess.run(["/usr/bin/import", "-window", "root", run.shot_path("folder-dialog")])
                check(FOLDER_DIALOG_TITLE in [t for t, _r in run.trace.refresh()[mark:]],
                      "%s: the folder dialog's title is not drawn as %r" % (case, FOLDER_DIALOG_TITLE))
                run.win.key("Escape")
                time.sleep(1.0)

                # A folder GBK lacks a character of: refused, and the path field shows it with '?' for that
                # character, never a look-alike.
                # Under load the X keyboard now and then loses the key of a character outside its layout before
                # Wine sees it ("C:\\Ao"): typed again, more slowly. A look-alike ("C:\\Ano") is never retried.
                for delay_ms in (150, 300, 600):
                    mark = run.type_folder(BEYOND_GBK_FOLDER, delay_ms=delay_ms)
                    got = run.checked_text("Txt_ShowMsg", lambda t: t == BAD_PATH or t.startswith("所需空间"), mark)
                    typed = run.last_text("Edt_Path", mark, panel_open=True)
                    if typed != "C:\\Ao":
                        break
                    print("note %s: the X keyboard lost the key of %r; typed again" % (case, BEYOND_GBK_FOLDER[-2]),
                          flush=True)
                check(typed == "C:\\A?o", "%s: the path field shows %r" % (case, typed))
                check(got == BAD_PATH, "%s: typed %r, shown %r" % (case, BEYOND_GBK_FOLDER, got))
                time.sleep(1.0)  # the Change button's fade ends
                shot = run.shot("beyond-gbk")
                check(run.red_pixels("Txt_ShowMsg", shot, panel_open=True) > 20, "%s: the path text is not red" % case)
                seen["refused panel"] = run.pixels(panel["Hor_Custom"], shot)
                run.win.click("Btn_Install")
                time.sleep(1.0)
                check(run.win.page(run.shot("install-refused")) == "welcome", "%s: Install left the page" % case)

                # The default folder again, Install, and no server: the failure text.
                mark = run.type_folder(default_folder)
                check(run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark),
                      "%s: the default folder did not pass again" % case)
                mark = run.trace.mark()
                run.win.click("Btn_Install")
                got = run.wait_text("Txt_Error", lambda t: t in (CONNECT_FAILED, INSTALL_FAILED), 30, mark)
                check(got == CONNECT_FAILED, "%s: status line %r" % (case, got))
                time.sleep(0.5)
                shot = run.shot("failed")
                seen["failure"] = run.pixels(run.geo.rects["Txt_Error"], shot)
                check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
            finally:
                run.stop()
        if reference is None:
            reference = seen
            yield case, None
            continue
        check(seen["title"] == reference["title"], "%s: the window title reads %r, under zh_CN %r" %
              (case, seen["title"], reference["title"]))
        pairs = [("panel", "panel"), ("refused panel", "refused panel"), ("failure", "failure")]
        if seen["space line"] == reference["space line"]:
            pairs.append(("space line pixels", "space line pixels"))
        else:  # the free space changed between the runs: the text was checked above
            print("note %s: free space changed since the zh_CN run (%r, %r); space line compared as text" %
                  (case, reference["space line"], seen["space line"]), flush=True)
        for what, key in pairs:
            n = differing_pixels(seen[key], reference[key])
            check(n == 0, "%s: %s: %d pixels differ from the zh_CN run" % (case, what, n))
        yield case, None

    if not ctx.installable:
        yield "locale-names", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    with zipfile.ZipFile(ctx.package) as zf:
        missing = [n for n in NAMES_BEYOND_ACP if n not in zf.namelist()]
    check(not missing, "the demo package lacks %s (tools/sample-client/names)" % missing)
    for locale, _codepage in LOCALES:
        case = "locale-names-%s" % locale.split(".")[0]
        ctx.clean_outputs()
        folder = ctx.fresh_folder(case)
        with nginx(ctx, package_root(ctx)):
            run = Run(ctx, case, locale=locale)
            try:
                run.open_panel()
                mark = run.type_folder(win_path(folder))
                check(run.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark),
                      "%s: the folder did not pass" % case)
                run.win.click("Btn_Install")
                check(run.win.wait_page("finish", run.shot_path("finish"), 60, run.alive), "%s: no finish page" % case)
                check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
            finally:
                run.stop()
        check_installed(folder, ctx.package)
        yield case, None


def group_register(ctx):
    """With the setting on, an installation writes its Apps & Features entry (and nothing else to the registry)
    with the right values and puts the uninstaller in the client folder; with the setting off, the registry is as
    it was. Either way the shortcut lands on the desktop user's desktop with a Start menu entry beside it, the
    client is started on Start, and the log says for which account and by which path (under Wine no desktop
    shell runs: the installer's own account, started directly)."""
    if not ctx.installable:
        yield "register", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    for case, installer, registers in [("register-on", ctx.installer, True),
                                       ("register-off", ctx.unregistered, False)]:
        if registers and not Build.registers:
            yield case, "this build does not register installations (VELTARA_REGISTER_UNINSTALL is off)"
            continue
        ctx.clean_outputs()
        reg_delete(ctx, UNINSTALL_KEY)
        folder = ctx.fresh_folder(case)
        client = os.path.join(folder, "VeltaraClient")
        before = registry_export(ctx, case + "-before")
        started = time.time()
        run = install_and_leave(ctx, case, folder, "Btn_Start", installer)
        changes = registry_changes(before, registry_export(ctx, case + "-after"))
        check_installed(folder, ctx.package, registered=registers)
        if registers:
            # The entry in the 32-bit view, seen from the 64-bit one below Wow6432Node (in a 32-bit prefix both
            # views are one).
            path = UNINSTALL_KEY.split("\\", 1)[1]
            entry32 = ("/reg:32[HKEY_LOCAL_MACHINE\\%s]" % path).lower()
            allowed = {entry32, ("/reg:64[HKEY_LOCAL_MACHINE\\%s]" % path).lower(),
                       ("/reg:64[HKEY_LOCAL_MACHINE\\%s]" % path.replace("Software\\", "Software\\Wow6432Node\\", 1)).lower()}
            lowered = {c.lower() for c in changes}
            check(entry32 in lowered and lowered <= allowed, "%s: registry changes %s" % (case, changes[:5]))
            values = reg_values(ctx, UNINSTALL_KEY)
            check(values is not None, "%s: no key %s" % (case, UNINSTALL_KEY))
            client_win = win_path(client)
            want = {"DisplayName": "Veltara", "DisplayIcon": client_win + "\\VeltaraClient.exe,0",
                    "Publisher": ctx.publisher, "DisplayVersion": ctx.version, "InstallLocation": client_win,
                    "UninstallString": '"%s\\%s" /uninstall' % (client_win, UNINSTALLER), "NoModify": 1,
                    "NoRepair": 1, "VeltaraDesktopShortcut": ctx.link_win,
                    "VeltaraStartMenuShortcut": ctx.start_menu_link_win}
            for name, value in want.items():
                got = values.get(name)
                same = got.lower() == value.lower() if isinstance(value, str) and isinstance(got, str) else got == value
                check(same, "%s: %s is %r, expected %r" % (case, name, got, value))
            # The size of the client folder's files when the entry was written (the log's copy came after).
            sizes = {n: os.path.getsize(p) for n, p in installed_files(client).items()}
            total_kb = (sum(sizes.values()) - sizes[LOG_COPY] + 1023) // 1024
            check(values.get("EstimatedSize") == total_kb, "%s: EstimatedSize %r KB, the files take %d KB" %
                  (case, values.get("EstimatedSize"), total_kb))
        else:
            check(not changes, "%s: the registry changed: %s" % (case, changes[:5]))
        check_link(ctx, ctx.link, ctx.link_win, client)
        check_link(ctx, ctx.start_menu_link, ctx.start_menu_link_win, client)
        deadline = time.monotonic() + 10
        while not os.path.exists(run.record) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(run.record), "%s: the client did not start" % case)
        log = read_log(newest_log(ctx, "VeltaraSetup", started))
        for want in ["Apps & Features registration: %s" % ("on" if registers else "off"),
                     "shortcuts: for no desktop shell runs; the installer's own account",
                     "client started directly (no desktop shell runs: started directly, with the installer's rights)"]:
            check(want in log, "%s: the log does not say %r" % (case, want))
        yield case, None


def group_uninstall(ctx):
    """The uninstaller, started as Apps & Features starts the entry's uninstall string, asks first. Confirmed, it
    removes the package's unchanged files, the installer's own files, the emptied folders, both shortcuts and the
    entry, keeps a changed config/client.ini and a saves/ file and says which folder holds them. Declined, or
    with a file held open by the running client (a message names it), nothing changes."""
    if not Build.registers:
        yield "uninstall", "this build does not register installations (VELTARA_REGISTER_UNINSTALL is off)"
        return
    if not ctx.installable:
        yield "uninstall", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    rows = [
        # case, the answer to the question, a file the running client holds, what the last message says
        ("uninstall", "y", None, "您修改过的文件和您自己的文件仍保留在以下文件夹中："),
        ("uninstall-declined", "n", None, None),
        ("uninstall-in-use", "y", "readme.txt", "文件被占用：readme.txt"),
    ]
    for case, answer, held, message in rows:
        ctx.clean_outputs()
        reg_delete(ctx, UNINSTALL_KEY)
        folder = ctx.fresh_folder(case)
        client = os.path.join(folder, "VeltaraClient")
        install_and_leave(ctx, case, folder, "Btn_Finish")
        ini_data = make_player_changes(client)
        command = reg_values(ctx, UNINSTALL_KEY).get("UninstallString")
        with client_holding(ctx, client, held, case):
            try:
                before, links_before, entry_before = snapshot(folder), link_state(ctx), reg_values(ctx, UNINSTALL_KEY)
                trace_path = os.path.join(ctx.work, "%s.trace" % case)
                started = time.time()
                # Output to files, not pipes: under Wine the uninstaller's working copy holds the Unix output of the
                # program that started it until it ends (the trace file then holds the texts its dialogs draw).
                out_path = os.path.join(ctx.work, "%s.out" % case)
                with open(trace_path, "wb") as err, open(out_path, "wb") as out:
                    subprocess.run(["wine", ctx.probe, "run", command], env=dict(ctx.env, WINEDEBUG="-all,trace+text"),
                                   stdout=out, stderr=err, timeout=60)
                with open(out_path, encoding="utf-8", errors="replace") as f:
                    said = f.read()
                check("exit=0" in said, "%s: the uninstall string %r did not start (%s)" % (case, command, said))
                seen = set()
                question = find_dialog(UNINSTALL_TITLE, seen, 20)
                check(question is not None, "%s: the uninstaller asked no question" % case)
                answer_dialog(ctx, question, answer, os.path.join(ctx.shots, "e2e-%s-question.png" % case))
                if message:
                    last = find_dialog(UNINSTALL_TITLE, seen, 30)
                    check(last is not None, "%s: the uninstaller showed no message at the end" % case)
                    drawn = drawn_texts(trace_path, lambda t: message in t, 10)
                    check([t for t in drawn if message in t], "%s: the message does not say %r (drawn: %s)" %
                          (case, message, [t for t in drawn if len(t) > 8][-3:]))
                    if not held:
                        check([t for t in drawn if message in t and win_path(client).lower() in t.lower()],
                              "%s: the message does not name the folder %s" % (case, win_path(client)))
                    answer_dialog(ctx, last, "Return", os.path.join(ctx.shots, "e2e-%s-message.png" % case))
                ended = wait_log_line(ctx, "VeltaraUninstall", started, lambda ln: "uninstall: exit code" in ln, 30)
                check(ended is not None, "%s: the uninstaller did not end" % case)
                want_exit = {"y": 1 if held else 0, "n": 3}[answer]
                check(ended.endswith("exit code %d" % want_exit), "%s: the uninstaller ended with %r" % (case, ended))
            finally:
                dismiss_dialogs(UNINSTALL_TITLE)
        if held or answer == "n":
            check(snapshot(folder) == before, "%s: the installation changed" % case)
            check(link_state(ctx) == links_before and os.path.exists(ctx.start_menu_link),
                  "%s: the shortcuts changed" % case)
            check(reg_values(ctx, UNINSTALL_KEY) == entry_before, "%s: the Apps & Features entry changed" % case)
        else:
            left = sorted(installed_files(client))
            check(left == ["config/client.ini", "saves/slot1.sav"], "%s: left in the client folder: %s" % (case, left))
            check(sorted(os.listdir(client)) == ["config", "saves"], "%s: left folders %s" % (case, os.listdir(client)))
            with open(os.path.join(client, "config", "client.ini"), "rb") as f:
                check(f.read() == ini_data, "%s: the changed config/client.ini was not kept as it was" % case)
            check(not os.path.lexists(ctx.link), "%s: the desktop shortcut is still there" % case)
            check(not os.path.lexists(ctx.start_menu_link), "%s: the Start menu shortcut is still there" % case)
            check(reg_values(ctx, UNINSTALL_KEY) is None, "%s: the Apps & Features entry is still there" % case)
        yield case, None


def group_log(ctx):
    """Every run writes a UTF-8 log in the temporary folder; the failure state says where it is, and the log
    names the system, the folder and its free space, the URL, the server's answer, the bytes received, the hash
    verdict and the failure with its item and Windows error code (or the server's status)."""
    if not ctx.installable:
        yield "log", "this build expects another package than the demo package (VELTARA_PACKAGE_SHA256)"
        return
    size = os.path.getsize(ctx.package)
    common = ["Windows ", "code pages: ANSI 936", " dpi (", "rights: ", "install folder: ", "free: ",
              "GET http://127.0.0.1/veltaragame/client/VeltaraClient.zip from byte 0"]
    rows = [
        # case, server mode (None: nginx with the package), a file the running client holds, lines the log holds
        ("log-in-use", None, "readme.txt",
         ["status 200, Content-Length %d" % size, "received %d bytes" % size,
          "package hash: " + ("not checked" if ctx.hash_mode == "" else "SHA-256 "),
          "FAILED: install: a file to replace is in use; item: readme.txt; error 32"]),
        ("log-404", "/404/2000", None, ["status 404", "body not stored: the status is not a success",
                                        "FAILED: download: no answer, an error status"]),
    ]
    for case, mode, held, lines in rows:
        ctx.clean_outputs()
        folder = ctx.fresh_folder(case)
        if held:
            install_by_hand(ctx, folder)
        if mode is None:
            serve = nginx(ctx, package_root(ctx))
        else:
            claim_port(80)
            serve = FaultServer(ports=[80], rewrites={PACKAGE_PATH: mode})
        with client_holding(ctx, os.path.join(folder, "VeltaraClient"), held, case), serve:
            run = Run(ctx, case)
            try:
                got, mark = run.install_until_failure(folder)
                check(got is not None, "%s: no failure shown" % case)
                shown = run.wait_text("Txt_LogPath", lambda t: t.startswith(LOG_PATH_LINE), 5, mark)
                check(shown is not None, "%s: the failure state does not say where the log is" % case)
                time.sleep(0.5)
                run.shot("failed")
                check(run.ended_cleanly(run.close_window()), "%s: closing did not end the installer cleanly" % case)
            finally:
                run.stop()
        log_path = unix_path(ctx, shown[len(LOG_PATH_LINE):])
        check(os.path.exists(log_path), "%s: the log %s named by the window does not exist" % (case, log_path))
        log = read_log(log_path)
        check("failure shown: %s" % got in log, "%s: the log does not name the failure %r" % (case, got))
        for want in common + lines:
            check(want in log, "%s: the log does not say %r" % (case, want))
        stamps = [ln[:23] for ln in log.splitlines()]
        check(all(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}", t) for t in stamps),
              "%s: a log line without its time" % case)
        yield case, None


GROUPS = {"happy": group_happy, "target": group_target, "space": group_space, "server": group_server,
          "unwritable": group_unwritable, "close": group_close, "damaged": group_damaged,
          "reinstall": group_reinstall, "locked": group_locked, "retry": group_retry, "resume": group_resume,
          "https": group_https, "second": group_second, "preflight": group_preflight, "locale": group_locale,
          "register": group_register, "uninstall": group_uninstall, "log": group_log}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--installer", required=True)
    ap.add_argument("--unchecked-installer", required=True)
    ap.add_argument("--unregistered-installer", required=True)
    ap.add_argument("--register-uninstall", default="OFF")
    ap.add_argument("--version", default="")
    ap.add_argument("--publisher", default="")
    ap.add_argument("--probe", required=True)
    ap.add_argument("--package", required=True)
    ap.add_argument("--hash-mode", default="")
    ap.add_argument("--trust-tool", default="")
    ap.add_argument("--only", default=",".join(GROUPS))
    ap.add_argument("--dpi", type=int, default=96, help="the display scale of the prefix the installer runs under")
    opts = ap.parse_args()
    Build.registers = opts.register_uninstall.upper() in ("ON", "1", "TRUE", "YES")
    try:
        claim_port(80)
    except PortTakenError as e:
        print("e2e: %s" % e, flush=True)
        return 1
    ctx = Context(opts)
    failed = 0
    for name in opts.only.split(","):
        started = time.monotonic()
        cases = GROUPS[name](ctx)
        while True:
            try:
                case, skipped = next(cases)
            except StopIteration:
                break
            except (Failure, PortTakenError) as e:
                print("FAIL %s: %s" % (name, e), flush=True)
                failed += 1
                break
            if skipped:
                print("SKIP %s: %s" % (case, skipped), flush=True)
            else:
                print("PASS %s" % case, flush=True)
        print("-- %s took %.1f s" % (name, time.monotonic() - started), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
