/* Compares: signed and unsigned, narrow types, as values and as conditions. */
#include "e2e.h"

static int lt(int a, int b) { return a < b; }
static int ult(unsigned a, unsigned b) { return a < b; }

int main(void)
{
    int m = -1, p = 1, i, n = 0;
    unsigned u = 0xFFFFFFFFu;
    signed char c = -1;
    unsigned char d = 255;
    short s = -2;
    unsigned short t = 65534;
    CHECK(m < p);
    CHECK(!((unsigned)m < (unsigned)p));
    CHECK(lt(m, p) == 1 && ult(m, p) == 0);
    CHECK(u > 1u);
    CHECK(c != d);
    CHECK(c == -1 && d == 255);
    CHECK(s < t);
    CHECK((m >= 0) + (p >= 0) + (p <= 1) + (m != p) == 3);
    CHECK((u == 0xFFFFFFFFu) == 1);
    for (i = -3; i <= 3; i++) {
        n = n * 3 + (i < 0) + 2 * (i == 0);
        n = n * 2 + ((unsigned)i > 2u);
    }
    CHECK(n == 168049);
    CHECK((m < p ? 10 : 20) + (u < 5 ? 1 : 2) == 12);
    CHECK((m && p) + (m || 0) + !m + !0 == 3);
    i = 0;
    if (m > 0 || p > 0 && (i = 5) == 5) i++;
    CHECK(i == 6);
    return result;
}
