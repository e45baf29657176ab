/* Objects in the "dir" space, reached through r13, and long, which is 4
   bytes here (target only). */
#include "e2e.h"

@dir int ticks = 40;
@dir unsigned short marks[4] = {1, 2, 3, 4};
@dir int zeroed[3];
long big = 100000L;

static int tick(int by)
{
    ticks += by;
    return ticks;
}

int main(void)
{
    int i, s = 0;
    CHECK(tick(2) == 42 && ticks == 42);
    for (i = 0; i < 4; i++) s += marks[i] * (zeroed[i % 3] + 1);
    CHECK(s == 10);
    zeroed[1] = 7;
    CHECK(zeroed[0] + zeroed[1] + zeroed[2] == 7);
    CHECK(sizeof(long) == 4 && big * 3 == 300000L && sizeof(void *) == 4);
    return result;
}
