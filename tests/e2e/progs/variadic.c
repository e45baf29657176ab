/* Variadic functions: integers, narrow values and doubles after the fixed
   arguments. */
#include <stdarg.h>
#include "e2e.h"

static int sumints(int n, ...)
{
    va_list ap;
    int s = 0;
    va_start(ap, n);
    while (n-- > 0) s += va_arg(ap, int);
    va_end(ap);
    return s;
}

/* Letters say what follows: i int, d double. */
static double mix(const char *fmt, ...)
{
    va_list ap;
    double s = 0;
    va_start(ap, fmt);
    for (; *fmt; fmt++) {
        if (*fmt == 'i') s += va_arg(ap, int);
        else s += va_arg(ap, double);
    }
    va_end(ap);
    return s;
}

int main(void)
{
    signed char c = -7;
    short h = 300;
    float f = 0.25f;
    CHECK(sumints(0) == 0);
    CHECK(sumints(3, 1, 2, 3) == 6);
    CHECK(sumints(12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12) == 78);
    CHECK(sumints(2, c, h) == 293);
    CHECK(mix("idid", 1, 2.5, 3, f) == 6.75);
    CHECK(mix("ddd", 1.5, -2.0, 0.125) == -0.375);
    return result;
}
