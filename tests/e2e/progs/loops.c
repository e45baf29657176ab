/* Loops: constant and variable counts, counts of zero and below, nesting,
   early exits and loops that change their bound. */
#include "e2e.h"

int counts[5];

static int runs(int n)
{
    int i, k = 0;
    for (i = 0; i < n; i++) k++;
    return k;
}

static int down(int n)
{
    int k = 0;
    while (n-- > 0) k += 2;
    return k;
}

int main(void)
{
    int i, j, s = 0;
    unsigned u;
    CHECK(runs(0) == 0 && runs(-5) == 0 && runs(1) == 1 && runs(1000) == 1000);
    CHECK(down(0) == 0 && down(-1) == 0 && down(7) == 14);
    for (i = 0; i < 5; i++)
        for (j = 0; j < i; j++) counts[i] += j;
    CHECK(counts[0] == 0 && counts[1] == 0 && counts[4] == 6);
    for (i = 10; i > 0; i -= 3) s += i;
    CHECK(s == 22);
    for (u = 3; u != 0; u--) s *= 2;
    CHECK(s == 176);
    i = 0;
    do i += 5; while (i < 23);
    CHECK(i == 25);
    for (i = 0, s = 0; i < 100; i++) {
        if (i == 50) break;
        if (i & 1) continue;
        s += i;
    }
    CHECK(s == 600 && i == 50);
    for (i = 0, j = 10; i < j; i++, j--) s--;
    CHECK(s == 595);
    s = 0;
    for (i = 0; i < 8; i++) {
        for (j = 0; j < 8; j++) {
            if (j > i) goto next;
            s++;
        }
    next:;
    }
    CHECK(s == 36);
    return result;
}
