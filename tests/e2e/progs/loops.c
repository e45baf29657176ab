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

/* Loops over elements reached through a pointer that the loop may change:
   the index steps on its own, and the test may move onto it. */
int buf[24];
int *gp;
short sbuf[8];
short *sp;
int ticks;

static int next(void)
{
    ticks = ticks + 1;
    return ticks;
}

static int sum(int from, int to)
{
    int k, s = 0;
    for (k = from; k < to; k++) s += buf[k];
    return s;
}

static void clear(void)
{
    int k;
    for (k = 0; k < 24; k++) buf[k] = 0;
    ticks = 0;
}

/* One variable per loop: a variable that nothing else reads may go, and
   its loop's test move onto the index. */
static void indexed(void)
{
    int i0, i1, i2, i3, i4, i5, i6, i7, i8, i9, i10, i11, i12;
    unsigned u0, u1, u2, u3;
    gp = buf;
    for (i0 = 0; i0 < 10; i0++) gp[i0] = next();
    CHECK(sum(0, 24) == 55 && buf[9] == 10 && buf[10] == 0);
    clear();
    gp = buf + 12;
    for (i1 = 5; i1 >= -5; i1--) gp[i1] = next();
    CHECK(buf[17] == 1 && buf[7] == 11 && buf[6] == 0 && sum(0, 24) == 66);
    clear();
    for (i2 = 3; i2 > -3; i2 -= 1) gp[i2] = next();
    CHECK(buf[15] == 1 && buf[10] == 6 && buf[9] == 0 && sum(0, 24) == 21);
    clear();
    gp = buf;
    for (i3 = 2; i3 != 6; i3++) gp[i3] = next();
    for (i4 = 20; i4 <= 23; i4++) gp[i4] = next();
    CHECK(buf[2] == 1 && buf[5] == 4 && buf[6] == 0 && buf[20] == 5 && buf[23] == 8 && sum(0, 24) == 36);
    clear();
    /* the bound times the step does not fit: the test stays on the variable */
    for (i5 = 0; i5 < 0x40000000; i5++) {
        gp[i5] = next();
        if (ticks == 7) break;
    }
    CHECK(buf[6] == 7 && buf[7] == 0);
    clear();
    /* unsigned: the scaled bound is above the signed range */
    for (u0 = 0; u0 < 0x30000000u; u0++) {
        gp[u0] = next();
        if (ticks == 3) break;
    }
    CHECK(buf[2] == 3 && buf[3] == 0);
    clear();
    /* no runs at all */
    for (i6 = 5; i6 < 3; i6++) gp[i6] = next();
    for (i7 = 0x40000000; i7 < 3; i7++) gp[i7] = next();
    for (u1 = 4; u1 < 4; u1++) gp[u1] = next();
    CHECK(ticks == 0 && sum(0, 24) == 0);
    /* short elements, nested loops */
    sp = sbuf;
    for (i8 = 0; i8 < 8; i8++) sp[i8] = (short)next();
    CHECK(sbuf[0] == 1 && sbuf[7] == 8);
    clear();
    for (i9 = 0; i9 < 3; i9++)
        for (u2 = 0; u2 < 4u; u2++) {
            int v = next();
            gp[u2] += v;
        }
    CHECK(buf[0] == 1 + 5 + 9 && buf[3] == 4 + 8 + 12 && buf[4] == 0);
    clear();
    /* read after the loop: the test stays on the variable */
    for (i10 = 0; i10 < 6; i10++) gp[i10] = next();
    CHECK(i10 == 6 && buf[5] == 6);
    clear();
    for (i11 = 0; i11 < 4; i11++) gp[i11 * 2] = next();
    CHECK(buf[0] == 1 && buf[6] == 4 && buf[7] == 0 && sum(0, 24) == 10);
    clear();
    /* counted loops (no call) over the changing base */
    for (i12 = 0; i12 < 5; i12++) gp[i12] = 7;
    for (u3 = 20; u3 != 17; u3--) gp[u3] = 1;
    CHECK(buf[4] == 7 && buf[5] == 0 && buf[18] == 1 && buf[17] == 0 && sum(0, 24) == 38);
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
    indexed();
    return result;
}
