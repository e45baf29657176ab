/* Division and remainder: every sign, constants, powers of two, unsigned. */
#include "e2e.h"

static int q(int a, int b) { return a / b; }
static int r(int a, int b) { return a % b; }
static unsigned uq(unsigned a, unsigned b) { return a / b; }
static unsigned ur(unsigned a, unsigned b) { return a % b; }

int main(void)
{
    int a[4] = {17, -17, 17, -17}, b[4] = {5, 5, -5, -5};
    int wantq[4] = {3, -3, -3, 3}, wantr[4] = {2, -2, 2, -2};
    int i, v = -1001;
    unsigned u = 4000000001u;
    for (i = 0; i < 4; i++) {
        CHECK(q(a[i], b[i]) == wantq[i]);
        CHECK(r(a[i], b[i]) == wantr[i]);
    }
    CHECK(v / 8 == -125 && v % 8 == -1);
    CHECK(v / 7 == -143 && v % 7 == 0);
    CHECK(v / -3 == 333 && v % -3 == -2);
    CHECK(v / 1000 == -1 && v % 1000 == -1);
    CHECK(u / 16 == 250000000u && u % 16 == 1);
    CHECK(u / 3 == 1333333333u && u % 3 == 2);
    CHECK(uq(u, 7) == 571428571u && ur(u, 7) == 4);
    CHECK(uq(u, 4000000002u) == 0 && ur(u, 4000000002u) == u);
    CHECK(q(0, -9) == 0 && r(-8, 9) == -8);
    CHECK(q(2147483647, 2) == 1073741823);
    CHECK(q(-2147483647 - 1, 2) == -1073741824);
    CHECK(r(-2147483647 - 1, 3) == -2);
    v = 1000;
    v /= -7;
    CHECK(v == -142);
    v %= 5;
    CHECK(v == -2);
    return result;
}
