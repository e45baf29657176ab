/* Structures: assignment, arguments and results by value, nesting,
   arrays of structures, pointers to members, unions (one member at a time). */
#include "e2e.h"

struct point { int x, y; };
struct rect { struct point lo, hi; unsigned char tag; };
union num { int i; unsigned short h[2]; };

struct rect frame = {{1, 2}, {30, 40}, 7};

static struct point add(struct point a, struct point b)
{
    struct point r;
    r.x = a.x + b.x;
    r.y = a.y + b.y;
    return r;
}

static int area(const struct rect *r) { return (r->hi.x - r->lo.x) * (r->hi.y - r->lo.y); }

static struct rect grow(struct rect r, int by)
{
    r.lo.x -= by;
    r.lo.y -= by;
    r.hi.x += by;
    r.hi.y += by;
    r.tag++;
    return r;
}

int main(void)
{
    struct point pts[4], p;
    struct rect big;
    union num n;
    int i, *py;
    for (i = 0; i < 4; i++) {
        pts[i].x = i;
        pts[i].y = i * i;
    }
    p = add(pts[2], pts[3]);
    CHECK(p.x == 5 && p.y == 13);
    p = add(p, add(pts[1], pts[1]));
    CHECK(p.x == 7 && p.y == 15);
    CHECK(area(&frame) == 29 * 38);
    big = grow(frame, 3);
    CHECK(big.lo.x == -2 && big.hi.y == 43 && big.tag == 8 && frame.tag == 7);
    CHECK(area(&big) == 35 * 44);
    py = &big.hi.y;
    *py = 100;
    CHECK(big.hi.y == 100 && frame.hi.y == 40);
    big.lo = frame.hi;
    CHECK(big.lo.x == 30 && big.lo.y == 40);
    n.i = 123456;
    CHECK(n.i == 123456);
    n.h[1] = 9;
    CHECK(n.h[1] == 9);
    return result;
}
