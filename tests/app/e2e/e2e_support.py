"""What the end-to-end groups share: the installer's texts, one installer run read through its text trace
and screenshots, the servers, and checks of the installed folder, the registry, the log and dialogs."""
import contextlib
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tools", "nginx"))

from installer_driver import InstallerWindow  # noqa: E402
from nginx_server import NginxServer  # noqa: E402

SKIN = os.path.join(ROOT, "skin", "skin.xml")
PACKAGE_PATH = "/veltaragame/client/VeltaraClient.zip"
CONNECT_FAILED = "很抱歉，连接服务器失败！请稍后重试。"
INSTALL_FAILED = "安装失败，请检查安装路径和磁盘空间后重试！"
PACKAGE_REFUSED = "安装包校验失败，请重新下载安装程序。"
FILE_IN_USE = "文件被占用："
PATH_TOO_LONG = "安装路径过长，请选择较短的安装路径！"
INTERRUPTED = "安装已中断，请点击重试。"
NO_SPACE = re.compile(r"磁盘空间不足：需要 ([0-9.]+)MB，可用 ([0-9.]+)MB")
FAILURES = (CONNECT_FAILED, INSTALL_FAILED, PACKAGE_REFUSED, PATH_TOO_LONG, INTERRUPTED)
RETRY = "重试"
STOPPED = "已停止"
CONFIRM_TITLE = "Veltara 安装程序"
CLIENT_CLASS = "VeltaraClientWnd"
BAD_PATH = "请输入正确的安装路径！"
SPACE_LINE = "所需空间：150MB，可用空间：%.1fGB"
SPEED_PREFIX = "请耐心等待，马上就好! 当前速度："
PATH_LABEL = "安装路径："  # the label in the custom panel, 3 pixels below the panel's top
PATH_LABEL_TOP = 3
NEUTRAL_SPOT = (60, 150)  # window background of the welcome page, below the caption area
FOLDER_DIALOG_TITLE = "从下面选择安装目录："
CHANGE_BUTTON = "更  改"
# The reference locale first; the others must read and draw the same. (locale, ANSI code page)
LOCALES = [("zh_CN.UTF-8", 936), ("en_US.UTF-8", 1252), ("ja_JP.UTF-8", 932), ("zh_TW.UTF-8", 950)]
# A folder with a character that GBK lacks: refused with the path text, never taken as another folder ("Ano").
BEYOND_GBK_FOLDER = "C:\\Año"
# Item names of the demo package that install exactly only through UTF-16 names: the one it always had and
# those of tools/sample-client/names.
NAMES_BEYOND_ACP = ["VeltaraClient/res/说明.txt", "VeltaraClient/res/Ünïcödé-é.txt", "VeltaraClient/res/カタカナ.txt",
                    "VeltaraClient/res/emoji-🎮.txt"]


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def is_failure(text):
    return text in FAILURES or text.startswith(FILE_IN_USE) or NO_SPACE.fullmatch(text) is not None


# --- the text trace -----------------------------------------------------------------------------------------
_TRACE_LINE = re.compile(r'trace:text:DrawTextExW L"((?:[^"\\]|\\.)*)", -?\d+, \[\((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\)\]')


def _unescape(s):
    def repl(m):
        t = m.group(1)
        return {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}.get(t, None) or chr(int(t, 16))
    return re.sub(r"\\([0-9a-fA-F]{4}|[nrt\"\\])", repl, s)


class TextTrace:
    """What the installer drew with DrawText: (text, rect) in the order drawn."""

    def __init__(self, path):
        self.path = path
        self.items = []
        self._pos = 0

    def refresh(self):
        with open(self.path, "rb") as f:
            f.seek(self._pos)
            data = f.read()
        cut = data.rfind(b"\n") + 1
        self._pos += cut
        for line in data[:cut].decode("utf-8", "replace").splitlines():
            m = _TRACE_LINE.search(line)
            if m:
                self.items.append((_unescape(m.group(1)), tuple(int(v) for v in m.group(2, 3, 4, 5))))
        return self.items

    def texts_in(self, rect, since=0):
        l, t, r, b = rect
        return [text for text, (x0, y0, x1, y1) in self.refresh()[since:]
                if x0 >= l - 1 and y0 >= t - 1 and x1 <= r + 1 and y1 <= b + 1 and x1 > x0]

    def mark(self):
        return len(self.refresh())


# --- one installer run ----------------------------------------------------------------------------------------
class Run:
    def __init__(self, ctx, name, installer=None, locale=None):
        self.ctx = ctx
        self.name = name
        installer = installer or ctx.installer
        self.trace_path = os.path.join(ctx.work, "%s.trace" % name)
        self.record = os.path.join(ctx.work, "%s.client.txt" % name)
        for p in (self.trace_path, self.record):
            if os.path.exists(p):
                os.remove(p)
        env = dict(ctx.env)
        env["WINEDEBUG"] = "-all,trace+text"
        env["VELTARA_CLIENT_RECORD"] = win_path(self.record)
        env["VELTARA_CLIENT_CLOSE_MS"] = "1500"
        if locale:
            # Wine takes the ANSI code page from the locale when the process starts.
            env["LC_ALL"] = env["LANG"] = locale
        with open(self.trace_path, "wb") as err:
            self.proc = subprocess.Popen(["wine", installer], env=env, cwd=ctx.work, stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=err)
        self.trace = TextTrace(self.trace_path)
        self.win = InstallerWindow.find(SKIN, 30, classname=os.path.basename(installer).lower(),
                                        alive=lambda: self.proc.poll() is None, dpi=ctx.dpi)
        if self.win is None:
            self.stop()
            raise Failure("the installer window did not appear")
        self.geo = self.win.geometry
        check(self.win.wait_page("welcome", self.shot_path("start"), 15, self.alive), "no welcome page")

    def alive(self):
        return self.proc.poll() is None

    def shot_path(self, state):
        scale = "" if self.ctx.dpi == 96 else "@%d" % self.ctx.dpi
        return os.path.join(self.ctx.shots, "e2e-%s-%s%s.png" % (self.name, state, scale))

    def shot(self, state):
        path = self.shot_path(state)
        self.win.screenshot(path)
        return path

    def wait_text(self, control, pred, timeout, since=0, panel_open=False):
        rect = (self.win.panel if panel_open else self.geo).rects[control]
        deadline = time.monotonic() + timeout
        while True:
            texts = self.trace.texts_in(rect, since)
            hit = [t for t in texts if pred(t)]
            if hit:
                return hit[-1]
            if time.monotonic() > deadline or not self.alive():
                return None
            time.sleep(0.05)

    def checked_text(self, control, pred, mark, panel_open=True):
        """The text a check shows: the first new one drawn after the mark, or, when the check left the text as it
        was (a control does not repaint an unchanged text), the last one drawn before."""
        got = self.wait_text(control, pred, 3, mark, panel_open=panel_open)
        if got is None:
            got = self.wait_text(control, pred, 0, 0, panel_open=panel_open)
        return got

    def last_text(self, control, since=0, panel_open=False):
        rect = (self.win.panel if panel_open else self.geo).rects[control]
        texts = self.trace.texts_in(rect, since)
        return texts[-1] if texts else None

    def open_panel(self):
        """Clicks the custom button and waits until the panel has slid fully open (its path label is drawn at
        the open panel's position)."""
        mark = self.trace.mark()
        self.win.click("Btn_Custom")
        top = self.win.panel.rects["Hor_Custom"][1] + self.geo.scale(PATH_LABEL_TOP)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and self.alive():
            if any(text == PATH_LABEL and abs(rect[1] - top) <= 1 for text, rect in self.trace.refresh()[mark:]):
                time.sleep(0.1)
                return
            time.sleep(0.05)
        raise Failure("the custom panel did not open")

    def type_folder(self, folder, delay_ms=20):
        """Types a folder into the path field and moves the focus away, which checks it. Under load X now and
        then drops a key, or the last keys arrive after the focus has moved on: when the field shows another
        text than a folder of plain ASCII, the folder is typed again, more slowly (what the field shows for
        other characters is the caller's to check)."""
        for delay in (delay_ms, delay_ms * 4, delay_ms * 8):
            mark = self.trace.mark()
            self.win.click("Edt_Path", panel_open=True)
            time.sleep(0.3)
            self.win.key("End", "shift+Home", "BackSpace")
            self.win.type_text(folder, delay)
            time.sleep(0.2)
            self.win.click_at(*(self.geo.scale(v) for v in NEUTRAL_SPOT))
            deadline = time.monotonic() + 1.5
            shown = None
            while shown is None and time.monotonic() < deadline:
                time.sleep(0.1)
                shown = self.last_text("Edt_Path", mark, panel_open=True)
            # A field that was not redrawn got no keys (the click that should focus it was lost): typed again too.
            if shown == folder or not folder.isascii() or len(folder) > 255:
                break
            print("note: the path field shows %r for %r; typed again" % (shown, folder), flush=True)
        return mark

    def pixels(self, rect, shot):
        """The RGB bytes of a window rectangle (left, top, right, bottom) of a screenshot."""
        l, t, r, b = rect
        r = min(r, self.geo.size[0])
        b = min(b, self.geo.size[1])
        return subprocess.run(["/usr/bin/convert", shot, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "+repage",
                               "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout

    def window_name(self):
        return subprocess.run(["xdotool", "getwindowname", self.win.wid], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout.decode("utf-8", "replace").rstrip("\n")

    def red_pixels(self, control, shot, panel_open=False):
        l, t, r, b = (self.win.panel if panel_open else self.geo).rects[control]
        r = min(r, self.geo.size[0])
        b = min(b, self.geo.size[1])
        out = subprocess.run(["/usr/bin/convert", shot, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "+repage",
                              "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout
        return sum(1 for i in range(0, len(out) - 2, 3) if out[i] > 180 and out[i + 1] < 80 and out[i + 2] < 80)

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def close_window(self):
        self.win.click("closebtn")
        return self.wait_exit(15)

    def failure(self, mark, timeout=60):
        """The failure text the status line shows after the mark, once the retry button has appeared with it."""
        got = self.wait_text("Txt_Error", is_failure, timeout, mark)
        if got is not None:
            check(self.wait_text("Btn_Retry", lambda t: t == RETRY, 5, mark) is not None,
                  "no retry button with the failure %r" % got)
            check(self.wait_text("Txt_Status", lambda t: t == STOPPED, 5, mark) is not None,
                  "the progress row does not show that the work stopped")
        return got

    def install_until_failure(self, folder):
        """Types the folder, clicks Install and waits for a failure; returns its text (None: none shown) and the
        trace mark taken before the click."""
        self.open_panel()
        self.type_folder(win_path(folder))
        mark = self.trace.mark()
        self.win.click("Btn_Install")
        return self.failure(mark), mark

    def install_into(self, folder, timeout=60):
        """Types the folder, clicks Install and waits for the finish page."""
        self.open_panel()
        mark = self.type_folder(win_path(folder))
        check(self.checked_text("Txt_ShowMsg", lambda t: t.startswith("所需空间"), mark), "the folder was not accepted")
        # The default folder passes the check too: installing must only go on into the folder typed. (Wine's
        # trace cuts texts of about 300 characters: a folder that long is not compared.)
        shown = self.last_text("Edt_Path", mark, panel_open=True)
        check(shown == win_path(folder) or (shown is None and len(win_path(folder)) > 200),
              "the path field shows %r, not %r" % (shown, win_path(folder)))
        self.win.click("Btn_Install")
        check(self.win.wait_page("finish", self.shot_path("finish"), timeout, self.alive), "no finish page")

    def confirm_close(self, key):
        """Clicks the close button, waits for the question and answers it with a key ("y" or "n")."""
        self.win.click("closebtn")
        deadline = time.monotonic() + 10
        dialog = None
        while dialog is None and time.monotonic() < deadline and self.alive():
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % CONFIRM_TITLE],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout.split()
            dialog = out[0] if out else None
            time.sleep(0.1)
        check(dialog is not None, "closing asked no question")
        time.sleep(0.3)
        # The question shows over the window: a screenshot of the screen around the window.
        geo = subprocess.run(["xdotool", "getwindowgeometry", self.win.wid], stdout=subprocess.PIPE, text=True).stdout
        m = re.search(r"Position: (\d+),(\d+)", geo)
        if m:
            subprocess.run(["/usr/bin/import", "-window", "root", "-crop", "600x400+%s+%s" % m.groups(), "+repage",
                            self.shot_path("confirm")])
        subprocess.run(["xdotool", "key", key])

    def ended_cleanly(self, rc):
        """Exit code 0 and no report of an unhandled exception from Wine."""
        with open(self.trace_path, "rb") as f:
            crash = re.search(rb"[Uu]nhandled (page fault|exception)|Backtrace:", f.read())
        return rc == 0 and crash is None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Context:
    def __init__(self, opts):
        self.build = os.path.abspath(opts.build)
        self.installer = opts.installer
        self.unchecked = opts.unchecked_installer
        self.unregistered = opts.unregistered_installer
        self.version = opts.version
        self.publisher = opts.publisher
        self.probe = opts.probe
        self.package = opts.package
        self.hash_mode = opts.hash_mode
        self.trust_tool = opts.trust_tool
        self.work = os.path.join(self.build, "e2e")
        self.shots = os.path.join(self.build, "screenshots")
        os.makedirs(self.work, exist_ok=True)
        os.makedirs(self.shots, exist_ok=True)
        # At another display scale the installer runs under the tree's second prefix (<build>/dpi), whose
        # LogPixels is set to it, so that the tree's own prefix stays at 96 for every other test.
        self.dpi = opts.dpi
        self.env = self._wine_env()
        os.environ["DISPLAY"] = self.env["DISPLAY"]  # xdotool and import work on the Wine display
        self.prefix = self.env["WINEPREFIX"]
        user = os.environ.get("USER") or "root"
        self.desktop = os.path.realpath(os.path.join(self.prefix, "drive_c", "users", user, "Desktop"))
        self.link = os.path.join(self.desktop, "Veltara.lnk")
        self.link_win = "C:\\users\\%s\\Desktop\\Veltara.lnk" % user
        programs = "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"
        self.start_menu_link = os.path.join(self.prefix, "drive_c", "users", user, *programs.split("\\"), "Veltara.lnk")
        self.start_menu_link_win = "C:\\users\\%s\\%s\\Veltara.lnk" % (user, programs)
        self.temp = os.path.join(self.prefix, "drive_c", "users", user, "Temp")
        self.default_target = os.path.join(self.prefix, "drive_c", "Program Files (x86)", "VeltaraClient")
        # A build made for another package's hash refuses the demo package: the groups that install it skip.
        with open(self.package, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        self.installable = self.hash_mode in ("", "demo") or self.hash_mode.lower() == digest

    def _wine_env(self):
        if self.dpi == 96:
            script = '. "%s/tools/wine-env.sh" "%s" && wine_env_up >&2 && env -0' % (ROOT, self.build)
        else:
            script = 'bash "%s/tests/app/dpi/at_dpi.sh" "%s" %d env -0' % (ROOT, self.build, self.dpi)
        out = subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE, check=True).stdout
        env = {}
        for item in out.split(b"\0"):
            k, sep, v = item.decode("utf-8", "replace").partition("=")
            if sep:
                env[k] = v
        return env

    def probe_run(self, *args):
        r = subprocess.run(["wine", self.probe] + list(args), env=self.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True, encoding="utf-8", errors="replace")
        return r.returncode, dict(line.split("=", 1) for line in r.stdout.splitlines() if "=" in line)

    def clean_outputs(self):
        for link in (self.link, self.start_menu_link):
            if os.path.lexists(link):
                os.remove(link)
        shutil.rmtree(self.default_target, ignore_errors=True)
        for name in leftovers(os.path.dirname(self.default_target)):
            shutil.rmtree(os.path.join(os.path.dirname(self.default_target), name), ignore_errors=True)

    def installer_for_demo_package(self):
        """The real installer when it takes the demo package, else the one that takes any package."""
        return self.installer if self.installable else self.unchecked

    def fresh_folder(self, name):
        path = os.path.join(self.work, name)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
        return path


def nginx(ctx, root, limit_rate="0"):
    return NginxServer(root, os.path.join(ctx.work, "nginx"), port=80, limit_rate=limit_rate, access_log=True)


def requests_seen(ctx):
    log = os.path.join(ctx.work, "nginx", "access.log")
    if not os.path.exists(log):
        return 0
    with open(log) as f:
        return sum(1 for _ in f)


def package_root(ctx):
    return os.path.dirname(os.path.dirname(os.path.dirname(ctx.package)))


def expected_files(package):
    with zipfile.ZipFile(package) as zf:
        return {i.filename: zf.read(i) for i in zf.infolist() if not i.filename.endswith("/")}


def installed_files(folder):
    found = {}
    for root, _dirs, files in os.walk(folder):
        for name in files:
            full = os.path.join(root, name)
            found[os.path.relpath(full, folder).replace(os.sep, "/")] = full
    return found


def percent(text):
    m = re.fullmatch(r"(\d+)%", text or "")
    return int(m.group(1)) if m else None


def leftovers(folder):
    """Staging and old client folders an installation left beside the client folder."""
    return sorted(n for n in os.listdir(folder) if n.startswith("VeltaraClient.~")) if os.path.isdir(folder) else []


def snapshot(folder):
    """Every file and folder below a folder with its content hash, size and modification time."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs:
            found[os.path.relpath(os.path.join(root, name), folder)] = "<folder>"
        for name in files:
            full = os.path.join(root, name)
            st = os.stat(full)
            with open(full, "rb") as f:
                found[os.path.relpath(full, folder)] = (hashlib.sha256(f.read()).hexdigest(), st.st_size,
                                                         st.st_mtime_ns)
    return found


def is_package_file(relpath):
    """The package file that a download streams into: hidden beside the client folder while the installer
    runs (kept for a retry), gone when it ends."""
    return os.path.basename(relpath).startswith("VeltaraClient.~dl") and os.sep not in relpath


def link_state(ctx):
    if not os.path.lexists(ctx.link):
        return None
    with open(ctx.link, "rb") as f:
        return f.read(), os.stat(ctx.link).st_mtime_ns


def check_installed(folder, package, changed=None, registered=None):
    """The client folder holds the package's files (with the exceptions given: name -> expected bytes, None for
    absent), the install record, the copy of the installation's log and, when the installer registers the
    installation (registered; None: as the build does), the uninstaller."""
    registered = Build.registers if registered is None else registered
    want = expected_files(package)
    for name, data in (changed or {}).items():
        if data is None:
            want.pop(name, None)
        else:
            want[name] = data
    got = {"VeltaraClient/" + name: full for name, full in installed_files(os.path.join(folder, "VeltaraClient")).items()}
    record = got.pop("VeltaraClient/VeltaraSetup.record", None)
    check(record is not None, "no install record")
    log = got.pop("VeltaraClient/" + LOG_COPY, None)
    check(log is not None, "no copy of the log in the client folder")
    with open(log, "rb") as f:
        check(b"installation complete" in f.read(), "the log copy does not end with the complete installation")
    uninstaller = got.pop("VeltaraClient/" + UNINSTALLER, None)
    check((uninstaller is not None) == registered, "the uninstaller is %s in the client folder" %
          ("missing" if registered else "present"))
    with open(record, "rb") as f:
        lines = f.read().decode("utf-8").split("\r\n")
    check(lines[0] == RECORD_HEADER and lines[-1] == "", "the install record's first line is %r, its last %r" %
          (lines[0][:80], lines[-1][:80]))
    check(sorted(lines[1:-1]) == sorted(record_lines(package)), "the install record does not list the package's files")
    check(sorted(got) == sorted(want), "installed files differ: missing %s, extra %s" %
          (sorted(set(want) - set(got))[:5], sorted(set(got) - set(want))[:5]))
    for name, data in want.items():
        with open(got[name], "rb") as f:
            check(f.read() == data, "%s differs from what it should be" % name)


def damaged_copy(src, dst):
    """A copy of the package whose last file item has a wrong CRC-32 (in its local and central header)."""
    with open(src, "rb") as f:
        data = bytearray(f.read())
    with zipfile.ZipFile(src) as zf:
        last = [i for i in zf.infolist() if not i.filename.endswith("/")][-1]
    crc = struct.pack("<I", last.CRC ^ 1)
    data[last.header_offset + 14:last.header_offset + 18] = crc
    name = last.filename.encode("utf-8")
    at = data.find(b"PK\x01\x02")
    while at >= 0:
        n = struct.unpack_from("<H", data, at + 28)[0]
        if data[at + 46:at + 46 + n] == name:
            data[at + 16:at + 20] = crc
            break
        at = data.find(b"PK\x01\x02", at + 4)
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    with open(dst, "wb") as f:
        f.write(data)
    return last.filename


RECORD_HEADER = "VeltaraSetup install record 1"
LOG_COPY = "VeltaraSetup.log"
UNINSTALLER = "VeltaraUninstall.exe"


class Build:
    """The build's settings that the checks depend on; main() sets them from its arguments."""
    registers = False  # --register-uninstall: the installer under test writes its Apps & Features entry


def record_lines(package):
    """The install record the installer writes for a package: one line a file, "<sha-256> <size> <path>"."""
    return ["%s %d %s" % (hashlib.sha256(data).hexdigest(), len(data), name[len("VeltaraClient/"):])
            for name, data in sorted(expected_files(package).items())]


def install_by_hand(ctx, folder):
    """A previous installation as the installer leaves it (the happy group checks that it does): the package's
    files below folder/VeltaraClient and their record."""
    client = os.path.join(folder, "VeltaraClient")
    for name, data in expected_files(ctx.package).items():
        path = os.path.join(folder, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    with open(os.path.join(client, "VeltaraSetup.record"), "w", encoding="utf-8", newline="") as f:
        f.write("\r\n".join([RECORD_HEADER] + record_lines(ctx.package)) + "\r\n")


def make_player_changes(client):
    """The player's own changes to an installed client: a changed config/client.ini and a saved game; returns
    the changed client.ini's bytes."""
    ini = os.path.join(client, "config", "client.ini")
    with open(ini, "ab") as f:
        f.write(b"volume=3\r\n")
    with open(ini, "rb") as f:
        ini_data = f.read()
    os.makedirs(os.path.join(client, "saves"))
    with open(os.path.join(client, "saves", "slot1.sav"), "wb") as f:
        f.write(b"saved game")
    return ini_data


@contextlib.contextmanager
def client_holding(ctx, client, held, case):
    """The installed client running from its folder and holding one of its files open (held; None: no client),
    closed at the end."""
    if not held:
        yield
        return
    record = os.path.join(ctx.work, "%s.client.txt" % case)
    if os.path.exists(record):
        os.remove(record)
    holder = subprocess.Popen(["wine", os.path.join(client, "VeltaraClient.exe")],
                              env=dict(ctx.env, VELTARA_CLIENT_HOLD=held, VELTARA_CLIENT_RECORD=win_path(record)),
                              cwd=client, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(record) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(record), "%s: the client did not start" % case)
        yield
    finally:
        ctx.probe_run("close", CLIENT_CLASS)
        try:
            holder.wait(15)
        except subprocess.TimeoutExpired:
            holder.kill()


# --- Apps & Features, the uninstaller and the log -------------------------------------------------------------
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltara"
UNINSTALL_TITLE = "Veltara 卸载程序"
LOG_PATH_LINE = "安装日志："


def unix_path(ctx, path):
    """The Linux path of a Windows path of the prefix ("C:\\users\\...")."""
    drive, rest = path[:2], path[3:]
    return os.path.join(os.path.realpath(os.path.join(ctx.prefix, "dosdevices", drive.lower())), *rest.split("\\"))


def reg_values(ctx, key):
    """The values of a key in the registry's 32-bit view as Wine's reg.exe reads them: {name: text or number};
    None when there is no such key."""
    r = subprocess.run(["wine", "reg", "query", key, "/reg:32"], env=ctx.env, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    if r.returncode != 0:
        return None
    values = {}
    for line in r.stdout.decode("gbk", "replace").splitlines():
        m = re.match(r"^ {4}(.+?) {4}(REG_[A-Z_]+) {4}(.*)$", line)
        if m:
            name, kind, data = m.groups()
            values[name] = int(data, 16) if kind == "REG_DWORD" else data
    return values


def reg_delete(ctx, key):
    subprocess.run(["wine", "reg", "delete", key, "/reg:32", "/f"], env=ctx.env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def registry_export(ctx, name):
    """The software settings of the machine (both views) and of the user, as reg.exe exports them:
    {key: set of value lines}."""
    keys = {}
    for hive, view in (("HKLM\\Software", "/reg:32"), ("HKLM\\Software", "/reg:64"), ("HKCU\\Software", "")):
        path = os.path.join(ctx.work, "%s-%s%s.reg" % (name, hive.split("\\")[0], view.replace("/reg:", "")))
        subprocess.run(["wine", "reg", "export", hive, win_path(path), "/y"] + ([view] if view else []), env=ctx.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        with open(path, "rb") as f:
            text = f.read().decode("utf-16", "replace")
        current = None
        for line in text.replace("\\\r\n  ", "").splitlines():
            if line.startswith("["):
                current = "%s%s" % (view, line)
                keys.setdefault(current, set())
            elif current and line.strip():
                keys[current].add(line)
    return keys


# Keys the system's own libraries write on their first use in a prefix, whatever program uses them: Wine's
# own scratch settings, and WinINet's proxy switch. Wine also rewrites the machine's font tables when a program
# of the same prefix starts under another locale (the locale tests may run meanwhile).
SYSTEM_KEYS = re.compile(r"^\[HKEY_CURRENT_USER\\Software\\(Wine\\|Microsoft\\Windows\\CurrentVersion\\Internet Settings\]$)"
                         r"|^(/reg:(32|64))?\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\"
                         r"CurrentVersion\\(FontLink\\SystemLink|FontSubstitutes|Fonts)\]$", re.I)


def registry_changes(before, after):
    """Keys added, removed or changed between two exports, but for those of SYSTEM_KEYS."""
    return sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k) and not SYSTEM_KEYS.match(k))


def newest_log(ctx, prefix, since):
    """The newest log of that prefix in the temporary folder written after since (a time.time())."""
    logs = [os.path.join(ctx.temp, n) for n in os.listdir(ctx.temp) if n.startswith(prefix + "-") and n.endswith(".log")]
    logs = [p for p in logs if os.path.getmtime(p) >= since - 1]
    return max(logs, key=os.path.getmtime) if logs else None


def read_log(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xef\xbb\xbf"), "the log %s does not start with the UTF-8 mark" % path)
    return data[3:].decode("utf-8")


def wait_log_line(ctx, prefix, since, pred, timeout):
    """Waits for a line of the newest log of that prefix that pred accepts; returns it, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        path = newest_log(ctx, prefix, since)
        if path:
            hit = [ln for ln in read_log(path).splitlines() if pred(ln)]
            if hit:
                return hit[-1]
        time.sleep(0.2)
    return None


def install_and_leave(ctx, case, folder, button, installer=None):
    """Installs the demo package from nginx into folder and ends the installer with the finish page's button
    (Btn_Start or Btn_Finish); returns the run."""
    with nginx(ctx, package_root(ctx)):
        run = Run(ctx, case, installer)
        try:
            run.install_into(folder)
            run.win.click(button)
            check(run.ended_cleanly(run.wait_exit(15)), "%s: the installer did not end cleanly after %s" % (case, button))
        finally:
            run.stop()
    return run


def check_link(ctx, link, link_win, client):
    check(os.path.exists(link), "no shortcut %s" % link_win)
    rc, info = ctx.probe_run("link", link_win)
    check(rc == 0, "the shortcut %s cannot be read" % link_win)
    check(info.get("target", "").lower() == (win_path(client) + "\\VeltaraClient.exe").lower(),
          "the shortcut %s points at %r" % (link_win, info.get("target")))
    check(info.get("workdir", "").lower() == win_path(client).lower(),
          "the shortcut %s has the working folder %r" % (link_win, info.get("workdir")))


def find_dialog(title, seen, timeout):
    """A visible top-level window of that title other than those seen; its id, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True).stdout.split()
        fresh = [w for w in out if w not in seen]
        if fresh:
            seen.add(fresh[0])
            return fresh[0]
        time.sleep(0.1)
    return None


def answer_dialog(ctx, wid, key, shot):
    time.sleep(0.4)
    subprocess.run(["/usr/bin/import", "-window", wid, shot], stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "windowactivate", "--sync", wid], stderr=subprocess.DEVNULL)
    subprocess.run(["xdotool", "key", "--window", wid, key])


# Any text drawn, a long one cut short by the trace ("...").
_DRAWN_TEXT = re.compile(r'trace:text:DrawTextExW L"((?:[^"\\]|\\.)*)"(?:\.\.\.)?,')


def drawn_texts(trace_path, pred, timeout):
    """The texts a program has drawn so far, as its text trace shows them; waits until one satisfies pred (a
    dialog is drawn a moment after its window appears)."""
    deadline = time.monotonic() + timeout
    while True:
        with open(trace_path, "rb") as f:
            drawn = [_unescape(m.group(1)) for m in _DRAWN_TEXT.finditer(f.read().decode("utf-8", "replace"))]
        if any(pred(t) for t in drawn) or time.monotonic() > deadline:
            return drawn
        time.sleep(0.2)


def dismiss_dialogs(title):
    """Answers any dialog of that title still open (a failed case's), so that no uninstaller is left running."""
    for _ in range(4):
        wid = find_dialog(title, set(), 1)
        if wid is None:
            return
        subprocess.run(["xdotool", "windowactivate", "--sync", wid], stderr=subprocess.DEVNULL)
        subprocess.run(["xdotool", "key", "--window", wid, "n"], stderr=subprocess.DEVNULL)
        subprocess.run(["xdotool", "key", "--window", wid, "Return"], stderr=subprocess.DEVNULL)
        time.sleep(0.5)
