/* Values of assignments and conditionals used as operands of other
   expressions, also where a call inside needs the registers that hold the
   other operand or the place assigned to. */
#include "e2e.h"

static unsigned g, arr[4], *p = arr;
static int calls;
static unsigned h(unsigned v) { calls++; return v * 3 + 1; }

static unsigned addvalue(void) { return (g += 4); }
static unsigned addsum(unsigned s, unsigned t) { return (g += s) + t; }
static unsigned subproduct(unsigned s, unsigned t) { return s * (g -= t); }

static unsigned shiftcall(unsigned acc, unsigned v)
{
    return 8 >> (((acc ^ v) ? (v & 7) : h(acc)) & 7);
}

static unsigned maskcall(unsigned v0, unsigned v1, unsigned v2, unsigned a, unsigned c)
{
    return (v1 & (v0 + v2)) & ((v0 * a) ? (v0 << (v2 & 7)) : h(c));
}

/* the left of a comma in a condition: only the operands that C evaluates */
static unsigned hits;
static unsigned tally(unsigned v) { hits += v; return v; }
static unsigned discard(unsigned s, unsigned t)
{
    unsigned x = ((s ? tally(1) : tally(2)), t) ? 5 : 6;
    x += ((s && tally(4)), t) ? 10 : 20;
    x += ((s || tally(8)), t) ? 100 : 200;
    return x;
}

int main(void)
{
    unsigned s, x;
    g = 3;
    s = (g += 4);
    CHECK(s == 7 && g == 7);
    CHECK(addvalue() == 11 && g == 11);
    CHECK(addsum(5, 2) == 18 && g == 16);
    CHECK(subproduct(3, 6) == 30 && g == 10);

    CHECK(shiftcall(1, 2) == 2 && calls == 0);
    CHECK(shiftcall(3, 3) == 2 && calls == 1);
    CHECK(maskcall(6, 0xFF, 1, 1, 9) == 4 && calls == 1);
    CHECK(maskcall(6, 0xFF, 1, 0, 10) == 7 && calls == 2);

    arr[1] = 9;
    p[1] |= h(2);
    CHECK(arr[1] == 15 && calls == 3);
    x = (p[1] |= h(16));
    CHECK(x == 63 && arr[1] == 63);
    s = 1;
    CHECK((arr[s & 3] -= (h(2) & 7)) == 56 && arr[1] == 56);
    CHECK((*p -= h(1)) == 0u - 4 && arr[0] == 0u - 4);
    p[h(0) & 1] += h(3);
    CHECK(arr[1] == 66 && calls == 8);

    /* a pointer stepped while it is used as an address */
    arr[2] = 77;
    p = arr + 2;
    CHECK(*p-- == 77 && p == arr + 1);
    CHECK(p++[1] == 77 && p == arr + 2);
    CHECK(discard(1, 2) == 115 && hits == 5);
    CHECK(discard(0, 0) == 226 && hits == 15);
    return result;
}
