/* Statements cut down from random programs that once compiled wrongly:
   each function keeps the shape that went wrong. */
#include "e2e.h"

/* a compound assignment to a char or short parameter, read again after */
static unsigned narrowparam(unsigned a, unsigned char b, unsigned short c)
{
    b ^= a << 3;
    c += 1000 * a;
    return b + c;
}

/* a local that lives across a counted loop beside a local of the loop's body */
static unsigned acrossloop(unsigned a)
{
    unsigned acc = a;
    unsigned char v = 3;
    {
        unsigned k;
        for (k = 0; k < 3; k++) {
            unsigned char t = a + k;
            acc += t;
        }
    }
    if (a & 1) acc = acc * 31 + v;
    return acc;
}

/* a parameter shifted in a loop's body, whose register the shift reuses */
static unsigned shiftinloop(unsigned a, unsigned short c)
{
    unsigned acc = a;
    unsigned k;
    for (k = 0; k < 4; k++) acc = ((c << k) & 16) >> (acc & 7);
    k = 0;
    while ((k & 1) != 0 || k < a) {
        acc += (c << k) & 16;
        k++;
    }
    return acc;
}

int main(void)
{
    CHECK(narrowparam(2, 200, 2000) == 216 + 4000);
    CHECK(narrowparam(9, 7, 65000) == 79 + 8464);
    CHECK(acrossloop(5) == 716);
    CHECK(shiftinloop(0, 3) == 16);
    CHECK(shiftinloop(5, 1) == 16);
    return 0;
}
