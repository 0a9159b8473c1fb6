"""Hostile input: texts of 100 MB complete in every function, with results
consistent with their size; huge offsets and limits are plain values."""

import os

import pytest

import scrivlet
from calls import SAMPLE, success_calls

SANITIZED = os.environ.get("SCRIVLET_SANITIZED") == "1"
HUGE = SAMPLE * (100 * 1024 * 1024 // len(SAMPLE.encode()))


@pytest.mark.skipif(SANITIZED, reason="100 MB under the sanitizers takes too long")
@pytest.mark.parametrize("name,args", [(n, a[1:]) for n, a, _ in success_calls()], ids=lambda v: v if isinstance(v, str) else "")
def test_hundred_megabyte_text_completes(name, args):
    size = len(HUGE.encode())
    assert size >= 100 * 1024 * 1024 - len(SAMPLE.encode())
    result = getattr(scrivlet, name)(HUGE, *args)
    if isinstance(result, list) and result and isinstance(result[-1], tuple):
        assert result[-1] == (size, "mandatory")
    elif isinstance(result, list):
        assert result[0] == 0 and result[-1] < size
    elif isinstance(result, dict):
        assert len(result["levels"]) == len(HUGE)
    elif isinstance(result, str):
        assert len(result) > 0
    elif isinstance(result, tuple):
        assert result[0] <= result[1] <= size
    else:
        assert 0 <= result <= 2 * len(HUGE)


@pytest.mark.parametrize("name", ["move_left", "move_right", "move_left_visual", "move_right_visual"])
def test_largest_offset_is_treated_as_beyond_the_end(name):
    fn = getattr(scrivlet, name)
    assert fn("abc", 2**64 - 1) == fn("abc", 4)


def test_largest_limits_keep_the_whole_text():
    assert scrivlet.truncate_graphemes(SAMPLE, 2**64 - 1) == SAMPLE
    assert scrivlet.truncate_display_width(SAMPLE, 2**32 - 1) == SAMPLE
    assert scrivlet.select_word(SAMPLE, 2**64 - 1) == (2**64 - 1, 2**64 - 1)
