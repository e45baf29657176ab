/* Floating point through the helpers: arithmetic, conversions and compares
   in single and double precision, with results that are exact. */
#include "e2e.h"

double half = 0.5;
float third = 1.0f / 3.0f;

static double poly(double x) { return ((2.0 * x - 3.0) * x + 0.25) * x - 8.0; }
static float avg(float a, float b) { return (a + b) / 2; }

int main(void)
{
    double d = 1.0, e;
    float f;
    int i;
    unsigned u;
    CHECK(poly(2.0) == -3.5);
    CHECK(poly(-1.5) == -21.875);
    CHECK(avg(1.5f, 2.25f) == 1.875f);
    for (i = 0; i < 10; i++) d *= 2.5;
    CHECK(d == 9536.7431640625);
    CHECK((int)d == 9536 && (int)-d == -9536);
    e = d / 1024;
    CHECK(e > 9.3 && e < 9.32);
    f = third * 3;
    CHECK(f == 1.0f);
    CHECK((double)third != 1.0 / 3.0);
    u = 3000000000u;
    d = u;
    CHECK(d == 3e9 && (unsigned)d == u);
    d = -7;
    CHECK(d < 0 && -d > 6.5 && d <= -7 && d >= -7.0 && d != -7.5);
    f = (float)(half + 0.25);
    CHECK(f == 0.75f && f * 4 == 3);
    i = 7;
    d = i / 2 + i / 2.0;
    CHECK(d == 6.5);
    CHECK((float)16777217 == 16777216.0f);
    CHECK(1e300 * 1e10 > 1e308);
    CHECK(3.0f - 2 * 1.5f == 0.0f);
    return result;
}
