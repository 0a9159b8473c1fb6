"""The README's Python examples run, and give the results their comments show."""

import ast
import re
from pathlib import Path

import pytest
import scrivlet

README = (Path(__file__).resolve().parent.parent / "README.md").read_text(encoding="utf-8")
BLOCKS = re.findall(r"```python\n(.*?)```", README, re.S)


def _shown_value(comment):
    """The literal a comment starts with ("6: the caret jumps..." gives 6), if any."""
    for candidate in (comment, comment.split(": ", 1)[0], comment.split(" (", 1)[0]):
        try:
            return True, ast.literal_eval(candidate.strip())
        except (ValueError, SyntaxError):
            continue
    return False, None


def _checks(block):
    """(expression, value shown) pairs, with the statements to run before each."""
    pending, last_expr, out = [], None, []
    for line in block.splitlines():
        code, _, comment = line.partition("  # ") if not line.startswith("#") else ("", "", line[1:])
        code = code.strip()
        if code:
            try:
                ast.parse(code, mode="eval")
                last_expr = code
            except SyntaxError:
                pending.append(code)
                last_expr = None
                continue
        shown, value = _shown_value(comment) if comment else (False, None)
        if shown and last_expr is not None:
            out.append((list(pending), last_expr, value))
            last_expr = None
    return out


@pytest.mark.parametrize("block", BLOCKS, ids=[f"block{i}" for i in range(len(BLOCKS))])
def test_readme_examples_give_their_results(block):
    checks = _checks(block)
    assert checks, "a README example without a result to check"
    for statements, expression, value in checks:
        scope = {"scrivlet": scrivlet}
        exec("\n".join(statements), scope)
        assert eval(expression, scope) == value, expression
