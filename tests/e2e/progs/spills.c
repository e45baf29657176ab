/* Expressions and locals that need more registers than there are. */
#include "e2e.h"

int v[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};

static int f(int x) { return x * 3 - 1; }

int main(void)
{
    int a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], g = v[5], h = v[6], i = v[7];
    int j = v[8], k = v[9], l = v[10], m = v[11], n = v[12], o = v[13], p = v[14], q = v[15];
    int r = v[16], s = v[17], t = v[18], u = v[19], w = v[20], x = v[21], y = v[22], z = v[23];
    int big = ((a + b) * (c + d) - (e + g) * (h - i)) * ((j * k + l * m) - (n * o - p * q)) +
              ((r - s) * (t - u) + (w * x - y * z)) * ((a * z - b * y) + (c * x - d * w));
    int withcalls = (f(a) + f(b) * f(c)) * (f(d) - f(e) * (f(g) + f(h))) - f(i) * (f(j) - f(k));
    CHECK(big == 12520);
    CHECK(withcalls == -21225);
    a += z; b += y; c += x; d += w; e += u; g += t; h += s; i += r;
    CHECK(a + b + c + d + e + g + h + i + j + k + l + m + n + o + p + q == 300);
    CHECK(a * b - c * d + e * g - h * i + j * k - l * m + n * o - p * q == -100);
    return result;
}
