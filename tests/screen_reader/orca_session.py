"""A private desktop for one game under the Orca screen reader, and what Orca says there.

Xvfb with openbox, a session bus, the accessibility bus, speech-dispatcher's dummy
module, Orca with a private home, and the game from a throw-away copy of its folder.
Orca's debug output is read line by line; every "SPEECH OUTPUT" line is one utterance.
"""

import ctypes
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

GAME = "dorlo-zidoduder-04"
STORE = "Dorlo Zidoduder 04.dat"

# Orca buffers its debug file; this makes every line reach the file as it is written.
ORCA_WRAPPER = """
import runpy, sys
import orca.debug as debug
_println = debug.println
def println(level, text="", timestamp=False):
    _println(level, text, timestamp)
    if debug.debugFile:
        debug.debugFile.flush()
debug.println = println
sys.argv.pop(0)
runpy.run_path(sys.argv[0], run_name="__main__")
"""

SPEECHD_CONF = """AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
DefaultLanguage "fr"
Timeout 0
AudioOutputMethod "libao"
"""


class SetupError(Exception):
    pass


def _adopt_orphans():
    # Daemons that detach (the buses' helpers) come back to us, so that all are ended.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_CHILD_SUBREAPER = 36
    libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def _descendants():
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [os.getpid()]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


class Session:
    def __init__(self, build_dir, log=sys.stderr):
        self.build_dir = build_dir
        self.log = log
        self.procs = {}
        self.tmp = tempfile.mkdtemp(prefix="dorlo-orca-")
        self.env = dict(os.environ)
        self.speech_pos = 0
        self.speech = []
        self._partial = ""

    # --- start-up -------------------------------------------------------------------

    def _spawn(self, name, args, env=None, **kw):
        out = open(os.path.join(self.tmp, name + ".log"), "wb")
        proc = subprocess.Popen(args, env=env or self.env, stdout=kw.pop("stdout", out),
                                stderr=subprocess.STDOUT, start_new_session=True, **kw)
        self.procs[name] = proc
        return proc

    def _wait_for(self, what, test, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if test():
                return
            for name, proc in self.procs.items():
                if proc.poll() is not None and name not in ("bus",):
                    states = ", ".join(f"{n} {'runs' if p.poll() is None else p.returncode}"
                                       for n, p in self.procs.items())
                    raise SetupError(f"{name} ended while waiting for {what} ({states}):\n" +
                                     self.tail(name))
            time.sleep(0.05)
        raise SetupError(f"timed out waiting for {what}")

    def tail(self, name, lines=15):
        try:
            with open(os.path.join(self.tmp, name + ".log"), errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""

    def start(self):
        _adopt_orphans()
        for tool in ("Xvfb", "openbox", "dbus-daemon", "xdotool", "orca", "speech-dispatcher",
                     "localedef"):
            if not shutil.which(tool):
                raise SetupError(f"{tool} is not installed (scripts/install-deps installs it)")
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.path.exists(launcher):
            raise SetupError(f"{launcher} is missing (package at-spi2-core)")
        self._start_display()
        self._start_buses()
        self._spawn("openbox", ["openbox", "--sm-disable"])
        self._start_orca()
        self._start_game()
        try:
            self.expect(r"Dorlo", timeout=30)
        except AssertionError:
            raise SetupError("Orca runs but said nothing about the game window:\n" +
                             self.tail("orca") + "\n" + self.tail("game"))

    def _start_display(self):
        # A free display well above those that desktops and other tools take first.
        for _ in range(8):
            number = random.randrange(300, 900)
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            xvfb = self._spawn("xvfb", ["Xvfb", f":{number}", "-screen", "0", "1280x800x24",
                                        "-nolisten", "tcp"])
            socket = f"/tmp/.X11-unix/X{number}"
            end = time.monotonic() + 20
            while xvfb.poll() is None and not os.path.exists(socket) and time.monotonic() < end:
                time.sleep(0.05)
            if xvfb.poll() is None and os.path.exists(socket):
                self.env["DISPLAY"] = f":{number}"
                return
            if xvfb.poll() is None:
                xvfb.kill()
            xvfb.wait()
        raise SetupError("Xvfb did not start:\n" + self.tail("xvfb"))

    def _start_buses(self):
        bus = self._spawn("bus", ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                          stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise SetupError("the session bus did not start:\n" + self.tail("bus"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.env.pop("AT_SPI_BUS_ADDRESS", None)
        # The session bus starts the accessibility bus's launcher when first asked for its
        # address; one started beside it would lose the bus name to that one and quit.
        self._wait_for("the accessibility bus", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True).returncode == 0, 20)
        subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                        "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                        "string:IsEnabled", "variant:boolean:true"], env=self.env, check=True)

    def _start_game(self):
        folder = os.path.join(self.tmp, "game")
        os.mkdir(folder)
        exe = os.path.join(self.build_dir, GAME)
        if not os.path.exists(exe):
            raise SetupError(f"{exe} is not built")
        shutil.copy2(exe, folder)
        store = os.path.join(self.build_dir, STORE)
        if os.path.exists(store):
            shutil.copy2(store, folder)
        self.game_folder = folder
        env = dict(self.env)
        env.update(QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   HOME=os.path.join(self.tmp, "home-game"),
                   XDG_DATA_HOME=os.path.join(self.tmp, "home-game", "data"),
                   DORLO_MEDIA_MODULE=os.path.join(self.build_dir, "libdorlo-media.so"))
        os.mkdir(env["HOME"])
        self._spawn("game", [os.path.join(folder, GAME)], env=env)
        self._wait_for("the game window", lambda: subprocess.run(
            ["xdotool", "search", "--name", "Dorlo"], env=self.env,
            capture_output=True).returncode == 0, 30)

    def _start_orca(self):
        home = os.path.join(self.tmp, "home-orca")
        runtime = os.path.join(self.tmp, "runtime")
        locales = os.path.join(self.tmp, "locale")
        conf = os.path.join(home, ".config", "speech-dispatcher")
        for d in (conf, runtime, locales):
            os.makedirs(d, mode=0o700, exist_ok=True)
        with open(os.path.join(conf, "speechd.conf"), "w") as f:
            f.write(SPEECHD_CONF)
        # The dummy module still opens a sound output; libao's null one needs no device.
        with open(os.path.join(home, ".libao"), "w") as f:
            f.write("default_driver=null\n")
        # French messages without touching the system's locales.
        made = subprocess.run(["localedef", "-i", "fr_FR", "-f", "UTF-8",
                               os.path.join(locales, "fr_FR.UTF-8")], capture_output=True)
        if not os.path.isdir(os.path.join(locales, "fr_FR.UTF-8")):
            raise SetupError("cannot build the French locale: " + made.stderr.decode())
        env = dict(self.env)
        env.update(HOME=home, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   LOCPATH=locales, LC_ALL="fr_FR.UTF-8", LANG="fr_FR.UTF-8", LANGUAGE="fr")
        self._spawn("speechd", ["speech-dispatcher", "-s", "-t", "0", "-C", conf], env=env)
        self._wait_for("speech-dispatcher", lambda: os.path.exists(
            os.path.join(runtime, "speech-dispatcher", "speechd.sock")), 20)
        self.orca_env = env
        self._spawn_orca("orca-debug.out")

    def _spawn_orca(self, debug_name):
        self.debug_file = os.path.join(self.tmp, debug_name)
        wrapper = os.path.join(self.tmp, "orca_flushed.py")
        with open(wrapper, "w") as f:
            f.write(ORCA_WRAPPER)
        # Orca's own interpreter, which finds its modules.
        with open(shutil.which("orca")) as f:
            python = f.readline()[2:].strip()
        self._spawn("orca", [python, wrapper, shutil.which("orca"), "--replace",
                             "--debug-file=" + self.debug_file], env=self.orca_env)
        self._wait_for("Orca", lambda: self._debug_has("Startup complete"), 30)

    def restart_orca(self):
        """A new Orca, as after a crash; what it says is read from its own debug file."""
        self._read_speech()
        self.speech_pos = 0
        self._partial = ""
        self._spawn_orca(f"orca-debug-{len(self.speech)}.out")

    def _debug_has(self, text):
        try:
            with open(self.debug_file, errors="replace") as f:
                return text in f.read()
        except OSError:
            return False

    # --- speech ---------------------------------------------------------------------

    def _read_speech(self):
        try:
            with open(self.debug_file, errors="replace") as f:
                f.seek(self.speech_pos)
                data = f.read()
                self.speech_pos = f.tell()
        except OSError:
            return
        data = self._partial + data
        lines = data.split("\n")
        self._partial = lines.pop()
        for line in lines:
            m = re.search(r"SPEECH OUTPUT: '(.*?)'\s*(?:\{|$)", line)
            if m:
                self.speech.append(m.group(1))

    def mark(self):
        """Where the next expectation starts reading."""
        self._read_speech()
        return len(self.speech)

    def spoken_since(self, mark):
        self._read_speech()
        return self.speech[mark:]

    def expect(self, pattern, since=None, timeout=5):
        """Waits until Orca says something matching pattern; returns that utterance."""
        start = 0 if since is None else since
        end = time.monotonic() + timeout
        while True:
            self._read_speech()
            for said in self.speech[start:]:
                if re.search(pattern, said):
                    return said
            if time.monotonic() > end:
                raise AssertionError(f"Orca never said /{pattern}/; it said: "
                                     f"{self.speech[start:]!r}")
            if self.procs["orca"].poll() is not None:
                raise AssertionError("Orca died:\n" + self.tail("orca"))
            time.sleep(0.05)

    # --- keys -----------------------------------------------------------------------

    def keys(self, *names, gap=0.25):
        """One key at a time, at a human pace."""
        for name in names:
            subprocess.run(["xdotool", "key", "--clearmodifiers", name], env=self.env, check=True)
            time.sleep(gap)

    def type_spaced(self, text, gap_ms):
        """Each character its own key press, gap_ms apart, in one xdotool run."""
        args = ["xdotool"]
        for ch in text:
            args += ["key", "--delay", "0", "space" if ch == " " else ch,
                     "sleep", str(gap_ms / 1000)]
        subprocess.run(args, env=self.env, check=True)

    # --- end ------------------------------------------------------------------------

    def stop(self):
        game = self.procs.get("game")
        if game and game.poll() is None:
            game.send_signal(signal.SIGTERM)
            try:
                game.wait(10)
            except subprocess.TimeoutExpired:
                pass
        for name in ("orca", "speechd", "game", "openbox", "bus", "xvfb"):
            proc = self.procs.get(name)
            if proc and proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        end = time.monotonic() + 5
        while time.monotonic() < end and any(p.poll() is None for p in self.procs.values()):
            time.sleep(0.05)
        for pid in _descendants():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for proc in self.procs.values():
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
        # Orphans adopted by us are reaped here.
        try:
            while os.waitpid(-1, os.WNOHANG)[0]:
                pass
        except ChildProcessError:
            pass
        if os.environ.get("DORLO_KEEP_ORCA_LOGS"):
            print("logs kept in " + self.tmp, file=self.log)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)
