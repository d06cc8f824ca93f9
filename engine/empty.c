/* kpl_engine.so is built entirely from kpl_core; CMake needs one source. */
