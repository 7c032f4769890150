"""stats_many on a real cluster: two worker processes on loopback, then one of them killed in the
middle of the run."""
import os
import signal

import distributed
import pandas

import oscimo.dask


def test_stats_many_on_two_workers_one_killed(archive, tmp_path):
    alone = oscimo.dask.stats_many(archive, per_task=1)
    marker = str(tmp_path / "killed")

    class KillOnce(distributed.WorkerPlugin):
        """The first worker to finish its second task dies at once, its results with it; only
        one, ever: the marker is made exclusively."""

        def setup(self, worker):
            self.finished = 0

        def transition(self, key, start, finish, **kwargs):
            if finish != "memory":
                return
            self.finished += 1
            if self.finished == 2:
                try:
                    os.close(os.open(marker, os.O_CREAT | os.O_EXCL))
                except FileExistsError:
                    return
                os.kill(os.getpid(), signal.SIGKILL)

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert all(address.startswith("tcp://127.0.0.1:") for address in client.ncores())
        pandas.testing.assert_frame_equal(oscimo.dask.stats_many(archive, per_task=1), alone)
        client.register_worker_plugin(KillOnce())
        # Tasks of two recordings each: keys the first run did not make, so all run anew.
        again = oscimo.dask.stats_many(archive, per_task=2)
        assert os.path.exists(marker)
        pandas.testing.assert_frame_equal(again, alone)
        client.wait_for_workers(2)  # the nanny's new worker, so that both close in order
