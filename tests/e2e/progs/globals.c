/* Heavily used objects inside functions that make calls: arrays of data
   and of the frame, scalars of every integer width, pointers, block
   statics and externs, and blocks that a goto or a case label enters in
   the middle. */
#include "e2e.h"

int gi;
short gs;
unsigned char gc;
int garr[16];
char gbuf[32];
int *gp;
static int scount;

int bump(int x) { return x + 1; }

void widths(void)
{
    int i;
    for (i = 0; i < 16; i++) {
        garr[i] = bump(i) * 3;
        gi += garr[i];
        gs += (short)i;
        gc += 7;
        gbuf[i] = (char)(gc + i);
    }
    gi += garr[3] + garr[15] + gs + gc + gbuf[2];
    CHECK(gi == 723);
    CHECK(gs == 120 && gc == 112 && gbuf[2] == 23);
    CHECK(garr[0] == 3 && garr[15] == 48);
}

void pointers(void)
{
    int i, *q;
    gp = garr;
    for (i = 0; i < 8; i++) {
        *gp = bump(i);
        gp++;
        q = &garr[i];
        *q += 1;
    }
    CHECK(gp == &garr[8] && gp[-1] == 9 && garr[0] == 2);
    CHECK(&garr[4] - gp == -4);
}

/* An array of the frame. */
int sum(int n)
{
    int loc[8], i, s = 0;
    for (i = 0; i < 8; i++)
        loc[i] = bump(i);
    for (i = 0; i < n; i++) {
        loc[i & 7] += 2;
        s += loc[(i + 3) & 7] + bump(loc[1]);
    }
    return s + loc[0] + loc[7];
}

/* Statics and externs of inner blocks. */
int blocks(int n)
{
    int total = 0;
    {
        static int hits[5];
        int k, t;
        for (k = 0; k < n; k++) {
            t = bump(k);
            hits[k % 5] += t;
            scount += hits[k % 5];
        }
        total = hits[0] + hits[1] + hits[4];
    }
    {
        extern int gi;
        int j;
        for (j = 0; j < 4; j++) {
            gi = bump(gi);
            total += gi;
        }
    }
    return total + scount;
}

/* A switch whose case labels lie inside a nested block, and a goto into
   the middle of one: the block's static is still reached. */
int dispatch(int v)
{
    int r = 0;
    switch (v) {
    case 0: {
        static int seen[4];
        seen[0] = bump(seen[0]);
        seen[1] = bump(seen[1]);
    case 1:
        seen[2] = bump(seen[2]);
        seen[3] = bump(seen[3]);
        r = seen[0] + seen[1] + seen[2] + seen[3] + garr[5];
        break;
    }
    default:
        r = -1;
    }
    return r;
}

int jumpin(int skip)
{
    int r = 0;
    if (skip) goto inside;
    {
        static char marks[6];
        marks[0] = (char)bump(marks[0]);
        marks[1] = (char)bump(marks[1]);
    inside:
        marks[2] = (char)bump(marks[2]);
        marks[3] = (char)bump(marks[3]);
        marks[4] = (char)bump(marks[4]);
        r = marks[0] + marks[1] + marks[2] + marks[3] + marks[4] + marks[5];
    }
    return r;
}

int main(void)
{
    int before, b;
    widths();
    pointers();
    CHECK(sum(10) == 120);
    before = gi;
    b = blocks(12);
    CHECK(gi == before + 4);
    CHECK(before == 723 && b == 3065);
    CHECK(dispatch(1) == 2 + garr[5]);
    CHECK(dispatch(0) == 6 + garr[5]);
    CHECK(dispatch(7) == -1);
    CHECK(jumpin(1) == 3);
    CHECK(jumpin(0) == 8);
    return 0;
}
