/* Shifts by constants and by variables, signed and unsigned. */
#include "e2e.h"

int neg = -12345;
unsigned big = 0x87654321u;

static int sar(int v, int n) { return v >> n; }
static unsigned shr(unsigned v, int n) { return v >> n; }
static unsigned shl(unsigned v, int n) { return v << n; }

int main(void)
{
    int n;
    unsigned acc = 0;
    CHECK(neg >> 1 == -6173);
    CHECK(neg >> 4 == -772);
    CHECK(sar(neg, 31) == -1);
    CHECK(sar(12345, 31) == 0);
    CHECK((big >> 28) == 8);
    CHECK(shr(big, 31) == 1);
    CHECK(shr(big, 0) == big);
    CHECK(shl(big, 4) == 0x76543210u);
    CHECK(shl(1, 31) == 0x80000000u);
    CHECK((big << 16 >> 16) == 0x4321u);
    CHECK(((int)big >> 16) == (int)0xFFFF8765u);
    for (n = 0; n < 32; n++) acc += shr(big, n) ^ shl(big, n) ^ (unsigned)sar((int)big, n);
    CHECK(acc == 0x400CBCE1u);
    CHECK((unsigned char)(0xF0 << 2) == 0xC0);
    CHECK(((unsigned short)0x8001 >> 1) == 0x4000);
    n = 5;
    CHECK((3 << n) + (96 >> n) == 99);
    big >>= 8;
    big <<= 4;
    CHECK(big == 0x08765430u);
    return result;
}
