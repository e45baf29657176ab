/* Constant tables, initialized statics and zeroed data. */
#include "e2e.h"

static const unsigned short crctab[16] = {
    0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
    0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF};
const struct { const char *name; int value; } table[] = {{"one", 1}, {"two", 2}, {"three", 3}};
static int zeroed[10];
static int primes[8] = {2, 3, 5, 7, 11, 13};

static unsigned short crc(const unsigned char *p, int n)
{
    unsigned short c = 0xFFFF;
    while (n-- > 0) {
        c = (unsigned short)((c << 4) ^ crctab[(c >> 12) ^ (*p >> 4)]);
        c = (unsigned short)((c << 4) ^ crctab[(c >> 12) ^ (*p++ & 15)]);
    }
    return c;
}

static int counter(void)
{
    static int n = 100;
    return n++;
}

int main(void)
{
    static const unsigned char msg[] = "123456789";
    int i, s = 0;
    CHECK(crc(msg, 9) == 0x29B1);
    for (i = 0; i < 3; i++) s += table[i].value * (table[i].name[0] - 'a');
    CHECK(s == 14 + 2 * 19 + 3 * 19);
    for (i = 0; i < 10; i++) s += zeroed[i];
    CHECK(s == 109);
    CHECK(primes[5] == 13 && primes[6] == 0 && primes[7] == 0);
    CHECK(counter() == 100 && counter() == 101 && counter() == 102);
    return result;
}
