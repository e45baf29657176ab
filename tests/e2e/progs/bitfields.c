/* Unsigned bit-fields: reads, writes, compound assignments, neighbours kept. */
#include "e2e.h"

struct flags {
    unsigned a : 3;
    unsigned b : 5;
    unsigned c : 1;
    unsigned d : 12;
    unsigned e : 11;
};

struct flags g;

static unsigned sum(struct flags *f) { return f->a + f->b + f->c + f->d + f->e; }

int main(void)
{
    struct flags l;
    int i;
    g.a = 5;
    g.b = 31;
    g.c = 1;
    g.d = 4095;
    g.e = 1000;
    CHECK(sum(&g) == 5 + 31 + 1 + 4095 + 1000);
    g.a = 9;            /* keeps the low three bits */
    CHECK(g.a == 1 && g.b == 31);
    g.b += 3;           /* wraps */
    CHECK(g.b == 2 && g.c == 1 && g.d == 4095);
    g.d ^= 0xF0F;
    CHECK(g.d == 0x0F0 && g.e == 1000);
    l = g;
    l.e >>= 3;
    CHECK(l.e == 125 && g.e == 1000);
    l.c = 0;
    CHECK(l.c == 0 && l.d == 0xF0 && l.a == 1);
    for (i = 0; i < 10; i++) l.a++;
    CHECK(l.a == 3);
    CHECK(sum(&l) == 3 + 2 + 0 + 240 + 125);
    return result;
}
