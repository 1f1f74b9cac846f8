"""The C++ text of a generated code table, shared by the table generators beside it."""


def table_lines(struct, name, count_name, pairs):
    """The definition of `const struct name[]` holding the pairs, six to a line, and of
    count_name, their number."""
    lines = ["const %s %s[] = {" % (struct, name)]
    for i in range(0, len(pairs), 6):
        lines.append("    " + " ".join("{0x%04X, 0x%04X}," % p for p in pairs[i : i + 6]))
    return lines + ["};", "", "const size_t %s = sizeof %s / sizeof %s[0];" % (count_name, name, name), ""]
