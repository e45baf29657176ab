/* Switches: dense tables, sparse values, negative cases, fall-through,
   nesting, and a switch inside a counted loop. */
#include "e2e.h"

static int dense(int x)
{
    switch (x) {
    case 0: return 3;
    case 1: return 1;
    case 2: return 4;
    case 3: return 1;
    case 4: return 5;
    case 5: return 9;
    case 6: return 2;
    case 8: return 6;
    default: return -1;
    }
}

static int sparse(int x)
{
    int r = 0;
    switch (x) {
    case -1000: r = 1; break;
    case -5: r = 2;      /* falls through */
    case 7: r += 3; break;
    case 100: r = 4; break;
    case 65536: r = 5; break;
    case 2147483647: r = 6; break;
    }
    return r;
}

static int nested(unsigned char a, int b)
{
    switch (a) {
    case 'x':
        switch (b) {
        case 1: return 11;
        case 2: return 12;
        }
        return 10;
    case 'y': return 20;
    case 255: return 30;
    }
    return 0;
}

int main(void)
{
    int i, s = 0;
    for (i = -2; i < 10; i++) s = s * 2 + dense(i);
    CHECK(s == -377);
    CHECK(sparse(-1000) == 1 && sparse(-5) == 5 && sparse(7) == 3);
    CHECK(sparse(100) == 4 && sparse(65536) == 5 && sparse(2147483647) == 6 && sparse(8) == 0);
    CHECK(nested('x', 1) == 11 && nested('x', 2) == 12 && nested('x', 3) == 10);
    CHECK(nested('y', 0) == 20 && nested(255, 0) == 30 && nested(0, 0) == 0);
    s = 0;
    for (i = 0; i < 20; i++) {
        switch (i % 5) {
        case 0: continue;
        case 1: s += 1; break;
        case 2: s += 10;
        case 3: s += 100; break;
        default: if (i > 15) i = 100; s += 1000;
        }
    }
    CHECK(s == 4 * 1 + 4 * 110 + 4 * 100 + 4 * 1000 && i == 101);
    return result;
}
