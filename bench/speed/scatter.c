/* Scattered loads and stores over a table of KIB KiB: rounds pseudo-random
   words are read, summed and written back. Built freestanding with
   powerpc-linux-gnu-gcc -O2 -DKIB=...; start.s calls it. */
static unsigned table[KIB * 256];

unsigned work(unsigned rounds)
{
    unsigned x = 12345, sum = 0;
    const unsigned mask = sizeof table - 4;
    while (rounds--) {
        x = x * 1664525u + 1013904223u;
        unsigned* p = (unsigned*)((char*)table + (x & mask));
        sum += *p;
        *p = sum;
    }
    return sum;
}
