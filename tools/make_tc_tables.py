#!/usr/bin/python3
"""Writes the thermocouple reference tables j.tc and k.tc.

The program converts a thermocouple's EMF to a temperature by scanning a table of
the reference EMF at every whole degree, so the tables must be faithful to the
standard curves and must increase strictly (the scan relies on it).

Source of the curves: the ITS-90 thermocouple reference functions of NIST
Monograph 175 (also distributed in NIST's ITS-90 thermocouple database, SRD 60).
The coefficients below, in mV and degrees Celsius, were cross-checked digit for
digit against two independent transcriptions: one of the monograph's tables
(stated in microvolts) and one of the database's coefficient file (stated in
millivolts); the type K exponential constants also against the database's
reference-function page.

Each file holds one value per line, in millivolts with six decimals ("."
decimal point, "-" for negative values), every line ended by CR LF:
  j.tc: type J at 0, 1, ..., 1100 deg C (1101 values)
  k.tc: type K at -200, -199, ..., 1370 deg C (1571 values)

The arithmetic is done in decimal with 40 significant digits and rounded
half-to-even once, at the end, so the files come out byte for byte the same on
every machine.

Usage: make_tc_tables.py [OUTPUT_DIR]      (default: the repository's data/)
       make_tc_tables.py --check [DIR]     (exit 1 if the files in DIR differ)
"""

import decimal
import pathlib
import sys
from decimal import Decimal

decimal.getcontext().prec = 40

# Each range: (lowest deg C, highest deg C, c0, c1, c2, ...), E = sum c_i * t^i in mV.
# Where two ranges share an end point the lower range is used there; the two
# functions agree at the joint to well under a microvolt.
TYPE_J = [
    (-210, 760, [
        "0.000000000000E+00",
        "0.503811878150E-01",
        "0.304758369300E-04",
        "-0.856810657200E-07",
        "0.132281952950E-09",
        "-0.170529583370E-12",
        "0.209480906970E-15",
        "-0.125383953360E-18",
        "0.156317256970E-22",
    ]),
    (760, 1200, [
        "0.296456256810E+03",
        "-0.149761277860E+01",
        "0.317871039240E-02",
        "-0.318476867010E-05",
        "0.157208190040E-08",
        "-0.306913690560E-12",
    ]),
]

TYPE_K = [
    (-270, 0, [
        "0.000000000000E+00",
        "0.394501280250E-01",
        "0.236223735980E-04",
        "-0.328589067840E-06",
        "-0.499048287770E-08",
        "-0.675090591730E-10",
        "-0.574103274280E-12",
        "-0.310888728940E-14",
        "-0.104516093650E-16",
        "-0.198892668780E-19",
        "-0.163226974860E-22",
    ]),
    (0, 1372, [
        "-0.176004136860E-01",
        "0.389212049750E-01",
        "0.185587700320E-04",
        "-0.994575928740E-07",
        "0.318409457190E-09",
        "-0.560728448890E-12",
        "0.560750590590E-15",
        "-0.320207200030E-18",
        "0.971511471520E-22",
        "-0.121047212750E-25",
    ]),
]

# Above 0 deg C type K adds a0 * exp(a1 * (t - a2)^2), which models the magnetic
# ordering of the nickel-aluminium leg around 127 deg C.
K_EXP_A0 = Decimal("0.118597600000E+00")
K_EXP_A1 = Decimal("-0.118343200000E-03")
K_EXP_A2 = Decimal("0.126968600000E+03")

MICROVOLT = Decimal("0.000001")


def polynomial(coefficients, t):
    result = Decimal(0)
    for c in reversed(coefficients):
        result = result * t + Decimal(c)
    return result


def pick_range(ranges, t):
    for low, high, coefficients in ranges:
        if low <= t <= high:
            return coefficients
    raise ValueError(f"{t} deg C lies outside the reference function")


def emf_j(t):
    return polynomial(pick_range(TYPE_J, t), Decimal(t))


def emf_k(t):
    e = polynomial(pick_range(TYPE_K, t), Decimal(t))
    if t > 0:
        e += K_EXP_A0 * (K_EXP_A1 * (Decimal(t) - K_EXP_A2) ** 2).exp()
    return e


def table(emf, first, last):
    values = [emf(t).quantize(MICROVOLT, rounding=decimal.ROUND_HALF_EVEN)
              for t in range(first, last + 1)]
    for k in range(1, len(values)):
        if values[k] <= values[k - 1]:
            raise AssertionError(f"table does not increase at {first + k} deg C")
    return values


def render(values):
    # Decimal keeps the sign of a negative zero; the tables never hold one, but a
    # "-0.000000" would still read back as 0, so normalise it anyway.
    lines = [format(v if v != 0 else Decimal("0.000000"), "f") for v in values]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


TABLES = {
    "j.tc": (emf_j, 0, 1100),
    "k.tc": (emf_k, -200, 1370),
}


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    out_dir = pathlib.Path(args[0]) if args else pathlib.Path(__file__).resolve().parent.parent / "data"
    status = 0
    for name, (emf, first, last) in TABLES.items():
        data = render(table(emf, first, last))
        path = out_dir / name
        if check:
            if not path.is_file() or path.read_bytes() != data:
                print(f"{path} is out of date", file=sys.stderr)
                status = 1
        else:
            out_dir.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
            print(f"wrote {path}: {last - first + 1} values")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
