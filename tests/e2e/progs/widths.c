/* Integer widths: narrowing, widening, wrap-around and promotions. */
#include "e2e.h"

signed char sc = -100;
unsigned char uc = 200;
short ss = -30000;
unsigned short us = 60000;
int si = -2000000000;
unsigned ui = 4000000000u;

static unsigned char addu8(unsigned char a, unsigned char b) { return a + b; }
static signed char adds8(signed char a, signed char b) { return a + b; }
static short mul16(short a, short b) { return a * b; }

int main(void)
{
    signed char c;
    unsigned short h;
    int i;
    CHECK(sc + uc == 100);
    CHECK(ss + us == 30000);
    CHECK(si + (int)(ui - 4000000000u) == -2000000000);
    CHECK(ui > 3999999999u);
    CHECK(addu8(uc, 100) == 44);
    CHECK(adds8(100, 100) == -56);
    CHECK(mul16(300, 300) == 24464);
    c = (signed char)0x1F0;
    CHECK(c == -16);
    h = (unsigned short)-1;
    CHECK(h == 65535);
    CHECK((unsigned char)(uc * 2) == 144);
    CHECK((short)(us + 10000) == 4464);
    CHECK((int)(unsigned short)ss == 35536);
    CHECK((unsigned)sc == 4294967196u);
    CHECK(-uc == -200);
    CHECK(~uc == -201);
    uc += 100;
    CHECK(uc == 44);
    ss -= 5000;
    CHECK(ss == 30536);
    CHECK((unsigned)us * us == 3600000000u);
    CHECK((ui + ui) == 3705032704u);
    CHECK(si - 1000000000 + 1000000000 == si);
    for (i = 0, c = 0; i < 300; i++) c++;
    CHECK(c == 44);
    return result;
}
