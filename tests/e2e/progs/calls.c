/* Calls: arguments past r10, doubles among integers, narrow arguments,
   recursion, mutual recursion and function pointers. */
#include "e2e.h"

static int twelve(int a, int b, int c, int d, int e, int f, int g, int h, int i, int j, int k, int l)
{
    return a - b + c - d + e - f + g - h + i * 100 + j * 1000 + k * 10000 + l * 100000;
}

static double mixed(int a, double x, signed char c, double y, short s, int b)
{
    return a + x * 2 + c + y / 4 + s + b;
}

static int sum9(int a, int b, int c, int d, int e, int f, int g, double x, int h)
{
    return a + b + c + d + e + f + g + (int)x + h;
}

static int ack(int m, int n)
{
    if (m == 0) return n + 1;
    if (n == 0) return ack(m - 1, 1);
    return ack(m - 1, ack(m, n - 1));
}

static int isodd(unsigned n);
static int iseven(unsigned n) { return n == 0 ? 1 : isodd(n - 1); }
static int isodd(unsigned n) { return n == 0 ? 0 : iseven(n - 1); }

static int add(int a, int b) { return a + b; }
static int sub(int a, int b) { return a - b; }
static int mul(int a, int b) { return a * b; }
static int (*ops[3])(int, int) = {add, sub, mul};

static int fold(int (*f)(int, int), int start, int n)
{
    int i;
    for (i = 1; i <= n; i++) start = f(start, i);
    return start;
}

int main(void)
{
    int i, s = 0;
    int (*f)(int, int) = sub;
    CHECK(twelve(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12) == -4 + 900 + 10000 + 110000 + 1200000);
    CHECK(mixed(1, 2.5, -3, 8.0, -300, 7) == 1 + 5 - 3 + 2 - 300 + 7);
    CHECK(sum9(1, 2, 3, 4, 5, 6, 7, 8.75, 9) == 45);
    CHECK(ack(2, 3) == 9);
    CHECK(iseven(10) && isodd(7) && !isodd(100));
    for (i = 0; i < 3; i++) s = s * 100 + ops[i](7, 3);
    CHECK(s == 100421);
    CHECK(f(10, 4) == 6 && (*f)(4, 10) == -6);
    CHECK(fold(add, 0, 10) == 55 && fold(mul, 1, 6) == 720 && fold(ops[1], 100, 4) == 90);
    return result;
}
