/* An integer workload for the simulator and its peer: a sieve, a shell
   sort of pseudo-random words and a hash over them, rounds times. Built
   freestanding with powerpc-linux-gnu-gcc -O2; start.s calls it. */
static unsigned char sieve[8192];
static unsigned table[2048];

unsigned work(unsigned rounds)
{
    unsigned hash = 0x52E6B439u, state = 0x1D2Bu;
    for (unsigned r = 0; r < rounds; r++) {
        for (unsigned i = 0; i < sizeof sieve; i++) sieve[i] = 1;
        unsigned primes = 0;
        for (unsigned i = 2; i < sizeof sieve; i++) {
            if (!sieve[i]) continue;
            primes++;
            for (unsigned j = 2 * i; j < sizeof sieve; j += i) sieve[j] = 0;
        }
        for (unsigned i = 0; i < 2048; i++) {
            state = state * 0xF2A74DE5u + 0x3A2Du;
            table[i] = state >> 8;
        }
        for (unsigned gap = 1024; gap; gap /= 2)
            for (unsigned i = gap; i < 2048; i++) {
                unsigned v = table[i], j = i;
                for (; j >= gap && table[j - gap] > v; j -= gap) table[j] = table[j - gap];
                table[j] = v;
            }
        for (unsigned i = 0; i < 2048; i++) hash = (hash ^ table[i]) * 0x269E0D37u;
        hash += primes;
    }
    return hash;
}
