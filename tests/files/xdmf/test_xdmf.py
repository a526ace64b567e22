"""qrnconv xdmf on the sample analysis, read back with h5py.

The values are checked against qrnconv csv of the same steps (the CSV export
is the dataset as the window shows it), the XDMF text against the HDF5 file it
names, and failed exports against the files they must leave alone.

Usage: test_xdmf.py QRNCONV SAMPLE_DIR WORK_DIR
"""
import csv
import math
import os
import resource
import shutil
import signal
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET

try:
    import h5py
    import numpy as np
except ImportError:
    print("h5py / numpy missing: skipped")
    sys.exit(77)

QRNCONV, SAMPLE, WORK = sys.argv[1:4]
HIS = os.path.join(SAMPLE, "run1.his")
# Steps 20, 25, ..., 40 of the sample (interval 0.05 s).
RANGE = ["--from", "1", "--to", "2", "--every", "0.25"]
STEPS = [20, 25, 30, 35, 40]


def run(*args, preexec=None):
    return subprocess.run([QRNCONV, *args], capture_output=True, text=True, preexec_fn=preexec)


def read_csv(path):
    with open(path, encoding="shift_jis", newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def fresh(name):
    d = os.path.join(WORK, name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    return d


def files_of(folder):
    return {n: open(os.path.join(folder, n), "rb").read() for n in sorted(os.listdir(folder))}


class Content(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = fresh("content")
        out = os.path.join(cls.dir, "run.xdmf")
        for args in (["xdmf", HIS, out, *RANGE],
                     ["xdmf", HIS, os.path.join(cls.dir, "packed.xdmf"), *RANGE, "--compress"],
                     ["csv", HIS, os.path.join(cls.dir, "init.csv"), "--nodes", "all", "--init",
                      "--tension", *RANGE],
                     ["csv", HIS, os.path.join(cls.dir, "disp.csv"), "--nodes", "all", *RANGE]):
            r = run(*args)
            assert r.returncode == 0, r.stderr
        cls.h5 = h5py.File(os.path.join(cls.dir, "run.h5"), "r")
        cls.xdmf = ET.parse(out).getroot()

    @classmethod
    def tearDownClass(cls):
        cls.h5.close()

    def columns(self, name):
        """CSV columns by header: node number + axis -> column, and the rows."""
        header, rows = read_csv(os.path.join(self.dir, name))
        return {h: i for i, h in enumerate(header)}, rows

    def point_of(self, number):
        hits = np.flatnonzero(self.h5["points/node_numbers"][:] == number)
        self.assertEqual(len(hits), 1, number)
        return hits[0]

    def test_times_and_steps(self):
        cols, rows = self.columns("init.csv")
        self.assertEqual(list(self.h5["time/steps"][:]), STEPS)
        grids = self.xdmf.findall("./Domain/Grid/Grid")
        self.assertEqual([g.find("Time").get("Value") for g in grids], [r[0] for r in rows])
        for value, row in zip(self.h5["time/values"][:], rows):
            self.assertAlmostEqual(value, float(row[0]), places=12)

    def test_positions_displacements_theta(self):
        init, rows_init = self.columns("init.csv")
        disp, rows_disp = self.columns("disp.csv")
        numbers = {int(h[:-2]) for h in init if h.endswith("X軸")}
        self.assertEqual(len(numbers), 414)
        for i in range(len(STEPS)):
            pos = self.h5[f"steps/{i}/positions"][:]
            mm = self.h5[f"steps/{i}/displacement"][:]
            theta = self.h5[f"steps/{i}/theta"][:]
            for n in numbers:
                p = self.point_of(n)
                for a, axis in enumerate("XYZ"):
                    x = float(rows_init[i][init[f"{n}{axis}軸"]])
                    self.assertAlmostEqual(pos[p, a], x, delta=4e-6 * max(1.0, abs(x)))
                    # Whole millimetres, written in metres by the CSV.
                    self.assertEqual(mm[p, a], round(float(rows_disp[i][disp[f"{n}{axis}軸"]]) * 1000))
                # The stored angle is whole thousandths of a radian; the CSV cuts
                # its degrees (with 3.14159) to hundredths.
                mrad = round(theta[p] * math.pi / 180 * 1000)
                degrees = mrad * 0.18 / math.pi
                self.assertAlmostEqual(theta[p], degrees, delta=2e-7 * abs(degrees))
                self.assertEqual(math.floor(mrad * 18 / 3.14159) / 100,
                                 float(rows_disp[i][disp[f"{n}θ(ﾟ)"]]))

    def test_tensions(self):
        cols, rows = self.columns("init.csv")
        elements = list(self.h5["tension/elements"][:])
        values = self.h5["tension/values"][:]
        self.assertEqual(values.shape, (len(STEPS), len(elements)))
        for i, row in enumerate(rows):
            for k, e in enumerate(elements):
                self.assertEqual(values[i, k], int(row[cols[f"{e}張力(kg)"]]))

    def test_xdmf_points_at_datasets_of_its_shapes(self):
        kinds = {("Float", "4"): np.float32, ("Float", "8"): np.float64, ("Int", "4"): np.int32}
        grids = self.xdmf.findall("./Domain/Grid/Grid")
        self.assertEqual(len(grids), len(STEPS))
        items = self.xdmf.findall(".//DataItem")
        self.assertEqual(len(items), 6 * len(STEPS))
        for item in items:
            name, path = item.text.strip().split(":")
            self.assertEqual(name, "run.h5")
            ds = self.h5[path]
            self.assertEqual(ds.shape, tuple(int(d) for d in item.get("Dimensions").split()))
            self.assertEqual(ds.dtype, kinds[(item.get("NumberType"), item.get("Precision"))])
        cells = self.h5["cells/connectivity"][:]
        self.assertLess(cells.max(), self.h5["points/node_numbers"].shape[0])

    def test_compressed_holds_the_same(self):
        with h5py.File(os.path.join(self.dir, "packed.h5"), "r") as packed:
            names = []
            self.h5.visititems(lambda n, o: names.append(n) if isinstance(o, h5py.Dataset) else None)
            for n in names:
                if packed[n].size and not packed[n].is_virtual:
                    self.assertEqual((packed[n].compression, packed[n].shuffle), ("gzip", True), n)
                np.testing.assert_array_equal(packed[n][()], self.h5[n][()], n)

    def test_virtual_arrays_are_the_steps(self):
        for q in ("positions", "displacement", "theta"):
            whole = self.h5[f"all/{q}"]
            self.assertEqual(whole.shape[0], len(STEPS))
            for i in range(len(STEPS)):
                np.testing.assert_array_equal(whole[i], self.h5[f"steps/{i}/{q}"][:])


def no_bigger_than_1mb():
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))


class Failures(unittest.TestCase):
    def test_failed_exports_leave_the_older_pair(self):
        saved = "に保存できませんでした。"
        cases = [
            # name, prepare(folder) -> output path, extra args, preexec, message
            ("folder is a file", lambda d: os.path.join(d, "old.xdmf", "run.xdmf"), [], None, saved),
            ("read-only .h5", lambda d: (os.chmod(os.path.join(d, "old.h5"), 0o444),
                                         os.path.join(d, "old.xdmf"))[1], [], None,
             "ファイルが使用中か、書き込みが禁止されています。"),
            ("read-only .xdmf", lambda d: (os.chmod(os.path.join(d, "old.xdmf"), 0o444),
                                           os.path.join(d, "old.xdmf"))[1], [], None,
             "ファイルが使用中か、書き込みが禁止されています。"),
            ("disk fills", lambda d: os.path.join(d, "old.xdmf"), [], no_bigger_than_1mb,
             "ディスクの空き容量"),
            (".h5 as the XDMF name", lambda d: os.path.join(d, "old.h5"), [], None, saved),
            ("settings only", lambda d: os.path.join(d, "old.xdmf"), ["--mode", "4"], None,
             "XDMF/HDF5に出力できません"),
            ("no step in range", lambda d: os.path.join(d, "old.xdmf"), ["--from", "3", "--to", "1"],
             None, "出力する時間の範囲にデータがありません"),
        ]
        older = fresh("older")
        r = run("xdmf", HIS, os.path.join(older, "old.xdmf"), "--to", "0.2")
        self.assertEqual(r.returncode, 0, r.stderr)
        for name, prepare, extra, preexec, message in cases:
            with self.subTest(name):
                d = fresh("fail")
                for f in ("old.h5", "old.xdmf"):
                    shutil.copy(os.path.join(older, f), d)
                before = files_of(d)
                inp = os.path.join(SAMPLE, "st.dat") if "--mode" in extra else HIS
                r = run("xdmf", inp, prepare(d), *extra, preexec=preexec)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn(message, r.stderr)
                # Byte for byte the older pair, and no temporary left.
                self.assertEqual(files_of(d), before)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
