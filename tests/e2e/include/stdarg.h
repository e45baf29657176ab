/* Variable arguments for the corpus: a variadic call passes every argument
   on the stack, each in its slot (char and short widened to 4 bytes, float
   as double), upward from the first. */
#ifndef STDARG_H
#define STDARG_H
typedef char *va_list;
#define va_start(ap, last) ((ap) = (char *)&(last) + ((sizeof(last) + 3) & ~3))
#define va_arg(ap, type) ((ap) += ((sizeof(type) + 3) & ~3), *(type *)((ap) - ((sizeof(type) + 3) & ~3)))
#define va_end(ap) ((void)0)
#endif
