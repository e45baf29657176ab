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

/* compound assignments to globals that call a helper (float, double) or
   whose right side calls a function (indexed and through a pointer) */
static float gf = 1.5f, gh = 2.25f;
static double gd = 3.0, ge = 0.5;
static unsigned stable[6] = {1, 2, 3, 4, 5, 6};
static short sa[8];
static int *gp, garr[4], ncalls;
static int triple(int i) { return i * 3; }
static int mix(int k) { ncalls++; return k * 7919 + 13; }

static int globalfloats(void)
{
    int i, r;
    short s;
    gf += gh;
    gd += ge;
    if ((int)(gf * 100.0f) != 375 || (int)(gd * 100.0) != 350) return 0;
    for (i = 0; i < 3; i++) {
        gd = gd * 2.0 + (double)triple(i);
        gd -= gf;
    }
    r = (int)(gd * 1000.0);
    /* the right side converts a local (kept on the stack under -a2) */
    gf = 1.5f;
    gd = 1.5;
    for (i = 0; i < 3; i++) {
        gf += (float)i;
        gd += (double)i;
    }
    if ((int)(gf * 1000.0f) != 4500 || (int)(gd * 1000.0) != 4500) return 0;
    for (s = 0; s < 3; s++) {
        gf += (float)s;
        gd -= (double)s;
    }
    if ((int)(gf * 1000.0f) != 7500 || (int)(gd * 1000.0) != 1500) return 0;
    return r;
}

static int callsonright(void)
{
    int k;
    gp = garr;
    for (k = 0; k < 20; k++) stable[k % 6] ^= mix(k) + stable[(k + 5) % 6];
    for (k = 0; k < 16; k++) sa[k & 7] += (short)mix(k);
    gp[1] += mix(5);
    gp[1] -= mix(2);
    garr[2] *= mix(1) + 1;
    garr[2] += 3;
    return (stable[0] ^ stable[3] ^ stable[5]) == 1846211u && sa[0] + sa[3] * 3 + sa[7] == -85062 &&
           garr[1] * 10 + garr[2] + ncalls == 237612;
}

int main(void)
{
    CHECK(narrowparam(2, 200, 2000) == 216 + 4000);
    CHECK(narrowparam(9, 7, 65000) == 79 + 8464);
    CHECK(acrossloop(5) == 716);
    CHECK(shiftinloop(0, 3) == 16);
    CHECK(shiftinloop(5, 1) == 16);
    CHECK(globalfloats() == 13750);
    CHECK(callsonright());
    return 0;
}
