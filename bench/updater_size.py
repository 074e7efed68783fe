#!/usr/bin/python3
"""updater_size.py UPDATER STRIP: prints the updater's size as built and
stripped, the size of the payload and of the compressed logo inside it, and
what the stripped updater weighs without the payload against its budget of
700 KB."""
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tools"))
from pe_image import RT_BITMAP, RT_RCDATA, PEImage  # noqa: E402

BUDGET = 700 * 1024


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    updater, strip = Path(sys.argv[1]), sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        stripped = Path(folder) / updater.name
        subprocess.run([strip, "--strip-all", "-o", str(stripped), str(updater)], check=True)
        stripped_size = stripped.stat().st_size
        image = PEImage(stripped.read_bytes())
        payload = image.resource(RT_RCDATA, "UPDATEDATA")
        logo = image.resource(RT_BITMAP, "LOGO")
    unpacked = int.from_bytes(payload[13:17], "little")
    without = stripped_size - len(payload)
    print(f"updater size: {updater}")
    print(f"  as built              {updater.stat().st_size:>10,} bytes")
    print(f"  stripped              {stripped_size:>10,} bytes")
    print(f"  payload inside        {len(payload):>10,} bytes compressed ({unpacked:,} unpacked)")
    print(f"  logo inside           {len(logo):>10,} bytes compressed "
          f"({int.from_bytes(logo[13:17], 'little'):,} unpacked)")
    verdict = f"{BUDGET - without:,} bytes under" if without <= BUDGET else f"{without - BUDGET:,} bytes OVER"
    print(f"  stripped, no payload  {without:>10,} bytes: {verdict} the budget of 700 KB ({BUDGET:,} bytes)")


if __name__ == "__main__":
    main()
