/* Inline assembly among C statements (target only). */
#include "e2e.h"

int seen;

static int lowbits(int v)
{
    _asm("andi. r3,r3,15");
    return v & 15;
}

int main(void)
{
    int x = 5;
    _asm("nop");
    seen = x + 1;
    _asm("nop; nop");
    CHECK(seen == 6);
    CHECK(lowbits(0x1234) == 4);
    return result;
}
