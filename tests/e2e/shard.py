"""Runs one share of a test module's classes, so that a long module runs as several CTest
entries side by side: python3 shard.py MODULE COUNT INDEX runs the classes at positions
INDEX, INDEX + COUNT, ... (from 1, in name order). Each class keeps its own
setUpClass; a class added to the module falls into a share by itself."""

import sys
import unittest


def classes_in(suite):
    """The test classes of a loaded suite, in order of first appearance."""
    found = []
    for test in suite:
        for case in classes_in(test) if isinstance(test, unittest.TestSuite) else [type(test)]:
            if case not in found:
                found.append(case)
    return found


def main():
    module, count, index = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    loader = unittest.defaultTestLoader
    classes = classes_in(loader.loadTestsFromName(module))
    picked = [case for position, case in enumerate(classes) if position % count == index - 1]
    print("%s, share %d of %d: %s" % (module, index, count, ", ".join(c.__name__ for c in picked)))
    share = unittest.TestSuite(loader.loadTestsFromTestCase(case) for case in picked)
    result = unittest.TextTestRunner(verbosity=2).run(share)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
