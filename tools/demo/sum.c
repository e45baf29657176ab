/* The demo's C program: the sum of 1..10 into a global, and as main's result. */
int total;

int sum(int n)
{
    int s = 0;
    int i;
    for (i = 1; i <= n; i++)
        s += i;
    return s;
}

int main(void)
{
    total = sum(10);
    return total;
}
