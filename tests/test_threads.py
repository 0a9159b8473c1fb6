"""Python threads calling every function at once get the single-threaded results."""

import threading

from calls import SAMPLE, call, success_calls

TEXTS = [SAMPLE, SAMPLE * 3, "ขอบคุณมาก ລາວ ខ្មែរ မြန်မာ", "abc", ""]


def test_concurrent_calls_match_single_threaded_results():
    jobs = [(n, (t,) + a[1:], k) for t in TEXTS for n, a, k in success_calls(t)]
    expected = [call(*job) for job in jobs]
    results, errors = {}, []
    barrier = threading.Barrier(8)

    def worker(index):
        try:
            barrier.wait()
            for rounds in range(20):
                for j, job in enumerate(jobs):
                    if (j + index + rounds) % 2 == 0:
                        results[(index, rounds, j)] = call(*job)
        except BaseException as e:  # report failures in the main thread
            errors.append(e)

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert results
    for (_, _, j), value in results.items():
        assert value == expected[j], jobs[j][0]
