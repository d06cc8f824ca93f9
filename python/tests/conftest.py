import os
import sys

# Tests run against the checkout's package and the build tree's engine home
# (or $KPL_HOME).
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "python"))
SAMPLES = os.path.join(ROOT, "samples", "files")
