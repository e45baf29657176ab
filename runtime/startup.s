; Start-up code: the program's first instruction is __stext, which the
; loader chooses as the entry point. It sets the stack, clears the zeroed
; data and calls main; main's result comes back in r3 at __stop, a zero
; halfword that no instruction decodes, where the run ends.
;
; The unit's layout header defines the addresses: __stack (the top of the
; stack), and the zeroed data ranges __sbss to __esbss (small data, reached
; from r13 = 0) and __bss to __ebss; every bound is a multiple of 4.

        switch  .text
        xdef    __stext,__stop

__stext:
        lis     r1,__stack@h
        ori     r1,r1,__stack@l
        li      r13,0
        lis     r3,__sbss@h
        ori     r3,r3,__sbss@l
        lis     r4,__esbss@h
        ori     r4,r4,__esbss@l
        bl      c__clear
        lis     r3,__bss@h
        ori     r3,r3,__bss@l
        lis     r4,__ebss@h
        ori     r4,r4,__ebss@l
        bl      c__clear
        li      r3,0
        li      r4,0
        bl      _main
__stop: dc.w    0

; c__clear: zeroes the words from r3 up to r4.
c__clear:
        li      r0,0
1$:     cmplw   r3,r4
        bge     2$
        stw     r0,0(r3)
        addi    r3,r3,4
        b       1$
2$:     blr
