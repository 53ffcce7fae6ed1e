"""bench_files.py DIR COUNT: the bench's files f00000 ... in DIR, made once.
Every tenth file is under 1 KiB, the others 4 KiB to 1 MiB. Each holds
random bytes up to 4 KiB; beyond that it is a hole, since the fingerprint
reads only the head and the disk need not hold gigabytes of noise."""
import os
import random
import sys

directory, count = sys.argv[1], int(sys.argv[2])
stamp = os.path.join(directory, "complete")
if os.path.exists(stamp) and open(stamp).read() == str(count):
    sys.exit(0)
os.makedirs(directory, exist_ok=True)
rng = random.Random(12)
for i in range(count):
    size = rng.randint(1, 1023) if i % 10 == 3 else rng.randint(4096, 1 << 20)
    with open(os.path.join(directory, "f%05d" % i), "wb") as f:
        f.write(rng.randbytes(min(size, 4096)))
        f.truncate(size)
with open(stamp, "w") as f:
    f.write(str(count))
