/* The conditional operator, also with several calls in one branch. */
#include "e2e.h"

static int calls;
static int f(int x) { calls++; return x * 2; }
static int g(int x) { calls++; return x + 100; }

int main(void)
{
    int i, s = 0;
    for (i = 0; i < 6; i++) s += i & 1 ? f(i) + g(i) : i;
    CHECK(s == 2 + 101 + 6 + 103 + 10 + 105 + 0 + 2 + 4);
    CHECK(calls == 6);
    s = 0;
    for (i = 0; i < 4; i++) s += i < 2 ? f(g(i)) : g(f(i)) - f(i);
    CHECK(s == 200 + 202 + 100 + 100);
    s = 3;
    s = s > 2 ? f(s) * g(s) + f(1) : 0;
    CHECK(s == 6 * 103 + 2);
    CHECK((s ? (f(1) ? g(1) : f(0)) : 0) == 101);
    return result;
}
