"""Python binding of kpl_engine.so, the file-type identification engine.

Pure ctypes: the engine is loaded from its home exactly as a scanning host
loads it, and nothing is compiled.

    from kpl_engine import Engine

    with Engine() as engine:              # or Engine(home="/opt/kpl/lib/kpl-engine")
        print(engine.scan("report.pdf"))  # {'typeID': 'PDF', 'type': 'application/pdf', ...}

One Engine may be shared by any number of threads. The engine's state is
per process: Engine objects on the same home share one loaded engine, which
is started by the first and stopped (and unloaded) when the last is closed.

The working directory. The engine reads its databases relative to the
working directory while it starts, so starting it changes the process's
working directory to the home and back again, under a lock. The working
directory is process-wide: another thread that opens a relative path during
those few hundred milliseconds resolves it against the home. Start the
engine before starting such threads, or use absolute paths in them. After
the start the engine reads only absolute paths, and scan() makes the
caller's path absolute first.
"""

import ctypes
import json
import os
import shutil
import threading

__all__ = ["Engine", "EngineError", "EngineHomeError", "ScanError", "find_home"]
__version__ = "1.0.0"

_ENGINE_FILE = "kpl_engine.so"


class EngineError(RuntimeError):
    """The engine refused a call or could not be used."""


class EngineHomeError(EngineError):
    """The engine home is missing, incomplete, or the engine failed to start in it."""


class ScanError(EngineError):
    """The engine could not read or name a file."""


def _home_candidates():
    env = os.environ.get("KPL_HOME")
    if env:
        yield env
        return
    here = os.path.dirname(os.path.abspath(__file__))
    # A checkout: python/kpl_engine/ beside build/home.
    yield os.path.join(here, "..", "..", "build", "home")
    # An installed prefix: the home beside the command-line host on PATH,
    # then the usual prefixes.
    prefixes = []
    host = shutil.which("kpl-filetype")
    if host:
        prefixes.append(os.path.dirname(os.path.dirname(os.path.realpath(host))))
    prefixes += ["/usr/local", "/usr", "/opt/kpl"]
    for prefix in prefixes:
        yield os.path.join(prefix, "lib", "kpl-engine")
        yield os.path.join(prefix, "lib", "x86_64-linux-gnu", "kpl-engine")


def find_home(home=None):
    """The engine home: home if given, else $KPL_HOME, else the build tree's
    build/home, else an installed home. Raises EngineHomeError."""
    if home is not None:
        candidates = [os.fspath(home)]
    else:
        candidates = list(_home_candidates())
    for candidate in candidates:
        if os.path.isfile(os.path.join(candidate, _ENGINE_FILE)):
            return os.path.realpath(candidate)
    raise EngineHomeError(
        "no engine home with %s found (looked in %s); pass home= or set KPL_HOME"
        % (_ENGINE_FILE, ", ".join(candidates)))


class _LoadedEngine:
    """One started engine: the loaded library, how many Engine objects use
    it, and how many calls are inside it (deinit waits for them)."""

    def __init__(self, home):
        self.home = home
        self.users = 0
        self.calls = 0
        self.stopping = False
        self.idle = threading.Condition()
        self.lib = ctypes.CDLL(os.path.join(home, _ENGINE_FILE), mode=os.RTLD_NOW | os.RTLD_LOCAL)
        out = ctypes.POINTER(ctypes.c_char_p)
        self.lib.init.restype = ctypes.c_int
        self.lib.init.argtypes = []
        self.lib.deinit.restype = ctypes.c_int
        self.lib.deinit.argtypes = []
        self.lib.scan.restype = ctypes.c_int
        self.lib.scan.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_uint), out]
        self.lib.freeString.restype = ctypes.c_int
        self.lib.freeString.argtypes = [out]
        self.lib.getLastError.restype = ctypes.c_int
        self.lib.getLastError.argtypes = [out]
        self.lib.getProductName.restype = ctypes.c_int
        self.lib.getProductName.argtypes = [out]
        self.has_file_type = hasattr(self.lib, "kplFileType")
        if self.has_file_type:
            self.lib.kplFileType.restype = ctypes.c_int
            self.lib.kplFileType.argtypes = [ctypes.c_char_p, ctypes.c_char_p, out]

    def start(self):
        # init() reads "database/magic/magic.mgc", "libTrIDLib.so" with its
        # definitions and remembers the working directory as the place of
        # "7za"; all later reads use absolute paths. So the process sits in
        # the home only while init() runs. An open descriptor, not a path,
        # brings it back: the old directory may have been renamed meanwhile.
        previous = os.open(".", os.O_RDONLY | os.O_DIRECTORY)
        try:
            os.chdir(self.home)
            try:
                status = self.lib.init()
            finally:
                os.fchdir(previous)
        finally:
            os.close(previous)
        if status != 0:
            message = self.take(self._last_error())
            self.unload()
            raise EngineHomeError("the engine failed to start in %s (%s)" % (self.home, message or "no message"))

    def _last_error(self):
        text = ctypes.c_char_p()
        self.lib.getLastError(ctypes.byref(text))
        return text

    def take(self, text):
        """Copies an engine string and gives it back."""
        value = self.take_bytes(text)
        return value.decode("utf-8", "replace") if value is not None else None

    def take_bytes(self, text):
        """Copies an engine string as it was written, and gives it back."""
        value = text.value
        if value is not None:
            self.lib.freeString(ctypes.byref(text))
        return value

    def stop(self):
        with self.idle:
            self.stopping = True
            while self.calls:
                self.idle.wait()
        self.lib.deinit()
        self.unload()

    def unload(self):
        # A later Engine on this home loads a fresh copy: the engine starts
        # once per load, and a second init() in the same copy would add its
        # tables twice.
        handle = self.lib._handle
        self.lib = None
        import _ctypes
        _ctypes.dlclose(handle)

    def enter(self):
        with self.idle:
            if self.stopping:
                raise EngineError("the engine is closed")
            self.calls += 1

    def leave(self):
        with self.idle:
            self.calls -= 1
            if not self.calls:
                self.idle.notify_all()


_engines_lock = threading.Lock()
_engines = {}  # (device, inode) of the home's kpl_engine.so -> _LoadedEngine


class Engine:
    """A started engine. Use as a context manager, or call close()."""

    def __init__(self, home=None):
        self.home = find_home(home)
        self._closed = False
        # Keyed by the file, not its name: the loader hands out the copy it
        # already has for another name of the same file, and that copy must
        # not be started twice.
        info = os.stat(os.path.join(self.home, _ENGINE_FILE))
        self._key = (info.st_dev, info.st_ino)
        with _engines_lock:
            loaded = _engines.get(self._key)
            if loaded is None:
                loaded = _LoadedEngine(self.home)
                loaded.start()
                _engines[self._key] = loaded
            loaded.users += 1
        self._engine = loaded

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Stops using the engine; the last user of a home stops and unloads it."""
        with _engines_lock:
            if self._closed:
                return
            self._closed = True
            loaded = self._engine
            loaded.users -= 1
            if loaded.users == 0:
                del _engines[self._key]
                loaded.stop()

    @property
    def product_name(self):
        return self._call(lambda lib, out: lib.getProductName(out), None)

    def scan(self, path):
        """The engine's answer for one file, as a dict. Raises ScanError when
        the file cannot be read or named."""
        name = os.fsencode(os.path.abspath(os.fspath(path)))
        status = ctypes.c_uint()
        return self._result(path, lambda lib, out: lib.scan(name, ctypes.byref(status), out))

    def file_type(self, path, extension=None):
        """The engine's answer refined with the file's extension (by default
        the one in its name), as a dict. Needs an engine that exports
        kplFileType; NotImplementedError otherwise."""
        if not self._engine.has_file_type:
            raise NotImplementedError("this engine (%s) has no kplFileType entry point" % self.home)
        absolute = os.path.abspath(os.fspath(path))
        if extension is None:
            extension = os.path.splitext(absolute)[1][1:]
        name = os.fsencode(absolute)
        ext = os.fsencode(extension)
        return self._result(path, lambda lib, out: lib.kplFileType(name, ext, out))

    def scan_raw(self, path):
        """scan() for hosts that copy answers into their own output: the
        engine's status and its answer as the bytes it wrote (None when it
        wrote none). A file that cannot be read is a non-zero status, not an
        exception."""
        name = os.fsencode(os.path.abspath(os.fspath(path)))
        status = ctypes.c_uint()
        return self._call_raw(lambda lib, out: lib.scan(name, ctypes.byref(status), out))

    def _result(self, path, call):
        text = self._call(call, path)
        return json.loads(text)

    def _call_raw(self, call):
        if self._closed:
            raise EngineError("the engine is closed")
        loaded = self._engine
        loaded.enter()
        try:
            out = ctypes.c_char_p()
            rc = call(loaded.lib, ctypes.byref(out))
            return rc, loaded.take_bytes(out)
        finally:
            loaded.leave()

    def _call(self, call, path):
        rc, value = self._call_raw(call)
        if value is not None:
            value = value.decode("utf-8", "replace")
        if rc != 0 or value is None:
            raise ScanError("the engine could not read or name %s" % os.fspath(path) if path is not None
                            else "the engine gave no answer")
        return value
