/* Shared by every program of the corpus: `result` ends 0 when every check
   passed, else it holds the line of the first check that failed. */
int result;

static void check(int ok, int line)
{
    if (!ok && result == 0) result = line;
}

#define CHECK(x) check((x) != 0, __LINE__)
