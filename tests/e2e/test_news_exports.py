"""The 32-bit release library's export table and calling convention, read with objdump."""
import os
import re
import subprocess

from conftest import ROOT

DLL = os.path.join(ROOT, "build", "i686", "MorvekNews.dll")
EXPORTS = ["MorvekNewsInit", "MorvekNewsClose", "MorvekNewsShow", "MorvekNewsConfig",
           "MorvekNewsGetShowNewsFlag", "MorvekNewsSetShowNewsFlag"]


def objdump(*args):
    return subprocess.run(["i686-w64-mingw32-objdump", *args, DLL], capture_output=True, text=True,
                          check=True).stdout


def test_six_undecorated_names_with_ordinals_1_to_6():
    table = objdump("-p")
    assert re.search(r"Ordinal Base\s+1\b", table)
    names = table[table.index("[Ordinal/Name Pointer] Table"):].split("\n\n")[0]
    # objdump counts from 0 against the ordinal base of 1.
    found = {name: int(index) + 1 for index, name in re.findall(r"\[\s*(\d+)\]\s+(\w+)", names)}
    assert found == {name: ordinal for ordinal, name in enumerate(EXPORTS, start=1)}


def test_one_argument_functions_pop_their_argument():
    code = objdump("-d")
    for name, pops in [("MorvekNewsShow", "$0x4"), ("MorvekNewsSetShowNewsFlag", "$0x4"),
                       ("MorvekNewsInit", None), ("MorvekNewsGetShowNewsFlag", None)]:
        body = re.search(r"<_?%s@\d+>:\n(.*?)\n\n" % name, code, re.S)
        assert body, name
        returns = re.findall(r"\bret\s*(\$0x[0-9a-f]+)?", body.group(1))
        assert returns, name
        assert all((r or None) == pops for r in returns), (name, returns)
