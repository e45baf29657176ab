/* Runs a program of the corpus on the host or under an emulator. */
#undef main
#include <stdio.h>
extern int result;
int e2emain(void);
int main(void)
{
    e2emain();
    printf("%d\n", result);
    return 0;
}
