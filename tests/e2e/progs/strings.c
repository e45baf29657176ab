/* Strings and characters, some with ';' and quotes that the assembly text
   must carry unchanged. */
#include "e2e.h"

const char *words[] = {"alpha;beta", "say \"hi\"; go", "tab\there", "semi;;colons;", ""};
char buf[32] = "x;y";

static int count(const char *s, int c)
{
    int n = 0;
    while (*s) n += *s++ == c;
    return n;
}

static int same(const char *a, const char *b)
{
    while (*a && *a == *b) a++, b++;
    return *a == *b;
}

static void append(char *d, const char *s)
{
    while (*d) d++;
    while ((*d++ = *s++) != 0) ;
}

int main(void)
{
    int i, semis = 0;
    for (i = 0; i < 5; i++) semis += count(words[i], ';');
    CHECK(semis == 5);
    CHECK(count(words[1], '"') == 2 && count(words[2], '\t') == 1);
    CHECK(same(words[0], "alpha;beta") && !same(words[0], "alpha;bet"));
    CHECK(words[1][4] == '"' && words[3][12] == ';' && words[4][0] == 0);
    append(buf, ";z;");
    CHECK(same(buf, "x;y;z;"));
    CHECK(sizeof "a;b" == 4 && "a;b"[1] == ';');
    CHECK('\\' == 92 && '\'' == 39 && "\x41\102"[1] == 'B');
    return result;
}
