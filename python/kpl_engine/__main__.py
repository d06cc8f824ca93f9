"""python3 -m kpl_engine scan ...: a scan spread over a Dask cluster
(kpl_engine.distributed)."""
import sys


def _main(argv):
    if not argv or argv[0] in ("-h", "--help"):
        print("usage: python3 -m kpl_engine scan [options] [PATH...]   (scan --help for the options)",
              file=sys.stdout if argv else sys.stderr)
        return 0 if argv else 2
    if argv[0] != "scan":
        print("python3 -m kpl_engine: unknown command %r; the command is scan" % argv[0], file=sys.stderr)
        return 2
    from .distributed import main
    return main(argv[1:])


# Dask starts its local worker processes by spawning Python afresh, which
# imports this module again under another name: only the command runs it.
if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
