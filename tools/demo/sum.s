; Demo program for the simulator: sums the numbers 1 to 10 into r3 and
; stops at a zero half-word, which no VLE instruction decodes. Run with
; vekrun, r3 ends as 0x37 (55) after 2 + 3 * 10 instructions.
        switch  .text
_start:
        li      r3,0            ; the sum
        li      r4,10           ; the next number to add
loop:   add     r3,r4
        se_subi. r4,1           ; count down, setting cr0
        bne     loop
        dc.w    0               ; stop here
