/* Volatile objects are read and written as often as the source says. */
#include "e2e.h"

volatile int port;
volatile unsigned char status[4];

static int poll(volatile int *p, int times)
{
    int s = 0;
    while (times-- > 0) s += *p;
    return s;
}

/* The left operand of a comma in a condition is still read. */
static int commas(int t)
{
    int x = (port, t) ? 1 : 2;
    if ((port, t)) x += 10;
    if (!(status[1], t)) x += 100;
    while ((port, t--) > 0) x += 1000;
    return x;
}

int main(void)
{
    volatile int local = 3;
    int i, s = 0;
    port = 5;
    port = 6;
    CHECK(port == 6);
    CHECK(poll(&port, 4) == 24);
    for (i = 0; i < 4; i++) status[i] = (unsigned char)(i + 250);
    for (i = 0; i < 4; i++) s += status[i];
    CHECK(s == 1006);
    local += local;
    CHECK(local == 6);
    for (i = 0; i < 5; i++) local++;
    CHECK(local == 11 && poll(&local, 2) == 22);
    CHECK(commas(2) == 2011 && commas(0) == 102);
    return result;
}
